#include "billing/RefreshPass.h"
#include "hardening/FileLimit.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "store/Error.h"
#include "store/IniFile.h"
#include "store/Settings.h"
#include "store/SqlDialect.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

// What the program does when the machine works against it: full disks, read-only files,
// garbage settings, hostile card texts.
class TestFaults : public QObject
{
    Q_OBJECT
private slots:
    void diskFullDuringSettingsSave();
    void diskFullDuringCardSave();
    void diskFullDuringRefreshPass();
    void readOnlyDatabase();
    void readOnlyHome();
    void garbageSettingsFile_data();
    void garbageSettingsFile();
    void hostileCardTexts_data();
    void hostileCardTexts();
    void fileModesAfterFirstUse();
};

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Runs chattr; false when the file system or the rights do not allow it.
bool setImmutable(const QString& path, bool on)
{
    return QProcess::execute(QStringLiteral("chattr"),
                             {on ? QStringLiteral("+i") : QStringLiteral("-i"), path}) == 0;
}

struct Immutable
{
    QString path;
    bool ok;
    explicit Immutable(QString p) : path(std::move(p)), ok(setImmutable(path, true)) {}
    ~Immutable()
    {
        if (ok)
            setImmutable(path, false);
    }
};

void seedCards(Database& db, int count)
{
    Transaction t(db);
    for (int i = 0; i < count; ++i)
        CardBuilder(db)
            .name(QStringLiteral("卡%1").arg(i))
            .statementDay(1 + i % 28)
            .repaymentDay(1 + (i * 7) % 28)
            .ratio(1)
            .used(1000 + i)
            .insert();
    t.commit();
}

} // namespace

void TestFaults::diskFullDuringSettingsSave()
{
    TempHome home;
    Settings settings(home.iniPath());
    settings.saveReminder(QStringLiteral("a@example.com"), 0, true);
    const QByteArray before = fileBytes(home.iniPath());
    try {
        FileSizeLimit full(8);
        settings.saveReminder(QString(300, u'x') + QStringLiteral("@example.com"), 0, true);
        QFAIL("a save on a full disk was reported as done");
    } catch (const Error& e) {
        QCOMPARE(e.message(), QStringLiteral("Unable to write to %1").arg(home.iniPath()));
    }
    QCOMPARE(fileBytes(home.iniPath()), before);
    QCOMPARE(settings.mailTo(), QStringLiteral("a@example.com"));
}

void TestFaults::diskFullDuringCardSave()
{
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    seedCards(data.database(), 50);
    data.cards().setSql(DataModule::kAllCardsStatement);
    data.cards().open();
    const QByteArray before = fileBytes(home.databasePath());
    Query& cards = data.cards();
    cards.setValue(QStringLiteral("c_name"), QString(4000, QChar(u'满')));
    {
        FileSizeLimit full(QFileInfo(home.databasePath()).size());
        QVERIFY_THROWS_EXCEPTION(Error, cards.post());
    }
    QCOMPARE(cards.state(), Query::State::Edit); // what the user typed is still there
    QCOMPARE(fileBytes(home.databasePath()), before);
    cards.post(); // room again: the same edit saves
    QCOMPARE(cards.state(), Query::State::Browse);
}

void TestFaults::diskFullDuringRefreshPass()
{
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    seedCards(data.database(), 2000);
    const QByteArray before = fileBytes(home.databasePath());
    FixedClock clock(QDate(2013, 9, 5));
    try {
        FileSizeLimit full(QFileInfo(home.databasePath()).size());
        RefreshPass(data, clock).run();
        QFAIL("a refresh pass on a full disk was reported as done");
    } catch (const Error& e) {
        QVERIFY2(e.message().contains(QStringLiteral("磁盘")), qPrintable(e.message()));
    }
    QCOMPARE(fileBytes(home.databasePath()), before);
    QVERIFY(!data.cards().controlsDisabled());
    RefreshPass(data, clock).run(); // and works once there is room
}

