#include "store/PasswordHash.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>

#include <optional>

namespace PasswordHash {

namespace {
const QString kScheme = QStringLiteral("pbkdf2-sha256");
constexpr int kSaltBytes = 16;
constexpr int kDigestBytes = 32;
constexpr int kMaxIterations = 10'000'000; // a hand-edited figure must not freeze the login

QByteArray derive(const QString& password, const QByteArray& salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations,
                                              kDigestBytes);
}

struct Parsed
{
    int iterations = 0;
    QByteArray salt;
    QByteArray digest;
};

std::optional<Parsed> parse(const QString& stored)
{
    const QStringList parts = stored.split(u'$');
    if (parts.size() != 4 || parts[0] != kScheme)
        return std::nullopt;
    Parsed p;
    bool ok = false;
    p.iterations = parts[1].toInt(&ok);
    if (!ok || p.iterations < 1 || p.iterations > kMaxIterations)
        return std::nullopt;
    const auto salt =
        QByteArray::fromBase64Encoding(parts[2].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto digest =
        QByteArray::fromBase64Encoding(parts[3].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !digest || salt.decoded.isEmpty() || digest.decoded.isEmpty())
        return std::nullopt;
    p.salt = salt.decoded;
    p.digest = digest.decoded;
    return p;
}

// Compares without stopping at the first difference, so timing tells nothing about the digest.
bool equalInConstantTime(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}
} // namespace

QString make(const QString& password, int iterations)
{
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()), kSaltBytes / 4);
    return QStringLiteral("%1$%2$%3$%4")
        .arg(kScheme)
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()))
        .arg(QString::fromLatin1(derive(password, salt, iterations).toBase64()));
}

bool isDigest(const QString& stored)
{
    return parse(stored).has_value();
}

bool matches(const QString& stored, const QString& typed)
{
    if (const auto p = parse(stored))
        return equalInConstantTime(derive(typed, p->salt, p->iterations), p->digest);
    return stored == typed;
}

} // namespace PasswordHash
