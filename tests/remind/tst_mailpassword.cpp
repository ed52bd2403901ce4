#include "remind/MailPassword.h"
#include "remind/MailServerDialog.h"
#include "remind/RemindCommand.h"
#include "store/Clock.h"
#include "store/Database.h"
#include "store/IniFile.h"
#include "store/SecretStore.h"
#include "support/CardBuilder.h"
#include "support/SmtpServer.h"
#include "support/TempHome.h"
#include "ui/MessageBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// Runs twice: plainly (no session bus: the password stays in System.ini) and under
// tests/support/keyring_session.sh (a keyring of its own: the password goes there).
namespace {

const QDate kToday(2013, 9, 5);

bool inKeyringSession()
{
    return !qEnvironmentVariableIsEmpty("VELMORA_IN_KEYRING_SESSION");
}

// A mail setup for a server on this machine; `password` null leaves smtp_password out.
QString iniText(int port, const QString& password)
{
    QString text = QStringLiteral("[系统设置]\r\nqy=1\r\nem=me@velmora.test\r\n[邮件服务器]\r\n"
                                  "smtp_host=127.0.0.1\r\nsmtp_port=%1\r\nsmtp_user=reminder@velmora.test\r\n"
                                  "smtp_from=reminder@velmora.test\r\nsmtp_security=none\r\n")
                       .arg(port);
    if (!password.isNull())
        text += QStringLiteral("smtp_password=") + password + QStringLiteral("\r\n");
    return text;
}

void seedDueCard(const TempHome& home)
{
    Database db;
    db.open(home.databasePath());
    CardBuilder(db).name("A").number("1").statementDay(20).repaymentDay(7).ratio(0.1).used(1000).insert();
}

int remind(const TempHome& home, QString* said)
{
    FixedClock clock(kToday);
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    const int status = runRemindCommand(home.home(), clock, out, err);
    out.flush();
    err.flush();
    *said = outText + errText;
    return status;
}

QString passwordInIni(const IniFile& ini)
{
    return ini.readText(QStringLiteral("邮件服务器"), QStringLiteral("smtp_password"));
}

QString placeShown(const MailServerDialog& dialog)
{
    return dialog.findChild<QLabel*>("SmtpPasswordPlaceLabel")->text();
}

} // namespace

class TestMailPassword : public QObject
{
    Q_OBJECT
private slots:
    void withoutKeyringStaysInSettingsFile();
    void keyringKeepsAnyKey();
    void keyringTakesPasswordOverFromSettingsFile();
    void remindReadsKeyring();
};

