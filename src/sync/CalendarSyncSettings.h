#pragma once

#include <QString>
#include <QUrl>

class Settings;

// The calendar collection the repayment events are kept in: section "日历同步" of System.ini.
// Nothing is synchronised until a URL is filled in.
struct CalendarSyncSettings
{
    static const QString kSection; // "日历同步"

    QString url;      // caldav_url: the calendar collection
    QString user;     // caldav_user
    QString password; // caldav_password, through Settings only
    QString caFile;   // caldav_ca_file: PEM certificates trusted instead of the system's

    static CalendarSyncSettings load(const Settings& settings);
    // Writes the four keys; the file stays readable by its owner only. Throws Error.
    void save(Settings& settings) const;

    bool configured() const { return !url.trimmed().isEmpty(); }

    // Throws Error with a message in Chinese when these values cannot be used: no URL, not http(s),
    // a password that would cross the network unencrypted, an unreadable CA file.
    void validate() const;

    // The collection's URL, ending in "/" so that its resources resolve inside it.
    QUrl collectionUrl() const;
};
