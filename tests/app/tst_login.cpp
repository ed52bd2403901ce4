#include "app/AppAssembly.h"
#include "app/LoginDialog.h"
#include "app/LoginGate.h"
#include "app/MainWindow.h"
#include "remind/ReminderWindow.h"
#include "store/DataModule.h"
#include "store/PasswordHash.h"
#include "store/SecretBox.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"
#include "views/CardEditor.h"
#include "views/CardPage.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <functional>

class TestLogin : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void gate_data();
    void gate();
    void passwordIsNotKeptInTheSettingsFile();
    void correctPasswordOpensCardTab();
    void closingWithoutLoginKeepsCardTabHidden();
    void newPasswordAppliesAtNextLogin();
    void emptyPasswordNoteOnlyWhileNoneSet_data();
    void emptyPasswordNoteOnlyWhileNoneSet();
    void loginComesAboveReminder();
    void loginOpensCardSecretsWhileTabIsOpen();
    void copySealedUnderEarlierPasswordAsksForIt_data();
    void copySealedUnderEarlierPasswordAsksForIt();
    void copySealedBeforeResetOpensWithItsPassword_data();
    void copySealedBeforeResetOpensWithItsPassword();
};

void TestLogin::init()
{
    MessageBox::clearShownTexts();
    MessageBox::setSuppressAll(true);
}

// stored: "-" = no pd key; "hash:<pw>" = saved by the settings page; else the plain file value.
void TestLogin::gate_data()
{
    // clang-format off
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("no pd, empty field")        << "-"           << ""       << true;
    QTest::newRow("no pd, blanks only")        << "-"           << "  \t "  << true;
    QTest::newRow("no pd, some text")          << "-"           << "abc"    << false;
    QTest::newRow("plain, exact")              << "abc"         << "abc"    << true;
    QTest::newRow("plain, blanks around")      << "abc"         << " abc\t" << true;
    QTest::newRow("plain, other case")         << "abc"         << "ABC"    << false;
    QTest::newRow("plain with blanks in file") << "  abc  "     << "abc"    << true;
    QTest::newRow("full-width space is text")  << "abc"         << "abc　"  << false;
    QTest::newRow("digest, exact")             << "hash:信用卡" << "信用卡" << true;
    QTest::newRow("digest, blanks around")     << "hash:abc"    << "  abc " << true;
    QTest::newRow("digest, other case")        << "hash:abc"    << "Abc"    << false;
    QTest::newRow("digest, empty field")       << "hash:abc"    << ""       << false;
    QTest::newRow("empty pd key")              << ""            << ""       << true;
    // clang-format on
}

void TestLogin::gate()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    TempHome home;
    Settings settings(home.iniPath());
    if (stored.startsWith(QLatin1String("hash:"))) // as an earlier version kept it
        settings.file().writeText(Settings::kSection, QStringLiteral("pd"),
                                  PasswordHash::make(stored.mid(5), 1000));
    else if (stored != u"-")
        home.writeIni(QStringLiteral("[系统设置]\npd=%1\n").arg(stored));
    QCOMPARE(LoginGate(settings).accepts(typed), accepted);
}

void TestLogin::passwordIsNotKeptInTheSettingsFile()
{
    TempHome home;
    Settings settings(home.iniPath());
    settings.savePassword(QStringLiteral("secret"));
    // Only the card key in the database can check it: nothing cheaper to guess against.
    QCOMPARE(settings.password(), Settings::kPasswordInKey);
    QVERIFY(settings.passwordSet());
    QVERIFY(!settings.checkPassword(QStringLiteral("secret")));
    QVERIFY(!settings.checkPassword(Settings::kPasswordInKey));
    settings.savePassword(QString()); // the empty password stays empty: "首次登录密码为空"
    QCOMPARE(settings.password(), QString());
    QVERIFY(settings.checkPassword(QString()));
}

namespace {
// A protected main window with its login dialog, as start-up builds them.
struct ProtectedWindow
{
    TempHome home;
    AppContext context{home.home()};
    std::unique_ptr<AppAssembly> assembly;
    MainWindow* window = nullptr;
    LoginDialog* login = nullptr;

    ReminderWindow* reminder = nullptr;

