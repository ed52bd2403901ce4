#include "remind/MailServerDialog.h"

#include "remind/MailMessage.h"
#include "store/AccountPassword.h"
#include "store/Error.h"
#include "store/IniFile.h"
#include "store/SecretStore.h"
#include "ui/MessageBox.h"
#include "ui/ShowErrors.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QString securityHint(MailServerSettings::Security security)
{
    switch (security) {
    case MailServerSettings::Security::StartTls:
        break;
    case MailServerSettings::Security::Ssl:
        return QStringLiteral("连接一开始就加密（通常为端口465）。");
    case MailServerSettings::Security::None:
        return QStringLiteral("服务器支持STARTTLS时仍会加密；完全不支持加密时密码以明文发送。");
    }
    return QStringLiteral("登录前用STARTTLS加密连接，服务器不支持加密时不发送（通常为端口587）。");
}
} // namespace

MailServerDialog::MailServerDialog(IniFile& file, QWidget* parent) : QDialog(parent), m_file(file)
{
    setObjectName(QStringLiteral("MailServerDialog"));
    setWindowTitle(QStringLiteral("邮件服务器"));
    setMinimumWidth(540);

    auto* layout = new QVBoxLayout(this);
    auto* hint =
        new QLabel(QStringLiteral("还款提醒邮件从这个邮箱发出。请填写您的邮箱服务商提供的SMTP服务器信息"
                                  "（很多邮箱需要使用“授权码”代替登录密码）。"),
                   this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    auto* form = new QFormLayout;
    m_host = new QLineEdit(this);
    m_host->setObjectName(QStringLiteral("SmtpHostEdit"));
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("SmtpPortSpin"));
    m_port->setRange(1, 65535);
    m_security = new QComboBox(this);
    m_security->setObjectName(QStringLiteral("SmtpSecurityCombo"));
    m_security->addItem(QStringLiteral("STARTTLS（推荐）"), int(MailServerSettings::Security::StartTls));
    m_security->addItem(QStringLiteral("SSL/TLS"), int(MailServerSettings::Security::Ssl));
    m_security->addItem(QStringLiteral("不要求加密"), int(MailServerSettings::Security::None));
    m_securityHint = new QLabel(this);
    m_securityHint->setObjectName(QStringLiteral("SmtpSecurityHint"));
    m_securityHint->setWordWrap(true);
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("SmtpUserEdit"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("SmtpPasswordEdit"));
    m_password->setEchoMode(QLineEdit::Password);
    m_passwordPlace = new QLabel(this);
    m_passwordPlace->setObjectName(QStringLiteral("SmtpPasswordPlaceLabel"));
    m_passwordPlace->setAccessibleName(QStringLiteral("密码保存位置"));
    m_passwordPlace->setWordWrap(true);
    m_from = new QLineEdit(this);
    m_from->setObjectName(QStringLiteral("SmtpFromEdit"));
    m_caFile = new QLineEdit(this);
    m_caFile->setObjectName(QStringLiteral("SmtpCaFileEdit"));
    m_caFile->setPlaceholderText(QStringLiteral("留空则信任系统的证书"));
    auto* caButton = new QPushButton(QStringLiteral("选择…"), this);
    caButton->setObjectName(QStringLiteral("SmtpCaFileButton"));
    connect(caButton, &QPushButton::clicked, this, &MailServerDialog::chooseCaFile);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    caRow->addWidget(caButton);
    form->addRow(QStringLiteral("SMTP服务器："), m_host);
    form->addRow(QStringLiteral("端口："), m_port);
    form->addRow(QStringLiteral("加密方式："), m_security);
    form->addRow(QString(), m_securityHint);
    form->addRow(QStringLiteral("用户名："), m_user);
    form->addRow(QStringLiteral("密码："), m_password);
    form->addRow(QString(), m_passwordPlace);
    form->addRow(QStringLiteral("发件人Email："), m_from);
    form->addRow(QStringLiteral("CA证书文件："), caRow);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(QStringLiteral("保存"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("SaveButton"));
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    layout->addWidget(buttons);
    connect(save, &QPushButton::clicked, this, &MailServerDialog::save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Switching the encryption moves the port along while it is still a standard one.
    connect(m_security, &QComboBox::currentIndexChanged, this, [this] {
        const auto security = MailServerSettings::Security(m_security->currentData().toInt());
        const int port = m_port->value();
        if (port == 25 || port == 465 || port == 587)
            m_port->setValue(MailServerSettings::defaultPort(security));
        m_securityHint->setText(securityHint(security));
    });

    // A password left in System.ini by an earlier version (or a session without a keyring)
    // moves into the keyring as soon as one runs.
    const AccountPassword::Shown password = AccountPassword::mail().forDialog(m_file, SecretStore());
    MailServerSettings s = MailServerSettings::load(m_file);
    s.password = password.found.password;
    m_keyringUnread = password.keyringUnread;
    showValues(s);
    m_passwordPlace->setText(password.placeText);
}

void MailServerDialog::showValues(const MailServerSettings& s)
{
    m_host->setText(s.host);
    m_user->setText(s.user);
    m_password->setText(s.password);
    m_from->setText(s.from);
    m_caFile->setText(s.caFile);
    m_security->setCurrentIndex(m_security->findData(int(s.security)));
    m_securityHint->setText(securityHint(s.security));
    m_port->setValue(s.port >= 1 && s.port <= 65535 ? s.port : MailServerSettings::defaultPort(s.security));
}

void MailServerDialog::chooseCaFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("选择CA证书文件"), m_caFile->text(),
                                     QStringLiteral("PEM证书 (*.pem *.crt *.cer);;所有文件 (*)"));
    if (!path.isEmpty())
        m_caFile->setText(path);
}

MailServerSettings MailServerDialog::values() const
{
    MailServerSettings s;
    s.host = m_host->text().trimmed();
    s.port = m_port->value();
    s.security = MailServerSettings::Security(m_security->currentData().toInt());
    s.user = m_user->text().trimmed();
    s.password = m_password->text().trimmed();
    s.from = m_from->text().trimmed();
    s.caFile = m_caFile->text().trimmed();
    return s;
}

void MailServerDialog::save()
{
    ui::showErrors(this, [this] {
        const MailServerSettings s = values();
        if (s.host.isEmpty())
            throw Error(QStringLiteral("请填写SMTP服务器。"));
        if (s.from.isEmpty())
            throw Error(QStringLiteral("请填写发件人Email。"));
        s.validate();
        if (s.passwordMayGoInClear() &&
            !MessageBox::question(
                this,
                QStringLiteral("选择了“不要求加密”：服务器 %1 不支持STARTTLS时，登录密码将以明文经网络发送。"
                               "\n确定保存吗？")
                    .arg(s.host),
                QStringLiteral("邮件服务器")))
            return;
        // Long enough for the keyring to ask the user to unlock it.
        const SecretStore keyring(std::chrono::seconds(60));
        // A password the keyring holds but could not give is not taken for a cleared one.
        const AccountPassword::Place place = s.password.isEmpty() && m_keyringUnread
                                                 ? AccountPassword::Place::Nowhere
                                                 : AccountPassword::mail().save(m_file, keyring, s.password);
        MailServerSettings inFile = s;
        if (place != AccountPassword::Place::SettingsFile)
            inFile.password.clear();
        inFile.save(m_file);
        MessageBox::information(this,
                                QStringLiteral("邮件服务器设置已保存。") + AccountPassword::savedNote(place));
        accept();
    });
}
