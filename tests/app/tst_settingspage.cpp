#include "app/AppAssembly.h"
#include "app/MainWindow.h"
#include "app/SettingsPage.h"
#include "store/Backup.h"
#include "store/CardLock.h"
#include "store/DataModule.h"
#include "store/Gbk.h"
#include "store/SecretBox.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

namespace {
QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestSettingsPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void saves_data();
    void saves();
    void refusedWriteShowsFileError_data();
    void refusedWriteShowsFileError();
    void showsStartupValues();
    void lockedPageAsksForCurrentPassword_data();
    void lockedPageAsksForCurrentPassword();
    void passwordFieldsMaskWithAsterisks();
    void passwordFieldsClearedWhenPageHides();
    void protectionBoxShowsValueInForce_data();
    void protectionBoxShowsValueInForce();
    void mailServerButtonAsks();
    void protectionSealsAndResetClears();
};

void TestSettingsPage::init()
{
    MessageBox::clearShownTexts();
    MessageBox::setSuppressAll(true);
}

// One save command per row: what is typed, what System.ini holds afterwards (UTF-8 here;
// "pd=<set, not X>" stands for the mark of a password set, which holds nothing of X), and the
// messages shown.
void TestSettingsPage::saves_data()
{
    // clang-format off
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("typed"); // password, again | minutes | mail address
    QTest::addColumn<bool>("ticked");       // autostart and mail boxes; the protection box is the opposite
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");

    const QString ok = QStringLiteral("参数设置成功，重启软件后生效!");
    QTest::newRow("password, trimmed equal")
        << "savePasswordButton" << QStringList{"abc", "abc "} << false << "[系统设置]\npd=<set, not abc>\n"
        << "密码设置成功，重启软件后生效!";
    QTest::newRow("password, case differs") << "savePasswordButton" << QStringList{"abc", "ABC"} << false << "" << "对不起，2次输入密码不一致，请重新输入!";
    QTest::newRow("password, both empty") << "savePasswordButton" << QStringList{"", "  "} << false << "[系统设置]\npd=\n" << "密码设置成功，重启软件后生效!";
    QTest::newRow("general") << "saveGeneralButton" << QStringList{"30"} << true << "[系统设置]\nroot=1\npdtf=0\nzxf=30\n" << ok;
    QTest::newRow("general, off") << "saveGeneralButton" << QStringList{"0"} << false << "[系统设置]\nroot=0\npdtf=1\nzxf=0\n" << ok;
    QTest::newRow("general, start in the tray") << "saveGeneralButton" << QStringList{"5", "startHiddenBox"} << true << "[系统设置]\nroot=1\npdtf=0\nzxf=5\nstarthidden=1\n" << ok;
    QTest::newRow("reminder, blanks around addresses")
        << "saveMailReminderButton" << QStringList{"  张三 <zs@example.cn>, ls@example.cn \t"} << true
        << "[系统设置]\nem=张三 <zs@example.cn>, ls@example.cn\ndd=0\nqy=1\n"
        << ok;
    QTest::newRow("reminder, no address") << "saveMailReminderButton" << QStringList{"  "} << false << "[系统设置]\nem=\ndd=0\nqy=0\n" << ok;
    // A recipient list the mail could not go to is refused, nothing written.
    QTest::newRow("reminder, only commas") << "saveMailReminderButton" << QStringList{" , , "} << true << "" << "收件人Email无法使用：没有找到任何邮件地址。";
    QTest::newRow("reminder, one address unusable")
        << "saveMailReminderButton" << QStringList{"zs@example.cn, 张三@example.cn"} << true << ""
        << "收件人Email无法使用：邮件地址“张三@example.cn”无效，请检查后重新输入。";
    // clang-format on
}

