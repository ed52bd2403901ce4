#pragma once

#include <QWidget>

struct AppContext;

// The (hidden) journal tab of the cash-flow planner.
class JournalPage : public QWidget
{
    Q_OBJECT
public:
    explicit JournalPage(AppContext& context, QWidget* parent = nullptr);

private:
    AppContext& m_context;
};
