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
#include <sodium.h>
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
    void passwordChangeMakesANewKey();
    void copySealedUnderEarlierPasswordOpensWithIt();
    void killedPasswordChangeLeavesOldOrNew();
    void protectionOffStoresClearAgain();
    void legacyPasswordRemovedAtFirstLogin_data();
    void legacyPasswordRemovedAtFirstLogin();
    void tamperedValueIsShownUnreadableAndKept();
    void tamperedDatabase_data();
    void tamperedDatabase();
    void olderSealedFormResealedAtFirstLogin();
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
        // Sealed values and key wraps are random text in which a short check code turns up by
        // chance now and then: they go before the search.
        for (const QVariant& stored : Stored::column(
                 db, QStringLiteral("SELECT c_no FROM txyk UNION ALL SELECT c_xym FROM txyk UNION ALL "
                                    "SELECT c_yxq FROM txyk"))) {
            const QString value = stored.toString();
            if (SecretBox::isSealed(value))
                bytes.replace(value.toUtf8(), QByteArray());
        }
        for (const QVariant& wrap : Stored::column(db, QStringLiteral("SELECT c_key FROM tkey")))
            bytes.replace(wrap.toString().toUtf8(), QByteArray());
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
        // As an earlier version kept it: the first login seals the cards under it.
        settings.file().writeText(Settings::kSection, QStringLiteral("pd"), password);
    }
};

