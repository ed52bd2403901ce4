#include "billing/SummaryCommand.h"
#include "store/CardLock.h"
#include "store/CardSecrets.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "store/Error.h"
#include "store/PasswordHash.h"
#include "store/SecretBox.h"
#include "store/Settings.h"
#include "support/CardBuilder.h"
#include "support/Stored.h"
#include "support/TempHome.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

// Card numbers, check codes and validity sealed at rest: the crypto, the database switches, the
// login rules and the data set that shows them opened.
class TestCardSecrets : public QObject
{
    Q_OBJECT
private slots:
    void sealedValueOpensOnlyAsSealed();
    void wrappedKeyOpensOnlyWithItsPassword_data();
    void wrappedKeyOpensOnlyWithItsPassword();

    void protectLeavesNoClearValueInTheFile();
    void headlessSummaryNeedsNoPassword();
    void wrongPasswordOpensNothing();
    void passwordChangeRewrapsOnly();
    void interruptedPasswordChangeOpensWithEitherPassword();
    void protectionOffStoresClearAgain();
    void legacyPlainPasswordUpgradedAtFirstLogin();
    void tamperedValueIsShownUnreadableAndKept();
    void tamperedKeyIsReportedAndNothingChanged();
    void savesSealAndKeepLastFour();
    void lockedSaveOfASecretIsRefused();
    void resetClearsOnlyTheSecrets();
    void olderDatabaseGetsLastFour();
    void killedProtectLeavesAllOrNothing();
};

