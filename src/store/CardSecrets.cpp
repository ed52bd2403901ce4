#include "store/CardSecrets.h"

#include "store/Database.h"
#include "store/Error.h"
#include "store/Query.h"

#include <QCryptographicHash>

#include <array>
#include <optional>
#include <vector>

namespace {

const QString kSelectAll = QStringLiteral("SELECT id, c_no, c_xym, c_yxq FROM txyk");

struct CardRow
{
    qint64 id = 0;
    std::array<QVariant, 3> values; // in the order of CardSecrets::fields()
};

std::vector<CardRow> readCards(Database& db)
{
    std::vector<CardRow> rows;
    Statement q(db, kSelectAll);
    while (q.step()) {
        CardRow row;
        row.id = q.integer(0);
        for (int i = 0; i < 3; ++i)
            row.values[size_t(i)] = q.value(i + 1);
        rows.push_back(std::move(row));
    }
    return rows;
}

bool sealedValue(const QVariant& v)
{
    return v.typeId() == QMetaType::QString && SecretBox::isSealed(v.toString());
}

bool clearValue(const QVariant& v)
{
    return !v.isNull() && !v.toString().isEmpty() && !sealedValue(v);
}

// One prepared statement, run once per card.
class CardUpdate
{
public:
    // c_last4 follows the number when it is given, and stays when it is not.
    explicit CardUpdate(Database& db)
        : m_query(db,
                  QStringLiteral(
                      "UPDATE txyk SET c_no=?, c_xym=?, c_yxq=?, c_last4=coalesce(?, c_last4) WHERE id=?"))
    {}
    void run(const CardRow& row, const QVariant& last4)
    {
        for (int i = 0; i < 3; ++i)
            m_query.bind(i, row.values[size_t(i)]);
        m_query.bind(3, last4);
        m_query.bind(4, row.id);
        m_query.run();
    }

private:
    Statement m_query;
};

// A protected value as it is to be stored, and the same value in clear.
struct NewValue
{
    QString stored;
    QString clear;
};

// Rewrites every card for which `change(row, i, value)` gives new values (nullopt keeps a value as
// it is); the readable last four follow a new number. The caller owns the transaction.
template <typename Change>
void rewriteCards(Database& db, const CardSecrets::Progress& progress, Change change)
{
    std::vector<CardRow> rows = readCards(db);
    CardUpdate update(db);
    const int total = int(rows.size());
    for (int done = 0; done < total; ++done) {
        CardRow& row = rows[size_t(done)];
        bool changed = false;
        QVariant last4;
        for (int i = 0; i < 3; ++i) {
            QVariant& value = row.values[size_t(i)];
            const std::optional<NewValue> next = change(row, i, value);
            if (!next)
                continue;
            if (i == 0)
                last4 = CardSecrets::lastFour(next->clear);
            value = next->stored;
            changed = true;
        }
        if (changed)
            update.run(row, last4);
        if (progress)
            progress(done + 1, total);
    }
}

} // namespace

const QString CardSecrets::kLockedText = QStringLiteral("（已加密）");
const QString CardSecrets::kUnreadableText = QStringLiteral("（无法解密）");

const QStringList& CardSecrets::fields()
{
    static const QStringList names = {QStringLiteral("c_no"), QStringLiteral("c_xym"),
                                      QStringLiteral("c_yxq")};
    return names;
}

bool CardSecrets::isProtected(const QString& table, const QString& field)
{
    return table.compare(u"txyk", Qt::CaseInsensitive) == 0 && fields().contains(field, Qt::CaseInsensitive);
}

QString CardSecrets::lastFour(const QString& number)
{
    QString digits;
    for (const QChar c : number) {
        if (!c.isSpace() && c != u'-')
            digits += c;
    }
    return digits.right(4);
}

QString CardSecrets::lastFourOf(const Query& list)
{
    if (list.hasField(QStringLiteral("c_last4"))) {
        const QString stored = list.textValue(QStringLiteral("c_last4"));
        if (!stored.isEmpty() || !list.hasField(QStringLiteral("c_no")))
            return stored;
    }
    return lastFourOfStored(list.textValue(QStringLiteral("c_no")));
}

QString CardSecrets::lastFourOfStored(const QString& number)
{
    if (number == kLockedText || number == kUnreadableText || SecretBox::isSealed(number))
        return {};
    return lastFour(number);
}

void CardSecrets::storeLastFour(Database& db, const QList<std::pair<qint64, QString>>& cards)
{
    if (cards.isEmpty())
        return;
    Statement update(db, QStringLiteral("UPDATE txyk SET c_last4=? WHERE id=?"));
    for (const auto& [id, last4] : cards) {
        update.bind(0, last4).bind(1, id);
        update.run();
    }
}

void CardSecrets::follow() const
{
    const QString path = m_db.isOpen() ? m_db.path() : QString();
    if (path == m_stateOf)
        return;
    m_stateOf = path;
    m_key.reset();
    m_keyStored = false;
    if (path.isEmpty())
        return;
    // A database of ours not yet at the current version (opened read-only) has no key table.
    try {
        Statement q(m_db, QStringLiteral("SELECT count(*) FROM tkey WHERE c_key NOT LIKE 'check$%'"));
        m_keyStored = q.step() && q.integer(0) > 0;
    } catch (const Error&) {
        m_keyStored = false;
    }
}