// The earlier form, written here the way the previous release wrote it.
QString oldSeal(const SecretBox::Key& key, const QString& clear, const QString& field)
{
    const QByteArray bytes = clear.toUtf8();
    const QByteArray extra = field.toUtf8();
    QByteArray out(qsizetype(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES) + bytes.size() +
                       qsizetype(crypto_aead_xchacha20poly1305_ietf_ABYTES),
                   Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(out.data());
    randombytes_buf(nonce, crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + crypto_aead_xchacha20poly1305_ietf_NPUBBYTES, nullptr,
                                               reinterpret_cast<const unsigned char*>(bytes.constData()),
                                               size_t(bytes.size()),
                                               reinterpret_cast<const unsigned char*>(extra.constData()),
                                               size_t(extra.size()), nullptr, nonce, key.bytes());
    return SecretBox::kOldValuePrefix + QString::fromLatin1(out.toBase64());
}

QString oldWrap(const SecretBox::Key& key, const QString& password)
{
    const SecretBox::Work work = SecretBox::work();
    QByteArray salt(crypto_pwhash_SALTBYTES, Qt::Uninitialized);
    randombytes_buf(salt.data(), size_t(salt.size()));
    const QString header = QStringLiteral("vkey1$%1$%2$%3")
                               .arg(work.ops)
                               .arg(quint64(work.mem / 1024))
                               .arg(QString::fromLatin1(salt.toBase64()));
    SecretBox::Key wrapping;
    const QByteArray utf8 = password.toUtf8();
    if (crypto_pwhash(wrapping.bytes(), SecretBox::Key::kBytes, utf8.constData(), size_t(utf8.size()),
                      reinterpret_cast<const unsigned char*>(salt.constData()), work.ops, work.mem,
                      crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    const QByteArray extra = header.toLatin1();
    QByteArray out(qsizetype(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES + SecretBox::Key::kBytes +
                             crypto_aead_xchacha20poly1305_ietf_ABYTES),
                   Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(out.data());
    randombytes_buf(nonce, crypto_aead_xchacha20poly1305_ietf_NPUBBYTES);
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + crypto_aead_xchacha20poly1305_ietf_NPUBBYTES, nullptr,
                                               key.bytes(), SecretBox::Key::kBytes,
                                               reinterpret_cast<const unsigned char*>(extra.constData()),
                                               size_t(extra.size()), nullptr, nonce, wrapping.bytes());
    return header + u'$' + QString::fromLatin1(out.toBase64());
}

int runChild(); // the process the kill tests stop half-way

} // namespace

void TestCardSecrets::sealedValueOpensOnlyAsSealed()
{
    const SecretBox::Key key = SecretBox::Key::random();
    const SecretBox::Key other = SecretBox::Key::random();
    const QString no = QStringLiteral("c_no");
    for (const QString& clear :
         {QStringLiteral("6225 8801 2345 6789"), QStringLiteral("有效期至２０２９年"), QStringLiteral("1")}) {
        const QString sealed = SecretBox::seal(key, clear, 7, no);
        QVERIFY(SecretBox::isSealed(sealed));
        QCOMPARE(SecretBox::open(key, sealed, 7, no), clear);
        // Fresh nonce each time: the same value does not seal the same way twice.
        QVERIFY(SecretBox::seal(key, clear, 7, no) != sealed);
        QCOMPARE(SecretBox::open(other, sealed, 7, no), std::nullopt);
        QCOMPARE(SecretBox::open(key, sealed, 7, QStringLiteral("c_xym")), std::nullopt); // another field
        QCOMPARE(SecretBox::open(key, sealed, 8, no), std::nullopt);                      // another card
        QCOMPARE(SecretBox::openOld(key, sealed, no), std::nullopt); // not the earlier form
        for (const int fromEnd : {1, 17, 40})                        // in the tag, and further in
            QCOMPARE(SecretBox::open(key, flipInside(sealed, fromEnd), 7, no), std::nullopt);
        QCOMPARE(SecretBox::open(key, sealed.left(20), 7, no), std::nullopt);
    }
    QCOMPARE(SecretBox::open(key, QStringLiteral("6225"), 7, no), std::nullopt);
}

void TestCardSecrets::wrappedKeyOpensOnlyWithItsPassword_data()
{
    // clang-format off
    QTest::addColumn<QString>("change"); // what is done to the stored wrap
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("opens");
    QTest::newRow("right password")        << ""        << "密码 pass" << true;
    QTest::newRow("wrong password")        << ""        << "密码 Pass" << false;
    QTest::newRow("empty password")        << ""        << ""          << false;
    QTest::newRow("work figure raised")    << "ops"     << "密码 pass" << false;
    QTest::newRow("memory figure raised")  << "memory"  << "密码 pass" << false;
    QTest::newRow("figure spelled longer") << "zero"    << "密码 pass" << false;
    QTest::newRow("sealed key damaged")    << "sealed"  << "密码 pass" << false;
    QTest::newRow("salt padded")           << "salt"    << "密码 pass" << false;
    QTest::newRow("unknown form")          << "scheme"  << "密码 pass" << false;
    QTest::newRow("not a wrap")            << "garbage" << "密码 pass" << false;
    // clang-format on
}

void TestCardSecrets::wrappedKeyOpensOnlyWithItsPassword()
{
    QFETCH(QString, change);
    QFETCH(QString, password);
    QFETCH(bool, opens);
    const SecretBox::Key key = SecretBox::Key::random();
    QString wrapped = SecretBox::wrap(key, QStringLiteral("密码 pass"));
    QVERIFY(SecretBox::wellFormed(wrapped));
    QStringList parts = wrapped.split(u'$');
    QCOMPARE(parts.size(), 5);
    if (change == u"ops")
        parts[1] = QStringLiteral("32");
    else if (change == u"memory")
        parts[2] = QStringLiteral("262144");
    else if (change == u"zero")
        parts[1] = u'0' + parts[1];
    else if (change == u"sealed")
        parts[4] = flipInside(parts[4], 3);
    else if (change == u"salt")
        parts[3] += QStringLiteral("AAAA");
    else if (change == u"scheme")
        parts[0] = QStringLiteral("vkey9");
    wrapped = change == u"garbage" ? QStringLiteral("vkey2$x$y") : parts.join(u'$');
    QCOMPARE(SecretBox::wellFormed(wrapped), change.isEmpty() || change == u"sealed");
    auto opened = SecretBox::unwrap(wrapped, password);
    QCOMPARE(opened.has_value(), opens);
    if (opens) {
        QVERIFY(!opened->oldValues);
        const QString sealed = SecretBox::seal(key, QStringLiteral("123"), 1, QStringLiteral("c_xym"));
        QCOMPARE(SecretBox::open(opened->key, sealed, 1, QStringLiteral("c_xym")), QStringLiteral("123"));
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
                            "SELECT count(*) FROM txyk WHERE c_no LIKE 'vsec2:%' AND c_xym LIKE 'vsec2:%' "
                            "AND c_yxq LIKE 'vsec2:%'"))
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
        QVERIFY2(!out.contains(c.number) && !out.contains(QStringLiteral("vsec")), qPrintable(out));
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

void TestCardSecrets::passwordChangeMakesANewKey()
{
    Home home(QStringLiteral("old"));
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(lock.login(QStringLiteral("old")).accepted);
    // A copy made before the change (a daily backup, a synced folder).
    const QString copy = home.temp.path() + QStringLiteral("/copy.db");
    QVERIFY(QFile::copy(home.temp.databasePath(), copy));
    const QString oldWrap = stored(data.database(), QStringLiteral("SELECT c_key FROM tkey")).toString();

    // Locked: the current password opens the key first.
    data.secrets().lock();
    QVERIFY(lock.passwordNeeded());
    QCOMPARE(lock.confirm(QStringLiteral("wrong")), QStringLiteral("密码错误"));
    QCOMPARE(lock.confirm(QStringLiteral("old")), QString());
    lock.changePassword(QStringLiteral("new"));
    QCOMPARE(home.settings.password(), Settings::kPasswordInKey);
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 1);

    // The key the old password opens from the copy opens none of the current values.
    const auto oldKey = SecretBox::unwrap(oldWrap, QStringLiteral("old"));
    QVERIFY(oldKey);
    int checked = 0;
    data.database().scan(
        QStringLiteral("SELECT id, c_no, c_xym, c_yxq FROM txyk"), [](const QStringList&) {},
        [&](std::vector<QVariant>& row) {
            for (int i = 0; i < 3; ++i) {
                QVERIFY(SecretBox::isSealed(row[size_t(i + 1)].toString()));
                QCOMPARE(SecretBox::open(oldKey->key, row[size_t(i + 1)].toString(), row[0].toLongLong(),
                                         CardSecrets::fields()[i]),
                         std::nullopt);
                ++checked;
            }
        });
    QCOMPARE(checked, seededCards().size() * 3);

    data.secrets().lock();
    QVERIFY(!lock.login(QStringLiteral("old")).accepted);
    const CardLock::Login login = lock.login(QStringLiteral("new"));
    QVERIFY(login.accepted);
    QCOMPARE(login.problem, QString());
    data.reloadSecretFields();
    QCOMPARE(shown(data, QStringLiteral("卡5"), QStringLiteral("c_no")), seededCards()[5].number);
    QCOMPARE(shown(data, QStringLiteral("卡5"), QStringLiteral("c_yxq")), seededCards()[5].validity);
    QCOMPARE(data.secrets().takeUnreadableCount(), 0);

    // The copy keeps its own key: the old password still opens it, the new one does not.
    Database old;
    old.open(copy);
    CardSecrets oldSecrets(old);
    QVERIFY(!oldSecrets.unlock(QStringLiteral("new")));
    QVERIFY(oldSecrets.unlock(QStringLiteral("old")));
}

// A copy from before a password change, put back: the current password is refused as sealed
// under another one (a plain typo is not), the earlier one opens it and it is sealed again under
// the current one; a wrong earlier password changes nothing.
void TestCardSecrets::copySealedUnderEarlierPasswordOpensWithIt()
{
    Home home(QStringLiteral("old"));
    const QString copy = home.temp.path() + QStringLiteral("/copy.db");
    {
        DataModule data;
        data.open(home.temp.databasePath());
        CardLock lock(home.settings, data.secrets());
        QVERIFY(lock.login(QStringLiteral("old")).accepted);
        QVERIFY(QFile::copy(home.temp.databasePath(), copy));
        lock.changePassword(QStringLiteral("new"));
        data.secrets().lock();
        const CardLock::Login typo = lock.login(QStringLiteral("nwe"));
        QVERIFY(!typo.accepted);
        QVERIFY(!typo.sealedUnderAnother);
    }
    QVERIFY(QFile::remove(home.temp.databasePath()));
    QVERIFY(QFile::copy(copy, home.temp.databasePath()));

    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    const CardLock::Login refused = lock.login(QStringLiteral("new"));
    QVERIFY(!refused.accepted);
    QVERIFY(refused.sealedUnderAnother);
    QCOMPARE(refused.problem, QString());

    const QStringList before = snapshot(data.database());
    const CardLock::Login wrongEarlier = lock.openEarlier(QStringLiteral("new"), QStringLiteral("older"));
    QVERIFY(!wrongEarlier.accepted);
    QVERIFY(wrongEarlier.problem.contains(QStringLiteral("未作改动")));
    QCOMPARE(snapshot(data.database()), before);

    QVERIFY(lock.openEarlier(QStringLiteral("new"), QStringLiteral("old")).accepted);
    data.reloadSecretFields();
    QCOMPARE(shown(data, QStringLiteral("卡5"), QStringLiteral("c_no")), seededCards()[5].number);
    QCOMPARE(data.secrets().takeUnreadableCount(), 0);
    data.secrets().lock();
    QVERIFY(!lock.login(QStringLiteral("old")).accepted);
    QVERIFY(lock.login(QStringLiteral("new")).accepted);
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 1);
}