namespace {

struct Seeded
{
    QString name, number, code, validity;
};

// A set of cards whose secrets must not be found in the file once sealed.
const QList<Seeded>& seededCards()
{
    static const QList<Seeded> cards = [] {
        QList<Seeded> list;
        // The readable last fours use the digits 0-4 and the check codes 5-9, so a code is never
        // found inside a last four.
        for (int i = 0; i < 12; ++i)
            list.append({QStringLiteral("卡%1").arg(i), QStringLiteral("622588013141%1").arg(2000 + i * 13),
                         QStringLiteral("%1%2%3").arg(5 + i % 5).arg(9 - i % 5).arg(5 + i / 5),
                         QStringLiteral("0%1/3%2").arg(1 + i % 9).arg(i % 10)});
        return list;
    }();
    return cards;
}

void seed(const QString& path)
{
    Database db;
    db.open(path);
    CardBuilder b(db);
    int day = 0;
    for (const Seeded& c : seededCards()) {
        b.name(c.name)
            .number(c.number)
            .set(QStringLiteral("c_xym"), c.code)
            .set(QStringLiteral("c_yxq"), c.validity)
            .statementDay(20)
            .repaymentDay(5 + (day++ % 3)) // due today, tomorrow, the day after on 2013-9-5
            .ratio(1)
            .used(1000)
            .insert();
    }
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The seeded secrets found in the database file or its journal. The sealed texts themselves are
// taken out first: a short check code may turn up by chance inside their base64.
QStringList clearSecretsOnDisk(const QString& path)
{
    QByteArray bytes = fileBytes(path) + fileBytes(path + QStringLiteral("-journal")) +
                       fileBytes(path + QStringLiteral("-wal"));
    {
        Database db;
        db.open(path);
        for (const QVariant& stored : Stored::column(
                 db, QStringLiteral("SELECT c_no FROM txyk UNION ALL SELECT c_xym FROM txyk UNION ALL "
                                    "SELECT c_yxq FROM txyk UNION ALL SELECT c_key FROM tkey"))) {
            const QString value = stored.toString();
            if (SecretBox::isSealed(value) || value.startsWith(QStringLiteral("vkey1$")))
                bytes.replace(value.toUtf8(), QByteArray());
        }
    }
    QStringList found;
    for (const Seeded& c : seededCards()) {
        for (const QString& secret : {c.number, c.code, c.validity}) {
            if (bytes.contains(secret.toUtf8()))
                found << secret;
        }
    }
    return found;
}

QVariant stored(Database& db, const QString& sql)
{
    return Stored::value(db, sql);
}

// Every stored value of the cards and the key table, to show nothing was changed.
QStringList snapshot(Database& db)
{
    QStringList rows;
    for (const QString& sql : {QStringLiteral("SELECT * FROM txyk ORDER BY id"),
                               QStringLiteral("SELECT * FROM tkey ORDER BY id")}) {
        for (const QVariantList& row : Stored::rows(db, sql)) {
            QStringList values;
            for (const QVariant& value : row)
                values << value.toString();
            rows << values.join(u'|');
        }
    }
    return rows;
}

// The card list's shown value of `field` for the card named `name`.
QString shown(DataModule& data, const QString& name, const QString& field)
{
    Query& cards = data.cards();
    if (!cards.isOpen())
        cards.open();
    if (!cards.locate(QStringLiteral("c_name"), name))
        return QStringLiteral("<no card>");
    return cards.textValue(field);
}

// `sealed` (base64, with or without the value prefix) with one bit of byte `fromEnd` (counted
// from the end of the decoded bytes) flipped.
QString flipInside(const QString& sealed, int fromEnd)
{
    const bool prefixed = SecretBox::isSealed(sealed);
    const QString text = prefixed ? sealed.mid(SecretBox::kValuePrefix.size()) : sealed;
    QByteArray bytes = QByteArray::fromBase64(text.toLatin1());
    bytes[bytes.size() - fromEnd] = char(bytes[bytes.size() - fromEnd] ^ 0x10);
    return (prefixed ? SecretBox::kValuePrefix : QString()) + QString::fromLatin1(bytes.toBase64());
}

struct Home
{
    TempHome temp;
    Settings settings{temp.iniPath()};
    Home(const QString& password, bool protect = true)
    {
        temp.home().ensureExists();
        seed(temp.databasePath());
        settings.saveGeneral(false, protect, 0);
        settings.savePassword(password);
    }
};

int runChild(); // the process the kill test stops half-way

} // namespace

void TestCardSecrets::sealedValueOpensOnlyAsSealed()
{
    const SecretBox::Key key = SecretBox::Key::random();
    const SecretBox::Key other = SecretBox::Key::random();
    for (const QString& clear :
         {QStringLiteral("6225 8801 2345 6789"), QStringLiteral("有效期至２０２９年"), QStringLiteral("1")}) {
        const QString sealed = SecretBox::seal(key, clear, QStringLiteral("c_no"));
        QVERIFY(SecretBox::isSealed(sealed));
        QCOMPARE(SecretBox::open(key, sealed, QStringLiteral("c_no")), clear);
        // Fresh nonce each time: the same value does not seal the same way twice.
        QVERIFY(SecretBox::seal(key, clear, QStringLiteral("c_no")) != sealed);
        QCOMPARE(SecretBox::open(other, sealed, QStringLiteral("c_no")), std::nullopt);
        QCOMPARE(SecretBox::open(key, sealed, QStringLiteral("c_xym")),
                 std::nullopt);               // moved to another field
        for (const int fromEnd : {1, 17, 40}) // in the tag, and further in
            QCOMPARE(SecretBox::open(key, flipInside(sealed, fromEnd), QStringLiteral("c_no")), std::nullopt);
        QCOMPARE(SecretBox::open(key, sealed.left(20), QStringLiteral("c_no")), std::nullopt);
    }
    QCOMPARE(SecretBox::open(key, QStringLiteral("6225"), QStringLiteral("c_no")), std::nullopt);
}

void TestCardSecrets::wrappedKeyOpensOnlyWithItsPassword_data()
{
    // clang-format off
    QTest::addColumn<QString>("change"); // what is done to the stored wrap
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("opens");
    QTest::newRow("right password")       << ""        << "密码 pass" << true;
    QTest::newRow("wrong password")       << ""        << "密码 Pass" << false;
    QTest::newRow("empty password")       << ""        << ""          << false;
    QTest::newRow("work figure raised")   << "ops"     << "密码 pass" << false;
    QTest::newRow("absurd memory figure") << "memory"  << "密码 pass" << false;
    QTest::newRow("sealed key damaged")   << "sealed"  << "密码 pass" << false;
    QTest::newRow("not a wrap")           << "garbage" << "密码 pass" << false;
    // clang-format on
}

void TestCardSecrets::wrappedKeyOpensOnlyWithItsPassword()
{
    QFETCH(QString, change);
    QFETCH(QString, password);
    QFETCH(bool, opens);
    const SecretBox::Key key = SecretBox::Key::random();
    QString wrapped = SecretBox::wrap(key, QStringLiteral("密码 pass"), 1, 64 * 1024);
    QStringList parts = wrapped.split(u'$');
    QCOMPARE(parts.size(), 5);
    if (change == u"ops")
        parts[1] = QStringLiteral("2");
    else if (change == u"memory")
        parts[2] = QStringLiteral("999999999999");
    else if (change == u"sealed")
        parts[4] = flipInside(parts[4], 3);
    wrapped = change == u"garbage" ? QStringLiteral("vkey1$x$y") : parts.join(u'$');
    const auto opened = SecretBox::unwrap(wrapped, password);
    QCOMPARE(opened.has_value(), opens);
    if (opens) {
        const QString sealed = SecretBox::seal(key, QStringLiteral("123"), QStringLiteral("c_xym"));
        QCOMPARE(SecretBox::open(*opened, sealed, QStringLiteral("c_xym")), QStringLiteral("123"));
    }
}

void TestCardSecrets::protectLeavesNoClearValueInTheFile()
{
    Home home(QStringLiteral("pw"));
    const QString path = home.temp.databasePath();
    QVERIFY(!clearSecretsOnDisk(path).isEmpty()); // the search finds them while they are clear
    {
        DataModule data;
        data.open(path);
        QCOMPARE(shown(data, QStringLiteral("卡3"), QStringLiteral("c_no")), seededCards()[3].number);
        const CardLock::Login login = CardLock(home.settings, data.secrets()).login(QStringLiteral("pw"));
        QVERIFY(login.accepted);
        QCOMPARE(login.problem, QString());
        QVERIFY(data.secrets().keyStored());
        QVERIFY(data.secrets().unlocked());
        QCOMPARE(clearSecretsOnDisk(path), QStringList());
        QCOMPARE(stored(data.database(), QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(stored(data.database(),
                        QStringLiteral(
                            "SELECT count(*) FROM txyk WHERE c_no LIKE 'vsec1:%' AND c_xym LIKE 'vsec1:%' "
                            "AND c_yxq LIKE 'vsec1:%'"))
                     .toInt(),
                 seededCards().size());
        // Shown opened as before while the key is open.
        data.reloadSecretFields();
        QCOMPARE(shown(data, QStringLiteral("卡3"), QStringLiteral("c_no")), seededCards()[3].number);
        QCOMPARE(shown(data, QStringLiteral("卡3"), QStringLiteral("c_xym")), seededCards()[3].code);
        QCOMPARE(shown(data, QStringLiteral("卡3"), QStringLiteral("c_yxq")), seededCards()[3].validity);
        // Dropped: sealed again in the list, the last four still readable.
        data.secrets().lock();
        data.reloadSecretFields();
        QCOMPARE(shown(data, QStringLiteral("卡3"), QStringLiteral("c_no")), CardSecrets::kLockedText);
        QCOMPARE(shown(data, QStringLiteral("卡3"), QStringLiteral("c_last4")),
                 seededCards()[3].number.right(4));
    }
    QCOMPARE(clearSecretsOnDisk(path), QStringList());
}

void TestCardSecrets::headlessSummaryNeedsNoPassword()
{
    Home home(QStringLiteral("pw"));
    {
        DataModule data;
        data.open(home.temp.databasePath());
        QVERIFY(CardLock(home.settings, data.secrets()).login(QStringLiteral("pw")).accepted);
    }
    FixedClock clock(QDate(2013, 9, 5));
    QString out, err;
    QTextStream o(&out), e(&err);
    QCOMPARE(runSummaryCommand(home.temp.home(), clock, true, o, e), 0);
    o.flush();
    const QJsonObject root = QJsonDocument::fromJson(out.toUtf8()).object();
    QCOMPARE(root.value("date").toString(), QStringLiteral("2013-9-5"));
    QCOMPARE(root.value("counts").toObject().value("within3").toInt(), seededCards().size());
    const QJsonArray due = root.value("due_soon").toArray();
    QCOMPARE(due.size(), seededCards().size());
    for (const QJsonValue& v : due) {
        const QJsonObject card = v.toObject();
        const int i = card.value("name").toString().mid(1).toInt();
        QCOMPARE(card.value("no_last4").toString(), seededCards()[i].number.right(4));
        QVERIFY(!card.value("repay_date").toString().isEmpty());
    }
    for (const Seeded& c : seededCards())
        QVERIFY2(!out.contains(c.number) && !out.contains(QStringLiteral("vsec1")), qPrintable(out));
    QCOMPARE(clearSecretsOnDisk(home.temp.databasePath()), QStringList());
}

void TestCardSecrets::wrongPasswordOpensNothing()
{
    Home home(QStringLiteral("pw"));
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(lock.login(QStringLiteral("pw")).accepted);
    data.secrets().lock();

    const CardLock::Login wrong = lock.login(QStringLiteral("PW"));
    QVERIFY(!wrong.accepted);
    QVERIFY(!data.secrets().unlocked());
    QVERIFY(!data.secrets().unlock(QStringLiteral("PW")));
    data.reloadSecretFields();
    for (const QString& field : CardSecrets::fields())
        QCOMPARE(shown(data, QStringLiteral("卡0"), field), CardSecrets::kLockedText);
}

void TestCardSecrets::passwordChangeRewrapsOnly()
{
    Home home(QStringLiteral("old"));
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(lock.login(QStringLiteral("old")).accepted);
    const QVariant sealedBefore = stored(data.database(), QStringLiteral("SELECT c_no FROM txyk WHERE id=1"));

    // Locked: the current password opens the key first.
    data.secrets().lock();
    QVERIFY(lock.passwordNeeded());
    QCOMPARE(lock.confirm(QStringLiteral("wrong")), QStringLiteral("密码错误"));
    QCOMPARE(lock.confirm(QStringLiteral("old")), QString());
    lock.changePassword(QStringLiteral("new"));

    QCOMPARE(stored(data.database(), QStringLiteral("SELECT c_no FROM txyk WHERE id=1")), sealedBefore);
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 1);
    data.secrets().lock();
    QVERIFY(!lock.login(QStringLiteral("old")).accepted);
    QVERIFY(!data.secrets().unlock(QStringLiteral("old")));
    const CardLock::Login login = lock.login(QStringLiteral("new"));
    QVERIFY(login.accepted);
    QCOMPARE(login.problem, QString());
    data.reloadSecretFields();
    QCOMPARE(shown(data, QStringLiteral("卡5"), QStringLiteral("c_no")), seededCards()[5].number);
    QCOMPARE(shown(data, QStringLiteral("卡5"), QStringLiteral("c_yxq")), seededCards()[5].validity);
}

void TestCardSecrets::interruptedPasswordChangeOpensWithEitherPassword()
{
    for (const bool savedNew : {false, true}) {
        Home home(QStringLiteral("old"));
        DataModule data;
        data.open(home.temp.databasePath());
        CardLock lock(home.settings, data.secrets());
        QVERIFY(lock.login(QStringLiteral("old")).accepted);
        // Cut short after the new wrap was stored (and, the second time, the new password saved).
        data.secrets().addWrap(QStringLiteral("new"));
        if (savedNew)
            home.settings.savePassword(QStringLiteral("new"));
        data.secrets().lock();
        const QString password = savedNew ? QStringLiteral("new") : QStringLiteral("old");
        const CardLock::Login login = lock.login(password);
        QVERIFY(login.accepted);
        QCOMPARE(login.problem, QString());
        QCOMPARE(stored(data.database(), QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 1);
        data.secrets().lock();
        QVERIFY(data.secrets().unlock(password));
        data.reloadSecretFields();
        QCOMPARE(shown(data, QStringLiteral("卡1"), QStringLiteral("c_xym")), seededCards()[1].code);
    }
}

void TestCardSecrets::protectionOffStoresClearAgain()
{
    Home home(QStringLiteral("pw"));
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(lock.login(QStringLiteral("pw")).accepted);
    data.secrets().lock();
    QVERIFY(lock.passwordNeededForProtection(false));
    QCOMPARE(lock.confirm(QStringLiteral("pw")), QString());
    lock.saveGeneral(false, false, 0, QString());

    QVERIFY(!home.settings.passwordProtect());
    QVERIFY(!data.secrets().keyStored());
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 0);
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT c_no FROM txyk WHERE c_name='卡7'")).toString(),
             seededCards()[7].number);
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT c_yxq FROM txyk WHERE c_name='卡7'")).toString(),
             seededCards()[7].validity);
    QCOMPARE(
        stored(data.database(), QStringLiteral("SELECT c_last4 FROM txyk WHERE c_name='卡7'")).toString(),
        seededCards()[7].number.right(4));

