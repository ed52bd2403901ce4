#include "app/SettingsPage.h"

#include "app/AppContext.h"

SettingsPage::SettingsPage(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("TabSheet7"));
}
