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

const QString kWrapScheme = QStringLiteral("vkey1");
constexpr size_t kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr size_t kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
// Bounds for figures read back from a stored wrap.
constexpr unsigned long long kMaxOps = 32;
constexpr size_t kMaxMemKiB = size_t(256) * 1024; // 256 MiB

QByteArray fromBase64(const QString& text)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? decoded.decoded : QByteArray();
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

const QString kValuePrefix = QStringLiteral("vsec1:");

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
    return stored.startsWith(kValuePrefix);
}

QString seal(const Key& key, const QString& clear, const QString& context)
{
    ensureReady();
    QByteArray bytes = clear.toUtf8();
    const QByteArray sealed = sealBytes(key.bytes(), bytes, context.toUtf8());
    sodium_memzero(bytes.data(), size_t(bytes.size()));
    return kValuePrefix + QString::fromLatin1(sealed.toBase64());
}

std::optional<QString> open(const Key& key, const QString& sealed, const QString& context)
{
    ensureReady();
    if (!isSealed(sealed))
        return std::nullopt;
    const QByteArray bytes = fromBase64(sealed.mid(kValuePrefix.size()));
    if (bytes.size() < qsizetype(kNonceBytes + kTagBytes))
        return std::nullopt;
    QByteArray clear(bytes.size() - qsizetype(kNonceBytes + kTagBytes), Qt::Uninitialized);
    if (!openBytes(key.bytes(), bytes, context.toUtf8(), reinterpret_cast<unsigned char*>(clear.data())))
        return std::nullopt;
    const QString text = QString::fromUtf8(clear);
    sodium_memzero(clear.data(), size_t(clear.size()));
    return text;
}

QString wrap(const Key& key, const QString& password, unsigned long long opsLimit, size_t memLimit)
{
    ensureReady();
    QByteArray salt(crypto_pwhash_SALTBYTES, Qt::Uninitialized);
    randombytes_buf(salt.data(), size_t(salt.size()));
    const QString header = QStringLiteral("%1$%2$%3$%4")
                               .arg(kWrapScheme)
                               .arg(opsLimit)
                               .arg(quint64(memLimit / 1024))
                               .arg(QString::fromLatin1(salt.toBase64()));
    Key wrapping;
    if (!derive(wrapping, password, salt, opsLimit, memLimit))
        throw Error(QStringLiteral("内存不足，无法生成卡片密钥。"));
    QByteArray raw(reinterpret_cast<const char*>(key.bytes()), Key::kBytes);
    const QByteArray sealed = sealBytes(wrapping.bytes(), raw, header.toLatin1());
    sodium_memzero(raw.data(), size_t(raw.size()));
    return header + u'$' + QString::fromLatin1(sealed.toBase64());
}

std::optional<Key> unwrap(const QString& wrapped, const QString& password)
{
    ensureReady();
    const QStringList parts = wrapped.split(u'$');
    if (parts.size() != 5 || parts[0] != kWrapScheme)
        return std::nullopt;
    bool opsOk = false, memOk = false;
    const unsigned long long ops = parts[1].toULongLong(&opsOk);
    const unsigned long long memKiB = parts[2].toULongLong(&memOk);
    const QByteArray salt = fromBase64(parts[3]);
    const QByteArray sealed = fromBase64(parts[4]);
    if (!opsOk || !memOk || ops < crypto_pwhash_OPSLIMIT_MIN || ops > kMaxOps || memKiB > kMaxMemKiB ||
        memKiB * 1024 < crypto_pwhash_MEMLIMIT_MIN || salt.size() != crypto_pwhash_SALTBYTES ||
        sealed.size() != qsizetype(kNonceBytes + Key::kBytes + kTagBytes))
        return std::nullopt;
    Key wrapping;
    if (!derive(wrapping, password, salt, ops, size_t(memKiB) * 1024))
        return std::nullopt;
    Key key;
    const QString header = QStringList(parts.mid(0, 4)).join(u'$');
    if (!openBytes(wrapping.bytes(), sealed, header.toLatin1(), key.bytes()))
        return std::nullopt;
    return key;
}

} // namespace SecretBox
