#include "remind/MailServerDialog.h"
#include "store/IniFile.h"
#include "support/TempHome.h"
#include "ui/MessageBox.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryFile>
#include <QtTest>

class TestMailServerDialog : public QObject
{
    Q_OBJECT
private slots:
    void startsEmptyWithStartTls();
    void showsStoredValuesAndSavesEdits();
    void refusesUnusableValues_data();
    void refusesUnusableValues();
    void warnsBeforePasswordInClear_data();
    void warnsBeforePasswordInClear();
};

// Nothing is offered that is not the user's: no server, no account, no password, and the
// encryption that keeps the password safe.
void TestMailServerDialog::startsEmptyWithStartTls()
{
    TempHome home;
    IniFile ini(home.iniPath());
    MailServerDialog dialog(ini);
    for (const char* name :
         {"SmtpHostEdit", "SmtpUserEdit", "SmtpPasswordEdit", "SmtpFromEdit", "SmtpCaFileEdit"})
        QVERIFY2(dialog.findChild<QLineEdit*>(name)->text().isEmpty(), name);
    auto* security = dialog.findChild<QComboBox*>("SmtpSecurityCombo");
    QCOMPARE(security->currentData().toInt(), int(MailServerSettings::Security::StartTls));
    QCOMPARE(dialog.findChild<QSpinBox*>("SmtpPortSpin")->value(), 587);
    auto* hint = dialog.findChild<QLabel*>("SmtpSecurityHint");
    QVERIFY(hint->text().contains("STARTTLS"));
    security->setCurrentIndex(security->findData(int(MailServerSettings::Security::None)));
    QVERIFY2(hint->text().contains("仍会加密"), qPrintable(hint->text()));
    QCOMPARE(dialog.findChild<QSpinBox*>("SmtpPortSpin")->value(), 25);
}

