#pragma once

#include <QWidget>

#include <functional>

struct AppContext;
class CardLock;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The settings tab "系统设置": the groups "密码设置", "其它设置" and "提醒设置", each saved by
// its own "确定" into System.ini, and the two information groups. Saved values apply at the
// next start (the password at the next login), as the confirmations say.
class SettingsPage : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPage(AppContext& context, QWidget* parent = nullptr);

    // Fills the controls with the values the main window read at start-up.
    void showValues(bool autostart, bool passwordProtect, int autoMinMinutes, bool mailOn,
                    const QString& mailTo);

    // Whether the card tab is locked right now (protection on, no login at this show). While
    // it is and a password is set, a new password or switching protection off needs the
    // current password first.
    void setLockCheck(std::function<bool()> locked) { m_locked = std::move(locked); }
    // The card secrets the password seals: changing it, the protection switch and "重置密码"
    // go through `lock`.
    void setCardLock(CardLock* lock);

    void savePassword();
    void saveGeneral();
    void saveReminder();
    void resetPassword(); // "重置密码": for a forgotten password

signals:
    // "邮件服务器…" in the reminder group: the mail server settings are asked for.
    void mailServerRequested();
    // "日历同步…" in the reminder group: the calendar sync settings are asked for.
    void calendarSyncRequested();
    // "现金流规划…": the planner pages are asked for.
    void plannerRequested();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    bool confirmCurrentPassword(bool keyNeeded);
    void afterSecretsChange();
    bool secretsSealed() const; // the card secrets are sealed in the database
    void showPasswordNotes();
    void clearPasswordFields();
    void showProtectionInForce(); // "开启密码保护" as the settings file holds it

    AppContext& m_context;
    std::function<bool()> m_locked;
    CardLock* m_lock = nullptr;
    QString m_current; // the current password, confirmed for one save
    QLabel* m_passwordWarning = nullptr;
    QPushButton* m_resetButton = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_passwordAgain = nullptr;
    QCheckBox* m_autostart = nullptr;
    QCheckBox* m_startHidden = nullptr; // start in the tray
    QCheckBox* m_protect = nullptr;
    QSpinBox* m_autoMinutes = nullptr;
    QCheckBox* m_mailOn = nullptr;
    QLineEdit* m_mailTo = nullptr;
};