// No session bus (cron): the answer comes at once, and System.ini keeps the password, as the
// dialog says. A password kept in the keyring that cannot be read now is named as the problem.
void TestMailPassword::withoutKeyringStaysInSettingsFile()
{
    if (inKeyringSession())
        QSKIP("runs without a session bus");
    const SecretStore keyring;
    QCOMPARE(keyring.lookup(MailPassword::kKey).status, SecretStore::Status::NoService);
    QVERIFY(!keyring.available());

    TempHome home;
    home.writeIni(iniText(SmtpServer::unusedPort(), "授权码123"));
    IniFile ini(home.iniPath());
    MailServerDialog dialog(ini);
    QCOMPARE(dialog.findChild<QLineEdit*>("SmtpPasswordEdit")->text(), QStringLiteral("授权码123"));
    QVERIFY2(placeShown(dialog).contains("System.ini 中（未加密）"), qPrintable(placeShown(dialog)));
    dialog.findChild<QLineEdit*>("SmtpPasswordEdit")->setText("新密码");
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
    QTest::mouseClick(dialog.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
    MessageBox::setSuppressAll(false);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY2(MessageBox::shownTexts().join("").contains("System.ini"),
             qPrintable(MessageBox::shownTexts().join("")));
    QCOMPARE(passwordInIni(ini), QStringLiteral("新密码"));

    // Kept in a keyring this session cannot reach: said so, nothing sent, the day left open.
    home.writeIni(iniText(SmtpServer::unusedPort(), QString()));
    seedDueCard(home);
    QString said;
    QCOMPARE(remind(home, &said), 1);
    QVERIFY2(said.contains("System.ini 中没有邮件服务器的密码，桌面的密钥环现在无法读取"), qPrintable(said));
}

// Any key name has its own item: what another account's password would use.
void TestMailPassword::keyringKeepsAnyKey()
{
    if (!inKeyringSession())
        QSKIP("runs under keyring_session.sh");
    const SecretStore keyring;
    QVERIFY(keyring.available());
    const QString key = QStringLiteral("caldav_password");
    QCOMPARE(keyring.lookup(key).status, SecretStore::Status::NotFound);
    QVERIFY(keyring.store(key, "Velmora 日历密码", "日历-pass").ok());
    QVERIFY(keyring.store(MailPassword::kKey, "Velmora 邮件服务器密码", "mail-pass").ok());
    QCOMPARE(keyring.lookup(key).value, QStringLiteral("日历-pass"));
    QVERIFY(keyring.store(key, "Velmora 日历密码", "replaced").ok()); // the same item, not a second
    QCOMPARE(keyring.lookup(key).value, QStringLiteral("replaced"));
    QVERIFY(keyring.clear(key).ok());
    QCOMPARE(keyring.lookup(key).status, SecretStore::Status::NotFound);
    QCOMPARE(keyring.lookup(MailPassword::kKey).value, QStringLiteral("mail-pass"));
    QVERIFY(keyring.clear(MailPassword::kKey).ok());
    QVERIFY(keyring.clear(MailPassword::kKey).ok()); // nothing left to clear is no failure
}

// A password in System.ini moves into the keyring when the dialog opens; the dialog says so and
// saves an edit there; System.ini never gets it back.
void TestMailPassword::keyringTakesPasswordOverFromSettingsFile()
{
    if (!inKeyringSession())
        QSKIP("runs under keyring_session.sh");
    const SecretStore keyring;
    TempHome home;
    home.writeIni(iniText(SmtpServer::unusedPort(), "授权码123"));
    IniFile ini(home.iniPath());
    MailServerDialog dialog(ini);
    QCOMPARE(passwordInIni(ini), QString());
    QCOMPARE(keyring.lookup(MailPassword::kKey).value, QStringLiteral("授权码123"));
    QCOMPARE(dialog.findChild<QLineEdit*>("SmtpPasswordEdit")->text(), QStringLiteral("授权码123"));
    QCOMPARE(placeShown(dialog), QStringLiteral("密码保存在桌面的密钥环中。"));

    dialog.findChild<QLineEdit*>("SmtpPasswordEdit")->setText("新密码");
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
    QTest::mouseClick(dialog.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
    MessageBox::setSuppressAll(false);
    QCOMPARE(MessageBox::shownTexts(), QStringList({"邮件服务器设置已保存。\n密码保存在桌面的密钥环中。"}));
    QCOMPARE(passwordInIni(ini), QString());
    QCOMPARE(keyring.lookup(MailPassword::kKey).value, QStringLiteral("新密码"));
    QVERIFY(keyring.clear(MailPassword::kKey).ok());
}

// `velmora --remind` in a session with the keyring logs in with the keyring's password.
void TestMailPassword::remindReadsKeyring()
{
    if (!inKeyringSession())
        QSKIP("runs under keyring_session.sh");
    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const SecretStore keyring;
    QVERIFY(keyring.store(MailPassword::kKey, "Velmora 邮件服务器密码", server.options().password).ok());
    TempHome home;
    home.writeIni(iniText(server.port(), QString()));
    seedDueCard(home);
    QString said;
    QCOMPARE(remind(home, &said), 0);
    QVERIFY2(said.contains("已发送还款提醒邮件"), qPrintable(said));
    QCOMPARE(server.messageCount(), 1);
    QVERIFY(keyring.clear(MailPassword::kKey).ok());
}

QTEST_MAIN(TestMailPassword)
#include "tst_mailpassword.moc"
