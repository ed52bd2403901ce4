#include "store/Error.h"
#include "store/Gbk.h"
#include "store/IniFile.h"
#include "store/Settings.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
const QString kSection = QStringLiteral("系统设置");

QByteArray gbk(const QString& text)
{
    return Gbk::encode(text);
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Runs Debian's Python (configparser with the gbk codec) on the given script.
QByteArray runPython(const QString& script, const QStringList& args)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return {};
    }
    return python.readAllStandardOutput();
}
} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void missingFileGivesStartupDefaults();
    void textIsCutAt2047Characters();
    void firstWriteCreatesFileAndSection();
    void rewriteTouchesOnlyTheKey();
    void newKeyJoinsItsSection();
    void settingsWriteTheirGroups();
    void writeLeavesOtherKeysAsTheyRead_data();
    void writeLeavesOtherKeysAsTheyRead();
    void refusedWriteKeepsOldFile_data();
    void refusedWriteKeepsOldFile();
    void unencodableTextIsRefused();
    void concurrentWritersLoseNothing();
    void pythonReadsOurFile();
    void weReadPythonsFile();
};

// Each row: the file's text (UTF-8 here, GBK on disk), a reader with its default, the result.
void TestIniFile::reads_data()
{
    // clang-format off
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("expected");

    auto ini = [](const QString& body) { return gbk(QStringLiteral("[系统设置]\n") + body); };
    QTest::newRow("hex 0x") << ini("zxf=0x1E\n") << "int" << "zxf" << "0" << "30";
    QTest::newRow("hex 0X") << ini("zxf=0X1e\n") << "int" << "zxf" << "0" << "30";
    QTest::newRow("hex dollar") << ini("zxf=$1E\n") << "int" << "zxf" << "0" << "30";
    QTest::newRow("hex wraps") << ini("zxf=0xFFFFFFFF\n") << "int" << "zxf" << "0" << "-1";
    QTest::newRow("bare 0x") << ini("zxf=0x\n") << "int" << "zxf" << "7" << "7";
    QTest::newRow("letters") << ini("zxf=abc\n") << "int" << "zxf" << "0" << "0";
    QTest::newRow("trailing junk") << ini("zxf=12abc\n") << "int" << "zxf" << "5" << "5";
    QTest::newRow("blanks") << ini("zxf=  45 \t\n") << "int" << "zxf" << "0" << "45";
    QTest::newRow("negative") << ini("zxf=-5\n") << "int" << "zxf" << "0" << "-5";
    QTest::newRow("overflow") << ini("zxf=99999999999\n") << "int" << "zxf" << "3" << "3";
    QTest::newRow("empty int") << ini("zxf=\n") << "int" << "zxf" << "9" << "9";
    QTest::newRow("bool 2") << ini("pdtf=2\n") << "bool" << "pdtf" << "0" << "1";
    QTest::newRow("bool -1") << ini("pdtf=-1\n") << "bool" << "pdtf" << "0" << "1";
    QTest::newRow("bool 0") << ini("pdtf=0\n") << "bool" << "pdtf" << "1" << "0";
    QTest::newRow("bool yes, default true") << ini("pdtf=yes\n") << "bool" << "pdtf" << "1" << "1";
    QTest::newRow("bool yes, default false") << ini("pdtf=yes\n") << "bool" << "pdtf" << "0" << "0";
    QTest::newRow("text blanks") << ini("pd=  秘 密 \n") << "text" << "pd" << "" << "秘 密";
    QTest::newRow("key case") << ini("PD=abc\n") << "text" << "pd" << "" << "abc";
    QTest::newRow("key blanks") << ini("  pd  =abc\n") << "text" << "pd" << "" << "abc";
    QTest::newRow("value with =") << ini("pd=a=b\n") << "text" << "pd" << "" << "a=b";
    QTest::newRow("first of two") << ini("pd=one\npd=two\n") << "text" << "pd" << "" << "one";
    QTest::newRow("crlf") << gbk("[系统设置]\r\nem=a@b.cn\r\n") << "text" << "em" << "" << "a@b.cn";
    QTest::newRow("other section") << gbk("[其他]\npd=x\n[系统设置]\nem=y\n") << "text" << "pd" << "d" << "d";
    QTest::newRow("no section") << gbk("pd=x\n") << "text" << "pd" << "d" << "d";
    QTest::newRow("garbage lines") << (gbk("[系统设置]\n") + QByteArray("\xff\xfe\x80\x00junk\n", 9) + "qy=1\n") << "bool" << "qy" << "0" << "1";
    QTest::newRow("date") << ini("senddate=2024-3-5\n") << "date" << "senddate" << "1990-1-1" << "2024-3-5";
    QTest::newRow("date not a date") << ini("senddate=abc\n") << "date" << "senddate" << "1990-1-1" << "1990-1-1";
    QTest::newRow("date empty") << ini("senddate=\n") << "date" << "senddate" << "1990-1-1" << "1990-1-1";
    QTest::newRow("date 30 Feb") << ini("senddate=2024-2-30\n") << "date" << "senddate" << "1990-1-1" << "1990-1-1";
    // clang-format on
}