    // On again: sealed at once with the password typed for it.
    QVERIFY(lock.passwordNeededForProtection(true));
    QVERIFY_THROWS_EXCEPTION(Error, lock.saveGeneral(false, true, 0, QStringLiteral("nope")));
    QVERIFY(!data.secrets().keyStored());
    lock.saveGeneral(false, true, 0, QStringLiteral("pw"));
    QVERIFY(data.secrets().keyStored());
    QCOMPARE(clearSecretsOnDisk(home.temp.databasePath()), QStringList());

    // An empty password cannot seal: the values are opened first.
    lock.changePassword(QString());
    QVERIFY(!data.secrets().keyStored());
    QVERIFY(home.settings.password().isEmpty());
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT c_xym FROM txyk WHERE c_name='卡7'")).toString(),
             seededCards()[7].code);
}

void TestCardSecrets::legacyPlainPasswordUpgradedAtFirstLogin()
{
    Home home{QString()};
    home.settings.file().writeText(Settings::kSection, QStringLiteral("pd"), QStringLiteral("abc"));
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(!lock.login(QStringLiteral("abd")).accepted);
    QCOMPARE(home.settings.password(), QStringLiteral("abc"));
    QVERIFY(!data.secrets().keyStored());

    QVERIFY(lock.login(QStringLiteral("abc")).accepted);
    QVERIFY(PasswordHash::isDigest(home.settings.password()));
    QVERIFY(home.settings.checkPassword(QStringLiteral("abc")));
    QVERIFY(data.secrets().unlocked());
    QCOMPARE(clearSecretsOnDisk(home.temp.databasePath()), QStringList());
}

