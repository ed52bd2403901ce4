#include "app/AppAssembly.h"
#include "app/LoginDialog.h"
#include "app/MainWindow.h"
#include "app/SingleInstance.h"
#include "app/TrayController.h"
#include "billing/RefreshJobs.h"
#include "billing/SummaryCommand.h"
#include "cli/BackupCommand.h"
#include "remind/ReminderWindow.h"
#include "store/Backup.h"
#include "store/CardSecrets.h"
#include "store/DataModule.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"
#include "ui/AppContext.h"
#include "ui/MessageBox.h"
#include "views/HolderDialog.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QtTest>
#include <sys/stat.h>

static int modeOf(const QFileInfo& info)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(info.absoluteFilePath()).constData(), &st) == 0 ? int(st.st_mode & 0777)
                                                                                    : -1;
}

// Daily backups before the refresh pass, --backup and --restore.
class TestBackup : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void oneBackupPerDayNewestKept();
    void keepSettingLimitsOrSwitchesOff();
    void failedBackupIsToldAndRefreshRuns();
    void windowBacksUpBeforeFirstPass();
    void backupIsSoundDatabaseOfOurs_data();
    void backupIsSoundDatabaseOfOurs();
    void restoreRefusesUnusableFile_data();
    void restoreRefusesUnusableFile();
    void restoreRefusedWhileProgramRuns();
    void restoreReplacesAndKeepsCurrent();
    void restoredFileOpens_data();
    void restoredFileOpens();
    void clearCopyUnderProtection();
    void commandsThroughExecutable();

private:
    static QStringList cardNames(const QString& path);
    static QStringList dailyFiles(const TempHome& home);
    static QByteArray bytes(const QString& path);
    int restore(const TempHome& home, const QString& file, QString* err = nullptr, bool force = false,
                QString* said = nullptr);

    FixedClock m_clock{QDate(2013, 9, 5)};
};

void TestBackup::init()
{
    m_clock.setDate(QDate(2013, 9, 5));
    MessageBox::setSuppressAll(true);
    MessageBox::clearShownTexts();
}

void TestBackup::cleanup()
{
    MessageBox::setSuppressAll(false);
}

QStringList TestBackup::cardNames(const QString& path)
{
    Database db;
    db.open(path);
    QStringList names;
    for (const QVariant& name : Stored::column(db, QStringLiteral("SELECT c_name FROM txyk ORDER BY id")))
        names << name.toString();
    return names;
}

QStringList TestBackup::dailyFiles(const TempHome& home)
{
    return QDir(Backup::folderFor(home.databasePath())).entryList({"Data-*.db"}, QDir::Files, QDir::Name);
}

QByteArray TestBackup::bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int TestBackup::restore(const TempHome& home, const QString& file, QString* err, bool force, QString* said)
{
    QString o, e;
    QTextStream out(&o), errs(&e);
    const int code = runRestoreCommand(home.home(), m_clock, file, out, errs, force);
    errs.flush();
    out.flush();
    if (err)
        *err = e;
    if (said)
        *said = o;
    return code;
}

void TestBackup::oneBackupPerDayNewestKept()
{
    TempHome home;
    Database db;
    db.open(home.databasePath());
    CardBuilder(db).name("甲").statementDay(5).repaymentDay(25).insert();

    RefreshJobs jobs(home.home());
    const QDate first(2013, 9, 1);
    for (int day = 0; day < 20; ++day) {
        m_clock.setDate(first.addDays(day));
        QCOMPARE(jobs.backupBeforePass(db, m_clock), QString());
        // Later passes of the day (and other processes the same day) leave the copy alone.
        const QString today =
            QDir(Backup::folderFor(home.databasePath())).filePath(Backup::dailyFileName(m_clock.today()));
        const QByteArray made = bytes(today);
        CardBuilder(db).name(QStringLiteral("当天新增%1").arg(day)).insert();
        QCOMPARE(jobs.backupBeforePass(db, m_clock), QString());
        RefreshJobs otherRun(home.home());
        QCOMPARE(otherRun.backupBeforePass(db, m_clock), QString());
        QCOMPARE(bytes(today), made);
    }
    QStringList expected;
    for (int day = 6; day < 20; ++day)
        expected << Backup::dailyFileName(first.addDays(day));
    QCOMPARE(dailyFiles(home), expected);

    const QFileInfo folder(Backup::folderFor(home.databasePath()));
    QCOMPARE(modeOf(folder), 0700);
    const QFileInfo file(folder.absoluteFilePath() + "/" + expected.last());
    QCOMPARE(modeOf(file), 0600);
    // Copy of the day as it was before that day's changes.
    QCOMPARE(cardNames(file.absoluteFilePath()).size(), 1 + 19);
}

