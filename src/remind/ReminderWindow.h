#pragma once

#include "billing/DueSoonCard.h"

#include <QDialog>
#include <functional>
#include <optional>

class Clock;
class DataModule;
class DueSoonModel;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class ReminderValueLabel;

// The stay-on-top repayment reminder "还款提醒": one of the due-soon cards at a time,
// with previous/next, "还清", snooze ("确定") and "不再提醒". Hidden, never destroyed, on close.
// A dialog that does not block: screen readers announce it as one, Escape closes it and Enter
// snoozes.
class ReminderWindow : public QDialog
{
    Q_OBJECT
public:
    // The database "还清" and the snooze write to, today's date for "还清" and the main window's
    // snooze timer.
    ReminderWindow(DataModule& data, const Clock& clock, QTimer& snoozeTimer, QWidget* parent = nullptr);

    // The cards to show (those of the last refresh), from the first.
    void setCards(const QList<DueSoonCard>& cards);
    const QList<DueSoonCard>& cards() const;
    const DueSoonModel* model() const { return m_model; }
    int currentRow() const { return m_row; } // -1 without cards

    // Asked before "还清" touches the card list; false (a card being edited was refused) stops it.
    void setBeforeCardListChange(std::function<bool()> check) { m_beforeCardListChange = std::move(check); }

    // Heading panel text, e.g. "3天内共需还：2张".
    void setHeading(const QString& text);
    QString heading() const;

    // The delay "确定" takes: a chosen item or a typed number of minutes; nullopt for other text.
    std::optional<int> snoozeDelay() const;

public slots:
    void showNextCard();     // "下一张"
    void showPreviousCard(); // "上一张"
    void markRepaid();       // "还清"
    void snooze();           // "确定"
    void dismiss();          // "不再提醒"

signals:
    void closed();           // every close; the main window clears its refresh flag on it
    void cardMarkedRepaid(); // "还清" marked the current card; the cards were read anew

protected:
    void showEvent(class QShowEvent* event) override;

private:
    void showCurrentCard();
    int currentId() const; // 0 without cards

    QLabel* m_heading = nullptr;
    ReminderValueLabel* m_values[5] = {};
    QComboBox* m_delay = nullptr;
    QPushButton* m_snoozeButton = nullptr;
    DueSoonModel* m_model = nullptr;
    int m_row = -1;
    DataModule& m_data;
    const Clock& m_clock;
    QTimer& m_snoozeTimer;
    std::function<bool()> m_beforeCardListChange;
};
