#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

class DataModule;

// The cash-flow planner. Month by month, cash withdrawn from the first free card goes into a
// savings pool that pays a fixed loan instalment; every card that falls due is repaid on the
// day before its repayment date with cash withdrawn from the next free card. The plan state
// of the cards (free or withdrawn, available line, withdrawal count) lives in a working copy:
// the stored cards are only read.
namespace CashFlow {

inline constexpr int kCardLine = 10000; // what a free card gives when it is withdrawn

// Source and target names and kinds of journal rows.
inline const QString kSavings = QStringLiteral("储蓄卡");
inline const QString kSelfRaised = QStringLiteral("自筹");
inline const QString kLoanCard = QStringLiteral("贷款卡");
inline const QString kWithdrawal = QStringLiteral("提现");
inline const QString kRepayment = QStringLiteral("还款");
inline const QString kLoanInstalment = QStringLiteral("还贷");

struct Parameters
{
    int pool = 0;         // opening savings pool (周转金)
    int loan = 10000;     // loan instalment per month (贷款金)
    int loanDay = 18;     // day of the month the instalment is paid, 1..31
    int startYear = 2013; // 2013..2100
    int startMonth = 9;   // 1..12
    int periods = 5;      // months to run, 1..2100
};

// Builds the parameters from the texts of the two amount fields and the spin values.
// Throws Error with a Chinese message for a text that is no integer or a value out of range; nothing is
// touched before the parameters are known to be good.
Parameters readParameters(const QString& poolText, const QString& loanText, int loanDay, int startYear,
                          int startMonth, int periods);
// Throws Error with a Chinese message for a value outside its range.
void validate(const Parameters& parameters);

struct Card
{
    int id = 0;
    QString name;
    int statementDay = 0; // c_jzr
    int repaymentDay = 0; // c_hkr
    int withdrawals = 0;  // i_tx_num as stored: the plan's count goes on from it
};

// One row of the journal (table tjz). The amount column is never filled.
struct JournalRow
{
    QDate date;                      // d_post_date
    QString from;                    // c_name_tx: a card name, 储蓄卡 or 自筹
    QString to;                      // c_name_hk: a card name, 储蓄卡 or 贷款卡
    QString kind;                    // TF: 提现, 还款 or 还贷
    std::optional<int> withdrawalNo; // i_tx_num
    std::optional<int> repaymentNo;  // i_hk_num
};

// One row of the per-card plan (table Txyk_jz): a withdrawal row (a card was emptied and is
// due on dueDate) or a repayment row (a due card was repaid).
struct PlanRow
{
    QString name;                              // c_name
    QDate postDate;                            // c_post_date
    QDate dueDate;                             // c_re_date; withdrawal rows only
    int amount = 0;                            // i_ed
    int used = 0;                              // i_yyed
    std::optional<int> withdrawals;            // i_tx_num; withdrawal rows only
    bool withdrawal = false;                   // tf_tx
    int dueYear = 0, dueMonth = 0, dueDay = 0; // y_y, y_m, y_d; withdrawal rows only
    std::optional<int> cardId; // xyk_id: the card withdrawn from, or the card that funds a repayment
};

struct Result
{
    std::vector<JournalRow> journal; // in the order the rows were written
    std::vector<PlanRow> plan;
    int periodsRun = 0;
    qint64 loanTotal = 0;
    qint64 selfRaised = 0;
};

// Runs the plan over `cards` (any order). Throws Error for bad parameters.
Result simulate(const Parameters& parameters, const std::vector<Card>& cards);

// The cards as stored in txyk.
std::vector<Card> loadCards(DataModule& data);

// Simulates over the stored cards and replaces the journal and the plan with the result in one
// transaction (an error leaves the previous ones in place). Afterwards the journal and plan
// lists are reopened and the card list shows every card ordered by statement day.
Result run(DataModule& data, const Parameters& parameters);

} // namespace CashFlow
