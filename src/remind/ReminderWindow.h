#pragma once

#include <QWidget>

// The stay-on-top repayment reminder "还款提醒" over the due-soon list.
class ReminderWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ReminderWindow(QWidget* parent = nullptr);

    // Heading panel text, e.g. "3天内共需还：2张".
    void setHeading(const QString& text);
    QString heading() const;

signals:
    void closed(); // every close; the main window clears its refresh flag on it

protected:
    void closeEvent(class QCloseEvent* event) override;

private:
    class QLabel* m_heading = nullptr;
};
