#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The cryptography behind the card secrets, all from libsodium: a random 256-bit data key,
// each value sealed with XChaCha20-Poly1305, and the data key sealed under a key derived from
// the login password with Argon2id. Texts are self-describing so stored values are recognisable
// and carry their own parameters.
namespace SecretBox {

// Argon2id work for a new wrap: 2 passes over 64 MiB (libsodium's interactive figures), about
// 0.12 s here, so a login with the password digest stays under half a second (bench_secrets).
// Older wraps keep the figures written into them.
constexpr unsigned long long kOpsLimit = 2;
constexpr size_t kMemLimit = size_t(64) * 1024 * 1024;

// A data key in locked, non-swappable memory, wiped when released.
class Key
{
public:
    static constexpr size_t kBytes = 32;
    Key();
    ~Key();
    Key(Key&& other) noexcept;
    Key& operator=(Key&& other) noexcept;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    static Key random();
    const unsigned char* bytes() const { return m_bytes; }
    unsigned char* bytes() { return m_bytes; }

private:
    unsigned char* m_bytes = nullptr;
};

// "vsec1:" + base64(nonce | ciphertext): how a sealed value starts.
extern const QString kValuePrefix;
bool isSealed(const QString& stored);

// Seals `clear` under `key`; `context` (the field name) is authenticated with it, so a sealed
// value does not open in another field.
QString seal(const Key& key, const QString& clear, const QString& context);
// The clear text, or nothing when the value is not sealed, damaged or sealed under another key.
std::optional<QString> open(const Key& key, const QString& sealed, const QString& context);

// The data key sealed under `password`:
// "vkey1$<passes>$<memory KiB>$<salt>$<nonce | sealed key>", the header authenticated too.
QString wrap(const Key& key, const QString& password, unsigned long long opsLimit = kOpsLimit,
             size_t memLimit = kMemLimit);
// The data key, or nothing when the password is not the one it was wrapped under or the text
// is damaged. Work figures beyond sane bounds count as damage (a tampered file must not make
// the login take minutes or all the memory).
std::optional<Key> unwrap(const QString& wrapped, const QString& password);

} // namespace SecretBox
