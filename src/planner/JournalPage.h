#pragma once

#include <QWidget>
#include <functional>

struct AppContext;
class DataModule;
class ParameterPage;
class QPushButton;
class QTableView;

// The (hidden) journal tab of the cash-flow planner: the parameter panel with the "计算"
// button, the journal grid and the per-card plan grid.
class JournalPage : public QWidget
{
    Q_OBJECT
public:
    explicit JournalPage(AppContext& context, QWidget* parent = nullptr);

    // Binds the grids to the journal and plan lists; the run reads its parameters from
    // `parameters` and writes its results there.
    void attachData(DataModule& data, ParameterPage& parameters);

    // Asked before a run reloads the card list; false (a card being edited was refused) stops it.
    void setBeforeCardListChange(std::function<bool()> check) { m_beforeCardListChange = std::move(check); }

private:
    void runSimulation();

    AppContext& m_context;
    DataModule* m_data = nullptr;
    ParameterPage* m_parameters = nullptr;
    QPushButton* m_run = nullptr;
    QTableView* m_journalGrid = nullptr;
    QTableView* m_planGrid = nullptr;
    std::function<bool()> m_beforeCardListChange;
};
