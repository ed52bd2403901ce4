#pragma once

#include <QWidget>

struct AppContext;

// The promotion tab: a clickable picture and the caption "最快当天下卡".
class PromoPage : public QWidget
{
    Q_OBJECT
public:
    explicit PromoPage(AppContext& context, QWidget* parent = nullptr);

private:
    AppContext& m_context;
};