bool CardSecrets::keyStored() const
{
    follow();
    return m_keyStored;
}

bool CardSecrets::unlocked() const
{
    follow();
    return m_key.has_value();
}

namespace {
// The newest wrap of the form and figures this program writes: the only one a password is tried
// against, so planted rows cost a login nothing.
std::optional<QString> newestWrap(Database& db)
{
    Statement q(db, QStringLiteral("SELECT c_key FROM tkey ORDER BY id DESC"));
    while (q.step()) {
        const QString wrapped = q.text(0);
        if (SecretBox::wellFormed(wrapped))
            return wrapped;
    }
    return std::nullopt;
}

// A wrap kept only to check the password while the values are clear.
const QString kCheckOnly = QStringLiteral("check$");

const QString kUnreadableRefused =
    QStringLiteral("有%1项卡片资料无法解密（可能已损坏或被改动），%2，数据库未作改动。");
} // namespace

bool CardSecrets::unlock(const QString& password)
{
    follow();
    const std::optional<QString> wrapped = newestWrap(m_db);
    if (!wrapped)
        return false;
    std::optional<SecretBox::Unwrapped> opened = SecretBox::unwrap(*wrapped, password);
    if (!opened)
        return false;
    if (opened->oldValues) {
        // Values of the earlier form are bound to their field only: sealed again under a new
        // key, bound to their card. A value that does not open stays as it is (and unreadable).
        reseal(opened->key, true, password, false, {});
    } else {
        m_key = std::move(opened->key);
        // Stray wraps (planted, or left by an earlier version's cut-short change) go; a file we
        // may not write keeps them, harmless since they are never tried.
        Statement others(m_db, QStringLiteral("SELECT count(*) FROM tkey WHERE c_key<>?"));
        others.bind(0, *wrapped);
        if (others.step() && others.integer(0) > 0) {
            try {
                m_db.executeSql(QStringLiteral("DELETE FROM tkey WHERE c_key<>?"), {*wrapped});
            } catch (const Error&) {
            }
        }
    }
    m_keyStored = true;
    return true;
}

std::optional<bool> CardSecrets::checkWhileClear(const QString& password) const
{
    std::optional<QString> kept;
    {
        Statement q(m_db,
                    QStringLiteral("SELECT c_key FROM tkey WHERE c_key LIKE 'check$%' ORDER BY id DESC"));
        if (q.step())
            kept = q.text(0).mid(kCheckOnly.size());
    }
    if (!kept)
        return std::nullopt;
    return SecretBox::unwrap(*kept, password).has_value();
}

void CardSecrets::keepCheckWhileClear(const QString& password)
{
    const QString wrapped =
        password.isEmpty() ? QString() : kCheckOnly + SecretBox::wrap(SecretBox::Key::random(), password);
    Transaction transaction(m_db);
    m_db.executeSql(QStringLiteral("DELETE FROM tkey WHERE c_key LIKE 'check$%'"));
    if (!wrapped.isEmpty())
        m_db.executeSql(QStringLiteral("INSERT INTO tkey (c_key) VALUES (?)"), {wrapped});
    transaction.commit();
}

QString CardSecrets::wrapProblem() const
{
    follow();
    if (!m_keyStored)
        return {};
    if (newestWrap(m_db))
        return {};
    return QStringLiteral(
        "数据库中的卡片密钥不是本程序写入的形式（可能已损坏或被改动），无法用任何密码解开。");
}

void CardSecrets::lock()
{
    m_key.reset();
}

QString CardSecrets::keyMark() const
{
    follow();
    const std::optional<QString> wrapped = m_keyStored ? newestWrap(m_db) : std::nullopt;
    if (!wrapped)
        return {};
    return QString::fromLatin1(
        QCryptographicHash::hash(wrapped->toLatin1(), QCryptographicHash::Sha256).toHex().left(16));
}

QVariant CardSecrets::shown(const QString& field, const QVariant& stored, qint64 cardId,
                            const QVariant& last4) const
{
    if (!sealedValue(stored))
        return stored;
    follow();
    if (!m_key)
        return kLockedText;
    const auto clear = SecretBox::open(*m_key, stored.toString(), cardId, field);
    // A number that does not end in the card's readable last four was put there from elsewhere.
    const bool numberFits = !clear || field.compare(u"c_no", Qt::CaseInsensitive) != 0 || last4.isNull() ||
                            lastFour(*clear) == last4.toString();
    if (clear && numberFits)
        return *clear;
    ++m_unreadable;
    return kUnreadableText;
}

QVariant CardSecrets::toStore(const QString& field, const QVariant& shown, qint64 cardId) const
{
    follow();
    if (!m_keyStored || shown.isNull() || shown.toString().isEmpty())
        return shown;
    if (!m_key)
        throw Error(QStringLiteral("卡号、校验码和有效期已加密，请先登录再修改。"));
    return SecretBox::seal(*m_key, shown.toString(), cardId, field);
}