void TestBackup::keepSettingLimitsOrSwitchesOff()
{
    TempHome home;
    Database db;
    db.open(home.databasePath());
    home.writeIni("[备份]\nbackup_keep=3\n");
    for (int day = 0; day < 5; ++day) {
        m_clock.setDate(QDate(2013, 9, 1).addDays(day));
        RefreshJobs(home.home()).backupBeforePass(db, m_clock);
    }
    QCOMPARE(dailyFiles(home),
             QStringList({"Data-2013-09-03.db", "Data-2013-09-04.db", "Data-2013-09-05.db"}));

    // Off: no new copy, and the ones there stay.
    home.writeIni("[备份]\nbackup_keep=0\n");
    m_clock.setDate(QDate(2013, 9, 6));
    RefreshJobs(home.home()).backupBeforePass(db, m_clock);
    QCOMPARE(dailyFiles(home).size(), 3);
}

void TestBackup::failedBackupIsToldAndRefreshRuns()
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("甲").statementDay(5).repaymentDay(25).insert();
    }
    QFile blocker(Backup::folderFor(home.databasePath())); // a file where the folder belongs
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QString out, err;
    QTextStream o(&out), e(&err);
    QCOMPARE(runSummaryCommand(home.home(), m_clock, false, o, e), 0);
    o.flush();
    e.flush();
    QVERIFY2(err.contains("今日数据库备份失败"), qPrintable(err));
    QVERIFY(out.contains("当前日期:2013-9-5"));
    QVERIFY(bytes(home.home().logPath()).contains("今日数据库备份失败"));
}

void TestBackup::windowBacksUpBeforeFirstPass()
{
    TempHome home;
    home.writeIni("[系统设置]\npdtf=0\n");
    AppContext context(home.home());
    context.clock = &m_clock;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("甲").statementDay(5).repaymentDay(25).insert();
    }
    AppAssembly assembly(context);
    MainWindow& window = assembly.window();
    window.show();
    QCOMPARE(dailyFiles(home), QStringList({"Data-2013-09-05.db"}));

    // A failure on a later day is shown once, and the pass still runs.
    QDir(Backup::folderFor(home.databasePath())).removeRecursively();
    QFile blocker(Backup::folderFor(home.databasePath()));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_clock.setDate(QDate(2013, 9, 6));
    window.runShowHandling();
    window.state().refreshed = false;
    window.runShowHandling();
    QStringList told;
    for (const QString& text : MessageBox::shownTexts()) {
        if (text.contains("今日数据库备份失败"))
            told << text;
    }
    if (!assembly.tray().trayAvailable())
        QCOMPARE(told.size(), 1);
    QCOMPARE(window.findChild<QLabel*>("todayLabel")->text(), QString("当前日期:2013-9-6"));
}

// The file is copied as it stands in rollback-journal mode; a file whose newest pages sit in a
// write-ahead log (one put back from elsewhere) is copied page by page.
void TestBackup::backupIsSoundDatabaseOfOurs_data()
{
    QTest::addColumn<QString>("journalMode");
    QTest::newRow("rollback journal") << "delete";
    QTest::newRow("write-ahead log") << "wal";
}

void TestBackup::backupIsSoundDatabaseOfOurs()
{
    QFETCH(QString, journalMode);
    TempHome home;
    Database db;
    db.open(home.databasePath());
    db.executeSql("PRAGMA journal_mode=" + journalMode);
    db.executeSql("PRAGMA wal_autocheckpoint=0");
    CardBuilder(db).name("甲").number("6225880123456789").insert();
    const QString copy = home.path() + "/copy.db";
    Backup::copyDatabase(db, copy);
    CardBuilder(db).name("乙").insert(); // after the copy: not in it, and the source still writable
    QCOMPARE(Backup::problemWith(copy), QString());
    QCOMPARE(cardNames(copy), QStringList({"甲"}));
    QCOMPARE(modeOf(QFileInfo(copy)), 0600);
    QVERIFY(QDir(home.path()).entryList({".*part*"}, QDir::Files | QDir::Hidden).isEmpty());
}

void TestBackup::restoreRefusesUnusableFile_data()
{
    // clang-format off
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing")                       << "missing"    << "不存在";
    QTest::newRow("text file")                     << "text"       << "不是数据库文件";
    QTest::newRow("foreign database")              << "foreign"    << "不是本程序的数据库";
    QTest::newRow("damaged database")              << "damaged"    << "已损坏";
    QTest::newRow("ours from a newer version")     << "newer"      << "更新版本";
    QTest::newRow("our tables under another mark") << "other mark" << "不是本程序的数据库";
    QTest::newRow("ours with a trigger")           << "trigger"    << "触发器 t";
    QTest::newRow("ours with a view")              << "view"       << "视图 v";
    QTest::newRow("ours with another table")       << "table"      << "表 side";
    QTest::newRow("marked, without our tables")    << "bare mark"  << "缺少本程序的表";
    // clang-format on
}

