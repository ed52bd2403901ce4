#include "planner/CashFlowPlan.h"

#include "planner/IntegerText.h"
#include "store/DataModule.h"
#include "store/DateText.h"
#include "store/Error.h"

#include <QHash>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

namespace CashFlow {

namespace {

void requireRange(int value, int low, int high, const QString& what)
{
    if (value < low || value > high)
        throw Error(QStringLiteral("%1必须在 %2 到 %3 之间。").arg(what).arg(low).arg(high));
}

// A card as the plan sees it.
struct WorkingCard
{
    const Card* card = nullptr;
    bool withdrawn = false;
    int line = kCardLine; // what withdrawing it gives now
    int owed = 0;         // what was withdrawn and must be repaid
    int withdrawals = 0;
};

int monthKey(int year, int month)
{
    return year * 12 + (month - 1);
}

} // namespace

void validate(const Parameters& p)
{
    requireRange(p.loanDay, 1, 31, QStringLiteral("贷款还款日"));
    requireRange(p.startYear, 2013, 2100, QStringLiteral("开始年份"));
    requireRange(p.startMonth, 1, 12, QStringLiteral("开始月份"));
    requireRange(p.periods, 1, 2100, QStringLiteral("期数"));
}

Parameters readParameters(const QString& poolText, const QString& loanText, int loanDay, int startYear,
                          int startMonth, int periods)
{
    Parameters p;
    p.pool = IntegerText::parseOrThrow(poolText, QStringLiteral("周转金"));
    p.loan = IntegerText::parseOrThrow(loanText, QStringLiteral("贷款金"));
    p.loanDay = loanDay;
    p.startYear = startYear;
    p.startMonth = startMonth;
    p.periods = periods;
    validate(p);
    return p;
}

Result simulate(const Parameters& p, const std::vector<Card>& cards)
{
    validate(p);

    // Free cards are taken by statement day; equal days keep the order of the card ids.
    std::vector<WorkingCard> work;
    work.reserve(cards.size());
    for (const Card& card : cards)
        work.push_back(WorkingCard{&card, false, kCardLine, 0, card.withdrawals});
    std::stable_sort(work.begin(), work.end(), [](const WorkingCard& a, const WorkingCard& b) {
        if (a.card->statementDay != b.card->statementDay)
            return a.card->statementDay < b.card->statementDay;
        return a.card->id < b.card->id;
    });
    QHash<int, int> workIndexOfId;
    for (int i = 0; i < int(work.size()); ++i)
        workIndexOfId.insert(work[i].card->id, i);

    Result result;
    // Withdrawal rows by the month they fall due in (year and month of their repayment date).
    std::map<int, std::vector<int>> dueRowsByMonth;
    qint64 pool = p.pool;
    int year = p.startYear;
    int month = p.startMonth;

    // Empties `w` into a new withdrawal row, due in the given month on the card's repayment day.
    auto withdraw = [&](WorkingCard& w, QDate postDate, int dueYear, int dueMonth) {
        w.owed = w.line;
        w.line = 0;
        w.withdrawn = true;
        ++w.withdrawals;
        PlanRow row;
        row.name = w.card->name;
        row.postDate = postDate;
        row.dueDate = DateText::clampedDate(dueYear, dueMonth, w.card->repaymentDay);
        row.dueYear = dueYear;
        row.dueMonth = dueMonth;
        row.dueDay = row.dueDate.day();
        row.cardId = w.card->id;
        row.amount = 0;
        row.used = 0;
        row.withdrawals = 1;
        row.withdrawal = true;
        dueRowsByMonth[monthKey(dueYear, dueMonth)].push_back(int(result.plan.size()));
        result.plan.push_back(std::move(row));
    };

    for (int period = 0; period < p.periods; ++period) {
        const int nextYear = month == 12 ? year + 1 : year;
        const int nextMonth = month == 12 ? 1 : month + 1;

        // Withdrawal into the savings pool from the first free card.
        const auto firstFree =
            std::find_if(work.begin(), work.end(), [](const WorkingCard& w) { return !w.withdrawn; });
        if (firstFree != work.end()) {
            pool += firstFree->line;
            // The day after the statement date, the statement day clamped to the month's end first
            // (day 30 in February 2024: statement 2-29, withdrawal 3-1).
            const QDate postDate =
                DateText::clampedDate(year, month, firstFree->card->statementDay).addDays(1);
            withdraw(*firstFree, postDate, nextYear, nextMonth);
            result.journal.push_back(
                JournalRow{postDate, firstFree->card->name, kSavings, kWithdrawal, 1, std::nullopt});
        }

        // The loan instalment, from the pool while it holds enough, otherwise self-raised.
        JournalRow instalment{DateText::clampedDate(year, month, p.loanDay),
                              kSavings,
                              kLoanCard,
                              kLoanInstalment,
                              std::nullopt,
                              1};
        if (pool >= p.loan) {
            pool -= p.loan;
        } else {
            result.selfRaised += p.loan;
            instalment.from = kSelfRaised;
        }
        result.loanTotal += p.loan;
        result.journal.push_back(std::move(instalment));

        // Cards due this month, by repayment day. Each free card (as left after the withdrawal
        // above) funds at most one of them; the rest are repaid from self-raised money.
        const auto due = dueRowsByMonth.find(monthKey(year, month));
        if (due != dueRowsByMonth.end()) {
            std::vector<int> dueRows = std::move(due->second);
            dueRowsByMonth.erase(due);
            std::stable_sort(dueRows.begin(), dueRows.end(),
                             [&](int a, int b) { return result.plan[a].dueDay < result.plan[b].dueDay; });
            std::vector<int> funding;
            for (int i = 0; i < int(work.size()); ++i) {
                if (!work[i].withdrawn)
                    funding.push_back(i);
            }
            size_t nextFunding = 0;
            for (const int dueRow : dueRows) {
                const QString dueName = result.plan[dueRow].name;
                const QDate payDay = result.plan[dueRow].dueDate.addDays(-1);
                WorkingCard& owner = work[workIndexOfId.value(*result.plan[dueRow].cardId)];
                const int owed = owner.owed;
                owner.withdrawn = false;
                owner.line = kCardLine;
                owner.owed = 0;

                PlanRow repayment;
                repayment.name = dueName;
                repayment.postDate = payDay;
                repayment.used = 0;
                repayment.withdrawal = false;
                if (nextFunding < funding.size()) {
                    WorkingCard& funder = work[funding[nextFunding++]];
                    withdraw(funder, payDay, nextYear, nextMonth);
                    repayment.amount = p.loan;
                    repayment.cardId = funder.card->id;
                    result.plan.push_back(std::move(repayment));
                    result.journal.push_back(JournalRow{payDay, funder.card->name, dueName, kRepayment,
                                                        funder.withdrawals + 1, std::nullopt});
                } else {
                    repayment.amount = owed;
                    result.selfRaised += owed;
                    result.plan.push_back(std::move(repayment));
                    result.journal.push_back(
                        JournalRow{payDay, kSelfRaised, dueName, kRepayment, std::nullopt, std::nullopt});
                }
            }
        }

        ++result.periodsRun;
        year = nextYear;
        month = nextMonth;
    }
    return result;
}

std::vector<Card> loadCards(DataModule& data)
{
    Query& query = data.plannerScratch();
    query.setSql(QStringLiteral("select * from txyk"));
    query.open();
    std::vector<Card> cards;
    cards.reserve(query.recordCount());
    for (query.first(); !query.eof(); query.next()) {
        cards.push_back(Card{query.intValue(QStringLiteral("id")), query.textValue(QStringLiteral("c_name")),
                             query.intValue(QStringLiteral("c_jzr")), query.intValue(QStringLiteral("c_hkr")),
                             query.intValue(QStringLiteral("i_tx_num"))});
    }
    query.close();
    return cards;
}

namespace {

// Adds rows to one table through a single prepared statement: a long plan has hundreds of
// thousands of rows, and a statement per row would cost several times as much. Every value is bound.
class RowWriter
{
public:
    RowWriter(Database& db, const QString& table, const QStringList& columns)
        : m_statement(prepare(db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                      .arg(table, columns.join(u','),
                                           QStringList(columns.size(), QStringLiteral("?")).join(u','))))
    {}

