#include "remind/MailServerSettings.h"
#include "store/Backup.h"
#include "store/IniFile.h"
#include "store/SettingKeys.h"
#include "store/Settings.h"
#include "support/TempHome.h"

#include <QSet>
#include <QtTest>

class TestSettingKeys : public QObject
{
    Q_OBJECT
private slots:
    void everyKeyIsOneEntryWithADefaultOfItsType();
    void readersTakeTheTablesDefaults();
    void handEditedNumbersAreBounded_data();
    void handEditedNumbersAreBounded();
    void missingPortIsTheSecuritysPort_data();
    void missingPortIsTheSecuritysPort();
};

void TestSettingKeys::everyKeyIsOneEntryWithADefaultOfItsType()
{
    QSet<QString> seen;
    for (const SettingKey* key : SettingKeys::all) {
        // Keys are matched without regard to case: two entries must not name one key.
        const QString where = key->sectionName() + u'/' + key->keyName().toLower();
        QVERIFY2(!seen.contains(where), qPrintable(where));
        seen.insert(where);
        switch (key->type) {
        case SettingKey::Type::Int:
            QVERIFY2(key->low <= key->number && key->number <= key->high, qPrintable(where));
            break;
        case SettingKey::Type::Bool:
            QVERIFY2(key->number == 0 || key->number == 1, qPrintable(where));
            break;
        case SettingKey::Type::Date:
            QVERIFY2(Setting::defaultDate(*key).isValid(), qPrintable(where));
            break;
        case SettingKey::Type::Text:
            break;
        }
    }
}

// A missing file reads as the table says, through every reader that has its own name.
void TestSettingKeys::readersTakeTheTablesDefaults()
{
    TempHome home;
    const Settings settings(home.iniPath());
    const IniFile& ini = settings.file();
    QCOMPARE(settings.passwordProtect(), Setting::flag(ini, SettingKeys::passwordProtect));
    QCOMPARE(settings.passwordProtect(), true);
    QCOMPARE(settings.sendDate(), QDate(1990, 1, 1));
    QCOMPARE(settings.autoMinMinutes(), 0);
    QCOMPARE(Backup::keepSetting(ini), 14);
    const MailServerSettings server = MailServerSettings::load(ini);
    QCOMPARE(server.host, QString());
    QCOMPARE(server.security, MailServerSettings::Security::StartTls);
    QVERIFY(!QFile::exists(home.iniPath()));
}

void TestSettingKeys::handEditedNumbersAreBounded_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("keep");
    QTest::newRow("in range") << "[系统设置]\nzxf=30\n[备份]\nbackup_keep=3\n" << 30 << 3;
    QTest::newRow("too large") << "[系统设置]\nzxf=99999\n[备份]\nbackup_keep=2000000\n" << 1440 << 100000;
    QTest::newRow("negative") << "[系统设置]\nzxf=-5\n[备份]\nbackup_keep=-1\n" << 0 << 0;
    QTest::newRow("no number") << "[系统设置]\nzxf=soon\n[备份]\nbackup_keep=all\n" << 0 << 14;
}

void TestSettingKeys::handEditedNumbersAreBounded()
{
    QFETCH(QString, ini);
    QFETCH(int, minutes);
    QFETCH(int, keep);
    TempHome home;
    home.writeIni(ini);
    const Settings settings(home.iniPath());
    QCOMPARE(settings.autoMinMinutes(), minutes);
    QCOMPARE(Backup::keepSetting(settings.file()), keep);
}

void TestSettingKeys::missingPortIsTheSecuritysPort_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("port");
    QTest::newRow("no security") << "" << 587;
    QTest::newRow("ssl") << "smtp_security=ssl\n" << 465;
    QTest::newRow("none") << "smtp_security=none\n" << 25;
    QTest::newRow("port given") << "smtp_security=ssl\nsmtp_port=2525\n" << 2525;
}

void TestSettingKeys::missingPortIsTheSecuritysPort()
{
    QFETCH(QString, lines);
    QFETCH(int, port);
    TempHome home;
    home.writeIni("[邮件服务器]\nsmtp_host=mail.velmora.test\n" + lines);
    QCOMPARE(MailServerSettings::load(IniFile(home.iniPath())).port, port);
}

QTEST_GUILESS_MAIN(TestSettingKeys)
#include "tst_settingkeys.moc"
