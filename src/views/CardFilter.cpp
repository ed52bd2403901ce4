#include "views/CardFilter.h"

#include "store/DataModule.h"

#include <QStringList>
#include <array>

namespace CardFilter {

QStringList windowItems()
{
    return {QStringLiteral("所有"),   QStringLiteral("今天"),   QStringLiteral("二天内"),
            QStringLiteral("三天内"), QStringLiteral("四天内"), QStringLiteral("五天内"),
            QStringLiteral("六天内"), QStringLiteral("一周内")};
}

Listing statementFor(FilterEvent event, const FilterState& state)
{
    if (event == FilterEvent::AllChosen)
        return {DataModule::kAllCardsStatement, {}};

    // Toggling a hide switch starts from " 1=1 " and does not look at "已逾期", so that switch
    // drops the overdue restriction; choosing "已逾期" ignores "隐藏逾期" so the list is not
    // emptied by " i_xyr<0  and i_xyr>=0 ".
    const bool toggled = event == FilterEvent::HideOverdueToggled || event == FilterEvent::HidePaidToggled;
    QString where;
    if (toggled || event == FilterEvent::OverdueChosen)
        where = QStringLiteral(" 1=1 ");

    switch (state.choice) {
    case StateChoice::All:
        where = QStringLiteral(" 1=1 ");
        break;
    case StateChoice::Unpaid:
        where = QStringLiteral(" tf=False ");
        break;
    case StateChoice::Paid:
        where = QStringLiteral(" tf=True ");
        break;
    case StateChoice::Overdue:
        if (!toggled)
            where = QStringLiteral(" i_xyr<0 ");
        break;
    case StateChoice::None:
        break;
    }

    const bool pressed = event == FilterEvent::UnpaidPressed;
    if (!pressed && event != FilterEvent::OverdueChosen && state.hideOverdue)
        where += QStringLiteral(" and i_xyr>=0 ");
    if (!pressed && state.hidePaid)
        where += QStringLiteral(" and  tf=False ");

    // The holder is what the user typed: bound, never pasted into the statement.
    QVariantList values;
    const QString holder = state.holderText.trimmed();
    if (!holder.isEmpty() && holder != QStringView(kAllHolders)) {
        where += QStringLiteral(" and cname=?");
        values << state.holderText;
    }

    if (!state.windowText.trimmed().isEmpty()) {
        if (state.windowIndex == 1) // "今天": due today
            where += QStringLiteral(" and i_xyr=0");
        else if (state.windowIndex > 1)
            where += QStringLiteral(" and i_xyr<=%1 and i_xyr>=0").arg(state.windowIndex);
    }

    return {QStringLiteral("select * from txyk  where ") + where + QStringLiteral(" order by c_jzr"), values};
}

namespace {
constexpr std::array<int, 8> kQuickBounds = {0, 1, 2, 7, 10, 15, -1, 2};
constexpr int kOverdueButton = 6; // no lower bound

// "剩余0～2天（今天到后天到期）": the days left, and the calendar days they stand for.
QString daysText(int lowest, int highest)
{
    static const QStringList kNearDays = {QStringLiteral("今天"), QStringLiteral("明天"),
                                          QStringLiteral("后天")};
    QString when;
    if (highest >= kNearDays.size())
        when = QStringLiteral("%1到%2天后").arg(kNearDays[lowest]).arg(highest);
    else if (lowest == highest)
        when = kNearDays[highest];
    else
        when = kNearDays[lowest] + (highest - lowest == 1 ? QStringLiteral("或") : QStringLiteral("到")) +
               kNearDays[highest];
    const QString days = lowest == highest ? QStringLiteral("剩余%1天").arg(highest)
                                           : QStringLiteral("剩余%1～%2天").arg(lowest).arg(highest);
    return days + QStringLiteral("（") + when + QStringLiteral("到期）");
}
} // namespace

QString quickStatement(int index)
{
    if (index < 0 || index >= int(kQuickBounds.size()))
        return {};
    const QString head = index == 0 ? QStringLiteral("select * from txyk where  tf=False and i_xyr=")
                                    : QStringLiteral("select * from txyk where  tf=False  and i_xyr<=");
    QString statement = head + QString::number(kQuickBounds[size_t(index)]);
    if (index != kOverdueButton)
        statement += QStringLiteral(" and i_xyr>=0");
    return statement;
}

DayRange quickDays(int index)
{
    if (index < 0 || index >= int(kQuickBounds.size()))
        return {};
    const int highest = kQuickBounds[size_t(index)];
    return {index == kOverdueButton ? std::nullopt : std::optional<int>(0), highest};
}

QuickBarState quickBarState(int index)
{
    QuickBarState bar;
    bar.state.holderText = QString::fromUtf16(kAllHolders);
    const DayRange days = quickDays(index);
    if (!days.lowest) {
        // " i_xyr<0  and  tf=False " lists the same cards as the overdue button.
        bar.state.choice = StateChoice::Overdue;
        bar.state.hidePaid = true;
        bar.state.windowIndex = 0;
    } else {
        bar.state.choice = StateChoice::Unpaid;
        // Entry 1 ("今天") covers day 0 alone, entries 2..7 cover days 0..N.
        bar.state.windowIndex = days.highest == 0                        ? 1
                                : days.highest >= 2 && days.highest <= 7 ? days.highest
                                                                         : -1;
        if (bar.state.windowIndex < 0)
            bar.windowText = QStringLiteral("%1～%2天").arg(*days.lowest).arg(days.highest);
    }
    if (bar.state.windowIndex >= 0)
        bar.state.windowText = windowItems().at(bar.state.windowIndex);
    return bar;
}

QString quickTip(int index)
{
    const DayRange days = quickDays(index);
    if (index < 0 || index >= int(kQuickBounds.size()))
        return {};
    if (!days.lowest)
        return QStringLiteral("未还款、已过还款日的卡片（剩余天数小于0）");
    return QStringLiteral("未还款、") + daysText(*days.lowest, days.highest) + QStringLiteral("的卡片");
}

QString windowTip(int windowIndex)
{
    if (windowIndex == 0)
        return QStringLiteral("不按剩余还款天数筛选");
    if (windowIndex == 1)
        return daysText(0, 0) + QStringLiteral("的卡片");
    if (windowIndex > 1 && windowIndex <= 7)
        return daysText(0, windowIndex) + QStringLiteral("的卡片，不含已逾期");
    return {};
}

} // namespace CardFilter
