#include "billing/RefreshPass.h"

#include "billing/CardFacts.h"
#include "billing/CardSchedule.h"
#include "billing/ControlsSuspended.h"
#include "store/CardSecrets.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/SqlDialect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace Refresh {

namespace {
// The eight summary labels: the text before a pass has counted, and the prefix of the counted
// text (the last one reads differently once counted).
struct CountLabel
{
    const char16_t* empty;
    const char16_t* counted;
};
constexpr std::array<CountLabel, 8> kCountLabels{{
    {u"1天内需还:", u"1天内需还:"},
    {u"2天内需还:", u"2天内需还:"},
    {u"3天内需还:", u"3天内需还:"},
    {u"7天内需还:", u"7天内需还:"},
    {u"10天内需还:", u"10天内需还:"},
    {u"15天内需还:", u"15天内需还:"},
    {u"已经过期:", u"已经过期:"},
    {u"3天内共需还:", u"3天内共需还款:"},
}};
} // namespace

// Most urgent first: the card due today leads the reminder, the mail (and its subject) and --json.
const QString kDueSoonStatement =
    QStringLiteral("select id,c_re_date,c_name,c_no,c_last4,i_xyr,tf,i_zdhkje,i_xf,i_yxf "
                   "from txyk where tf=False and (i_xyr>=0and i_xyr<=2) order by i_xyr,id");

QString countStatement(int i)
{
    static const QString head = QStringLiteral("select i_xyr,tf from txyk where  tf=false and i_xyr<=");
    static const QString tail = QStringLiteral(" and i_xyr>=0");
    switch (i) {
    case 0:
        return QStringLiteral("select i_xyr,tf from txyk where  tf=false and i_xyr=0") + tail;
    case 1:
        return head + u'1' + tail;
    case 2: // the one with a single blank after "where"
        return QStringLiteral("select i_xyr,tf from txyk where tf=false and i_xyr<=2") + tail;
    case 3:
        return head + u'7' + tail;
    case 4:
        return head + QStringLiteral("10") + tail;
    case 5:
        return head + QStringLiteral("15") + tail;
    case 6:
        return head + QStringLiteral("-1");
    case 7:
        return head + u'2' + tail;
    }
    return {};
}

QString monthlyResetStatement(QDate today)
{
    const QString m = QString::number(today.month());
    const QString y = QString::number(today.year());
    return QStringLiteral("UPDATE Txyk SET tf=False,i_hkm = 0,i_hky = 0 where (i_hkm<'") + m + u'\'' +
           QStringLiteral(" and i_hky = ") + u'\'' + y + u'\'' + QStringLiteral(") or (i_hky < ") + u'\'' +
           y + u'\'' + u')';
}

QString headingText(int dueSoonCount)
{
    return QStringLiteral("3天内共需还：") + QString::number(dueSoonCount) + QStringLiteral("张");
}

namespace {

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool textIs(const RawRow& row, int column, const IsoDate& date)
{
    return row.type(column) == RawRow::Text && row.utf8(column) == date.utf8();
}

// A repaid mark of a month before the one of the repayment the card now counts down to (at a
// month's end, next month's): it was set for an earlier repayment, and this one is not paid.
const QString kMarkBeforeDueMonth =
    QStringLiteral("tf=1 AND c_re_date IS NOT NULL AND "
                   "coalesce(i_hky,0)*12+coalesce(i_hkm,0) < "
                   "CAST(substr(c_re_date,1,4) AS INTEGER)*12+CAST(substr(c_re_date,6,2) AS INTEGER)");

void clearMarksBeforeDueMonth(Database& db, const QString& andWhere = {})
{
    db.executeSql(QStringLiteral("UPDATE txyk SET tf=0,i_hkm=0,i_hky=0 WHERE ") + kMarkBeforeDueMonth +
                  andWhere);
}

// Runs an UPDATE ... RETURNING id and adds the ids of the rows it wrote to `ids`.
void runReturningIds(Database& db, const QString& update, QList<qint64>& ids)
{
    Statement q(db, update + QStringLiteral(" RETURNING id"));
    while (q.step())
        ids.append(q.integer(0));
}

} // namespace

CardRecompute::CardRecompute(Database& db, QDate today)
    : m_db(db), m_table(today), m_update(db, SqlDialect::translate(cardUpdateTemplate()))
{}

CardRecompute::~CardRecompute() = default;

QString CardRecompute::cardSelect()
{
    return QStringLiteral("SELECT id,c_jzr,c_hkr,i_zdhkbl,i_yxf,"
                          "i_zdhkje,c_re_date,c_next_re_date,c_jd_date,c_next_jd_date,i_xyr,i_xf,") +
           kCardFactsColumnList + QStringLiteral(" FROM txyk");
}

