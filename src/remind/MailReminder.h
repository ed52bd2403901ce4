#pragma once

#include "billing/DueSoonCard.h"
#include "remind/SmtpSender.h"

#include <QDate>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <memory>

class Clock;
class Settings;

// The daily reminder mail. check() runs on every hide of the main window (and once per
// `velmora --remind`): when the mail is on, the recipients and the mail server are usable,
// senddate is not today and cards are due soon, it records the day in senddate
// (under the settings file's turn, so that of several processes exactly one goes on), then
// composes the mail from the cards and sends it. In the window the sending runs on a worker
// thread and ends in sent() or failed(); every outcome that tried to send is logged.
class MailReminder : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Sending,        // the mail is on its way (background) -- sent() or failed() follows
        Sent,           // sent (checkNow only)
        Failed,         // a send or its preparation failed; the day counts as done
        AttemptedToday, // this object already set out to send today
        Disabled,       // qy off
        NoRecipient,    // em empty or blank
        BadRecipient,   // em holds an address that cannot be used; senddate untouched
        NotConfigured,  // no usable mail server; senddate untouched
        SentToday,      // senddate is today
        ListEmpty,      // no card due within three days
    };

    // The checks that need neither the server nor the file's turn, in their order.
    static Outcome decide(bool mailOn, const QString& mailTo, QDate sendDate, QDate today,
                          const QList<DueSoonCard>& dueSoon);

    MailReminder(Settings& settings, const Clock& clock, QString logPath, QObject* parent = nullptr);
    ~MailReminder() override; // cancels a running send and waits for it

    void setSmtpOptions(const SmtpSender::Options& options) { m_options = options; }

    // The daily check from the window: sends in the background.
    Outcome check(bool mailOn, const QString& mailTo, const QList<DueSoonCard>& dueSoon);
    // The same check, sending before it returns (headless use). `error` gets the reason of a
    // failure (also of BadRecipient and NotConfigured).
    Outcome checkNow(bool mailOn, const QString& mailTo, const QList<DueSoonCard>& dueSoon,
                     QString* error = nullptr);

    bool isSending() const { return m_pending; }
    void waitForSend(); // blocks until a background send has reported

    // Recipients of the last prepared mail, as sent ("a@b.cn, c@d.cn").
    QString lastRecipients() const { return m_lastRecipients; }
    // Recipients the server refused in the last sent mail, with its reply code ("a@b.cn（550）").
    QStringList lastRejected() const { return m_lastRejected; }

signals:
    void sent(const QString& recipients);
    // The mail could not go out; in the window told once per day, also for a setting problem.
    void failed(const QString& reason);
    // The mail went out, but the server refused some recipients (named in `reason`).
    void partlyRejected(const QString& reason);

private:
    // Checks, records the day, composes. Returns the job, or the outcome that stops here.
    Outcome prepare(bool mailOn, const QString& mailTo, const QList<DueSoonCard>& dueSoon,
                    SmtpSender::Job& job, QString* error);
    void report(const SmtpSender::Result& result);
    // A setting problem, logged and signalled once a day (it is found again at every hide).
    void reportSettingProblem(const QString& reason);

    Settings& m_settings;
    const Clock& m_clock;
    QString m_logPath;
    SmtpSender::Options m_options;
    QFutureWatcher<SmtpSender::Result> m_watcher;
    std::shared_ptr<std::atomic_bool> m_cancel;
    QString m_lastRecipients;
    QStringList m_lastRejected;
    QDate m_attemptedOn;   // the day this object last set out to send
    QString m_problemTold; // the setting problem last reported ...
    QDate m_problemToldOn; // ... and when
    bool m_pending = false;
};
