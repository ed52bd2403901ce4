#include "app/BankPage.h"

#include "app/AppContext.h"

BankPage::BankPage(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("TabSheet4"));
}
