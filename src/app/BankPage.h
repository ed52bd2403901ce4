#pragma once

#include <QWidget>

struct AppContext;

// The bank tab: the local page of bank web sites and service numbers.
class BankPage : public QWidget
{
    Q_OBJECT
public:
    explicit BankPage(AppContext& context, QWidget* parent = nullptr);

private:
    AppContext& m_context;
};