void TestFaults::readOnlyDatabase()
{
    TempHome home;
    {
        DataModule data;
        data.open(home.databasePath());
        seedCards(data.database(), 5);
    }
    const QByteArray before = fileBytes(home.databasePath());
    Immutable lock(home.databasePath());
    Immutable lockFolder(home.path() + QStringLiteral("/Data")); // no journal file either
    if (!lock.ok || !lockFolder.ok)
        QSKIP("chattr +i is not available here");
    DataModule data;
    data.open(home.databasePath()); // reading still works
    QCOMPARE(data.cards().recordCount(), 5);
    FixedClock clock(QDate(2013, 9, 5));
    try {
        RefreshPass(data, clock).run();
        QFAIL("a refresh pass on a read-only database was reported as done");
    } catch (const Error& e) {
        QVERIFY2(e.message().contains(QStringLiteral("只读")) || e.message().contains(QStringLiteral("磁盘")),
                 qPrintable(e.message()));
    }
    data.cards().setValue(QStringLiteral("c_name"), QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(Error, data.cards().post());
    QCOMPARE(fileBytes(home.databasePath()), before);
}

void TestFaults::readOnlyHome()
{
    TempHome home;
    Immutable lock(home.path());
    if (!lock.ok)
        QSKIP("chattr +i is not available here");
    Settings settings(home.iniPath());
    QVERIFY_THROWS_EXCEPTION(Error, settings.savePassword(QStringLiteral("secret")));
    QVERIFY(!QFile::exists(home.iniPath()));
    QCOMPARE(settings.password(), QString()); // defaults, no crash
}

void TestFaults::garbageSettingsFile_data()
{
    // clang-format off
    QTest::addColumn<QByteArray>("content");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 131 + 7) & 0xff));
    QTest::newRow("binary bytes")          << binary;
    QTest::newRow("invalid GBK")           << QByteArray( "[\xcf\xb5\xcd\xb3\xc9\xe8\xd6\xc3]\r\nzxf=\x81\x20\xff\xfe\r\nem=\x80\x80\r\n");
    QTest::newRow("10 MB")                 << QByteArray(10 * 1024 * 1024, 'a');
    QTest::newRow("100000-character line") << QByteArray("[\xcf\xb5\xcd\xb3\xc9\xe8\xd6\xc3]\r\nem=") + QByteArray(100000, 'b') + "\r\n";
    // clang-format on
}

void TestFaults::garbageSettingsFile()
{
    QFETCH(QByteArray, content);
    TempHome home;
    {
        QFile file(home.iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.write("\r\n[keep]\r\nmine=1\r\n");
    }
    Settings settings(home.iniPath());
    QCOMPARE(settings.autoMinMinutes(), 0);
    QVERIFY(!settings.mailOn());
    QVERIFY(settings.mailTo().size() <= 2047);
    settings.saveGeneral(false, true, 5);
    QCOMPARE(settings.autoMinMinutes(), 5);
    QVERIFY(settings.passwordProtect());
    QCOMPARE(IniFile(home.iniPath()).readInt(QStringLiteral("keep"), QStringLiteral("mine"), 0), 1);
}

void TestFaults::hostileCardTexts_data()
{
    // clang-format off
    QTest::addColumn<QString>("text");
    QTest::newRow("quote")                  << QStringLiteral("O'Brien");
    QTest::newRow("double quote")           << QStringLiteral("say \"hi\"");
    QTest::newRow("semicolon")              << QStringLiteral("a; drop table txyk");
    QTest::newRow("comment")                << QStringLiteral("x -- y");
    QTest::newRow("percent and underscore") << QStringLiteral("100%_a");
    QTest::newRow("NUL byte")               << QString::fromUtf16(u"a\u0000b", 3);
    QTest::newRow("200 Chinese characters") << QString(200, QChar(u'卡'));
    QTest::newRow("emoji")                  << QString::fromUtf8("卡\xF0\x9F\x92\xB3\xF0\x9F\x98\x80");
    QTest::newRow("hash and date")          << QStringLiteral("#2013-9-5# True");
    // clang-format on
}

void TestFaults::hostileCardTexts()
{
    QFETCH(QString, text);
    TempHome home;
    DataModule data;
    data.open(home.databasePath());
    CardBuilder(data.database()).name(QStringLiteral("other")).holder(QStringLiteral("other")).insert();
    Query& cards = data.cards();
    cards.append();
    cards.setValue(QStringLiteral("c_name"), text);
    cards.setValue(QStringLiteral("c_no"), text);
    cards.setValue(QStringLiteral("cname"), text);
    cards.setValue(QStringLiteral("c_jzr"), 5);
    cards.setValue(QStringLiteral("c_hkr"), 25);
    cards.post();

    // Read back exactly, through a fresh list filtered on the holder text.
    cards.setSql(QStringLiteral("select * from txyk  where  1=1  and cname=") + SqlDialect::quoted(text) +
                 QStringLiteral(" order by c_jzr"));
    cards.open();
    QCOMPARE(cards.recordCount(), 1);
    QCOMPARE(cards.textValue(QStringLiteral("c_name")), text);
    QCOMPARE(cards.textValue(QStringLiteral("c_no")), text);
    QCOMPARE(cards.textValue(QStringLiteral("cname")), text);
}

void TestFaults::fileModesAfterFirstUse()
{
    QTemporaryDir parent;
    const HomeFolder home(parent.path() + QStringLiteral("/home"));
    home.ensureExists();
    DataModule data;
    data.open(home.databasePath());
    Settings(home.iniPath()).saveGeneral(false, false, 0);
    const auto mode = [](const QString& path) {
        struct stat info
        {
        };
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    };
    QCOMPARE(mode(home.path()), 0700);
    QCOMPARE(mode(home.databasePath()), 0600);
    QCOMPARE(mode(home.iniPath()), 0600);
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