void TestSettingsPage::saves()
{
    QFETCH(QString, button);
    QFETCH(QStringList, typed);
    QFETCH(bool, ticked);
    QFETCH(QString, file);
    QFETCH(QString, message);

    TempHome home;
    AppContext context(home.home());
    SettingsPage page(context);
    if (button == u"savePasswordButton") {
        page.findChild<QLineEdit*>(QStringLiteral("newPasswordEdit"))->setText(typed[0]);
        page.findChild<QLineEdit*>(QStringLiteral("newPasswordAgainEdit"))->setText(typed[1]);
    } else if (button == u"saveGeneralButton") {
        page.findChild<QCheckBox*>(QStringLiteral("autostartBox"))->setChecked(ticked);
        page.findChild<QCheckBox*>(QStringLiteral("passwordProtectBox"))->setChecked(!ticked);
        page.findChild<QSpinBox*>(QStringLiteral("autoMinimizeMinutesBox"))->setValue(typed[0].toInt());
        if (typed.size() > 1)
            page.findChild<QCheckBox*>(typed[1])->setChecked(true);
    } else {
        page.findChild<QCheckBox*>(QStringLiteral("mailReminderBox"))->setChecked(ticked);
        page.findChild<QLineEdit*>(QStringLiteral("mailToEdit"))->setText(typed[0]);
    }
    page.findChild<QPushButton*>(button)->click();

    QCOMPARE(MessageBox::shownTexts(), QStringList{message});
    const QRegularExpression set(QStringLiteral("<set, not (.*)>"));
    if (const auto m = set.match(file); m.hasMatch()) {
        QVERIFY(!Gbk::decode(fileBytes(home.iniPath())).contains(m.captured(1)));
        file.replace(set, Settings::kPasswordInKey);
    }
    QCOMPARE(Gbk::decode(fileBytes(home.iniPath())), file);
    // The typed passwords go after either outcome.
    if (button == u"savePasswordButton") {
        QCOMPARE(page.findChild<QLineEdit*>(QStringLiteral("newPasswordEdit"))->text(), QString());
        QCOMPARE(page.findChild<QLineEdit*>(QStringLiteral("newPasswordAgainEdit"))->text(), QString());
    }
}

void TestSettingsPage::refusedWriteShowsFileError_data()
{
    // clang-format off
    QTest::addColumn<QString>("button");
    QTest::newRow("password") << "savePasswordButton";
    QTest::newRow("general")  << "saveGeneralButton";
    QTest::newRow("reminder") << "saveMailReminderButton";
    // clang-format on
}

void TestSettingsPage::refusedWriteShowsFileError()
{
    QFETCH(QString, button);
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\nqy=0\n"));
    const QByteArray before = fileBytes(home.iniPath());
    QFile::setPermissions(home.iniPath(), QFileDevice::ReadOwner);
    AppContext context(home.home());
    SettingsPage page(context);
    page.findChild<QPushButton*>(button)->click();
    QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("Unable to write to ") + home.iniPath()});
    QCOMPARE(fileBytes(home.iniPath()), before);
}

void TestSettingsPage::showsStartupValues()
{
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\nroot=1\npdtf=1\nzxf=5000\nem= a@b.cn \nqy=1\npd=abc\n"));
    AppContext context(home.home());
    AppAssembly assembly(context, {.openDatabase = false, .withLogin = false});
    MainWindow& window = assembly.window();
    auto* page = window.findChild<SettingsPage*>(QStringLiteral("settingsPage"));
    QVERIFY(page->findChild<QCheckBox*>(QStringLiteral("autostartBox"))->isChecked());
    QVERIFY(page->findChild<QCheckBox*>(QStringLiteral("passwordProtectBox"))->isChecked());
    QCOMPARE(page->findChild<QSpinBox*>(QStringLiteral("autoMinimizeMinutesBox"))->value(), 1440);
    QVERIFY(page->findChild<QCheckBox*>(QStringLiteral("mailReminderBox"))->isChecked());
    QCOMPARE(page->findChild<QLineEdit*>(QStringLiteral("mailToEdit"))->text(), QStringLiteral("a@b.cn"));
    QCOMPARE(page->findChild<QLineEdit*>(QStringLiteral("newPasswordEdit"))->text(), QString());
    QCOMPARE(page->findChild<QLineEdit*>(QStringLiteral("newPasswordEdit"))->echoMode(), QLineEdit::Password);
    QStringList groups;
    for (const char* name : {"passwordGroup", "generalGroup", "mailReminderGroup", "contactGroup", "adGroup"})
        groups << page->findChild<QGroupBox*>(QLatin1String(name))->title();
    QCOMPARE(groups, QStringList({"密码设置", "其它设置", "提醒设置", "联系方式", "广告位招租"}));
}