void TestCardSecrets::tamperedValueIsShownUnreadableAndKept()
{
    Home home(QStringLiteral("pw"));
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(lock.login(QStringLiteral("pw")).accepted);
    const QString sealed =
        stored(data.database(), QStringLiteral("SELECT c_xym FROM txyk WHERE c_name='卡2'")).toString();
    const QString damaged = flipInside(sealed, 6);
    data.database().executeSql(QStringLiteral("UPDATE txyk SET c_xym=? WHERE c_name='卡2'"), {damaged});

    data.cards().close();
    data.cards().open();
    QCOMPARE(data.secrets().takeUnreadableCount(), 1);
    QCOMPARE(shown(data, QStringLiteral("卡2"), QStringLiteral("c_xym")), CardSecrets::kUnreadableText);
    QCOMPARE(shown(data, QStringLiteral("卡2"), QStringLiteral("c_no")), seededCards()[2].number);

    // Saving the card's other fields leaves the damaged value as it is.
    data.cards().setValue(QStringLiteral("i_yxf"), 2000);
    data.cards().post();
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT c_xym FROM txyk WHERE c_name='卡2'")).toString(),
             damaged);
    // Turning protection off would lose it: refused, nothing changed.
    const QStringList before = snapshot(data.database());
    QVERIFY_THROWS_EXCEPTION(Error, lock.saveGeneral(false, false, 0, QString()));
    QCOMPARE(snapshot(data.database()), before);
    QVERIFY(home.settings.passwordProtect());
    QVERIFY(data.secrets().keyStored());
}