    explicit ProtectedWindow(const QString& password, bool withReminder = false)
    {
        // No database here, so no card key: the password as an earlier version kept it.
        home.writeIni(QStringLiteral("[系统设置]\npdtf=1\npd=%1\n").arg(password));
        assembly = std::make_unique<AppAssembly>(context, AppAssembly::Options{.openDatabase = false});
        window = &assembly->window();
        login = assembly->login();
        if (withReminder)
            reminder = &assembly->reminder();
    }
    QTabWidget* pages() const { return window->pages(); }
    // Runs `steps` once the modal login dialog is up.
    void whenDialogOpens(std::function<void()> steps)
    {
        QTimer::singleShot(0, login, [this, steps] {
            QVERIFY(login->isVisible());
            steps();
        });
    }
    void type(const QString& text)
    {
        login->passwordField()->setText(text);
        login->loginButton()->click();
    }
};
// A card sealed under the password "old", a copy of the database taken, then `change` (a
// password change, a reset) applied, and the copy put back in place of the database.
bool putBackCopySealedUnderOld(const TempHome& home, const std::function<void(Settings&, CardLock&)>& change)
{
    home.writeIni(QStringLiteral("[系统设置]\npdtf=1\npd=old\n"));
    home.home().ensureExists();
    const QString copy = home.path() + QStringLiteral("/copy.db");
    {
        Settings settings(home.iniPath());
        DataModule data;
        data.open(home.databasePath());
        CardBuilder(data.database())
            .name(QStringLiteral("招行"))
            .number(QStringLiteral("6225880212345678"))
            .statementDay(20)
            .repaymentDay(7)
            .insert();
        CardLock lock(settings, data.secrets());
        if (!lock.login(QStringLiteral("old")).accepted || !QFile::copy(home.databasePath(), copy))
            return false;
        change(settings, lock);
    }
    return QFile::remove(home.databasePath()) && QFile::copy(copy, home.databasePath());
}

} // namespace

void TestLogin::correctPasswordOpensCardTab()
{
    ProtectedWindow w(QStringLiteral("abc"));
    QCOMPARE(w.login->windowTitle(), QStringLiteral("登录"));
    QCOMPARE(w.login->passwordField()->echoMode(), QLineEdit::Password);
    w.login->passwordField()->setText(QStringLiteral("a密 "));
    QCOMPARE(w.login->passwordField()->displayText(), QStringLiteral("***"));
    QVERIFY(w.login->loginButton()->isDefault());
    bool tabHiddenWhileAsking = false;
    w.whenDialogOpens([&] {
        tabHiddenWhileAsking = !w.window->isCardTabVisible();
        w.type(QStringLiteral("ABC"));
        QVERIFY(w.login->isVisible()); // another try
        QCOMPARE(w.login->passwordField()->text(), QStringLiteral("ABC"));
        w.type(QStringLiteral(" abc "));
    });
    w.window->show();
    QVERIFY(tabHiddenWhileAsking);
    QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("密码错误，请重新登录！")});
    QVERIFY(w.window->isCardTabVisible());
    QCOMPARE(w.pages()->currentWidget()->objectName(), QStringLiteral("cardPage"));
    QVERIFY(w.window->state().loggedIn);
}

void TestLogin::closingWithoutLoginKeepsCardTabHidden()
{
    ProtectedWindow w{QString()}; // no password set yet
    w.whenDialogOpens([&] { w.login->reject(); });
    w.window->show();
    QVERIFY(!w.window->isCardTabVisible());
    QCOMPARE(w.pages()->currentWidget()->objectName(), QStringLiteral("bankPage"));
    QVERIFY(!w.window->state().loggedIn);
    QVERIFY(w.window->state().refreshed); // the refresh pass runs whatever the outcome
    QVERIFY(MessageBox::shownTexts().isEmpty());
}

void TestLogin::newPasswordAppliesAtNextLogin()
{
    ProtectedWindow w(QStringLiteral("old"));
    w.whenDialogOpens([&] { w.type(QStringLiteral("old")); });
    w.window->show();
    QVERIFY(w.window->state().loggedIn);

    w.context.settings.file().writeText(Settings::kSection, QStringLiteral("pd"), QStringLiteral("new"));
    w.window->hide();
    w.whenDialogOpens([&] {
        QCOMPARE(w.login->passwordField()->text(), QString()); // emptied at every opening
        w.type(QStringLiteral("old"));
        w.type(QStringLiteral("new"));
    });
    w.window->show();
    QCOMPARE(MessageBox::shownTexts(), QStringList{QStringLiteral("密码错误，请重新登录！")});
    QVERIFY(w.window->state().loggedIn);
}

