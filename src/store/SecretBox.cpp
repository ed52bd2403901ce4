#include "store/SecretBox.h"

#include "store/Error.h"

#include <QStringList>
#include <sodium.h>

#include <new>
#include <utility>

namespace SecretBox {

namespace {

void ensureReady()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw Error(QStringLiteral("加密库无法初始化。"));
}

QByteArray fromBase64(const QString& text)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? decoded.decoded : QByteArray();
}

// Base64 that must read back exactly as written (no stray characters passed over).
QByteArray fromBase64Strict(const QString& text)
{
    const QByteArray bytes = fromBase64(text);
    return QString::fromLatin1(bytes.toBase64()) == text ? bytes : QByteArray();
}

const QString kWrapScheme = QStringLiteral("vkey2");
const QString kOldWrapScheme = QStringLiteral("vkey1");
constexpr size_t kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr size_t kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;

} // namespace
} // namespace SecretBox

// Supplied only by the test support library; the program leaves it undefined (null).
extern "C" [[gnu::weak]] void velmora_test_key_work(unsigned long long* ops, size_t* mem);

namespace SecretBox {
namespace {

const Work g_work = [] {
    Work work;
    if (velmora_test_key_work)
        velmora_test_key_work(&work.ops, &work.mem);
    return work;
}();

// What a value is bound to: its card and its field.
QByteArray bindingOf(qint64 cardId, const QString& field)
{
    return QStringLiteral("txyk:%1:%2").arg(cardId).arg(field.toLower()).toUtf8();
}

struct ParsedWrap
{
    bool old = false;
    QString header;
    QByteArray salt;
    QByteArray sealed;
};

std::optional<ParsedWrap> parseWrap(const QString& wrapped)
{
    const QStringList parts = wrapped.split(u'$');
    if (parts.size() != 5 || (parts[0] != kWrapScheme && parts[0] != kOldWrapScheme))
        return std::nullopt;
    // Exactly the figures this program writes, spelled as it writes them.
    if (parts[1] != QString::number(g_work.ops) || parts[2] != QString::number(quint64(g_work.mem / 1024)))
        return std::nullopt;
    ParsedWrap p;
    p.old = parts[0] == kOldWrapScheme;
    p.header = QStringList(parts.mid(0, 4)).join(u'$');
    p.salt = fromBase64Strict(parts[3]);
    p.sealed = fromBase64Strict(parts[4]);
    if (p.salt.size() != crypto_pwhash_SALTBYTES ||
        p.sealed.size() != qsizetype(kNonceBytes + Key::kBytes + kTagBytes))
        return std::nullopt;
    return p;
}

// nonce | ciphertext of `clear` under the raw key `key`, with `extra` authenticated.
QByteArray sealBytes(const unsigned char* key, const QByteArray& clear, const QByteArray& extra)
{
    QByteArray out(qsizetype(kNonceBytes) + clear.size() + qsizetype(kTagBytes), Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(out.data());
    randombytes_buf(nonce, kNonceBytes);
    unsigned long long length = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(
        nonce + kNonceBytes, &length, reinterpret_cast<const unsigned char*>(clear.constData()),
        size_t(clear.size()), reinterpret_cast<const unsigned char*>(extra.constData()), size_t(extra.size()),
        nullptr, nonce, key);
    return out;
}

// Opens nonce | ciphertext into `clear` (of the right size); false when it does not authenticate.
bool openBytes(const unsigned char* key, const QByteArray& sealed, const QByteArray& extra,
               unsigned char* clear)
{
    if (sealed.size() < qsizetype(kNonceBytes + kTagBytes))
        return false;
    const auto* nonce = reinterpret_cast<const unsigned char*>(sealed.constData());
    unsigned long long length = 0;
    return crypto_aead_xchacha20poly1305_ietf_decrypt(
               clear, &length, nullptr, nonce + kNonceBytes, size_t(sealed.size()) - kNonceBytes,
               reinterpret_cast<const unsigned char*>(extra.constData()), size_t(extra.size()), nonce,
               key) == 0;
}

// The key that wraps the data key, derived from the password; wiped by its owner.
bool derive(Key& out, const QString& password, const QByteArray& salt, unsigned long long ops, size_t mem)
{
    QByteArray utf8 = password.toUtf8();
    const bool ok = crypto_pwhash(out.bytes(), Key::kBytes, utf8.constData(), size_t(utf8.size()),
                                  reinterpret_cast<const unsigned char*>(salt.constData()), ops, mem,
                                  crypto_pwhash_ALG_ARGON2ID13) == 0;
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    return ok;
}

} // namespace

const QString kValuePrefix = QStringLiteral("vsec2:");
const QString kOldValuePrefix = QStringLiteral("vsec1:");

Work work()
{
    return g_work;
}

Key::Key()
{
    ensureReady();
    m_bytes = static_cast<unsigned char*>(sodium_malloc(kBytes));
    if (!m_bytes)
        throw std::bad_alloc();
    sodium_memzero(m_bytes, kBytes);
}

Key::~Key()
{
    sodium_free(m_bytes); // wipes; accepts null
}

Key::Key(Key&& other) noexcept : m_bytes(std::exchange(other.m_bytes, nullptr)) {}

Key& Key::operator=(Key&& other) noexcept
{
    if (this != &other) {
        sodium_free(m_bytes);
        m_bytes = std::exchange(other.m_bytes, nullptr);
    }
    return *this;
}

Key Key::random()
{
    Key key;
    crypto_aead_xchacha20poly1305_ietf_keygen(key.bytes());
    return key;
}

bool isSealed(const QString& stored)
{
    return stored.startsWith(kValuePrefix) || stored.startsWith(kOldValuePrefix);
}

QString seal(const Key& key, const QString& clear, qint64 cardId, const QString& field)
{
    ensureReady();
    QByteArray bytes = clear.toUtf8();
    const QByteArray sealed = sealBytes(key.bytes(), bytes, bindingOf(cardId, field));
    sodium_memzero(bytes.data(), size_t(bytes.size()));
    return kValuePrefix + QString::fromLatin1(sealed.toBase64());
}

namespace {
std::optional<QString> openWith(const Key& key, const QString& sealed, const QString& prefix,
                                const QByteArray& extra)
{
    ensureReady();
    if (!sealed.startsWith(prefix))
        return std::nullopt;
    const QByteArray bytes = fromBase64(sealed.mid(prefix.size()));
    if (bytes.size() < qsizetype(kNonceBytes + kTagBytes))
        return std::nullopt;
    QByteArray clear(bytes.size() - qsizetype(kNonceBytes + kTagBytes), Qt::Uninitialized);
    if (!openBytes(key.bytes(), bytes, extra, reinterpret_cast<unsigned char*>(clear.data())))
        return std::nullopt;
    const QString text = QString::fromUtf8(clear);
    sodium_memzero(clear.data(), size_t(clear.size()));
    return text;
}
} // namespace

std::optional<QString> open(const Key& key, const QString& sealed, qint64 cardId, const QString& field)
{
    return openWith(key, sealed, kValuePrefix, bindingOf(cardId, field));
}

std::optional<QString> openOld(const Key& key, const QString& sealed, const QString& field)
{
    return openWith(key, sealed, kOldValuePrefix, field.toLower().toUtf8());
}

QString wrap(const Key& key, const QString& password)
{
    ensureReady();
    QByteArray salt(crypto_pwhash_SALTBYTES, Qt::Uninitialized);
    randombytes_buf(salt.data(), size_t(salt.size()));
    const QString header = QStringLiteral("%1$%2$%3$%4")
                               .arg(kWrapScheme)
                               .arg(g_work.ops)
                               .arg(quint64(g_work.mem / 1024))
                               .arg(QString::fromLatin1(salt.toBase64()));
    Key wrapping;
    if (!derive(wrapping, password, salt, g_work.ops, g_work.mem))
        throw Error(QStringLiteral("内存不足，无法生成卡片密钥。"));
    QByteArray raw(reinterpret_cast<const char*>(key.bytes()), Key::kBytes);
    const QByteArray sealed = sealBytes(wrapping.bytes(), raw, header.toLatin1());
    sodium_memzero(raw.data(), size_t(raw.size()));
    return header + u'$' + QString::fromLatin1(sealed.toBase64());
}

bool wellFormed(const QString& wrapped)
{
    return parseWrap(wrapped).has_value();
}

std::optional<Unwrapped> unwrap(const QString& wrapped, const QString& password)
{
    ensureReady();
    const std::optional<ParsedWrap> p = parseWrap(wrapped);
    if (!p)
        return std::nullopt;
    Key wrapping;
    if (!derive(wrapping, password, p->salt, g_work.ops, g_work.mem))
        return std::nullopt;
    Unwrapped result;
    result.oldValues = p->old;
    if (!openBytes(wrapping.bytes(), p->sealed, p->header.toLatin1(), result.key.bytes()))
        return std::nullopt;
    return result;
}

} // namespace SecretBox