void TestCardSecrets::tamperedKeyIsReportedAndNothingChanged()
{
    Home home(QStringLiteral("pw"));
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(lock.login(QStringLiteral("pw")).accepted);
    const QString wrapped = stored(data.database(), QStringLiteral("SELECT c_key FROM tkey")).toString();
    data.database().executeSql(QStringLiteral("UPDATE tkey SET c_key=?"), {flipInside(wrapped, 4)});
    data.secrets().lock();
    const QStringList before = snapshot(data.database());

    const CardLock::Login login = lock.login(QStringLiteral("pw"));
    QVERIFY(login.accepted); // the rest of the card tab is usable
    QVERIFY(login.problem.contains(QStringLiteral("无法")));
    QVERIFY(!data.secrets().unlocked());
    QCOMPARE(snapshot(data.database()), before);
    data.reloadSecretFields();
    QCOMPARE(shown(data, QStringLiteral("卡0"), QStringLiteral("c_no")), CardSecrets::kLockedText);
    QCOMPARE(lock.confirm(QStringLiteral("pw")), login.problem);
    QCOMPARE(snapshot(data.database()), before);
}

void TestCardSecrets::savesSealAndKeepLastFour()
{
    Home home(QStringLiteral("pw"));
    DataModule data;
    data.open(home.temp.databasePath());
    QVERIFY(CardLock(home.settings, data.secrets()).login(QStringLiteral("pw")).accepted);
    data.reloadSecretFields();
    Query& cards = data.cards();

    QVERIFY(cards.locate(QStringLiteral("c_name"), QStringLiteral("卡4")));
    cards.setValue(QStringLiteral("c_no"), QStringLiteral("4367 4200 1111 9876"));
    cards.post();
    QCOMPARE(cards.textValue(QStringLiteral("c_no")), QStringLiteral("4367 4200 1111 9876"));
    QCOMPARE(cards.textValue(QStringLiteral("c_last4")), QStringLiteral("9876"));

    cards.append();
    cards.setValue(QStringLiteral("c_name"), QStringLiteral("新卡"));
    cards.setValue(QStringLiteral("c_no"), QStringLiteral("5555-6666-7777-1234"));
    cards.setValue(QStringLiteral("c_xym"), QStringLiteral("999"));
    cards.post();
    QCOMPARE(cards.textValue(QStringLiteral("c_xym")), QStringLiteral("999"));

    Database& db = data.database();
    for (const QString& name : {QStringLiteral("卡4"), QStringLiteral("新卡")}) {
        QVERIFY(SecretBox::isSealed(
            stored(db, QStringLiteral("SELECT c_no FROM txyk WHERE c_name='%1'").arg(name)).toString()));
    }
    QCOMPARE(stored(db, QStringLiteral("SELECT c_last4 FROM txyk WHERE c_name='卡4'")).toString(),
             QStringLiteral("9876"));
    QCOMPARE(stored(db, QStringLiteral("SELECT c_last4 FROM txyk WHERE c_name='新卡'")).toString(),
             QStringLiteral("1234"));
    QVERIFY(SecretBox::isSealed(
        stored(db, QStringLiteral("SELECT c_xym FROM txyk WHERE c_name='新卡'")).toString()));
    const QByteArray bytes = fileBytes(home.temp.databasePath());
    QVERIFY(!bytes.contains("4367 4200 1111 9876") && !bytes.contains("5555-6666-7777-1234"));
}