CardRecompute::Card CardRecompute::read(const RawRow& row)
{
    Card card{row.integer(0), storedDay(row, 1), storedDay(row, 2), storedNumber(row, 3),
              storedNumber(row, 4)};
    const auto found = m_table.find(card.statementDay, card.repaymentDay, card.ratio, card.amountUsed);
    card.computable = found.has_value();
    if (!found) {
        card.current = true;
        for (int c = 5; c < 12; ++c)
            card.current = card.current && row.type(c) == RawRow::Null;
        return card;
    }
    const CardSchedule& s = found->dates->schedule;
    const IsoDate* iso = found->dates->iso;
    card.current = row.type(5) == RawRow::Real && sameBits(row.real(5), found->minRepayment) &&
                   textIs(row, 6, iso[0]) && textIs(row, 7, iso[1]) && textIs(row, 8, iso[2]) &&
                   textIs(row, 9, iso[3]) && row.type(10) == RawRow::Integer &&
                   row.integer(10) == s.daysLeft && row.type(11) == RawRow::Integer &&
                   row.integer(11) == s.purchaseDaysLeft;
    return card;
}

bool CardRecompute::store(const Card& card)
{
    // What is stored already need not be written again: most passes of a day change no card.
    if (card.current)
        return card.computable;
    return store(card.id, card.statementDay, card.repaymentDay, card.ratio, card.amountUsed);
}

bool CardRecompute::store(qint64 id, int statementDay, int repaymentDay, double ratio, double amountUsed)
{
    const auto found = m_table.find(statementDay, repaymentDay, ratio, amountUsed);
    if (!found) {
        m_db.execute(clearCardScheduleStatement(int(id)));
        return false;
    }
    const CardSchedule& s = found->dates->schedule;
    const IsoDate* iso = found->dates->iso;
    // Every card is written with the statement cardUpdateStatement() gives; its shape is
    // translated once and the values of each card are bound to it (the dates from the table,
    // which outlives every run).
    m_update.bind(0, found->minRepayment)
        .bindKeptUtf8(1, iso[0].utf8())
        .bindKeptUtf8(2, iso[1].utf8())
        .bindKeptUtf8(3, iso[2].utf8())
        .bindKeptUtf8(4, iso[3].utf8())
        .bind(5, s.daysLeft)
        .bind(6, s.purchaseDaysLeft)
        .bind(7, id);
    try {
        m_update.run();
    } catch (const Error& e) {
        // The statement as the card's own values make it, not the shape with "?".
        throw Error(
            QString(e.message()).replace(m_update.sql(), cardUpdateStatement(int(id), found->schedule())));
    }
    return true;
}

bool recomputeCard(Database& db, QDate today, qint64 id, bool keepMinRepayment)
{
    CardRecompute recompute(db, today);
    Statement read(db, CardRecompute::cardSelect() + QStringLiteral(" WHERE id=?"));
    read.bind(0, id);
    if (!read.step())
        throw Error(QStringLiteral("找不到编号为 %1 的卡片。").arg(id));
    const CardRecompute::Card card = recompute.read(read);
    const QVariant typedMinRepayment = read.value(5); // i_zdhkje
    read.reset();
    const bool computed = recompute.store(card);
    if (keepMinRepayment)
        db.executeSql(QStringLiteral("UPDATE txyk SET i_zdhkje=? WHERE id=?"), {typedMinRepayment, id});
    clearMarksBeforeDueMonth(db, QStringLiteral(" AND id=") + QString::number(id));
    return computed;
}

namespace {

// What the recomputation read of every card besides its schedule.
struct CardsRead
{
    QList<SkippedCard> skipped;
    QList<CardFacts> facts; // by id, as read (before the repaid marks are reset)
    QList<std::pair<qint64, QString>> missingLastFour;
};

// The recomputation proper; the caller owns the transaction. The one read of every card of the
// pass: the schedules and the card facts come from the same rows.
CardsRead recomputeCards(Database& db, QDate today)
{
    if (!db.isOpen())
        throw Error(QStringLiteral("数据库未打开。"));

    // Read every card first, keeping those to be written; then write them.
    CardRecompute recompute(db, today);
    std::vector<CardRecompute::Card> changed;
    CardsRead read;
    {
        Statement cards(db, CardRecompute::cardSelect() + QStringLiteral(" ORDER BY id"));
        Statement count(db, QStringLiteral("SELECT count(*) FROM txyk"));
        if (count.step()) {
            read.facts.reserve(count.integer(0));
            changed.reserve(size_t(count.integer(0)));
        }
        constexpr int kFacts = CardRecompute::kFactsColumn;
        while (cards.step()) {
            const CardRecompute::Card card = recompute.read(cards);
            CardFacts facts = cardFactsOf(cards, kFacts);
            if (!card.computable)
                read.skipped.append({int(card.id), facts.name});
            if (!card.current)
                changed.push_back(card);
            // Cards another tool wrote have no readable last four: stored with the pass.
            if (cards.utf8(kFacts + 2).isEmpty() && !facts.numberLast4.isEmpty())
                read.missingLastFour.append({card.id, facts.numberLast4});
            read.facts.append(std::move(facts));
        }
    }
    for (const CardRecompute::Card& card : changed)
        recompute.store(card);
    return read;
}

} // namespace

