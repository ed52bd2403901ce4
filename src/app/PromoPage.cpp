#include "app/PromoPage.h"

#include "app/AppContext.h"

PromoPage::PromoPage(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("TabSheet6"));
}
