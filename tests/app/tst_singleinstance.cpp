#include "app/AppAssembly.h"
#include "app/LoginDialog.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/TrayController.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"

#include <QFile>
#include <QLineEdit>
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void secondStartAsksFirstToComeForward();
    void otherHomeRunsSeparately();
    void socketLivesWhereNoOtherUserCanWrite_data();
    void socketLivesWhereNoOtherUserCanWrite();
    void unlockableHomeStillStarts();
    void secondProcessWhileHiddenUnderProtection();
};

void TestSingleInstance::secondStartAsksFirstToComeForward()
{
    QTemporaryDir home;
    SingleInstance first(home.path());
    QVERIFY(first.claim());
    QSignalSpy forward(&first, &SingleInstance::activationRequested);

    SingleInstance second(home.path());
    QVERIFY(!second.claim());
    QTRY_COMPARE(forward.count(), 1);
}

void TestSingleInstance::otherHomeRunsSeparately()
{
    QTemporaryDir homeA, homeB;
    SingleInstance a(homeA.path());
    SingleInstance b(homeB.path());
    QVERIFY(a.claim());
    QVERIFY(b.claim());
    QVERIFY(SingleInstance::serverName(homeA.path()) != SingleInstance::serverName(homeB.path()));
}

void TestSingleInstance::socketLivesWhereNoOtherUserCanWrite_data()
{
    QTest::addColumn<QString>("runtime"); // "private", "shared" (like /tmp) or "unset"
    QTest::addColumn<bool>("inRuntime");
    QTest::newRow("session runtime folder") << "private" << true;
    QTest::newRow("runtime folder others may write") << "shared" << false;
    QTest::newRow("no runtime folder") << "unset" << false;
}

void TestSingleInstance::socketLivesWhereNoOtherUserCanWrite()
{
    QFETCH(QString, runtime);
    QFETCH(bool, inRuntime);
    QTemporaryDir home, runtimeDir;
    QFile::setPermissions(runtimeDir.path(), runtime == u"private"
                                                 ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                 : QFile::Permissions(0x7777));
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    if (runtime == u"unset")
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    const QString name = SingleInstance::serverName(home.path());
    {
        SingleInstance first(home.path());
        QVERIFY(first.claim());
        QVERIFY(QFileInfo::exists(name)); // listening at that very path
        QSignalSpy forward(&first, &SingleInstance::activationRequested);
        SingleInstance second(home.path());
        QVERIFY(!second.claim());
        QTRY_COMPARE(forward.count(), 1);
    }
    qputenv("XDG_RUNTIME_DIR", saved);
    QCOMPARE(QFileInfo(name).absolutePath(), inRuntime ? runtimeDir.path() : home.path());
}

void TestSingleInstance::unlockableHomeStillStarts()
{
    // No lock file can be made inside a "folder" that is a file (a read-only medium behaves alike).
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("not-a-folder"));
    QFile file(home);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    SingleInstance instance(home);
    QVERIFY(instance.claim());
}

void TestSingleInstance::secondProcessWhileHiddenUnderProtection()
{
    // This process is the running program: protection on, hidden in the tray. The real executable
    // is started a second time on the same home; the login comes up and is answered only once
    // that second process has ended and its connection is gone.
    MessageBox::setSuppressAll(true);
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\npdtf=1\n"));
    AppContext context(home.home());
    AppAssembly assembly(context, {.openDatabase = false});
    MainWindow& window = assembly.window();
    LoginDialog& login = *assembly.login();
    assembly.tray().overrideTrayAvailable(true);
    SingleInstance first(home.path());
    QVERIFY(first.claim());
    connect(&first, &SingleInstance::activationRequested, &window,
            [&window] { window.restore(MainWindow::Restore::Activation); });

    QTimer::singleShot(0, &login, [&login] { login.reject(); });
    window.show();
    window.hideToTray();
    QVERIFY(!window.isVisible());

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(env);
    int logins = 0;
    bool connectionGoneWhileAsking = false;
    auto* watch = new QTimer(&window);
    connect(watch, &QTimer::timeout, &login, [&] {
        if (!login.isVisible())
            return;
        watch->stop();
        ++logins;
        if (second.state() != QProcess::NotRunning)
            second.waitForFinished(20000);
        QTRY_VERIFY_WITH_TIMEOUT(first.findChildren<QLocalSocket*>().isEmpty(), 10000);
        connectionGoneWhileAsking = true;
        login.passwordField()->clear();
        login.loginButton()->click(); // no password set: the empty one opens
    });
    watch->start(10);
    second.start(QStringLiteral(VELMORA_EXECUTABLE), QStringList());
    QVERIFY(second.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(logins, 1, 20000);
    QVERIFY(connectionGoneWhileAsking);
    QTRY_VERIFY(window.state().loggedIn);
    QVERIFY(window.isVisible());
    QVERIFY(window.isCardTabVisible());
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
