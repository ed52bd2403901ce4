#include "support/TempHome.h"

#include <QProcess>
#include <QtTest>

// The executable's command line, run as a user would run it.
class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void exitCodesAndOutput_data();
    void exitCodesAndOutput();
    void demoLeavesRealHomeAlone();
};

void TestCommandLine::exitCodesAndOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutContains");
    QTest::addColumn<QString>("stderrContains");
    QTest::newRow("help") << QStringList{"--help"} << 0 << "--summary"
                          << "";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "velmora 2.0.0"
                             << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << ""
                                    << "Unknown option 'bogus'";
    QTest::newRow("stray argument") << QStringList{"file.txt"} << 2 << ""
                                    << "Unexpected argument";
    QTest::newRow("json alone") << QStringList{"--json"} << 2 << ""
                                << "--json";
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
    QVERIFY(QString::fromUtf8(process.readAllStandardOutput()).contains(stdoutContains));
    QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(stderrContains));
}

void TestCommandLine::demoLeavesRealHomeAlone()
{
    TempHome home; // VELMORA_HOME points here; the demo must not write into it
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELMORA_EXECUTABLE), {QStringLiteral("--demo")});
    QVERIFY(process.waitForStarted());
    QTest::qWait(1500);
    QCOMPARE(process.state(), QProcess::Running); // came up with its window and stays
    process.kill();
    process.waitForFinished();
    QVERIFY(!QFile::exists(home.databasePath()));
    QVERIFY(!QFile::exists(home.iniPath()));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