void TestCardSecrets::killedPasswordChangeLeavesOldOrNew()
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
        CardSecrets(db).protect(QStringLiteral("old"));
    }
    for (const bool kill : {true, false}) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMORA_SECRETS_CHILD"), temp.databasePath());
        env.insert(QStringLiteral("VELMORA_SECRETS_PAUSE"), kill ? QStringLiteral("1") : QStringLiteral("0"));
        env.insert(QStringLiteral("VELMORA_SECRETS_CHANGE"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        if (kill) {
            while (!child.readAllStandardOutput().contains("half"))
                QVERIFY(child.waitForReadyRead(60000));
            ::kill(pid_t(child.processId()), SIGKILL);
        }
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitStatus(), kill ? QProcess::CrashExit : QProcess::NormalExit);

        Database db;
        db.open(temp.databasePath()); // rolls back what the killed run left
        QCOMPARE(stored(db, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        QCOMPARE(stored(db, QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 1);
        const QString current = kill ? QStringLiteral("old") : QStringLiteral("new");
        CardSecrets secrets(db);
        QVERIFY(!secrets.unlock(kill ? QStringLiteral("new") : QStringLiteral("old")));
        QVERIFY(secrets.unlock(current));
        int opened = 0;
        db.scan(
            QStringLiteral("SELECT id, c_no FROM txyk"), [](const QStringList&) {},
            [&](std::vector<QVariant>& row) {
                opened += secrets.shown(QStringLiteral("c_no"), row[1], row[0].toLongLong())
                              .toString()
                              .startsWith(u"6225");
            });
        QCOMPARE(opened, 3000);
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
    // Only what checks the password stays: nothing in the settings file can.
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT count(*) FROM tkey WHERE c_key LIKE 'check$%'"))
                 .toInt(),
             1);
    QCOMPARE(data.secrets().checkWhileClear(QStringLiteral("pw")), std::optional<bool>(true));
    QCOMPARE(home.settings.password(), Settings::kPasswordInKey);
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
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 0);
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT c_xym FROM txyk WHERE c_name='卡7'")).toString(),
             seededCards()[7].code);
}