void TestIniFile::reads()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, kind);
    QFETCH(QString, key);
    QFETCH(QString, missing);
    QFETCH(QString, expected);
    TempHome home;
    writeBytes(home.iniPath(), file);
    const IniFile ini(home.iniPath());
    QString got;
    if (kind == u"int")
        got = QString::number(ini.readInt(kSection, key, missing.toInt()));
    else if (kind == u"bool")
        got = ini.readBool(kSection, key, missing == u"1") ? QStringLiteral("1") : QStringLiteral("0");
    else if (kind == u"date")
        got = ini.readDate(kSection, key, QDate::fromString(missing, QStringLiteral("yyyy-M-d")))
                  .toString(QStringLiteral("yyyy-M-d"));
    else
        got = ini.readText(kSection, key, missing);
    QCOMPARE(got, expected);
}

void TestIniFile::missingFileGivesStartupDefaults()
{
    TempHome home;
    const Settings settings(home.iniPath());
    QCOMPARE(settings.autostart(), false);
    QCOMPARE(settings.passwordProtect(), true); // a missing pdtf counts as on
    QCOMPARE(settings.autoMinMinutes(), 0);
    QCOMPARE(settings.mailTo(), QString());
    QCOMPARE(settings.mailOn(), false);
    QCOMPARE(settings.sendDate(), QDate(1990, 1, 1));
    QCOMPARE(settings.password(), QString());
    QVERIFY(!QFile::exists(home.iniPath())); // reading never creates the file
}

void TestIniFile::textIsCutAt2047Characters()
{
    TempHome home;
    IniFile ini(home.iniPath());
    ini.writeText(kSection, QStringLiteral("em"), QString(3000, u'汉'));
    QCOMPARE(ini.readText(kSection, QStringLiteral("em")), QString(2047, u'汉'));
}

void TestIniFile::firstWriteCreatesFileAndSection()
{
    TempHome home;
    IniFile ini(home.iniPath());
    ini.writeText(kSection, QStringLiteral("pd"), QStringLiteral("abc"));
    const QByteArray bytes = readBytes(home.iniPath());
    QCOMPARE(bytes, QByteArray("[\xCF\xB5\xCD\xB3\xC9\xE8\xD6\xC3]\npd=abc\n"));
    QCOMPARE(QFile::permissions(home.iniPath()) & 0x7777, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                              QFileDevice::ReadUser | QFileDevice::WriteUser);
}

void TestIniFile::rewriteTouchesOnlyTheKey()
{
    TempHome home;
    const QByteArray garbage("\xff\xfe\x81\r\n", 5);
    const QByteArray before = gbk("; 注释\r\n[其他]\r\npd=别动\r\n[系统设置]\r\nPD = old \r\n") + garbage +
                              gbk("qy=1\r\n[尾]\r\nx=1");
    writeBytes(home.iniPath(), before);
    QFile::setPermissions(home.iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther);
    IniFile ini(home.iniPath());
    ini.writeText(kSection, QStringLiteral("pd"), QStringLiteral("新"));
    QCOMPARE(readBytes(home.iniPath()), gbk("; 注释\r\n[其他]\r\npd=别动\r\n[系统设置]\r\nPD=新\r\n") +
                                            garbage + gbk("qy=1\r\n[尾]\r\nx=1"));
    QCOMPARE(ini.readText(QStringLiteral("其他"), QStringLiteral("pd")), QStringLiteral("别动"));
    // The file holds secrets: a readable-by-all file becomes owner-only at the first write.
    QCOMPARE(QFile::permissions(home.iniPath()) & 0x7777, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                              QFileDevice::ReadUser | QFileDevice::WriteUser);
}

void TestIniFile::newKeyJoinsItsSection()
{
    TempHome home;
    writeBytes(home.iniPath(), gbk("[系统设置]\nqy=1\n\n[其他]\nk=v"));
    IniFile ini(home.iniPath());
    ini.writeInt(kSection, QStringLiteral("zxf"), 30);
    ini.writeText(QStringLiteral("新节"), QStringLiteral("a"), QStringLiteral("b"));
    QCOMPARE(readBytes(home.iniPath()), gbk("[系统设置]\nqy=1\nzxf=30\n\n[其他]\nk=v\n\n[新节]\na=b\n"));
}

