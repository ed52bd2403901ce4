#include "planner/ParameterPage.h"

#include "app/AppContext.h"

ParameterPage::ParameterPage(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("TabSheet3"));
}