// Protection on and no login at this show: a new password or protection switched off needs
// the current password ("secret"). answer: "-" = not asked, "cancel", or the text typed.
void TestSettingsPage::lockedPageAsksForCurrentPassword_data()
{
    // clang-format off
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<QString>("stored"); // the password set before, "" for none
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("protect"); // the protection box when saving "其它设置"
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QStringList>("messages");

    const QString ask = QStringLiteral("请输入当前密码：");
    const QString wrong = QStringLiteral("密码错误");
    const QString pwdSaved = QStringLiteral("密码设置成功，重启软件后生效!");
    const QString saved = QStringLiteral("参数设置成功，重启软件后生效!");
    QTest::newRow("new password, right answer")     << false << "secret" << "savePasswordButton" << true  << " secret " << true  << QStringList{ask, pwdSaved};
    QTest::newRow("new password, wrong answer")     << false << "secret" << "savePasswordButton" << true  << "Secret"   << false << QStringList{ask, wrong};
    QTest::newRow("new password, cancelled")        << false << "secret" << "savePasswordButton" << true  << "cancel"   << false << QStringList{ask};
    QTest::newRow("protection off, wrong answer")   << false << "secret" << "saveGeneralButton" << false << "x"        << false << QStringList{ask, wrong};
    QTest::newRow("protection off, right answer")   << false << "secret" << "saveGeneralButton" << false << "secret"   << true  << QStringList{ask, saved};
    QTest::newRow("protection stays on: not asked") << false << "secret" << "saveGeneralButton" << true  << "-"        << true  << QStringList{saved};
    QTest::newRow("logged in: not asked")           << true  << "secret" << "savePasswordButton" << true  << "-"        << true  << QStringList{pwdSaved};
    QTest::newRow("no password yet: not asked")     << false << ""       << "savePasswordButton" << true  << "-"        << true  << QStringList{pwdSaved};
    // clang-format on
}

void TestSettingsPage::lockedPageAsksForCurrentPassword()
{
    QFETCH(bool, loggedIn);
    QFETCH(QString, stored);
    QFETCH(QString, button);
    QFETCH(bool, protect);
    QFETCH(QString, answer);
    QFETCH(bool, written);
    QFETCH(QStringList, messages);

    TempHome home;
    // No database here, so no card key: the password as an earlier version kept it.
    home.writeIni(QStringLiteral("[系统设置]\npdtf=1\npd=%1\n").arg(stored));
    AppContext context(home.home());
    AppAssembly assembly(context,
                         {.openDatabase = false, .withLogin = false}); // no login: the card tab stays locked
    MainWindow& window = assembly.window();
    window.state().pwdProtect = true;
    window.state().loggedIn = loggedIn;
    auto* page = window.settingsPage();
    page->findChild<QLineEdit*>(QStringLiteral("newPasswordEdit"))->setText(QStringLiteral("new"));
    page->findChild<QLineEdit*>(QStringLiteral("newPasswordAgainEdit"))->setText(QStringLiteral("new"));
    page->findChild<QCheckBox*>(QStringLiteral("passwordProtectBox"))->setChecked(protect);
    if (answer == u"cancel")
        MessageBox::setNextPasswordAnswer(std::nullopt);
    else if (answer != u"-")
        MessageBox::setNextPasswordAnswer(answer);
    const QByteArray before = fileBytes(home.iniPath());
    page->findChild<QPushButton*>(button)->click();

    QCOMPARE(MessageBox::shownTexts(), messages);
    if (!written) {
        QCOMPARE(fileBytes(home.iniPath()), before);
    } else if (button == u"savePasswordButton") {
        QCOMPARE(context.settings.password(), Settings::kPasswordInKey);
    } else {
        QCOMPARE(context.settings.passwordProtect(), protect);
    }
    // The box shows the protection in force, refused or not; typed passwords never stay.
    QCOMPARE(page->findChild<QCheckBox*>(QStringLiteral("passwordProtectBox"))->isChecked(),
             context.settings.passwordProtect());
    if (button == u"savePasswordButton")
        QCOMPARE(page->findChild<QLineEdit*>(QStringLiteral("newPasswordEdit"))->text(), QString());
}