// "首次登录密码为空" is only true while no password is set.
void TestLogin::emptyPasswordNoteOnlyWhileNoneSet_data()
{
    // clang-format off
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("noteShown");
    QTest::newRow("none set") << QString()             << true;
    QTest::newRow("set")      << QStringLiteral("abc") << false;
    // clang-format on
}

void TestLogin::emptyPasswordNoteOnlyWhileNoneSet()
{
    QFETCH(QString, password);
    QFETCH(bool, noteShown);
    ProtectedWindow w(password);
    auto* note = w.login->findChild<QLabel*>(QStringLiteral("loginNote"));
    QCOMPARE(note->text(), QStringLiteral("首次登录密码为空"));
    bool shown = !noteShown;
    w.whenDialogOpens([&] {
        shown = note->isVisible();
        w.login->reject();
    });
    w.window->show();
    QCOMPARE(shown, noteShown);

    // A password set (or cleared) later counts at the next opening.
    w.context.settings.savePassword(noteShown ? QStringLiteral("abc") : QString());
    w.window->hide();
    w.whenDialogOpens([&] {
        shown = note->isVisible();
        w.login->reject();
    });
    w.window->show();
    QCOMPARE(shown, !noteShown);
}

void TestLogin::loginComesAboveReminder()
{
    // The reminder stays on top of all windows: while the modal login is up it steps aside,
    // and it is back once the login is over.
    ProtectedWindow w(QStringLiteral("abc"), true);
    w.whenDialogOpens([&] { w.type(QStringLiteral("abc")); });
    w.window->show();
    w.reminder->show();
    QVERIFY(w.reminder->windowFlags() & Qt::WindowStaysOnTopHint);
    w.window->hide();

    bool reminderUpDuringLogin = true;
    w.whenDialogOpens([&] {
        reminderUpDuringLogin = w.reminder->isVisible();
        w.type(QStringLiteral("abc"));
    });
    w.window->show();
    QVERIFY(!reminderUpDuringLogin);
    QVERIFY(w.reminder->isVisible());
    QVERIFY(w.window->state().loggedIn);
}

// The card secrets are sealed on disk, opened by the login for the card tab and dropped when
// the gate asks again (a restore from the tray).
void TestLogin::loginOpensCardSecretsWhileTabIsOpen()
{
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\npdtf=1\n"));
    home.home().ensureExists();
    DataModule data;
    data.open(home.databasePath());
    CardBuilder(data.database())
        .name(QStringLiteral("招行"))
        .number(QStringLiteral("6225880212345678"))
        .set(QStringLiteral("c_xym"), QStringLiteral("579"))
        .statementDay(20)
        .repaymentDay(7)
        .insert();
    data.cards().close();
    data.cards().open();
    AppContext context(home.home());
    context.data = &data;
    // As an earlier version kept it: the first login seals the card under it.
    context.settings.file().writeText(Settings::kSection, QStringLiteral("pd"), QStringLiteral("pw"));
    AppAssembly assembly(context, {.data = &data});
    MainWindow& window = assembly.window();
    LoginDialog* login = assembly.login();
    const auto storedNumber = [&] {
        return Stored::value(data.database(), QStringLiteral("SELECT c_no FROM txyk")).toString();
    };
    const auto shownNumber = [&] {
        return window.cardPage()->editor()->fieldEdit(QStringLiteral("c_no"))->text();
    };

    QString shownWhileAsking;
    QTimer::singleShot(0, login, [&] {
        shownWhileAsking = shownNumber();
        login->passwordField()->setText(QStringLiteral("PW"));
        login->loginButton()->click(); // wrong: nothing opened
        QVERIFY(!data.secrets().unlocked());
        login->passwordField()->setText(QStringLiteral("pw"));
        login->loginButton()->click();
    });
    window.show();
    // The first login with protection on seals the cards still clear, and shows them opened.
    QVERIFY(SecretBox::isSealed(storedNumber()));
    QVERIFY(data.secrets().unlocked());
    QCOMPARE(shownNumber(), QStringLiteral("6225880212345678"));
    QCOMPARE(window.cardPage()->editor()->fieldEdit(QStringLiteral("c_xym"))->text(), QStringLiteral("579"));

    // Hidden to the tray and restored: dropped before the gate asks; closing it keeps them sealed.
    window.hide();
    QTimer::singleShot(0, login, [&] {
        shownWhileAsking = shownNumber();
        QVERIFY(!data.secrets().unlocked());
        login->reject();
    });
    window.show();
    QCOMPARE(shownWhileAsking, CardSecrets::kLockedText);
    QVERIFY(!data.secrets().unlocked());
    QVERIFY(!window.isCardTabVisible());
}

