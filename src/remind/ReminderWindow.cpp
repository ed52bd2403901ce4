#include "remind/ReminderWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

ReminderWindow::ReminderWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("还款提醒"));
    setFixedSize(499, 324);
    auto* layout = new QVBoxLayout(this);
    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("Panel2"));
    layout->addWidget(m_heading);
    layout->addStretch(1);
}

void ReminderWindow::setHeading(const QString& text)
{
    m_heading->setText(text);
}

QString ReminderWindow::heading() const
{
    return m_heading->text();
}

void ReminderWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    emit closed();
}