void CardSecrets::requireKey() const
{
    follow();
    if (!m_key)
        throw Error(QStringLiteral("卡片资料已加密，需要先用当前密码解开。"));
}

void CardSecrets::protect(const QString& password, const Progress& progress)
{
    follow();
    if (m_keyStored)
        requireKey();
    std::optional<SecretBox::Key> fresh;
    if (!m_keyStored)
        fresh = SecretBox::Key::random();
    const SecretBox::Key& key = m_keyStored ? *m_key : *fresh;
    const QString wrapped = m_keyStored ? QString() : SecretBox::wrap(key, password);

    Transaction transaction(m_db);
    if (!wrapped.isEmpty()) {
        m_db.executeSql(QStringLiteral("DELETE FROM tkey"));
        m_db.executeSql(QStringLiteral("INSERT INTO tkey (c_key) VALUES (?)"), {wrapped});
    }
    rewriteCards(
        m_db, progress, [&](const CardRow& row, int i, const QVariant& value) -> std::optional<NewValue> {
            if (!clearValue(value))
                return std::nullopt;
            return NewValue{SecretBox::seal(key, value.toString(), row.id, fields()[i]), value.toString()};
        });
    transaction.commit();
    if (fresh)
        m_key = std::move(fresh);
    m_keyStored = true;
    rebuildFile();
}

void CardSecrets::reseal(const SecretBox::Key& oldKey, bool oldValues, const QString& password,
                         bool refuseUnreadable, const Progress& progress)
{
    SecretBox::Key fresh = SecretBox::Key::random();
    const QString wrapped = SecretBox::wrap(fresh, password);
    Transaction transaction(m_db);
    int unreadable = 0;
    rewriteCards(
        m_db, progress, [&](const CardRow& row, int i, const QVariant& value) -> std::optional<NewValue> {
            const QString& field = fields()[i];
            if (clearValue(value)) // left clear by a cut-short switch: sealed now as well
                return NewValue{SecretBox::seal(fresh, value.toString(), row.id, field), value.toString()};
            if (!sealedValue(value))
                return std::nullopt;
            const std::optional<QString> clear =
                oldValues ? SecretBox::openOld(oldKey, value.toString(), field)
                          : SecretBox::open(oldKey, value.toString(), row.id, field);
            if (!clear) {
                ++unreadable;
                return std::nullopt;
            }
            return NewValue{SecretBox::seal(fresh, *clear, row.id, field), *clear};
        });
    if (unreadable > 0 && refuseUnreadable)
        throw Error(kUnreadableRefused.arg(unreadable).arg(QStringLiteral("密码未更改")));
    m_db.executeSql(QStringLiteral("DELETE FROM tkey"));
    m_db.executeSql(QStringLiteral("INSERT INTO tkey (c_key) VALUES (?)"), {wrapped});
    transaction.commit();
    m_key = std::move(fresh);
    m_keyStored = true;
}

void CardSecrets::changePassword(const QString& password, const Progress& progress)
{
    requireKey();
    reseal(*m_key, false, password, true, progress);
}

void CardSecrets::unprotect(const Progress& progress)
{
    requireKey();
    Transaction transaction(m_db);
    int unreadable = 0; // when there are any, the transaction is rolled back below
    rewriteCards(m_db, progress,
                 [&](const CardRow& row, int i, const QVariant& value) -> std::optional<NewValue> {
                     if (!sealedValue(value))
                         return std::nullopt;
                     const auto clear = SecretBox::open(*m_key, value.toString(), row.id, fields()[i]);
                     if (!clear) {
                         ++unreadable;
                         return std::nullopt;
                     }
                     return NewValue{*clear, *clear};
                 });
    if (unreadable > 0)
        throw Error(kUnreadableRefused.arg(unreadable).arg(QStringLiteral("密码保护未关闭")));
    m_db.executeSql(QStringLiteral("DELETE FROM tkey WHERE c_key LIKE 'check$%'"));
    m_db.executeSql(QStringLiteral("UPDATE tkey SET c_key=?||c_key"), {kCheckOnly});
    transaction.commit();
    m_keyStored = false;
    m_key.reset();
}

int CardSecrets::clearSealed()
{
    follow();
    Transaction transaction(m_db);
    int cleared = 0;
    for (const QString& field : fields())
        cleared += m_db.executeSql(QStringLiteral("UPDATE txyk SET %1=NULL WHERE substr(%1,1,%2) IN (?,?)")
                                       .arg(field)
                                       .arg(SecretBox::kValuePrefix.size()),
                                   {SecretBox::kValuePrefix, SecretBox::kOldValuePrefix});
    m_db.executeSql(QStringLiteral("DELETE FROM tkey"));
    transaction.commit();
    m_keyStored = false;
    m_key.reset();
    return cleared;
}

void CardSecrets::rebuildFile()
{
    try {
        m_db.executeSql(QStringLiteral("VACUUM"));
    } catch (const Error& e) {
        throw Error(
            QStringLiteral("卡片资料已加密，但整理数据库文件失败，旧的明文可能仍留在文件的空闲空间中：\n") +
            e.message());
    }
}
