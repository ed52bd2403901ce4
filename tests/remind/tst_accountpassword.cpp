#include "remind/MailServerDialog.h"
#include "remind/RemindCommand.h"
#include "store/AccountPassword.h"
#include "store/Clock.h"
#include "store/Database.h"
#include "store/IniFile.h"
#include "store/SecretStore.h"
#include "store/SettingKeys.h"
#include "store/Settings.h"
#include "support/CardBuilder.h"
#include "support/RadicaleServer.h"
#include "support/SmtpServer.h"
#include "support/TempHome.h"
#include "sync/CalendarSyncDialog.h"
#include "sync/SyncCommand.h"
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

class TestAccountPassword : public QObject
{
    Q_OBJECT
private slots:
    void withoutKeyringStaysInSettingsFile();
    void keyringKeepsAnyKey();
    void keyringTakesPasswordOverFromSettingsFile();
    void remindReadsKeyring();
    void calendarPasswordGoesToKeyring();
};

// No session bus (cron): the answer comes at once, and System.ini keeps the password, as the
// dialog says. A password kept in the keyring that cannot be read now is named as the problem.
void TestAccountPassword::withoutKeyringStaysInSettingsFile()
{
    if (inKeyringSession())
        QSKIP("runs without a session bus");
    const SecretStore keyring;
    QCOMPARE(keyring.lookup(AccountPassword::mail().keyringKey()).status, SecretStore::Status::NoService);
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
void TestAccountPassword::keyringKeepsAnyKey()
{
    if (!inKeyringSession())
        QSKIP("runs under keyring_session.sh");
    const SecretStore keyring;
    QVERIFY(keyring.available());
    const QString key = QStringLiteral("caldav_password");
    QCOMPARE(keyring.lookup(key).status, SecretStore::Status::NotFound);
    QVERIFY(keyring.store(key, "Velmora 日历密码", "日历-pass").ok());
    QVERIFY(keyring.store(AccountPassword::mail().keyringKey(), "Velmora 邮件服务器密码", "mail-pass").ok());
    QCOMPARE(keyring.lookup(key).value, QStringLiteral("日历-pass"));
    QVERIFY(keyring.store(key, "Velmora 日历密码", "replaced").ok()); // the same item, not a second
    QCOMPARE(keyring.lookup(key).value, QStringLiteral("replaced"));
    QVERIFY(keyring.clear(key).ok());
    QCOMPARE(keyring.lookup(key).status, SecretStore::Status::NotFound);
    QCOMPARE(keyring.lookup(AccountPassword::mail().keyringKey()).value, QStringLiteral("mail-pass"));
    QVERIFY(keyring.clear(AccountPassword::mail().keyringKey()).ok());
    QVERIFY(keyring.clear(AccountPassword::mail().keyringKey()).ok()); // nothing left to clear is no failure
}

// A password in System.ini moves into the keyring when the dialog opens; the dialog says so and
// saves an edit there; System.ini never gets it back.
void TestAccountPassword::keyringTakesPasswordOverFromSettingsFile()
{
    if (!inKeyringSession())
        QSKIP("runs under keyring_session.sh");
    const SecretStore keyring;
    TempHome home;
    home.writeIni(iniText(SmtpServer::unusedPort(), "授权码123"));
    IniFile ini(home.iniPath());
    MailServerDialog dialog(ini);
    QCOMPARE(passwordInIni(ini), QString());
    QCOMPARE(keyring.lookup(AccountPassword::mail().keyringKey()).value, QStringLiteral("授权码123"));
    QCOMPARE(dialog.findChild<QLineEdit*>("SmtpPasswordEdit")->text(), QStringLiteral("授权码123"));
    QCOMPARE(placeShown(dialog), QStringLiteral("密码保存在桌面的密钥环中。"));

    dialog.findChild<QLineEdit*>("SmtpPasswordEdit")->setText("新密码");
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
    QTest::mouseClick(dialog.findChild<QPushButton*>("SaveButton"), Qt::LeftButton);
    MessageBox::setSuppressAll(false);
    QCOMPARE(MessageBox::shownTexts(), QStringList({"邮件服务器设置已保存。\n密码保存在桌面的密钥环中。"}));
    QCOMPARE(passwordInIni(ini), QString());
    QCOMPARE(keyring.lookup(AccountPassword::mail().keyringKey()).value, QStringLiteral("新密码"));
    QVERIFY(keyring.clear(AccountPassword::mail().keyringKey()).ok());
}

// `velmora --remind` in a session with the keyring logs in with the keyring's password.
void TestAccountPassword::remindReadsKeyring()
{
    if (!inKeyringSession())
        QSKIP("runs under keyring_session.sh");
    SmtpServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const SecretStore keyring;
    QVERIFY(
        keyring
            .store(AccountPassword::mail().keyringKey(), "Velmora 邮件服务器密码", server.options().password)
            .ok());
    TempHome home;
    home.writeIni(iniText(server.port(), QString()));
    seedDueCard(home);
    QString said;
    QCOMPARE(remind(home, &said), 0);
    QVERIFY2(said.contains("已发送还款提醒邮件"), qPrintable(said));
    QCOMPARE(server.messageCount(), 1);
    QVERIFY(keyring.clear(AccountPassword::mail().keyringKey()).ok());
}

// The calendar server's password takes the same way: out of System.ini into the keyring when the
// dialog opens, and `velmora --sync-calendar` logs in with what the keyring gives.
void TestAccountPassword::calendarPasswordGoesToKeyring()
{
    if (!inKeyringSession())
        QSKIP("runs under keyring_session.sh");
    if (!RadicaleServer::installed())
        QSKIP("radicale is not installed");
    RadicaleServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    server.makeCollection(QStringLiteral("cards"));
    TempHome home;
    home.writeIni(
        QStringLiteral("[日历同步]\ncaldav_url=%1\ncaldav_user=%2\ncaldav_password=%3\n")
            .arg(server.url(QStringLiteral("cards")), server.options().user, server.options().password));
    seedDueCard(home);
    const SecretStore keyring;
    const QString key = AccountPassword::calendar().keyringKey();
    {
        Settings settings(home.iniPath());
        CalendarSyncDialog dialog(settings);
        QCOMPARE(dialog.findChild<QLineEdit*>("CaldavPasswordEdit")->text(), server.options().password);
        QCOMPARE(dialog.findChild<QLabel*>("CaldavPasswordPlaceLabel")->text(),
                 QStringLiteral("密码保存在桌面的密钥环中。"));
        QCOMPARE(Setting::text(settings.file(), SettingKeys::caldavPassword), QString());
        QCOMPARE(keyring.lookup(key).value, server.options().password);
    }

    FixedClock clock(kToday);
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    QCOMPARE(runSyncCalendarCommand(home.home(), clock, out, err), 0);
    out.flush();
    err.flush();
    QVERIFY2(errText.isEmpty(), qPrintable(errText));
    QVERIFY(!server.objects(QStringLiteral("cards")).isEmpty());
    QVERIFY(keyring.clear(key).ok());
}

QTEST_MAIN(TestAccountPassword)
#include "tst_accountpassword.moc"
