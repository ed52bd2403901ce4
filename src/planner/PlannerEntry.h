#pragma once

#include <QObject>

class QTabWidget;
class QWidget;

// The way into the cash-flow planner. Its two pages have no tab: open() adds their tabs (the
// journal first, the parameters before the last page) and shows the journal; once the user turns
// to another page their tabs go again.
class PlannerEntry : public QObject
{
    Q_OBJECT
public:
    PlannerEntry(QTabWidget* pages, QWidget* journal, QWidget* parameters);

    static QString journalCaption();    // "现金流规划"
    static QString parametersCaption(); // "规划参数"

public slots:
    void open();

private:
    void close();

    QTabWidget* m_pages;
    QWidget* m_journal;
    QWidget* m_parameters;
    bool m_changing = false; // tabs are being added or removed
};
