#pragma once

#include "views/CardFilter.h"

#include <QComboBox>
#include <QFrame>

class QCheckBox;
class QRadioButton;
class QToolButton;
class Query;

// A drop-down list that reports each closing of its open list, changed or not.
class CloseUpComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit CloseUpComboBox(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void closedUp();
};

// The filter bar Panel4 above the card grid: state choices, holder box, window box, the two
// hide switches and "3天还款信息". Each filter event reads the bar and asks for a statement.
class FilterBar : public QFrame
{
    Q_OBJECT
public:
    explicit FilterBar(QWidget* parent = nullptr);

    void setHolders(Query& holders);
    CardFilter::FilterState state() const; // the bar as it shows now

signals:
    void statementChosen(const QString& statement);
    void reminderRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fire(CardFilter::FilterEvent event);

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
};