void TestBackup::restoreRefusesUnusableFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        Transaction batch(db); // enough cards to fill several pages
        for (int i = 0; i < 500; ++i)
            CardBuilder(db).name(QStringLiteral("卡%1").arg(i)).number("6225880123456789").insert();
        batch.commit();
    }
    const QString file = home.path() + "/candidate.db";
    if (kind == "text") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("id,name\n1,x\n");
    } else if (kind == "foreign") {
        runOnSqliteFile(file, {QStringLiteral("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)")});
    } else if (kind == "newer" || kind == "other mark") {
        Backup::copyFile(home.databasePath(), file);
        runOnSqliteFile(file,
                        {kind == "newer"
                             ? QStringLiteral("PRAGMA user_version=%1").arg(Database::kSchemaVersion + 1)
                             : QStringLiteral("PRAGMA application_id=1234")});
    } else if (kind == "trigger" || kind == "view" || kind == "table") {
        Backup::copyFile(home.databasePath(), file);
        const QString planted =
            kind == "trigger"
                ? QStringLiteral("CREATE TRIGGER t AFTER UPDATE ON txyk BEGIN UPDATE txyk SET tf=1; END")
            : kind == "view" ? QStringLiteral("CREATE VIEW v AS SELECT c_no FROM txyk")
                             : QStringLiteral("CREATE TABLE side (no TEXT)");
        runOnSqliteFile(file, {planted});
    } else if (kind == "bare mark") {
        runOnSqliteFile(file, {QStringLiteral("PRAGMA application_id=%1").arg(Database::kApplicationId),
                               QStringLiteral("PRAGMA user_version=%1").arg(Database::kSchemaVersion)});
    } else if (kind == "damaged") {
        Backup::copyFile(home.databasePath(), file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.size() > 8192);
        f.seek(4096 + 16); // inside the second page: the card table
        f.write(QByteArray(3000, '\x5a'));
    }
    const QByteArray before = bytes(home.databasePath());
    QString err;
    QCOMPARE(restore(home, file, &err), 1);
    QVERIFY2(err.contains(message), qPrintable(err));
    QCOMPARE(bytes(home.databasePath()), before);
    QVERIFY(!QFileInfo::exists(Backup::folderFor(home.databasePath())));
}

void TestBackup::restoreRefusedWhileProgramRuns()
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("甲").insert();
    }
    const QString file = home.path() + "/saved.db";
    Backup::copyFile(home.databasePath(), file);
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("乙").insert();
    }
    {
        SingleInstance running(home.path());
        QVERIFY(running.claim());
        QString err;
        QCOMPARE(restore(home, file, &err), 1);
        QVERIFY2(err.contains("正在使用"), qPrintable(err));
        QCOMPARE(cardNames(home.databasePath()), QStringList({"甲", "乙"}));
    }
    QCOMPARE(restore(home, file), 0); // once the program has ended
    QCOMPARE(cardNames(home.databasePath()), QStringList({"甲"}));
}

void TestBackup::restoreReplacesAndKeepsCurrent()
{
    TempHome home;
    Database db; // stays open, as a headless command's connection would
    db.open(home.databasePath());
    CardBuilder(db).name("甲").insert();
    const QString file = home.path() + "/saved.db";
    Backup::copyDatabase(db, file);
    CardBuilder(db).name("乙").insert();

    m_clock.set(QDateTime(QDate(2013, 9, 5), QTime(9, 30, 15)));
    QCOMPARE(restore(home, file), 0);
    QCOMPARE(cardNames(home.databasePath()), QStringList({"甲"}));
    // the open connection sees the restored content
    QCOMPARE(Stored::value(db, QStringLiteral("SELECT count(*) FROM txyk")).toInt(), 1);
    const QString kept = restoreKeepPath(home.home(), m_clock.now());
    QVERIFY(kept.endsWith("Data/Backup/Data-2013-09-05-093015-before-restore.db"));
    QCOMPARE(cardNames(kept), QStringList({"甲", "乙"}));
    QCOMPARE(Backup::prune(Backup::folderFor(home.databasePath()), 1), QStringList()); // never pruned
    QCOMPARE(modeOf(QFileInfo(home.databasePath())), 0600);

    // A current database too damaged to open is kept as it is and replaced whole.
    db.close();
    {
        QFile f(home.databasePath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(5000, 'x'));
    }
    m_clock.set(QDateTime(QDate(2013, 9, 6), QTime(8, 0)));
    QCOMPARE(restore(home, file), 0);
    QCOMPARE(cardNames(home.databasePath()), QStringList({"甲"}));
    QCOMPARE(bytes(restoreKeepPath(home.home(), m_clock.now())), QByteArray(5000, 'x'));
}

