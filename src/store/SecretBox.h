#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The cryptography behind the card secrets, all from libsodium: a random 256-bit data key,
// each value sealed with XChaCha20-Poly1305, and the data key sealed under a key derived from
// the login password with Argon2id. Texts are self-describing so stored values are recognisable
// and carry their own parameters.
namespace SecretBox {

// Argon2id work of a wrap: 2 passes over 64 MiB (libsodium's interactive figures), about
// 0.12 s here, so a login stays well under half a second (bench_secrets). These are the only
// figures a stored wrap may carry: a planted wrap cannot make the login slow or greedy.
constexpr unsigned long long kOpsLimit = 2;
constexpr size_t kMemLimit = size_t(64) * 1024 * 1024;

struct Work
{
    unsigned long long ops = kOpsLimit;
    size_t mem = kMemLimit;
};
// The figures wraps are written and accepted with: kOpsLimit and kMemLimit. Test programs link
// lighter figures of their own (tests/support/TestKeyWork.cpp) so that unlocking stays quick;
// the program has no such figures, so it neither writes nor accepts a wrap made with them.
Work work();

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

// "vsec2:" + base64(nonce | ciphertext): how a sealed value starts. Values of the first form,
// "vsec1:", were bound to their field only; they are opened once to be sealed again.
extern const QString kValuePrefix;
extern const QString kOldValuePrefix;
bool isSealed(const QString& stored); // either form

// Seals `clear` under `key`, bound to its card and field: the card's id and the field name are
// authenticated with it, so a sealed value does not open in another card or field.
QString seal(const Key& key, const QString& clear, qint64 cardId, const QString& field);
// The clear text, or nothing when the value is not sealed in the current form, damaged, sealed
// under another key or for another card or field.
std::optional<QString> open(const Key& key, const QString& sealed, qint64 cardId, const QString& field);
// A value of the first form ("vsec1:", bound to the field only).
std::optional<QString> openOld(const Key& key, const QString& sealed, const QString& field);

// The data key sealed under `password`:
// "vkey2$<passes>$<memory KiB>$<salt>$<nonce | sealed key>", the header authenticated too.
// "vkey1" wraps (written by earlier versions) guard a key whose values are of the first form.
QString wrap(const Key& key, const QString& password);

struct Unwrapped
{
    Key key;
    bool oldValues = false; // a "vkey1" wrap: its values are "vsec1:"
};
// The data key, or nothing when the password is not the one it was wrapped under or the text
// is damaged. A wrap is accepted only in the form and with the work figures this program
// writes; anything else is refused before any work is done.
std::optional<Unwrapped> unwrap(const QString& wrapped, const QString& password);
// Whether `wrapped` has the form and figures unwrap() accepts (the password aside).
bool wellFormed(const QString& wrapped);

} // namespace SecretBox
