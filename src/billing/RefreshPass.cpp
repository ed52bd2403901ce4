#include "billing/RefreshPass.h"

#include "billing/CardSchedule.h"
#include "billing/ControlsSuspended.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <cmath>
#include <vector>

namespace Refresh {

const std::array<QString, 8> kCountPrefixes = {
    QStringLiteral("1天内需还:"), QStringLiteral("2天内需还:"),    QStringLiteral("3天内需还:"),
    QStringLiteral("7天内需还:"), QStringLiteral("10天内需还:"),   QStringLiteral("15天内需还:"),
    QStringLiteral("已经过期:"),  QStringLiteral("3天内共需还款:")};

const QString kDueSoonStatement =
    QStringLiteral("select id,c_re_date,c_name,c_no,c_last4,i_xyr,tf,i_zdhkje,i_xf "
                   "from txyk where tf=False and (i_xyr>=0and i_xyr<=2)");

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

struct CardInput
{
    int id;
    int statementDay;
    int repaymentDay;
    double ratio;
    double amountUsed;
};

// A day field as the pass reads it: empty reads as 0; anything that is not a whole number
// cannot be used (reads as 0, which no month has).
int dayValue(const QVariant& v)
{
    if (v.isNull())
        return 0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || d != std::floor(d) || d < -1e6 || d > 1e6)
        return 0;
    return int(d);
}

double numberValue(const QVariant& v)
{
    return v.isNull() ? 0.0 : v.toDouble();
}

QString cardName(Database& db, int id)
{
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral("SELECT c_name FROM txyk WHERE id=?"));
    q.addBindValue(id);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

// The recomputation proper; the caller owns the transaction.
QList<SkippedCard> recomputeCards(Database& db, QDate today)
{
    if (!db.isOpen())
        throw Error(QStringLiteral("数据库未打开。"));

    std::vector<CardInput> cards;
    {
        QSqlQuery read(db.connection());
        read.setForwardOnly(true);
        const QString sql = QStringLiteral("SELECT id,c_jzr,c_hkr,i_zdhkbl,i_yxf FROM txyk");
        if (!read.exec(sql))
            throwSqlError(read.lastError(), sql);
        while (read.next())
            cards.push_back({read.value(0).toInt(), dayValue(read.value(1)), dayValue(read.value(2)),
                             numberValue(read.value(3)), numberValue(read.value(4))});
    }

    // Every card is written with the statement cardUpdateStatement() gives; the store translates
    // its shape once and the values of each card are bound to it.
    const QString sql = SqlDialect::translate(cardUpdateTemplate());
    QSqlQuery update(db.connection());
    if (!update.prepare(sql))
        throwSqlError(update.lastError(), sql);

    QList<SkippedCard> skipped;
    for (const CardInput& card : cards) {
        const auto schedule =
            computeCardSchedule(today, card.statementDay, card.repaymentDay, card.ratio, card.amountUsed);
        if (!schedule) {
            db.execute(clearCardScheduleStatement(card.id));
            skipped.append({card.id, QString()});
            continue;
        }
        const CardUpdateValues v = cardUpdateValues(card.id, *schedule);
        update.bindValue(0, v.minRepayment);
        update.bindValue(1, v.repaymentDate);
        update.bindValue(2, v.nextRepaymentDate);
        update.bindValue(3, v.statementDate);
        update.bindValue(4, v.nextStatementDate);
        update.bindValue(5, v.daysLeft);
        update.bindValue(6, v.purchaseDaysLeft);
        update.bindValue(7, v.id);
        if (!update.exec())
            throwSqlError(update.lastError(), cardUpdateStatement(card.id, *schedule));
    }
    for (SkippedCard& card : skipped)
        card.name = cardName(db, card.id);
    return skipped;
}

// Rows the selection `statement` gives, counted by the engine instead of fetched.
int countRows(Database& db, const QString& statement)
{
    const QString sql = QStringLiteral("SELECT count(*) FROM (") + SqlDialect::translate(statement) + u')';
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(sql) || !q.next())
        throwSqlError(q.lastError(), statement);
    return q.value(0).toInt();
}

} // namespace

QString countLabelText(int i, int count)
{
    return kCountPrefixes[size_t(i)] + QString::number(count) + QStringLiteral("张");
}

std::array<int, 8> countDueCards(Database& db)
{
    std::array<int, 8> counts{};
    for (int i = 0; i < 8; ++i)
        counts[size_t(i)] = countRows(db, countStatement(i));
    return counts;
}

QList<SkippedCard> recomputeAllCards(Database& db, QDate today)
{
    Transaction transaction(db);
    QList<SkippedCard> skipped = recomputeCards(db, today);
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
    Query& dueSoon = m_data.dueSoon();

    RefreshResult result;
    result.date = today;

    // Reopening the card list would drop a card being edited, and its buffer may not hold what
    // the editor shows: the editor must save it first.
    if (cards.state() == Query::State::Edit || cards.state() == Query::State::Insert)
        throw Error(QStringLiteral("有卡片正在编辑，请先保存或取消后再刷新。"));
    const QString cardsStatement = cards.sql();

    ControlsSuspended dueSoonSuspended(dueSoon);
    ControlsSuspended cardsSuspended(cards);

    // Recompute every card, then clear the repaid marks of earlier months, all or nothing.
    // The reset comes before the counts so that labels and due-soon list agree.
    {
        Transaction transaction(db);
        result.skipped = recomputeCards(db, today);
        db.execute(monthlyResetStatement(today));
        transaction.commit();
    }

    cards.setSql(cardsStatement);
    cards.open();
    cardsSuspended.resume();

    result.counts = countDueCards(db);
    for (int i = 0; i < 8; ++i)
        result.labelTexts << countLabelText(i, result.counts[size_t(i)]);

    dueSoon.setSql(kDueSoonStatement);
    dueSoon.open();
    result.dueSoonCount = dueSoon.recordCount();
    result.heading = headingText(result.dueSoonCount);
    return result;
}

ReminderDecision decideReminder(bool reminderShown, bool loggedIn, bool pwdProtect, int dueSoonCount)
{
    if (dueSoonCount <= 0 || reminderShown)
        return {};
    return {loggedIn || !pwdProtect, true};
}