// Protection on with a password, and a copy (or the database) holding card numbers in clear.
// Whatever --restore accepts, the program opens afterwards: the window's data module and the
// headless commands, with the restored cards.
void TestBackup::restoredFileOpens_data()
{
    QTest::addColumn<QStringList>("statements"); // run on the copy before it is restored
    QTest::addColumn<bool>("sealed");            // its cards sealed under a password
    // clang-format off
    QTest::newRow("ours")                   << QStringList() << false;
    QTest::newRow("ours, sealed")           << QStringList() << true;
    QTest::newRow("ours, without the mark") << QStringList({"PRAGMA application_id=0", "PRAGMA user_version=0"}) << false;
    QTest::newRow("ours, older version")    << QStringList({"PRAGMA user_version=0"}) << false;
    // clang-format on
}

void TestBackup::restoredFileOpens()
{
    QFETCH(QStringList, statements);
    QFETCH(bool, sealed);
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("现在").insert();
    }
    const QString file = home.path() + "/candidate.db";
    {
        Database db;
        db.open(file);
        CardBuilder(db).name("备份").number("6225880123456789").statementDay(20).repaymentDay(7).insert();
        if (sealed)
            CardSecrets(db).protect(QStringLiteral("pw"), {});
    }
    runOnSqliteFile(file, statements);
    QString err;
    QCOMPARE(restore(home, file, &err), 0);

    DataModule data;
    data.open(home.databasePath());
    QCOMPARE(Stored::value(data.database(), QStringLiteral("SELECT c_name FROM txyk")).toString(),
             QStringLiteral("备份"));
    QString out;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QCOMPARE(runSummaryCommand(home.home(), m_clock, true, outStream, errStream), 0);
    outStream.flush();
    QVERIFY2(out.contains(QStringLiteral("\"no_last4\":\"6789\"")), qPrintable(out)); // due in two days
}

void TestBackup::clearCopyUnderProtection()
{
    TempHome home;
    home.writeIni(QStringLiteral("[系统设置]\npdtf=1\npd=pw\n"));
    const QString clearCopy = home.path() + "/clear.db";
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("甲").number("6225880123456789").insert();
        Backup::copyDatabase(db, clearCopy);
        // Not sealed yet (no login since): no daily copy keeps the number in clear.
        RefreshJobs jobs(home.home());
        QVERIFY(jobs.backupBeforePass(db, m_clock).contains(QStringLiteral("未备份")));
        QCOMPARE(dailyFiles(home), QStringList());
        QCOMPARE(Backup::makeDaily(db, m_clock.today(), 14, false), Backup::DailyOutcome::Made);
    }
    const QByteArray before = bytes(home.databasePath());
    QString err;
    QCOMPARE(restore(home, clearCopy, &err), 1);
    QVERIFY2(err.contains(QStringLiteral("--force")), qPrintable(err));
    QCOMPARE(bytes(home.databasePath()), before);
    QString said;
    QCOMPARE(restore(home, clearCopy, &err, true, &said), 0);
    QVERIFY2(said.contains(QStringLiteral("下次登录时会重新加密")), qPrintable(said));
    // A password only the card key can check, and a copy without a key: the way on is a new password.
    home.writeIni(QStringLiteral("[系统设置]\npdtf=1\npd=*card-key*\n"));
    QCOMPARE(restore(home, clearCopy, &err, true, &said), 0);
    QVERIFY2(said.contains(QStringLiteral("重置密码")), qPrintable(said));
    // Without protection a clear copy is nothing special.
    home.writeIni(QStringLiteral("[系统设置]\npdtf=0\npd=pw\n"));
    QCOMPARE(restore(home, clearCopy), 0);
}

void TestBackup::commandsThroughExecutable()
{
    TempHome home;
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("甲").insert();
    }
    const auto run = [&](const QStringList& args, QString* err = nullptr) {
        QProcess p;
        p.start(QStringLiteral(VELMORA_EXECUTABLE), args);
        p.waitForFinished(20000);
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitCode();
    };
    const QString file = home.path() + "/by-hand.db";
    QCOMPARE(run({"--backup", file}), 0);
    QCOMPARE(cardNames(file), QStringList({"甲"}));
    {
        Database db;
        db.open(home.databasePath());
        CardBuilder(db).name("乙").insert();
    }
    QCOMPARE(run({"--restore", file}), 0);
    QCOMPARE(cardNames(home.databasePath()), QStringList({"甲"}));
    QString err;
    QCOMPARE(run({"--restore", home.iniPath()}, &err), 1);
    QVERIFY(err.contains("未恢复"));
}

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
