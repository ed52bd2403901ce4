#include "app/LoginDialog.h"

#include "app/LoginGate.h"
#include "ui/Contrast.h"
#include "ui/MessageBox.h"
#include "ui/PasswordField.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

LoginDialog::LoginDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFpwd"));
    setWindowTitle(QStringLiteral("登录"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QFont f = font();
    f.setPixelSize(16);
    setFont(f);

    m_prompt = new QLabel(QStringLiteral("密码："), this);
    m_prompt->setObjectName(QStringLiteral("passwordPrompt"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("passwordEdit"));
    makePasswordField(m_edit);
    m_edit->setFixedSize(217, 28);
    m_prompt->setBuddy(m_edit);
    m_edit->setAccessibleName(QStringLiteral("登录密码"));
    m_note = new QLabel(QStringLiteral("首次登录密码为空"), this);
    m_note->setObjectName(QStringLiteral("loginNote"));
    QFont small = m_note->font();
    small.setPixelSize(11);
    m_note->setFont(small);
    Contrast::setTextHue(m_note, QColor(0xC0, 0xC0, 0xC0)); // silver, darkened on a light window
    m_button = new QPushButton(QStringLiteral("登录"), this);
    m_button->setObjectName(QStringLiteral("loginButton"));
    m_button->setDefault(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_prompt, 0, 0);
    layout->addWidget(m_edit, 0, 1);
    layout->addWidget(m_note, 1, 1);
    layout->addWidget(m_button, 2, 1, Qt::AlignRight);
    setFixedSize(409, 143);
    connect(m_button, &QPushButton::clicked, this, &LoginDialog::tryLogin);
}

void LoginDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The hint holds only while no password has been set.
    m_note->setVisible(!m_gate || !m_gate->passwordSet());
    m_edit->clear();
    m_edit->setFocus();
}

CardLock::Login LoginDialog::openEarlier(const QString& typed)
{
    // Without a login password (after a reset) the earlier one becomes the login password again.
    const QString then =
        trimEntry(typed).isEmpty()
            ? QStringLiteral("请输入当时的密码：打开后，这个密码重新成为登录密码。")
            : QStringLiteral("请输入当时的密码：打开后，卡片资料将改用刚才输入的登录密码加密。");
    std::optional<QString> earlier = MessageBox::askPassword(
        this, QStringLiteral(
                  "数据库中的卡片资料是用另一个密码加密的（可能恢复了更改密码或“重置密码”之前的备份）。\n") +
                  then);
    if (!earlier)
        return {false, QStringLiteral("卡片资料是用另一个密码加密的，未能打开。"), false, {}};
    CardLock::Login login = m_gate->openEarlier(typed, *earlier);
    earlier->fill(QChar(0));
    return login;
}

void LoginDialog::tryLogin()
{
    QString typed = m_edit->text();
    CardLock::Login login = m_gate ? m_gate->login(typed) : CardLock::Login{};
    if (login.sealedUnderAnother)
        login = openEarlier(typed);
    if (login.accepted) {
        // Used: gone from the field and from this copy (the field's own copy is then ours alone).
        m_edit->clear();
        typed.fill(QChar(0));
        if (!login.problem.isEmpty())
            MessageBox::error(this, login.problem); // the card tab opens all the same
        if (!login.notice.isEmpty())
            MessageBox::information(this, login.notice);
        accept();
        return;
    }
    // The typed text stays in place for another try. A key that no password can open says so.
    MessageBox::information(this, login.problem.isEmpty() ? QStringLiteral("密码错误，请重新登录！")
                                                          : login.problem);
}