void TestLogin::copySealedUnderEarlierPasswordAsksForIt_data()
{
    QTest::addColumn<std::optional<QString>>("earlier");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("told"); // the last message shown
    QTest::newRow("earlier password") << std::optional<QString>(QStringLiteral(" old ")) << true << QString();
    QTest::newRow("wrong earlier password") << std::optional<QString>(QStringLiteral("older")) << false
                                            << QStringLiteral("这个密码也打不开卡片资料");
    QTest::newRow("cancelled") << std::optional<QString>() << false << QStringLiteral("未能打开");
}

// The database was put back from a copy sealed before the password changed: the login asks for
// the password of then, and with it seals the cards again under the one just typed.
void TestLogin::copySealedUnderEarlierPasswordAsksForIt()
{
    QFETCH(std::optional<QString>, earlier);
    QFETCH(bool, accepted);
    QFETCH(QString, told);
    TempHome home;
    QVERIFY(putBackCopySealedUnderOld(
        home, [](Settings&, CardLock& lock) { lock.changePassword(QStringLiteral("new")); }));

    Settings settings(home.iniPath());
    DataModule data;
    data.open(home.databasePath());
    CardLock lock(settings, data.secrets());
    LoginGate gate(settings);
    gate.setCardLock(&lock);
    LoginDialog dialog;
    dialog.setGate(&gate);
    MessageBox::setNextPasswordAnswer(earlier);
    dialog.passwordField()->setText(QStringLiteral("new"));
    dialog.loginButton()->click();
    const QStringList shown = MessageBox::shownTexts();
    QVERIFY2(shown.first().contains(QStringLiteral("另一个密码加密")), qPrintable(shown.join('|')));
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(data.secrets().unlocked(), accepted);
    if (accepted) {
        QCOMPARE(shown.size(), 1);
        data.secrets().lock();
        QVERIFY(lock.login(QStringLiteral("new")).accepted);
    } else {
        QVERIFY2(shown.last().contains(told), qPrintable(shown.join('|')));
        QVERIFY(!lock.login(QStringLiteral("new")).accepted); // nothing changed
        QVERIFY(lock.login(QStringLiteral("old")).accepted);
    }
}

void TestLogin::copySealedBeforeResetOpensWithItsPassword_data()
{
    QTest::addColumn<bool>("protect");
    QTest::newRow("protection on") << true;
    QTest::newRow("protection off") << false;
}

// "重置密码" left no password, then a copy sealed before it was put back: the window asks for a
// login even with protection off, the empty password leads to the question for the password of
// then, and that password opens the cards and is the login password again.
void TestLogin::copySealedBeforeResetOpensWithItsPassword()
{
    QFETCH(bool, protect);
    TempHome home;
    QVERIFY(putBackCopySealedUnderOld(home, [protect](Settings& settings, CardLock& lock) {
        lock.reset();
        settings.saveGeneral(false, protect, 0);
    }));

    DataModule data;
    data.open(home.databasePath());
    AppContext context(home.home());
    context.data = &data;
    AppAssembly assembly(context, {.data = &data});
    MainWindow& window = assembly.window();
    LoginDialog* login = assembly.login();
    bool asked = false;
    QTimer::singleShot(0, login, [&] {
        asked = true;
        MessageBox::setNextPasswordAnswer(QStringLiteral("old"));
        login->passwordField()->clear();
        login->loginButton()->click();
    });
    window.show();
    QVERIFY(asked);
    const QStringList shown = MessageBox::shownTexts();
    QVERIFY2(shown.first().contains(QStringLiteral("另一个密码加密")), qPrintable(shown.join('|')));
    QVERIFY2(shown.first().contains(QStringLiteral("这个密码重新成为登录密码")), qPrintable(shown.join('|')));
    QVERIFY2(shown.contains(QStringLiteral("卡片资料已用当时的密码打开，这个密码重新成为登录密码。")),
             qPrintable(shown.join('|')));
    QVERIFY(window.isCardTabVisible());
    QCOMPARE(window.cardPage()->editor()->fieldEdit(QStringLiteral("c_no"))->text(),
             QStringLiteral("6225880212345678"));

    Settings settings(home.iniPath());
    QVERIFY(settings.passwordSet());
    CardLock lock(settings, data.secrets());
    data.secrets().lock();
    QVERIFY(!lock.login(QString()).accepted);
    QVERIFY(lock.login(QStringLiteral("old")).accepted);
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