void TestIniFile::settingsWriteTheirGroups()
{
    TempHome home;
    Settings settings(home.iniPath());
    settings.saveGeneral(true, false, -3);
    settings.saveReminder(QStringLiteral("me@example.cn"), 0, true);
    settings.saveSendDate(QDate(2024, 3, 5));
    QCOMPARE(readBytes(home.iniPath()),
             gbk("[系统设置]\nroot=1\npdtf=0\nzxf=0\nem=me@example.cn\ndd=0\nqy=1\nsenddate=2024-3-5\n"));
    QCOMPARE(settings.sendDate(), QDate(2024, 3, 5));
}

// Each row: odd bytes a file may hold. Setting "em" there reads back as written, "pd" and the
// other section's key read as before, and setting it again changes nothing.
void TestIniFile::writeLeavesOtherKeysAsTheyRead_data()
{
    QTest::addColumn<QByteArray>("file");
    // clang-format off
    QTest::newRow("lead byte and bare CR at the end") << QByteArray::fromBase64("W8+1zbPJ6NbDXQ0KcGQ9YWJuxOO6b290PTFbz7XNs8kN");
    QTest::newRow("bare CR line ends")                << gbk("[系统设置]\rpd=a\r[other]\rkey=b\r");
    QTest::newRow("lead byte before CRLF")            << (gbk("[系统设置]\r\npd=a") + "\xC9\r\n" + gbk("[other]\r\nkey=b") + "\xC9");
    QTest::newRow("lead byte, no line end")           << (gbk("[other]\nkey=b\n[系统设置]\npd=a") + "\xC9");
    QTest::newRow("several CRs at the end")           << gbk("[系统设置]\npd=a\r\r");
    QTest::newRow("unterminated header")              << gbk("[系统设置]\npd=a\n[other\nkey=b");
    QTest::newRow("header closed by a trail byte")    << (QByteArray("[\xCF]") + gbk("\r\n[系统设置]\r\npd=a\r"));
    // clang-format on
}

void TestIniFile::writeLeavesOtherKeysAsTheyRead()
{
    QFETCH(QByteArray, file);
    const QString other = QStringLiteral("other");
    const auto pd = IniFile::valueIn(file, kSection, QStringLiteral("pd"));
    const auto key = IniFile::valueIn(file, other, QStringLiteral("key"));
    const QByteArray after =
        IniFile::withValue(file, kSection, QStringLiteral("em"), QStringLiteral("a@b.c"));
    QCOMPARE(IniFile::valueIn(after, kSection, QStringLiteral("em")), std::optional(QStringLiteral("a@b.c")));
    QCOMPARE(IniFile::valueIn(after, kSection, QStringLiteral("pd")), pd);
    QCOMPARE(IniFile::valueIn(after, other, QStringLiteral("key")), key);
    QCOMPARE(IniFile::withValue(after, kSection, QStringLiteral("em"), QStringLiteral("a@b.c")), after);
}

void TestIniFile::refusedWriteKeepsOldFile_data()
{
    // clang-format off
    QTest::addColumn<QString>("how");
    QTest::newRow("folder is a file")        << "parent-file";
    QTest::newRow("read-only file")          << "read-only";
    QTest::newRow("disk full while writing") << "file-size-limit";
    // clang-format on
}

void TestIniFile::refusedWriteKeepsOldFile()
{
    QFETCH(QString, how);
    TempHome home;
    QString path = home.iniPath();
    const QByteArray before = gbk("[系统设置]\nqy=1\nem=old@example.cn\n");
    writeBytes(path, before);
    if (how == u"parent-file") {
        path = path + QStringLiteral("/System.ini"); // System.ini is a file, not a folder
    } else if (how == u"read-only") {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser);
    }

    struct rlimit saved
    {
    };
    if (how == u"file-size-limit") {
        // Stands in for a full disk: the kernel refuses writes beyond 64 bytes (also as root).
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit small = saved;
        small.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    IniFile ini(path);
    QString message;
    try {
        ini.writeText(kSection, QStringLiteral("em"), QString(200, u'x'));
    } catch (const Error& e) {
        message = e.message();
    }
    if (how == u"file-size-limit")
        setrlimit(RLIMIT_FSIZE, &saved);

    QCOMPARE(message, QStringLiteral("Unable to write to ") + path);
    QCOMPARE(readBytes(home.iniPath()), before);
    QCOMPARE(QDir(home.path()).entryList(QDir::Files), QStringList{QStringLiteral("System.ini")});
}