    RowWriter& text(const QString& value)
    {
        return guarded([&] { m_statement->bind(m_column++, value); });
    }
    RowWriter& number(int value)
    {
        return guarded([&] { m_statement->bind(m_column++, value); });
    }
    RowWriter& number(const std::optional<int>& value) { return value ? number(*value) : null(); }
    RowWriter& date(QDate value)
    {
        if (!value.isValid())
            return null();
        char iso[16];
        const int size =
            std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", value.year(), value.month(), value.day());
        return guarded([&] { m_statement->bindUtf8(m_column++, QByteArrayView(iso, size)); });
    }
    RowWriter& null()
    {
        return guarded([&] { m_statement->bindNull(m_column++); });
    }

    // Stores the row whose values were just given.
    void insert()
    {
        guarded([&] { m_statement->run(); });
        m_column = 0;
    }

private:
    static std::unique_ptr<Statement> prepare(Database& db, const QString& sql)
    {
        try {
            return std::make_unique<Statement>(db, sql);
        } catch (const Error& e) {
            throw Error(QStringLiteral("无法保存计算结果：%1").arg(e.message()));
        }
    }
    template <typename Step> RowWriter& guarded(Step step)
    {
        try {
            step();
        } catch (const Error& e) {
            throw Error(QStringLiteral("无法保存计算结果：%1").arg(e.message()));
        }
        return *this;
    }