void TestMailServerDialog::showsStoredValuesAndSavesEdits()
{
    TempHome home;
    home.writeIni("[系统设置]\r\nqy=1\r\n[邮件服务器]\r\nsmtp_host=smtp.velmora.test\r\nsmtp_port=2525\r\n");
    IniFile ini(home.iniPath());
    MailServerDialog dialog(ini);
    auto* host = dialog.findChild<QLineEdit*>("SmtpHostEdit");
    auto* port = dialog.findChild<QSpinBox*>("SmtpPortSpin");
    QCOMPARE(host->text(), QStringLiteral("smtp.velmora.test"));
    QCOMPARE(port->value(), 2525);
    QCOMPARE(dialog.findChild<QComboBox*>("SmtpSecurityCombo")->currentData().toInt(),
             int(MailServerSettings::Security::StartTls)); // no smtp_security: the default

    port->setValue(465);
    auto* security = dialog.findChild<QComboBox*>("SmtpSecurityCombo");
    security->setCurrentIndex(security->findData(int(MailServerSettings::Security::None)));
    security->setCurrentIndex(security->findData(int(MailServerSettings::Security::StartTls))); // 25 -> 587
    dialog.findChild<QLineEdit*>("SmtpUserEdit")->setText("  me@velmora.test ");
    dialog.findChild<QLineEdit*>("SmtpPasswordEdit")->setText("授权码123");
    dialog.findChild<QLineEdit*>("SmtpFromEdit")->setText("Velmora <me@velmora.test>");
    QTemporaryFile pem;
    QVERIFY(pem.open());
    pem.write("-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n");
    pem.flush();
    dialog.findChild<QLineEdit*>("SmtpCaFileEdit")->setText(pem.fileName());
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
    QTest::mouseClick(dialog.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
    MessageBox::setSuppressAll(false);
    QCOMPARE(
        MessageBox::shownTexts(),
        QStringList({"邮件服务器设置已保存。\n密码保存在 System.ini 中（未加密）：桌面没有可用的密钥环。"}));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    const MailServerSettings saved = MailServerSettings::load(ini);
    QCOMPARE(saved.host, QStringLiteral("smtp.velmora.test"));
    QCOMPARE(saved.port, 587);
    QCOMPARE(saved.security, MailServerSettings::Security::StartTls);
    QCOMPARE(saved.user, QStringLiteral("me@velmora.test"));
    QCOMPARE(saved.password, QStringLiteral("授权码123"));
    QCOMPARE(saved.from, QStringLiteral("Velmora <me@velmora.test>"));
    QCOMPARE(saved.caFile, pem.fileName());
    QCOMPARE(ini.readText("邮件服务器", "smtp_security"), QStringLiteral("starttls"));
    QCOMPARE(ini.readText("系统设置", "qy"), QStringLiteral("1")); // the other section is untouched
    QCOMPARE(QFile::permissions(home.iniPath()) & 0x0077, QFileDevice::Permissions()); // owner only
}

void TestMailServerDialog::refusesUnusableValues_data()
{
    // clang-format off
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("caFile");
    QTest::addColumn<QString>("message");
    QTest::newRow("header in the sender") << "me@velmora.test\r\nBcc: x@velmora.test" << "" << "邮件地址中不能含有换行。";
    QTest::newRow("no sender") << "" << "" << "请填写发件人Email。";
    QTest::newRow("CA file missing") << "me@velmora.test" << "/nonexistent/ca.pem" << "证书文件“/nonexistent/ca.pem”无法读取或不是PEM格式的证书。";
    // clang-format on
}

void TestMailServerDialog::refusesUnusableValues()
{
    QFETCH(QString, from);
    QFETCH(QString, caFile);
    QFETCH(QString, message);
    TempHome home;
    IniFile ini(home.iniPath());
    MailServerDialog dialog(ini);
    dialog.findChild<QLineEdit*>("SmtpHostEdit")->setText("smtp.velmora.test");
    dialog.findChild<QLineEdit*>("SmtpFromEdit")->setText(from);
    dialog.findChild<QLineEdit*>("SmtpCaFileEdit")->setText(caFile);
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
    QTest::mouseClick(dialog.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
    MessageBox::setSuppressAll(false);
    QCOMPARE(MessageBox::shownTexts(), QStringList({message}));
    QVERIFY(dialog.result() != QDialog::Accepted);
    QVERIFY(!QFile::exists(home.iniPath()));
}

// "不要求加密" with a login to another machine: the password may go in clear; asked first.
void TestMailServerDialog::warnsBeforePasswordInClear_data()
{
    // clang-format off
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("asked");
    QTest::newRow("remote server with login") << "smtp.velmora.test" << "me" << true;
    QTest::newRow("remote address with login") << "192.0.2.7" << "me" << true;
    QTest::newRow("remote server, no login") << "smtp.velmora.test" << "" << false;
    QTest::newRow("this machine by name") << "localhost" << "me" << false;
    QTest::newRow("this machine by address") << "127.0.0.1" << "me" << false;
    QTest::newRow("this machine, IPv6") << "::1" << "me" << false;
    // clang-format on
}

void TestMailServerDialog::warnsBeforePasswordInClear()
{
    QFETCH(QString, host);
    QFETCH(QString, user);
    QFETCH(bool, asked);
    TempHome home;
    IniFile ini(home.iniPath());
    MailServerDialog dialog(ini);
    dialog.findChild<QLineEdit*>("SmtpHostEdit")->setText(host);
    dialog.findChild<QLineEdit*>("SmtpUserEdit")->setText(user);
    dialog.findChild<QLineEdit*>("SmtpFromEdit")->setText("me@velmora.test");
    auto* security = dialog.findChild<QComboBox*>("SmtpSecurityCombo");
    security->setCurrentIndex(security->findData(int(MailServerSettings::Security::None)));
    MessageBox::setSuppressAll(true); // the question is answered "No"
    MessageBox::clearShownTexts();
    QTest::mouseClick(dialog.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
    MessageBox::setSuppressAll(false);
    const QStringList shown = MessageBox::shownTexts();
    QCOMPARE(!shown.isEmpty() && shown.first().contains(QStringLiteral("明文")), asked);
    QCOMPARE(QFile::exists(home.iniPath()), !asked); // "No" saves nothing
}

QTEST_MAIN(TestMailServerDialog)
#include "tst_mailserverdialog.moc"
