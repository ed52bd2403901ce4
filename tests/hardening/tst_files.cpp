#include "billing/RepaymentCalendar.h"
#include "store/Backup.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/SafeFile.h"
#include "support/CardBuilder.h"
#include "support/TempHome.h"
#include "views/CsvExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <sys/stat.h>

// Every file the program writes, in a folder others may write to too: owner-only whatever the
// umask, never written through a link at its name or at a temporary name someone could guess.
class TestFiles : public QObject
{
    Q_OBJECT
private slots:
    void writesOwnerOnlyAndRefusesLinks_data();
    void writesOwnerOnlyAndRefusesLinks();
};

namespace {

// Writes the file `writer` stands for to `target`. Throws Error.
void writeWith(const QString& writer, Database& db, const QString& target)
{
    if (writer == u"export")
        CsvExport::writeFile(target, CsvExport::encode({{QStringLiteral("卡号")}, {QStringLiteral("6225")}}));
    else if (writer == u"backup")
        Backup::copyDatabase(db, target);
    else
        RepaymentCalendar::writeFile(target, QByteArrayLiteral("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n"));
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Umask
{
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

} // namespace

void TestFiles::writesOwnerOnlyAndRefusesLinks_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("planted"); // "" | "link at target" | "links at guessable names"
    QTest::addColumn<int>("creationMask");
    for (const char* writer : {"export", "backup", "calendar"}) {
        for (const int mask : {0000, 0022}) {
            for (const char* planted : {"", "link at target", "links at guessable names"})
                QTest::addRow("%s, %s, umask %03o", writer, *planted ? planted : "nothing planted", mask)
                    << QString::fromLatin1(writer) << QString::fromLatin1(planted) << mask;
        }
    }
}

void TestFiles::writesOwnerOnlyAndRefusesLinks()
{
    QFETCH(QString, writer);
    QFETCH(QString, planted);
    QFETCH(int, creationMask);
    TempHome home;
    home.home().ensureExists();
    Database db;
    db.open(home.databasePath());
    CardBuilder(db).name(QStringLiteral("招行")).number(QStringLiteral("6225880212345678")).insert();

    // Another user's file the links point at, in a shared folder.
    const QString shared = home.path() + QStringLiteral("/shared");
    QVERIFY(QDir().mkpath(shared));
    const QString victim = home.path() + QStringLiteral("/victim");
    {
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    const QString target = shared + QStringLiteral("/out.file");
    if (planted == u"link at target")
        QVERIFY(QFile::link(victim, target));
    if (planted == u"links at guessable names") {
        // The names earlier versions used for the file under way.
        for (const QString& name :
             {QStringLiteral(".out.file.%1.part").arg(QCoreApplication::applicationPid()),
              QStringLiteral("out.file.tmp"), QStringLiteral(".out.file.XXXXXX")})
            QVERIFY(QFile::link(victim, shared + u'/' + name));
    }
    const QStringList before = QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);

    const Umask mask{mode_t(creationMask)};
    if (planted == u"link at target") {
        QVERIFY_THROWS_EXCEPTION(Error, writeWith(writer, db, target));
        QVERIFY(QFileInfo(target).isSymLink());
    } else {
        writeWith(writer, db, target);
        QVERIFY(!QFileInfo(target).isSymLink());
        struct stat st
        {
        };
        QCOMPARE(::lstat(QFile::encodeName(target).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0600);
    }
    QCOMPARE(contentOf(victim), QByteArrayLiteral("keep me"));
    // Nothing left behind under a temporary name.
    QStringList after = QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    after.removeAll(QStringLiteral("out.file"));
    QStringList expected = before;
    expected.removeAll(QStringLiteral("out.file"));
    QCOMPARE(after, expected);
}

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
