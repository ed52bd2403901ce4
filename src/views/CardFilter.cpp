#include "views/CardFilter.h"

#include "store/DataModule.h"
#include "store/SqlDialect.h"

#include <QStringList>
#include <array>

namespace CardFilter {

QStringList windowItems()
{
    return {QStringLiteral("所有"),   QStringLiteral("今天"),   QStringLiteral("二天内"),
            QStringLiteral("三天内"), QStringLiteral("四天内"), QStringLiteral("五天内"),
            QStringLiteral("六天内"), QStringLiteral("一周内")};
}

QString statementFor(FilterEvent event, const FilterState& state)
{
    if (event == FilterEvent::AllChosen)
        return DataModule::kAllCardsStatement;

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

    const QString holder = state.holderText.trimmed();
    if (!holder.isEmpty() && holder != QStringView(kAllHolders))
        where += QStringLiteral(" and cname=") + SqlDialect::quoted(state.holderText);

    if (!state.windowText.trimmed().isEmpty()) {
        if (state.windowIndex == 1) // "今天": due today
            where += QStringLiteral(" and i_xyr=0");
        else if (state.windowIndex > 1)
            where += QStringLiteral(" and i_xyr<=%1 and i_xyr>=0").arg(state.windowIndex);
    }

    return QStringLiteral("select * from txyk  where ") + where + QStringLiteral(" order by c_jzr");
}

QString quickStatement(int index)
{
    static constexpr std::array<int, 8> bounds = {0, 1, 2, 7, 10, 15, -1, 2};
    if (index < 0 || index >= int(bounds.size()))
        return {};
    const QString head = index == 0 ? QStringLiteral("select * from txyk where  tf=False and i_xyr=")
                                    : QStringLiteral("select * from txyk where  tf=False  and i_xyr<=");
    QString statement = head + QString::number(bounds[index]);
    if (index != 6) // the overdue button has no lower bound
        statement += QStringLiteral(" and i_xyr>=0");
    return statement;
}

} // namespace CardFilter
