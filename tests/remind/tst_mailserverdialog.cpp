#include "app/MessageBox.h"
#include "remind/MailServerDialog.h"
#include "store/IniFile.h"
#include "support/TempHome.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

class TestMailServerDialog : public QObject
{
    Q_OBJECT
private slots:
    void showsStoredValuesAndSavesEdits();
    void refusesUnusableSender();
};

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
    QCOMPARE(dialog.findChild<QLineEdit*>("SmtpFromEdit")->text(), QStringLiteral("velmora@example.com"));

    port->setValue(25);
    dialog.findChild<QComboBox*>("SmtpSecurityCombo")->setCurrentIndex(1); // STARTTLS moves 25 to 587
    dialog.findChild<QLineEdit*>("SmtpUserEdit")->setText("  me@velmora.test ");
    dialog.findChild<QLineEdit*>("SmtpPasswordEdit")->setText("授权码123");
    dialog.findChild<QLineEdit*>("SmtpFromEdit")->setText("Velmora <me@velmora.test>");
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
    QTest::mouseClick(dialog.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
    MessageBox::setSuppressAll(false);
    QCOMPARE(MessageBox::shownTexts(), QStringList({"邮件服务器设置已保存。"}));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    const MailServerSettings saved = MailServerSettings::load(ini);
    QCOMPARE(saved.host, QStringLiteral("smtp.velmora.test"));
    QCOMPARE(saved.port, 587);
    QCOMPARE(saved.security, MailServerSettings::Security::StartTls);
    QCOMPARE(saved.user, QStringLiteral("me@velmora.test"));
    QCOMPARE(saved.password, QStringLiteral("授权码123"));
    QCOMPARE(saved.from, QStringLiteral("Velmora <me@velmora.test>"));
    QCOMPARE(ini.readText("系统设置", "qy"), QStringLiteral("1")); // the other section is untouched
    QCOMPARE(QFile::permissions(home.iniPath()) & 0x0077, QFileDevice::Permissions()); // owner only
}

void TestMailServerDialog::refusesUnusableSender()
{
    TempHome home;
    IniFile ini(home.iniPath());
    MailServerDialog dialog(ini);
    dialog.findChild<QLineEdit*>("SmtpHostEdit")->setText("smtp.velmora.test");
    dialog.findChild<QLineEdit*>("SmtpFromEdit")->setText("me@velmora.test\r\nBcc: x@velmora.test");
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
    QTest::mouseClick(dialog.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
    MessageBox::setSuppressAll(false);
    QCOMPARE(MessageBox::shownTexts(), QStringList({"邮件地址中不能含有换行。"}));
    QVERIFY(dialog.result() != QDialog::Accepted);
    QVERIFY(!QFile::exists(home.iniPath()));
}

QTEST_MAIN(TestMailServerDialog)
#include "tst_mailserverdialog.moc"
