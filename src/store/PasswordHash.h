#pragma once

#include <QString>

// The login password at rest: a salted PBKDF2-HMAC-SHA256 digest written with its parameters
// as "pbkdf2-sha256$<iterations>$<salt, base64>$<digest, base64>". A value in any other form is
// a password kept in plain text by an older version and is compared as it stands.
namespace PasswordHash {

constexpr int kIterations = 120000;

// A new digest of `password` with a fresh random salt.
QString make(const QString& password, int iterations = kIterations);

// Whether `typed` is the password `stored` stands for (digest or plain text).
bool matches(const QString& stored, const QString& typed);

// Whether `stored` is a digest written by make().
bool isDigest(const QString& stored);

} // namespace PasswordHash
