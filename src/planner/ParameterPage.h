#pragma once

#include <QWidget>

struct AppContext;

// The (hidden) parameter tab of the cash-flow planner and the due-date calculator.
class ParameterPage : public QWidget
{
    Q_OBJECT
public:
    explicit ParameterPage(AppContext& context, QWidget* parent = nullptr);

private:
    AppContext& m_context;
};