void TestSettingsPage::passwordFieldsClearedWhenPageHides()
{
    TempHome home;
    AppContext context(home.home());
    SettingsPage page(context);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.findChild<QLineEdit*>(QStringLiteral("newPasswordEdit"))->setText(QStringLiteral("half typed"));
    page.findChild<QLineEdit*>(QStringLiteral("newPasswordAgainEdit"))->setText(QStringLiteral("half"));
    page.findChild<QLineEdit*>(QStringLiteral("mailToEdit"))->setText(QStringLiteral("a@velmora.test"));
    page.hide(); // another tab, or the window hidden and locked
    QCOMPARE(page.findChild<QLineEdit*>(QStringLiteral("newPasswordEdit"))->text(), QString());
    QCOMPARE(page.findChild<QLineEdit*>(QStringLiteral("newPasswordAgainEdit"))->text(), QString());
    QCOMPARE(page.findChild<QLineEdit*>(QStringLiteral("mailToEdit"))->text(),
             QStringLiteral("a@velmora.test"));
}

void TestSettingsPage::passwordFieldsMaskWithAsterisks()
{
    TempHome home;
    AppContext context(home.home());
    SettingsPage page(context);
    for (const char* name : {"newPasswordEdit", "newPasswordAgainEdit"}) {
        auto* field = page.findChild<QLineEdit*>(QLatin1String(name));
        field->setText(QStringLiteral("ab密"));
        QCOMPARE(field->displayText(), QStringLiteral("***"));
    }
}

// What "开启密码保护" shows: the protection in force (a missing pdtf counts as on).
void TestSettingsPage::protectionBoxShowsValueInForce_data()
{
    // clang-format off
    QTest::addColumn<QString>("ini");
    QTest::addColumn<bool>("ticked");
    QTest::newRow("no settings file") << ""                     << true;
    QTest::newRow("no pdtf key")      << "[系统设置]\nzxf=0\n"  << true;
    QTest::newRow("pdtf=0")           << "[系统设置]\npdtf=0\n" << false;
    QTest::newRow("pdtf=1")           << "[系统设置]\npdtf=1\n" << true;
    // clang-format on
}

void TestSettingsPage::protectionBoxShowsValueInForce()
{
    QFETCH(QString, ini);
    QFETCH(bool, ticked);
    TempHome home;
    if (!ini.isEmpty())
        home.writeIni(ini);
    AppContext context(home.home());
    AppAssembly assembly(context, {.openDatabase = false, .withLogin = false});
    MainWindow& window = assembly.window();
    auto* box = window.settingsPage()->findChild<QCheckBox*>(QStringLiteral("passwordProtectBox"));
    QCOMPARE(box->isChecked(), ticked);
    window.show(); // the first show reads the protection in force
    QCOMPARE(window.state().pwdProtect, ticked);
    QCOMPARE(box->isChecked(), ticked);
}

void TestSettingsPage::mailServerButtonAsks()
{
    TempHome home;
    AppContext context(home.home());
    SettingsPage page(context);
    QSignalSpy spy(&page, &SettingsPage::mailServerRequested);
    auto* button = page.findChild<QPushButton*>(QStringLiteral("MailServerButton"));
    QCOMPARE(button->parentWidget()->objectName(), QStringLiteral("mailReminderGroup"));
    button->click();
    QCOMPARE(spy.count(), 1);
    QVERIFY(!QFile::exists(home.iniPath()));
}