void TestIniFile::unencodableTextIsRefused()
{
    TempHome home;
    const QByteArray before = gbk("[系统设置]\nem=old\n");
    writeBytes(home.iniPath(), before);
    IniFile ini(home.iniPath());
    QString message;
    try {
        ini.writeText(kSection, QStringLiteral("em"), QStringLiteral("a😀b"));
    } catch (const Error& e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("文字中的字符“😀”无法用GBK编码保存，请删除或替换后重试。"));
    QCOMPARE(readBytes(home.iniPath()), before);
    QVERIFY_THROWS_EXCEPTION(Error, ini.writeText(kSection, QStringLiteral("em"), QStringLiteral("a\nb")));
    QCOMPARE(readBytes(home.iniPath()), before);
}

void TestIniFile::concurrentWritersLoseNothing()
{
    TempHome home;
    const QString path = home.iniPath();
    auto writer = [path](QChar prefix) {
        return QThread::create([path, prefix] {
            IniFile ini(path);
            for (int i = 0; i < 40; ++i)
                ini.writeInt(kSection, prefix + QString::number(i), i);
        });
    };
    std::unique_ptr<QThread> a(writer(u'a')), b(writer(u'b'));
    a->start();
    b->start();
    QVERIFY(a->wait(60000) && b->wait(60000));
    const IniFile ini(path);
    for (int i = 0; i < 40; ++i) {
        QCOMPARE(ini.readInt(kSection, QStringLiteral("a%1").arg(i), -1), i);
        QCOMPARE(ini.readInt(kSection, QStringLiteral("b%1").arg(i), -1), i);
    }
    QCOMPARE(QDir(home.path()).entryList(QDir::Files), QStringList{QStringLiteral("System.ini")});
}

void TestIniFile::pythonReadsOurFile()
{
    TempHome home;
    Settings settings(home.iniPath());
    settings.saveGeneral(true, true, 30);
    settings.saveReminder(QStringLiteral("张三@例子.cn"), 0, true);
    settings.file().writeText(QStringLiteral("其他"), QStringLiteral("名字"), QStringLiteral("信用卡 管家"));
    const QByteArray out = runPython(QStringLiteral(R"(
import configparser, json, sys
p = configparser.ConfigParser(interpolation=None)
p.read(sys.argv[1], encoding='gbk')
print(json.dumps({s: dict(p[s]) for s in p.sections()}))
)"),
                                     {home.iniPath()});
    const QJsonObject sections = QJsonDocument::fromJson(out).object();
    const QJsonObject main = sections.value(kSection).toObject();
    QCOMPARE(main.value(QStringLiteral("root")).toString(), QStringLiteral("1"));
    QCOMPARE(main.value(QStringLiteral("pdtf")).toString(), QStringLiteral("1"));
    QCOMPARE(main.value(QStringLiteral("zxf")).toString(), QStringLiteral("30"));
    QCOMPARE(main.value(QStringLiteral("em")).toString(), QStringLiteral("张三@例子.cn"));
    QCOMPARE(sections.value(QStringLiteral("其他")).toObject().value(QStringLiteral("名字")).toString(),
             QStringLiteral("信用卡 管家"));
}

void TestIniFile::weReadPythonsFile()
{
    TempHome home;
    const QByteArray out = runPython(QStringLiteral(R"(
import configparser, sys
p = configparser.ConfigParser(interpolation=None)
p.optionxform = str
p['系统设置'] = {'PD': '  密码  ', 'pdtf': '1', 'zxf': '0x1E', 'em': '李四@例子.cn', 'senddate': '2024-3-5'}
p['其他'] = {'k': '值'}
with open(sys.argv[1], 'w', encoding='gbk') as f:
    p.write(f)
print('ok')
)"),
                                     {home.iniPath()});
    QCOMPARE(out.trimmed(), QByteArray("ok"));
    Settings settings(home.iniPath());
    QCOMPARE(settings.file().readText(kSection, QStringLiteral("pd")), QStringLiteral("密码"));
    QCOMPARE(settings.passwordProtect(), true);
    QCOMPARE(settings.autoMinMinutes(), 30);
    QCOMPARE(settings.mailTo(), QStringLiteral("李四@例子.cn"));
    QCOMPARE(settings.sendDate(), QDate(2024, 3, 5));
    // Writing keeps Python's other section readable to Python.
    settings.saveSendDate(QDate(2025, 1, 2));
    const QByteArray check = runPython(QStringLiteral(R"(
import configparser, sys
p = configparser.ConfigParser(interpolation=None)
p.read(sys.argv[1], encoding='gbk')
print(p['系统设置']['senddate'], p['其他']['k'].encode('unicode_escape').decode())
)"),
                                       {home.iniPath()});
    QCOMPARE(check.trimmed(), QByteArray("2025-1-2 \\u503c"));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
