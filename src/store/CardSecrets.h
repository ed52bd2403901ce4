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
// Values are stored sealed ("vsec2:…", bound to their card and field) or clear; the readable last four digits
// of the number
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
    // Stores the readable last fours (id, digits) of cards that had none (written by another
    // tool), taken from their numbers stored in clear by a read of the cards.
    static void storeLastFour(Database& db, const QList<std::pair<qint64, QString>>& cards);
    static const QString kLockedText;     // a sealed value while the key is not open
    static const QString kUnreadableText; // a sealed value that does not open with the key

    // Whether the protected values are sealed (the database holds a wrapped key); read from the
    // database when it was opened anew, and the open key dropped then.
    bool keyStored() const;
    bool unlocked() const;

    // Opens the data key with the password: the login's only check. One wrap is tried, the
    // newest, and only when it has the form and work figures this program writes. A key of the
    // earlier form (values bound to their field only) is replaced at once: a new key seals every
    // value again, bound to its card. False when the key does not open: a wrong password or a
    // damaged wrap; nothing is changed then.
    bool unlock(const QString& password);
    // While the values are clear (protection off) a password set is checked by a key kept for
    // that alone: whether `password` opens it, or nothing when none is kept.
    std::optional<bool> checkWhileClear(const QString& password) const;
    // Keeps such a key for `password` (none for the empty password), replacing the one kept.
    void keepCheckWhileClear(const QString& password);
    // Why the stored wrap cannot open with any password (empty when it may): a planted or
    // damaged wrap tells the user more than "wrong password".
    QString wrapProblem() const;
    void lock(); // drops the open key
    // A short fingerprint of the wrap a password is tried against (empty when none): tells which
    // password sealed this database without telling anything about the password.
    QString keyMark() const;

    // The value to show for a stored one of card `cardId`: sealed values opened (or a
    // placeholder when they cannot be), clear values as they are. An opened number must end in
    // the card's readable `last4` where one is given.
    QVariant shown(const QString& field, const QVariant& stored, qint64 cardId,
                   const QVariant& last4 = {}) const;
    // The value to store for a shown one: sealed while the values are sealed. Throws Error when
    // they are but the key is not open (a clear value never goes into a protected database).
    QVariant toStore(const QString& field, const QVariant& shown, qint64 cardId) const;
    // Sealed values that did not open since the last call (tampered or damaged).
    int takeUnreadableCount() { return std::exchange(m_unreadable, 0); }

    using Progress = std::function<void(int done, int total)>;

    // Turns protection on: a new data key (or the open one) seals every clear value, and is
    // stored wrapped under `password`; all in one transaction, then the file is rebuilt so no
    // freed page keeps an old value. The key stays open.
    void protect(const QString& password, const Progress& progress = {});
    // A new password for sealed values: a new data key seals every value again and is stored
    // wrapped under `password` in place of the old wrap, all in one transaction, so copies of
    // the database made before open only with the old password, and never the current data.
    // Throws Error, changing nothing, when a value does not open.
    void changePassword(const QString& password, const Progress& progress = {});
    // Turns protection off with the open key: every value opened and stored clear, and the wrap
    // kept only to check the password (checkWhileClear), in one transaction. Throws Error, changing nothing,
    // when a value does not open.
    void unprotect(const Progress& progress = {});
    // For a forgotten password: every sealed value emptied and the wraps deleted, in one
    // transaction; everything else stays. Returns the number of values emptied.
    int clearSealed();

private:
    void requireKey() const;
    void rebuildFile();
    // Every value sealed anew under a new key wrapped under `password`, in one transaction.
    void reseal(const SecretBox::Key& oldKey, bool oldValues, const QString& password, bool refuseUnreadable,
                const Progress& progress);
    void follow() const; // state of the database opened now

    Database& m_db;
    mutable std::optional<SecretBox::Key> m_key;
    mutable bool m_keyStored = false;
    mutable QString m_stateOf; // database file the state above belongs to
    mutable int m_unreadable = 0;
};
