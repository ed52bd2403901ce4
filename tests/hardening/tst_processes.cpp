#include "store/Database.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

// Whole headless runs of the executable, interrupted or run side by side on one home.
class TestProcesses : public QObject
{
    Q_OBJECT
private slots:
    void killedRefreshLeavesAllOldOrAllNew();
    void twoHeadlessRunsAtOnce();
    void runningProgramWritesNoCoreFile();
};

namespace {

constexpr int kStale = 9999; // i_xyr no computation produces

void seedStaleCards(const QString& path, int count)
{
    Database db;
    db.open(path);
    Transaction t(db);
    for (int i = 0; i < count; ++i)
        CardBuilder(db)
            .name(QStringLiteral("卡%1").arg(i))
            .statementDay(1 + i % 28)
            .repaymentDay(1 + (i * 11) % 28)
            .ratio(1)
            .used(500)
            .daysLeft(kStale)
            .insert();
    t.commit();
}

struct Verdict
{
    QString integrity;
    int stale = 0;
    int total = 0;
};

Verdict inspect(const QString& path)
{
    Verdict v;
    Database db;
    db.open(path); // also rolls back a transaction a killed run left behind
    v.integrity = Stored::value(db, QStringLiteral("PRAGMA integrity_check")).toString();
    const QVariantList counts =
        Stored::row(db, QStringLiteral("select count(*), sum(i_xyr=%1) from txyk").arg(kStale));
    v.total = counts.value(0).toInt();
    v.stale = counts.value(1).toInt();
    return v;
}

QProcess* startSummary(QObject* parent)
{
    auto* process = new QProcess(parent);
    process->start(QStringLiteral(VELMORA_EXECUTABLE),
                   {QStringLiteral("--summary"), QStringLiteral("--json")});
    return process;
}

} // namespace

void TestProcesses::killedRefreshLeavesAllOldOrAllNew()
{
    TempHome home;
    const int cards = 30000;
    seedStaleCards(home.databasePath(), cards);
    const QString journal = home.databasePath() + QStringLiteral("-journal");

    bool killedMidPass = false;
    for (int attempt = 0; attempt < 5 && !killedMidPass; ++attempt) {
        QProcess process;
        process.start(QStringLiteral(VELMORA_EXECUTABLE), {QStringLiteral("--summary")});
        QVERIFY(process.waitForStarted());
        // The rollback journal appears when the pass starts writing: kill it right then.
        QElapsedTimer waited;
        waited.start();
        while (process.state() == QProcess::Running && !QFile::exists(journal) && waited.elapsed() < 20000)
            QThread::usleep(200);
        if (process.state() == QProcess::Running && QFile::exists(journal)) {
            ::kill(pid_t(process.processId()), SIGKILL);
            killedMidPass = true;
        }
        process.waitForFinished();

        const Verdict v = inspect(home.databasePath());
        QCOMPARE(v.integrity, QStringLiteral("ok"));
        QCOMPARE(v.total, cards);
        QVERIFY2(v.stale == 0 || v.stale == cards,
                 qPrintable(QStringLiteral("%1 of %2 cards stale").arg(v.stale).arg(cards)));
        if (killedMidPass)
            QCOMPARE(v.stale, cards); // nothing of the interrupted pass remains
    }
    if (!killedMidPass)
        QSKIP("the pass always finished before it could be interrupted");
}

void TestProcesses::twoHeadlessRunsAtOnce()
{
    TempHome home;
    const int cards = 20000;
    seedStaleCards(home.databasePath(), cards);
    QProcess* first = startSummary(this);
    QProcess* second = startSummary(this);
    for (QProcess* p : {first, second}) {
        QVERIFY(p->waitForFinished(60000));
        const QString err = QString::fromUtf8(p->readAllStandardError());
        QVERIFY2(p->exitCode() == 0 || err.contains(QStringLiteral("正在运行")), qPrintable(err));
    }
    const Verdict v = inspect(home.databasePath());
    QCOMPARE(v.integrity, QStringLiteral("ok"));
    QCOMPARE(v.stale, 0);
    QCOMPARE(v.total, cards);
}

void TestProcesses::runningProgramWritesNoCoreFile()
{
    // Started with core files allowed, so the limit seen is the program's own doing.
    rlimit core{};
    QCOMPARE(::getrlimit(RLIMIT_CORE, &core), 0);
    if (core.rlim_max == 0)
        QSKIP("core files are off for this whole session already");
    core.rlim_cur = core.rlim_max;
    QCOMPARE(::setrlimit(RLIMIT_CORE, &core), 0);
    // The window waits at its login: a program running with a password typed into it.
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\npdtf=1\npd=x\n"));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELMORA_HOME"), home.path());
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VELMORA_EXECUTABLE), {});
    QVERIFY(program.waitForStarted());
    const QString limits = QStringLiteral("/proc/%1/limits").arg(program.processId());
    const auto coreLimit = [&] {
        QFile file(limits);
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("Max core file size"))
                return QString::fromLatin1(line.simplified());
        }
        return QString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(coreLimit(), QStringLiteral("Max core file size 0 0 bytes"), 20000);
    program.kill();
    program.waitForFinished();
}

QTEST_GUILESS_MAIN(TestProcesses)
#include "tst_processes.moc"
