#pragma once

#include "sync/CalendarSyncSettings.h"

#include <QDialog>
#include <QFutureWatcher>
#include <atomic>

class Settings;
class QLabel;
class QLineEdit;
class QPushButton;

// "日历同步": the calendar collection the repayment events are kept in, with "测试" to try the
// values as typed (off the UI thread) before they are saved.
class CalendarSyncDialog : public QDialog
{
    Q_OBJECT
public:
    CalendarSyncDialog(Settings& settings, QWidget* parent = nullptr);
    ~CalendarSyncDialog() override; // a test under way is cancelled and waited for

    CalendarSyncSettings values() const; // what the fields hold

public slots:
    void save(); // checks, writes, closes; a problem is shown and the dialog stays
    void test(); // tries the server; the outcome is shown when it comes

signals:
    void tested(const QString& error); // empty when the calendar answered

private:
    void chooseCaFile();
    void showTestResult();

    Settings& m_settings;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_passwordPlace = nullptr; // where the password is kept
    bool m_keyringUnread = false;      // the keyring could not be read: an empty field says nothing
    QLineEdit* m_caFile = nullptr;
    QPushButton* m_testButton = nullptr;
    QFutureWatcher<QString> m_test;
    std::atomic_bool m_cancel{false};
};