    std::unique_ptr<Statement> m_statement;
    int m_column = 0;
};

void writeResult(Database& db, const Result& result)
{
    RowWriter journal(db, QStringLiteral("tjz"),
                      {QStringLiteral("d_post_date"), QStringLiteral("c_name_tx"),
                       QStringLiteral("c_name_hk"), QStringLiteral("TF"), QStringLiteral("i_tx_num"),
                       QStringLiteral("i_hk_num")});
    for (const JournalRow& r : result.journal) {
        journal.date(r.date)
            .text(r.from)
            .text(r.to)
            .text(r.kind)
            .number(r.withdrawalNo)
            .number(r.repaymentNo);
        journal.insert();
    }

    RowWriter plan(db, QStringLiteral("Txyk_jz"),
                   {QStringLiteral("c_name"), QStringLiteral("c_post_date"), QStringLiteral("c_re_date"),
                    QStringLiteral("i_ed"), QStringLiteral("i_yyed"), QStringLiteral("i_tx_num"),
                    QStringLiteral("tf_tx"), QStringLiteral("y_y"), QStringLiteral("y_m"),
                    QStringLiteral("y_d"), QStringLiteral("xyk_id")});
    for (const PlanRow& r : result.plan) {
        const auto due = [&r](int part) { return r.withdrawal ? std::optional<int>(part) : std::nullopt; };
        plan.text(r.name).date(r.postDate).date(r.dueDate).number(r.amount).number(r.used);
        plan.number(r.withdrawals)
            .number(r.withdrawal ? 1 : 0)
            .number(due(r.dueYear))
            .number(due(r.dueMonth));
        plan.number(due(r.dueDay)).number(r.cardId).insert();
    }
}

void reopen(Query& query)
{
    query.setSql(query.sql());
    query.open();
}

} // namespace

Result run(DataModule& data, const Parameters& parameters)
{
    validate(parameters);
    Result result = simulate(parameters, loadCards(data));

    Database& db = data.database();
    {
        Transaction transaction(db);
        db.execute(QStringLiteral("delete from Tjz"));
        db.execute(QStringLiteral("delete from Txyk_jz"));
        writeResult(db, result);
        transaction.commit();
    }

    reopen(data.journal());
    reopen(data.planRows());
    data.cards().setSql(DataModule::kAllCardsStatement);
    data.cards().open();
    return result;
}

} // namespace CashFlow
