#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The login gate "登录": a masked password field and the button "登录".
class LoginDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LoginDialog(QWidget* parent = nullptr);

    QLineEdit* passwordField() const { return m_edit; }   // Edit1
    QPushButton* loginButton() const { return m_button; } // BitBtn1

private:
    QLabel* m_prompt = nullptr;
    QLineEdit* m_edit = nullptr;
    QLabel* m_note = nullptr;
    QPushButton* m_button = nullptr;
};
