#include "store/Settings.h"
#include "support/TempHome.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

// The executable's command line, run as a user would run it.
class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void exitCodesAndOutput_data();
    void exitCodesAndOutput();
    void demoEndsCleanlyOnSignal_data();
    void demoEndsCleanlyOnSignal();
};

void TestCommandLine::exitCodesAndOutput_data()
{
    // clang-format off
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutContains");
    QTest::addColumn<QString>("stderrContains");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "用法：velmora [选项]" << "";
    QTest::newRow("help lists options") << QStringList{"-h"} << 0 << "--summary" << "";
    QTest::newRow("help lists --backup") << QStringList{"-h"} << 0 << "--backup FILE" << "";
    QTest::newRow("help lists --restore") << QStringList{"-h"} << 0 << "--restore FILE" << "";
    QTest::newRow("help lists --ics") << QStringList{"-h"} << 0 << "--ics" << "";
    QTest::newRow("help lists --export-csv") << QStringList{"-h"} << 0 << "--export-csv FILE" << "";
    QTest::newRow("help lists --import-csv") << QStringList{"-h"} << 0 << "--import-csv FILE" << "";
    QTest::newRow("import needs a file") << QStringList{"--import-csv"} << 2 << "" << "velmora: 选项“import-csv”需要一个值。";
    QTest::newRow("help lists --minimized") << QStringList{"-h"} << 0 << "--minimized" << "";
    QTest::newRow("minimized takes no value") << QStringList{"--minimized=1"} << 2 << "" << "velmora: 选项“minimized”不接受值。";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "velmora 2.0.0" << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "" << "velmora: 未知选项“bogus”。\n请运行“velmora --help”查看可用的选项。";
    QTest::newRow("stray argument") << QStringList{"file.txt"} << 2 << "" << "多余的参数“file.txt”";
    QTest::newRow("value missing") << QStringList{"--export-csv"} << 2 << "" << "velmora: 选项“export-csv”需要一个值。";
    QTest::newRow("value not taken") << QStringList{"--ics=x"} << 2 << "" << "velmora: 选项“ics”不接受值。";
    QTest::newRow("json alone") << QStringList{"--json"} << 2 << "" << "--json 只能与 --summary 同用";
    QTest::newRow("help lists --force") << QStringList{"-h"} << 0 << "--force" << "";
    QTest::newRow("force without restore") << QStringList{"--force", "--ics"} << 2 << "" << "--force 只能与 --restore 同用";
    // clang-format on
}

void TestCommandLine::exitCodesAndOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutContains);
    QFETCH(QString, stderrContains);
    QProcess process;
    process.start(QStringLiteral(VELMORA_EXECUTABLE), arguments);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), exitCode);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(out.contains(stdoutContains), qPrintable(out));
    QVERIFY2(err.contains(stderrContains), qPrintable(err));
    // Chinese throughout, naming the command as it is typed.
    for (const char* english :
         {"Usage", "Options", "<executable_name>", "Try ", "Unknown", "Missing", "Unexpected"})
        QVERIFY2(!(out + err).contains(QLatin1String(english)), english);
}

void TestCommandLine::demoEndsCleanlyOnSignal_data()
{
    // clang-format off
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("Ctrl+C")  << int(SIGINT);
    // clang-format on
}

// The demo runs in a throw-away home with protection off; stopped the usual way (Ctrl+C in
// the terminal, SIGTERM from the session) it quits normally and leaves nothing behind.
void TestCommandLine::demoEndsCleanlyOnSignal()
{
    QFETCH(int, signo);
    TempHome home; // VELMORA_HOME points here; the demo must not write into it
    QTemporaryDir tmp;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    QTemporaryDir runtime; // Qt's own runtime folder would otherwise default into TMPDIR
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELMORA_EXECUTABLE), {QStringLiteral("--demo")});
    QVERIFY(process.waitForStarted());

    // Up once it listens for later starts (in the session's runtime folder); its home is the one
    // folder in TMPDIR.
    const QDir dir(tmp.path());
    const QDir runtimeDir(runtime.path());
    QTRY_VERIFY_WITH_TIMEOUT(!runtimeDir.entryList({QStringLiteral("velmora-*")}, QDir::System).isEmpty(),
                             20000);
    const QStringList homes = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(homes.size(), 1);
    const HomeFolder demoHome(dir.filePath(homes.first()));
    QCOMPARE(Settings(demoHome.iniPath()).passwordProtect(), false);
    QVERIFY(QFile::exists(demoHome.databasePath()));
    QCOMPARE(process.state(), QProcess::Running);

    ::kill(pid_t(process.processId()), signo);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(runtimeDir.entryList({QStringLiteral("velmora-*")}, QDir::System), QStringList());
    QVERIFY(!QFile::exists(home.databasePath()));
    QVERIFY(!QFile::exists(home.iniPath()));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
