#pragma once

#include "store/SecretBox.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

class Database;
class Query;

// The card number, check code and validity of every card (`c_no`, `c_xym`, `c_yxq` of txyk)
// and the data key that seals them while password protection is on. The database holds the key
// wrapped under the password (table tkey); this object holds it opened for the session, from a
// correct login until the card tab locks again. Every change to the table is one transaction.
//
// Values are stored sealed ("vsec1:…") or clear; the readable last four digits of the number
// (`c_last4`) are kept beside them for everything that runs without the password.
class CardSecrets
{
public:
    explicit CardSecrets(Database& db) : m_db(db) {}

    static const QStringList& fields();                                  // c_no, c_xym, c_yxq
    static bool isProtected(const QString& table, const QString& field); // one of them, of txyk
    static QString lastFour(const QString& number);                      // blanks and hyphens left out
    // The last four digits of the current card of `list`: its readable column where the list
    // has one and it is filled, else taken from a number shown in clear.
    static QString lastFourOf(const Query& list);
    // The last four digits of a stored number; empty when it is sealed, a placeholder or empty.
    static QString lastFourOfStored(const QString& number);
    // Fills c_last4 of every card that has none (written by another tool) from its number when
    // that is stored in clear. Returns the number of cards filled.
    static int storeMissingLastFour(Database& db);
    static const QString kLockedText;     // a sealed value while the key is not open
    static const QString kUnreadableText; // a sealed value that does not open with the key

    // Whether the protected values are sealed (the database holds a wrapped key); read from the
    // database when it was opened anew, and the open key dropped then.
    bool keyStored() const;
    bool unlocked() const;

    // Opens the data key with the password (trying each stored wrap; one left by an interrupted
    // password change is dropped once another opens). False when none opens: a wrong password
    // or a damaged wrap; nothing is changed then.
    bool unlock(const QString& password);
    void lock(); // drops the open key

    // The value to show for a stored one: sealed values opened (or a placeholder when they cannot
    // be), clear values as they are.
    QVariant shown(const QString& field, const QVariant& stored) const;
    // The value to store for a shown one: sealed while the values are sealed. Throws Error when
    // they are but the key is not open (a clear value never goes into a protected database).
    QVariant toStore(const QString& field, const QVariant& shown) const;
    // Sealed values that did not open since the last call (tampered or damaged).
    int takeUnreadableCount() { return std::exchange(m_unreadable, 0); }

    using Progress = std::function<void(int done, int total)>;

    // Turns protection on: a new data key (or the open one) seals every clear value, and is
    // stored wrapped under `password`; all in one transaction, then the file is rebuilt so no
    // freed page keeps an old value. The key stays open.
    void protect(const QString& password, const Progress& progress = {});
    // The open key wrapped under another password as well; the id of the new wrap. The old wrap
    // goes with dropWrapsExcept() once the new password is saved.
    qint64 addWrap(const QString& password);
    void dropWrapsExcept(qint64 wrapId);
    // Turns protection off with the open key: every value opened and stored clear, the wraps
    // deleted, in one transaction. Throws Error, changing nothing, when a value does not open.
    void unprotect(const Progress& progress = {});
    // For a forgotten password: every sealed value emptied and the wraps deleted, in one
    // transaction; everything else stays. Returns the number of values emptied.
    int clearSealed();

private:
    void requireKey() const;
    void rebuildFile();
    void follow() const; // state of the database opened now

    Database& m_db;
    mutable std::optional<SecretBox::Key> m_key;
    mutable bool m_keyStored = false;
    mutable QString m_stateOf; // database file the state above belongs to
    mutable int m_unreadable = 0;
};
