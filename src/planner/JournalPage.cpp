#include "planner/JournalPage.h"

#include "app/AppContext.h"

JournalPage::JournalPage(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("TabSheet1"));
}