void TestCardSecrets::legacyPasswordRemovedAtFirstLogin_data()
{
    QTest::addColumn<QString>("pd");
    QTest::newRow("plain text") << QStringLiteral("abc");
    QTest::newRow("PBKDF2 digest") << PasswordHash::make(QStringLiteral("abc"), 1000);
}

void TestCardSecrets::legacyPasswordRemovedAtFirstLogin()
{
    QFETCH(QString, pd);
    Home home{QString()};
    home.settings.file().writeText(Settings::kSection, QStringLiteral("pd"), pd);
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(!lock.login(QStringLiteral("abd")).accepted);
    QCOMPARE(home.settings.password(), pd);
    QVERIFY(!data.secrets().keyStored());

    QVERIFY(lock.login(QStringLiteral("abc")).accepted);
    QVERIFY(data.secrets().unlocked());
    QCOMPARE(clearSecretsOnDisk(home.temp.databasePath()), QStringList());
    // Nothing in the settings file can check the password any more: only the key can.
    QCOMPARE(home.settings.password(), Settings::kPasswordInKey);
    QVERIFY(!home.settings.checkPassword(QStringLiteral("abc")));
    QVERIFY(!fileBytes(home.temp.iniPath()).contains(pd.toUtf8()));
    data.secrets().lock();
    QVERIFY(!lock.login(QStringLiteral("abd")).accepted);
    QVERIFY(lock.login(QStringLiteral("abc")).accepted);
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

void TestCardSecrets::tamperedDatabase_data()
{
    // clang-format off
    QTest::addColumn<QString>("tamper");
    QTest::addColumn<bool>("opens");     // the right password still opens the key
    QTest::addColumn<QStringList>("unreadable"); // card:field shown as "（无法解密）"
    QTest::newRow("numbers of two cards swapped")  << "swap c_no"      << true  << QStringList{"卡1:c_no", "卡2:c_no"};
    QTest::newRow("codes of two cards swapped")    << "swap c_xym"     << true  << QStringList{"卡1:c_xym", "卡2:c_xym"};
    QTest::newRow("validity moved into the code")  << "move"           << true  << QStringList{"卡1:c_xym"};
    QTest::newRow("older number put back")         << "roll back"      << true  << QStringList{"卡1:c_no"};
    QTest::newRow("readable last four changed")    << "last four"      << true  << QStringList{"卡1:c_no"};
    QTest::newRow("slow wrap planted")             << "slow wrap"      << true  << QStringList{};
    QTest::newRow("wrap of another password")      << "other wrap"     << false << QStringList{};
    QTest::newRow("own wrap damaged")              << "damaged wrap"   << false << QStringList{};
    QTest::newRow("own wrap made slow")            << "absurd figures" << false << QStringList{};
    // clang-format on
}

void TestCardSecrets::tamperedDatabase()
{
    QFETCH(QString, tamper);
    QFETCH(bool, opens);
    QFETCH(QStringList, unreadable);
    Home home(QStringLiteral("pw"));
    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(lock.login(QStringLiteral("pw")).accepted);
    Database& db = data.database();
    const auto value = [&](const QString& field, const QString& card) {
        return stored(db, QStringLiteral("SELECT %1 FROM txyk WHERE c_name='%2'").arg(field, card));
    };
    const auto put = [&](const QString& field, const QString& card, const QVariant& v) {
        db.executeSql(QStringLiteral("UPDATE txyk SET %1=? WHERE c_name=?").arg(field), {v, card});
    };
    const QString wrap = stored(db, QStringLiteral("SELECT c_key FROM tkey")).toString();
    QStringList parts = wrap.split(u'$');
    if (tamper.startsWith(u"swap ")) {
        const QString field = tamper.mid(5);
        const QVariant one = value(field, QStringLiteral("卡1"));
        put(field, QStringLiteral("卡1"), value(field, QStringLiteral("卡2")));
        put(field, QStringLiteral("卡2"), one);
    } else if (tamper == u"move") {
        put(QStringLiteral("c_xym"), QStringLiteral("卡1"),
            value(QStringLiteral("c_yxq"), QStringLiteral("卡1")));
    } else if (tamper == u"roll back") {
        const QVariant older = value(QStringLiteral("c_no"), QStringLiteral("卡1"));
        data.reloadSecretFields();
        QVERIFY(data.cards().locate(QStringLiteral("c_name"), QStringLiteral("卡1")));
        data.cards().setValue(QStringLiteral("c_no"), QStringLiteral("4000 0000 0000 1111"));
        data.cards().post();
        put(QStringLiteral("c_no"), QStringLiteral("卡1"), older);
    } else if (tamper == u"last four") {
        put(QStringLiteral("c_last4"), QStringLiteral("卡1"), QStringLiteral("0000"));
    } else if (tamper == u"slow wrap") {
        parts[1] = QStringLiteral("32");
        parts[2] = QStringLiteral("262144");
        db.executeSql(QStringLiteral("INSERT INTO tkey (c_key) VALUES (?)"), {parts.join(u'$')});
    } else if (tamper == u"other wrap") {
        db.executeSql(QStringLiteral("INSERT INTO tkey (c_key) VALUES (?)"),
                      {SecretBox::wrap(SecretBox::Key::random(), QStringLiteral("pw2"))});
    } else if (tamper == u"damaged wrap") {
        db.executeSql(QStringLiteral("UPDATE tkey SET c_key=?"),
                      {wrap.left(wrap.size() - 6) + QStringLiteral("AAAAAA")});
    } else if (tamper == u"absurd figures") {
        parts[1] = QStringLiteral("32");
        db.executeSql(QStringLiteral("UPDATE tkey SET c_key=?"), {parts.join(u'$')});
    }
    data.secrets().lock();
    data.secrets().takeUnreadableCount();
    const QStringList before = snapshot(db);

    const CardLock::Login login = lock.login(QStringLiteral("pw"));
    QCOMPARE(login.accepted, opens);
    QCOMPARE(data.secrets().unlocked(), opens);
    if (tamper == u"absurd figures")
        QVERIFY(login.problem.contains(QStringLiteral("无法用任何密码解开")));
    data.reloadSecretFields();
    QStringList found;
    for (int i = 0; i < seededCards().size(); ++i) {
        const QString card = seededCards()[i].name;
        for (const QString& field : CardSecrets::fields()) {
            if (shown(data, card, field) == CardSecrets::kUnreadableText)
                found << card + u':' + field;
        }
    }
    QCOMPARE(found, unreadable);
    if (!opens) {
        QCOMPARE(snapshot(db), before); // a refused login changes nothing
        QCOMPARE(shown(data, QStringLiteral("卡0"), QStringLiteral("c_no")), CardSecrets::kLockedText);
    } else {
        QCOMPARE(stored(db, QStringLiteral("SELECT count(*) FROM tkey")).toInt(), 1); // planted rows gone
    }
}

void TestCardSecrets::olderSealedFormResealedAtFirstLogin()
{
    Home home(QStringLiteral("pw"));
    Database db;
    db.open(home.temp.databasePath());
    // As the previous release sealed them: values bound to their field only, under a "vkey1" wrap.
    const SecretBox::Key key = SecretBox::Key::random();
    db.executeSql(QStringLiteral("INSERT INTO tkey (c_key) VALUES (?)"),
                  {oldWrap(key, QStringLiteral("pw"))});
    db.scan(
        QStringLiteral("SELECT id, c_no, c_xym, c_yxq FROM txyk"), [](const QStringList&) {},
        [&](std::vector<QVariant>& row) {
            for (int i = 0; i < 3; ++i)
                db.executeSql(
                    QStringLiteral("UPDATE txyk SET %1=? WHERE id=?").arg(CardSecrets::fields()[i]),
                    {oldSeal(key, row[size_t(i + 1)].toString(), CardSecrets::fields()[i]), row[0]});
        });
    db.close();
    home.settings.savePassword(QStringLiteral("pw"));

    DataModule data;
    data.open(home.temp.databasePath());
    CardLock lock(home.settings, data.secrets());
    QVERIFY(!lock.login(QStringLiteral("PW")).accepted);
    QCOMPARE(stored(data.database(), QStringLiteral("SELECT count(*) FROM txyk WHERE c_no LIKE 'vsec1:%'"))
                 .toInt(),
             seededCards().size());
    QVERIFY(lock.login(QStringLiteral("pw")).accepted);
    QCOMPARE(
        stored(data.database(),
               QStringLiteral("SELECT count(*) FROM txyk WHERE c_no LIKE 'vsec2:%' AND c_xym LIKE 'vsec2:%' "
                              "AND c_yxq LIKE 'vsec2:%'"))
            .toInt(),
        seededCards().size());
    QVERIFY(
        stored(data.database(), QStringLiteral("SELECT c_key FROM tkey")).toString().startsWith(u"vkey2$"));
    data.reloadSecretFields();
    QCOMPARE(shown(data, QStringLiteral("卡6"), QStringLiteral("c_no")), seededCards()[6].number);
    QCOMPARE(shown(data, QStringLiteral("卡6"), QStringLiteral("c_xym")), seededCards()[6].code);
    // The old key opens nothing any more: the values were sealed under a new one.
    const QString sealed =
        stored(data.database(), QStringLiteral("SELECT c_no FROM txyk WHERE c_name='卡6'")).toString();
    QCOMPARE(SecretBox::open(key, sealed, 7, QStringLiteral("c_no")), std::nullopt);
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
            stored(db, QStringLiteral("SELECT count(*) FROM txyk WHERE c_no LIKE 'vsec2:%'")).toInt();
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
    const auto progress = [pause](int done, int total) {
        if (pause && done == total / 2) {
            fputs("half\n", stdout);
            fflush(stdout);
            for (;;)
                ::pause(); // until killed
        }
    };
    if (qEnvironmentVariableIsSet("VELMORA_SECRETS_CHANGE")) {
        if (!secrets.unlock(QStringLiteral("old")))
            return 3;
        secrets.changePassword(QStringLiteral("new"), progress);
    } else {
        secrets.protect(QStringLiteral("pw"), progress);
    }
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
