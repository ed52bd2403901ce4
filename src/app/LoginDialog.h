#pragma once

#include "store/CardLock.h"

#include <QDialog>

class LoginGate;
class QLabel;
class QLineEdit;
class QPushButton;

// The login gate "登录": a masked password field and the button "登录". The dialog accepts on
// a correct password; a wrong one gets "密码错误，请重新登录！" and the dialog stays for another
// try. Closing it by the title bar rejects.
class LoginDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LoginDialog(QWidget* parent = nullptr);

    void setGate(const LoginGate* gate) { m_gate = gate; }

    QLineEdit* passwordField() const { return m_edit; }
    QPushButton* loginButton() const { return m_button; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void tryLogin();
    // The cards were sealed under an earlier password: asks for it and seals them again under `typed`.
    CardLock::Login openEarlier(const QString& typed);

    const LoginGate* m_gate = nullptr;
    QLabel* m_prompt = nullptr;
    QLineEdit* m_edit = nullptr;
    QLabel* m_note = nullptr;
    QPushButton* m_button = nullptr;
};