// With a password set, ticking "开启密码保护" seals the cards at once with the current password;
// "重置密码" empties them after a confirmation and keeps the rest.
void TestSettingsPage::protectionSealsAndResetClears()
{
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\npdtf=0\n"));
    home.home().ensureExists();
    DataModule data;
    data.open(home.databasePath());
    CardBuilder(data.database())
        .name(QStringLiteral("招行"))
        .number(QStringLiteral("6225880212345678"))
        .insert();
    AppContext context(home.home());
    context.data = &data;
    SettingsPage page(context);
    CardLock lock(context.settings, data.secrets());
    lock.changePassword(QStringLiteral("pw")); // protection off: kept only to check it
    page.setCardLock(&lock);
    page.setLockCheck([] { return false; });
    page.showValues(false, true, 0, false, QString());
    const auto stored = [&](const char* sql) {
        return Stored::value(data.database(), QString::fromLatin1(sql)).toString();
    };
    auto* warning = page.findChild<QLabel*>(QStringLiteral("PasswordWarning"));
    auto* reset = page.findChild<QPushButton*>(QStringLiteral("ResetPasswordButton"));
    QVERIFY(warning && reset);
    QVERIFY(warning->isVisibleTo(&page) && reset->isVisibleTo(&page));
    QVERIFY(warning->text().contains(QStringLiteral("无法恢复")));

    MessageBox::setNextPasswordAnswer(QStringLiteral("wrong"));
    page.findChild<QPushButton*>(QStringLiteral("saveGeneralButton"))->click();
    QCOMPARE(MessageBox::shownTexts().last(), QStringLiteral("密码错误"));
    QVERIFY(!SecretBox::isSealed(stored("SELECT c_no FROM txyk")));
    QVERIFY(!context.settings.passwordProtect());
    auto* protect = page.findChild<QCheckBox*>(QStringLiteral("passwordProtectBox"));
    QVERIFY(!protect->isChecked()); // refused: the box shows the protection in force
    protect->setChecked(true);

    // A copy made before sealing holds the number in clear: removed once the user agrees.
    const QString backups = Backup::folderFor(home.databasePath());
    QVERIFY(QDir().mkpath(backups));
    Backup::copyDatabase(data.database(), backups + QStringLiteral("/Data-2026-12-09.db"));
    MessageBox::clearShownTexts();
    MessageBox::setNextPasswordAnswer(QStringLiteral(" pw "));
    MessageBox::setNextAnswer(QMessageBox::Ok); // "参数设置成功…"
    MessageBox::setNextAnswer(QMessageBox::Yes);
    page.findChild<QPushButton*>(QStringLiteral("saveGeneralButton"))->click();
    QVERIFY(context.settings.passwordProtect());
    QVERIFY(SecretBox::isSealed(stored("SELECT c_no FROM txyk")));
    QVERIFY(data.secrets().unlocked()); // the card tab was open: it stays usable
    QVERIFY(MessageBox::shownTexts().last().contains(QStringLiteral("明文")));
    QVERIFY(!QFile::exists(backups + QStringLiteral("/Data-2026-12-09.db")));
    // Copies made from now on hold the sealed values only.
    Backup::copyDatabase(data.database(), backups + QStringLiteral("/Data-2026-12-10.db"));
    QVERIFY(Backup::copiesWithClearSecrets(backups).isEmpty());

    MessageBox::clearShownTexts();
    reset->click(); // answered No
    QVERIFY(SecretBox::isSealed(stored("SELECT c_no FROM txyk")));
    MessageBox::setNextAnswer(QMessageBox::Yes);
    reset->click();
    QVERIFY(MessageBox::shownTexts().first().contains(QStringLiteral("无法恢复")));
    QCOMPARE(stored("SELECT coalesce(c_no, 'empty') FROM txyk"), QStringLiteral("empty"));
    QCOMPARE(stored("SELECT c_name || c_last4 FROM txyk"), QStringLiteral("招行5678"));
    QVERIFY(context.settings.password().isEmpty());
    QVERIFY(!warning->isVisibleTo(&page));
}

QTEST_MAIN(TestSettingsPage)
#include "tst_settingspage.moc"
