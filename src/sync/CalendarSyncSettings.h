#pragma once

#include "store/AccountPassword.h"

#include <QString>
#include <QUrl>

class SecretStore;
class Settings;

// The calendar collection the repayment events are kept in: section "日历同步" of System.ini.
// Nothing is synchronised until a URL is filled in.
struct CalendarSyncSettings
{
    static const QString kSection; // "日历同步"

    QString url;      // caldav_url: the calendar collection
    QString user;     // caldav_user
    QString password; // caldav_password in System.ini, else in the desktop's keyring
    QString caFile;   // caldav_ca_file: PEM certificates trusted instead of the system's

    // The password only when System.ini holds it: the keyring is asked by withKeyringPassword().
    static CalendarSyncSettings load(const Settings& settings);
    // The password from the keyring when System.ini had none. May wait for the keyring (up to its
    // time-out): not on the UI thread. Throws Error when a user is set, System.ini has no
    // password and the keyring cannot be asked.
    void withKeyringPassword(const SecretStore& keyring);
    // Writes the keys, the password into the keyring when it takes it (else into System.ini,
    // which then stays readable by its owner only). Where the password went. Without a keyring the
    // password is left where it is (Nowhere). Throws Error.
    AccountPassword::Place save(Settings& settings, const SecretStore* keyring) const;

    bool configured() const { return !url.trimmed().isEmpty(); }

    // Throws Error with a message in Chinese when these values cannot be used: no URL, not http(s),
    // a password that would cross the network unencrypted, an unreadable CA file.
    void validate() const;

    // The collection's URL, ending in "/" so that its resources resolve inside it.
    QUrl collectionUrl() const;
};
