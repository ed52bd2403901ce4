#include "billing/SummaryCommand.h"

#include "billing/BestCard.h"
#include "billing/RefreshJobs.h"
#include "billing/RefreshPass.h"
#include "store/BidiControls.h"
#include "store/DataModule.h"
#include "store/DateText.h"
#include "store/Error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString numberText(double value)
{
    return QString::number(value, 'g', 15);
}

void printJson(const RefreshResult& r, const QList<DueSoonCard>& due, const std::optional<BestCard>& best,
               QTextStream& out)
{
    static const char* const keys[8] = {"today",    "within2",  "within3", "within7",
                                        "within10", "within15", "overdue", "within3_total"};
    QJsonObject counts;
    for (int i = 0; i < 8; ++i)
        counts.insert(QLatin1String(keys[i]), r.counts[i]);
    QJsonArray list;
    for (const DueSoonCard& c : due) {
        list.append(QJsonObject{{QStringLiteral("id"), c.id},
                                {QStringLiteral("name"), withoutBidiControls(c.name)},
                                {QStringLiteral("no_last4"), c.numberLast4},
                                {QStringLiteral("repay_date"), DateText::format(c.repaymentDate)},
                                {QStringLiteral("days_left"), c.daysLeft},
                                {QStringLiteral("min_repayment"), c.minRepayment.value_or(0)}});
    }
    QJsonArray skipped;
    for (const SkippedCard& s : r.skipped)
        skipped.append(s.id);
    const QJsonObject root{
        {QStringLiteral("date"), DateText::format(r.date)},
        {QStringLiteral("counts"), counts},
        {QStringLiteral("due_soon"), list},
        {QStringLiteral("skipped"), skipped},
        {QStringLiteral("best_today"),
         best ? QJsonValue(QJsonObject{{QStringLiteral("id"), best->id},
                                       {QStringLiteral("name"), withoutBidiControls(best->name)},
                                       {QStringLiteral("no_last4"), best->numberLast4},
                                       {QStringLiteral("days"), best->days}})
              : QJsonValue(QJsonValue::Null)}};
    out << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact)) << '\n';
}

void printText(const RefreshResult& r, const QList<DueSoonCard>& due, const std::optional<BestCard>& best,
               QTextStream& out, QTextStream& err)
{
    out << QStringLiteral("当前日期:") << DateText::format(r.date) << '\n';
    for (const QString& text : r.labelTexts)
        out << text << '\n';
    if (best)
        out << bestCardLine(best) << '\n';
    out << '\n' << r.heading << '\n';
    for (const DueSoonCard& c : due) {
        out << QStringLiteral("  %1  尾号%2  还款日%3  剩余%4天  最低还款%5")
                   .arg(c.name, c.numberLast4.isEmpty() ? QStringLiteral("----") : c.numberLast4,
                        DateText::format(c.repaymentDate), QString::number(c.daysLeft),
                        numberText(c.minRepayment.value_or(0)))
            << '\n';
    }
    if (!r.skipped.isEmpty()) {
        QStringList names;
        for (const SkippedCard& s : r.skipped)
            names << QStringLiteral("%1（编号%2）").arg(s.name, QString::number(s.id));
        err << QStringLiteral("以下卡片的账单日或还款日缺失或不在1到31之间，未计算还款日期：")
            << names.join(QStringLiteral("、")) << '\n';
    }
}

} // namespace

int runSummaryCommand(const HomeFolder& home, const Clock& clock, bool json, QTextStream& out,
                      QTextStream& err)
{
    try {
        DataModule data;
        data.database().open(home.existingDatabasePath());
        const RefreshResult result = runRefreshWithJobs(data, clock, home, err);
        const std::optional<BestCard> best = bestCardToday(result.cards, clock.today());
        if (json)
            printJson(result, result.dueSoon, best, out);
        else
            printText(result, result.dueSoon, best, out, err);
        out.flush();
        return 0;
    } catch (const Error& e) {
        err << QStringLiteral("velmora: ") << e.message() << '\n';
        return 1;
    }
}
