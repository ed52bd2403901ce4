#pragma once

#include "views/CardFilter.h"

#include <QComboBox>
#include <QFrame>
#include <functional>

class QCheckBox;
class QRadioButton;
class QToolButton;
class Query;

// A drop-down list that reports each closing of its open list, changed or not, and each choice
// made with the keyboard or the wheel while the list is closed. The report comes once the box
// holds the value just chosen: the list hides before the box stores a choice made in it.
class CloseUpComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit CloseUpComboBox(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void closedUp();

private:
    void reportCloseUp();

    bool m_closePending = false;
};

// The filter bar above the card grid: state choices, holder box, window box, the two
// hide switches and "3天还款信息". Each filter event reads the bar and asks for a statement.
class FilterBar : public QFrame
{
    Q_OBJECT
public:
    explicit FilterBar(QWidget* parent = nullptr);

    void setHolders(Query& holders);
    CardFilter::FilterState state() const; // the bar as it shows now

    // The bar shows what the list shows after a quick due button or "显示所有" replaced it.
    void showQuickFilter(int index);
    void showAllCards();

    // Asked before each filter event reloads the list; false (a card being edited was refused)
    // stops the event and puts the bar back as it was, so it keeps matching the list.
    void setBeforeFilter(std::function<bool()> check) { m_beforeFilter = std::move(check); }

signals:
    void statementChosen(const QString& statement, const QVariantList& values);
    void reminderRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Shown
    {
        QRadioButton* choice = nullptr;
        bool hidePaid = false;
        bool hideOverdue = false;
        QString holder;
        int window = 0;
    };
    // False when the event was stopped.
    bool fire(CardFilter::FilterEvent event);
    Shown shown() const;
    void restore(const Shown& shown);
    void showWindowTip();

    QRadioButton* m_all = nullptr;
    QRadioButton* m_unpaid = nullptr;
    QRadioButton* m_paid = nullptr;
    QRadioButton* m_overdue = nullptr;
    CloseUpComboBox* m_holderBox = nullptr;
    CloseUpComboBox* m_windowBox = nullptr;
    QCheckBox* m_hidePaid = nullptr;
    QCheckBox* m_hideOverdue = nullptr;
    QToolButton* m_reminderButton = nullptr;
    QString m_holderBeforeReset;
    std::function<bool()> m_beforeFilter;
    Shown m_lastApplied; // the bar as the list was last built from it
};