QString countLabelText(int i)
{
    return QString::fromUtf16(kCountLabels[size_t(i)].empty);
}

QString countLabelText(int i, int count)
{
    return QString::fromUtf16(kCountLabels[size_t(i)].counted) + QString::number(count) +
           QStringLiteral("张");
}

namespace {

// What follows " where " in a translated statement: its rows' condition, to be used inside
// another statement.
QString condition(const QString& sql)
{
    return sql.mid(sql.indexOf(QStringLiteral(" where "), 0, Qt::CaseInsensitive) + 7);
}

} // namespace

std::array<int, 8> countDueCards(Database& db)
{
    // One scan for all eight: each count is the rows its statement selects, taken by the
    // statement's own condition as a filter.
    static const QString sql = [] {
        QStringList counts;
        for (int i = 0; i < 8; ++i)
            counts << QStringLiteral("count(*) FILTER (WHERE %1)")
                          .arg(condition(SqlDialect::translate(countStatement(i))));
        return QStringLiteral("SELECT ") + counts.join(u',') + QStringLiteral(" FROM txyk");
    }();
    std::array<int, 8> counts{};
    Statement q(db, sql);
    if (q.step()) {
        for (int i = 0; i < 8; ++i)
            counts[size_t(i)] = int(q.integer(i));
    }
    return counts;
}

QList<qint64> resetRepaidMarks(Database& db, QDate today)
{
    // The statement rewrites every card it matches, also every card never marked, whose fields
    // are cleared already; it runs when it would change a card.
    const QString reset = SqlDialect::translate(monthlyResetStatement(today));
    Statement changes(db, QStringLiteral("SELECT 1 FROM txyk WHERE (%1) AND NOT (tf IS 0 AND i_hkm IS 0 AND "
                                         "i_hky IS 0) LIMIT 1")
                              .arg(condition(reset)));
    const bool needed = changes.step();
    changes.reset();
    QList<qint64> cleared;
    if (needed)
        runReturningIds(db, reset, cleared);
    runReturningIds(db, QStringLiteral("UPDATE txyk SET tf=0,i_hkm=0,i_hky=0 WHERE ") + kMarkBeforeDueMonth,
                    cleared);
    return cleared;
}

QList<SkippedCard> recomputeAllCards(Database& db, QDate today)
{
    Transaction transaction(db);
    QList<SkippedCard> skipped = recomputeCards(db, today).skipped;
    transaction.commit();
    return skipped;
}

} // namespace Refresh

RefreshResult RefreshPass::run()
{
    using namespace Refresh;
    const QDate today = m_clock.today();
    Database& db = m_data.database();
    Query& cards = m_data.cards();

    RefreshResult result;
    result.date = today;

    // Reopening the card list would drop a card being edited, and its buffer may not hold what
    // the editor shows: the editor must save it first.
    if (cards.state() == Query::State::Edit || cards.state() == Query::State::Insert)
        throw Error(QStringLiteral("有卡片正在编辑，请先保存或取消后再刷新。"));
    const QString cardsStatement = cards.sql();
    // A list nobody has opened (the headless commands) is not loaded just to be thrown away.
    const bool listShown = cards.isOpen();

    ControlsSuspended cardsSuspended(cards);

    // Recompute every card, then clear the repaid marks of earlier months, all or nothing.
    // The reset comes before the counts so that labels and due-soon list agree.
    {
        Transaction transaction(db);
        CardsRead read = recomputeCards(db, today);
        const QList<qint64> cleared = resetRepaidMarks(db, today);
        // Cards another tool wrote have no readable last four: the mail, the reminder, --json and
        // the calendar show them from now on.
        CardSecrets::storeLastFour(db, read.missingLastFour);
        transaction.commit();
        result.skipped = std::move(read.skipped);
        result.cards = std::move(read.facts);
        // The facts as the reset left them, without reading every card again.
        for (const qint64 id : cleared) {
            const auto card = std::lower_bound(result.cards.begin(), result.cards.end(), id,
                                               [](const CardFacts& c, qint64 id) { return c.id < id; });
            if (card != result.cards.end() && card->id == id) {
                card->repaidMark = false;
                card->markMonth = 0;
                card->markYear = 0;
            }
        }
    }

    if (listShown) {
        cards.setSql(cardsStatement);
        cards.open();
    }
    cardsSuspended.resume();

    result.counts = countDueCards(db);
    for (int i = 0; i < 8; ++i)
        result.labelTexts << countLabelText(i, result.counts[size_t(i)]);

    result.dueSoon = readDueSoonCards(db);
    result.heading = headingText(result.dueSoonCount());
    return result;
}

ReminderDecision decideReminder(bool reminderShown, bool loggedIn, bool pwdProtect, int dueSoonCount)
{
    if (dueSoonCount <= 0 || reminderShown)
        return {};
    return {loggedIn || !pwdProtect, true};
}