void TestCardSecrets::lockedSaveOfASecretIsRefused()
{
    Home home(QStringLiteral("pw"));
    DataModule data;
    data.open(home.temp.databasePath());
    QVERIFY(CardLock(home.settings, data.secrets()).login(QStringLiteral("pw")).accepted);
    data.secrets().lock();
    data.reloadSecretFields();
    Query& cards = data.cards();
    QVERIFY(cards.locate(QStringLiteral("c_name"), QStringLiteral("卡1")));
    const QStringList before = snapshot(data.database());
    cards.setValue(QStringLiteral("c_xym"), QStringLiteral("321"));
    QVERIFY_THROWS_EXCEPTION(Error, cards.post());
    QCOMPARE(snapshot(data.database()), before);
    cards.cancel();
    // Other fields save as always while locked.
    cards.setValue(QStringLiteral("i_ed"), 7000);
    cards.post();
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT i_ed FROM txyk WHERE c_name='卡1'")).toInt(),
             7000);
}

void TestCardSecrets::resetClearsOnlyTheSecrets()
{
    Home home(QStringLiteral("forgotten"));
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(lock.login(QStringLiteral("forgotten")).accepted);
    data.secrets().lock();
    data.database().executeSql(QStringLiteral("UPDATE txyk SET c_yxq=NULL WHERE c_name='卡0'"));

    QCOMPARE(lock.reset(), seededCards().size() * 3 - 1);
    QVERIFY(home.settings.password().isEmpty());
    QVERIFY(!data.secrets().keyStored());
    Database& db = data.database();
    QCOMPARE(stored(db, QStringLiteral("SELECT count(*) FROM txyk WHERE c_no IS NULL AND c_xym IS NULL AND "
                                       "c_yxq IS NULL"))
                 .toInt(),
             seededCards().size());
    QCOMPARE(stored(db, QStringLiteral("SELECT count(*) FROM txyk WHERE c_name LIKE '卡%' AND c_jzr=20 AND "
                                       "i_yxf=1000 AND c_last4 IS NOT NULL"))
                 .toInt(),
             seededCards().size());
    QCOMPARE(stored(db, QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 0);
}

void TestCardSecrets::olderDatabaseGetsLastFour()
{
    TempHome temp;
    temp.home().ensureExists();
    {
        // Version 1 as the previous release wrote it.
        QStringList statements;
        QFile schema(QStringLiteral(":/schema.sql"));
        QVERIFY(schema.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(schema.readAll()).split(u'\n');
        lines.removeIf([](const QString& line) { return line.startsWith(QStringLiteral("--")); });
        for (const QString& statement : lines.join(u'\n').split(u';')) {
            if (statement.contains(QStringLiteral("CREATE")))
                statements << statement;
        }
        statements << QStringLiteral("PRAGMA application_id=%1").arg(Database::kApplicationId)
                   << QStringLiteral("PRAGMA user_version=1")
                   << QStringLiteral("INSERT INTO txyk (c_name, c_no) VALUES ('a', '6225 8801-2345 6789'), "
                                     "('b', '12'), ('c', NULL)");
        runOnSqliteFile(temp.databasePath(), statements);
    }
    Database db;
    db.open(temp.databasePath());
    QCOMPARE(stored(db, QStringLiteral("PRAGMA user_version")).toInt(), Database::kSchemaVersion);
    QCOMPARE(
        stored(db,
               QStringLiteral(
                   "SELECT group_concat(x, ',') FROM (SELECT coalesce(c_last4,'-') x FROM txyk ORDER BY id)"))
            .toString(),
        QStringLiteral("6789,12,-"));
    QCOMPARE(stored(db, QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 0);
    QCOMPARE(stored(db, QStringLiteral("PRAGMA secure_delete")).toInt(), 1);
}

void TestCardSecrets::killedProtectLeavesAllOrNothing()
{
    TempHome temp;
    temp.home().ensureExists();
    {
        Database db;
        db.open(temp.databasePath());
        Transaction t(db);
        for (int i = 0; i < 3000; ++i)
            CardBuilder(db)
                .name(QStringLiteral("卡%1").arg(i))
                .number(QStringLiteral("6225%1").arg(i, 12, 10, QChar(u'0')))
                .insert();
        t.commit();
    }
    for (const bool kill : {true, false}) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMORA_SECRETS_CHILD"), temp.databasePath());
        env.insert(QStringLiteral("VELMORA_SECRETS_PAUSE"), kill ? QStringLiteral("1") : QStringLiteral("0"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        if (kill) {
            // Half the cards sealed inside the transaction: stopped there for good.
            while (!child.readAllStandardOutput().contains("half"))
                QVERIFY(child.waitForReadyRead(60000));
            QVERIFY(QFile::exists(temp.databasePath() + QStringLiteral("-journal")));
            ::kill(pid_t(child.processId()), SIGKILL);
        }
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitStatus(), kill ? QProcess::CrashExit : QProcess::NormalExit);

        Database db;
        db.open(temp.databasePath()); // rolls back what the killed run left
        QCOMPARE(stored(db, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        const int sealed =
            stored(db, QStringLiteral("SELECT count(*) FROM txyk WHERE c_no LIKE 'vsec1:%'")).toInt();
        const int keys = stored(db, QStringLiteral("SELECT count(*) FROM tkey")).toInt();
        QCOMPARE(sealed, kill ? 0 : 3000);
        QCOMPARE(keys, kill ? 0 : 1);
    }
}

namespace {

int runChild()
{
    Database db;
    db.open(qEnvironmentVariable("VELMORA_SECRETS_CHILD"));
    CardSecrets secrets(db);
    const bool pause = qEnvironmentVariable("VELMORA_SECRETS_PAUSE") == u"1";
    secrets.protect(QStringLiteral("pw"), [pause](int done, int total) {
        if (pause && done == total / 2) {
            fputs("half\n", stdout);
            fflush(stdout);
            for (;;)
                ::pause(); // until killed
        }
    });
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VELMORA_SECRETS_CHILD"))
        return runChild();
    TestCardSecrets test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cardsecrets.moc"
