#pragma once

#include <QString>
#include <chrono>

// Account passwords kept in the desktop's Secret Service (the keyring), one item per key name:
// attributes application=velmora and key=<name> (e.g. "smtp_password").
//
// Every call answers within its time-out: the D-Bus work runs on a worker thread that is
// cancelled when the time is up, and a session without a bus (cron) or without a service
// running is told at once, as NoService, so headless runs never wait for a desktop.
class SecretStore
{
public:
    enum class Status {
        Ok,        // done; lookup: value holds the password
        NotFound,  // lookup: the keyring has no such item
        NoService, // no session bus, or no Secret Service on it
        Failed,    // the service refused or did not answer in time (message says why)
    };
    struct Answer
    {
        Status status = Status::NoService;
        QString value;   // lookup only
        QString message; // the reason of NoService or Failed, for a hint or a log
        bool ok() const { return status == Status::Ok; }
    };

    explicit SecretStore(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    Answer lookup(const QString& key) const;
    // `label` is what the keyring manager shows for the item.
    Answer store(const QString& key, const QString& label, const QString& value) const;
    // Removes the item; Ok also when there was none.
    Answer clear(const QString& key) const;

    // Whether a Secret Service answers on the session bus now.
    bool available() const;

private:
    std::chrono::milliseconds m_timeout;
};
