#pragma once

#include "remind/SmtpSender.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <memory>

class Clock;
class Query;
class Settings;

// The daily reminder mail. check() runs on every hide of the main window (and once per
// `velmora --remind`): when the mail is on, a recipient is set, nothing was attempted today
// and the due-soon list has cards, it records the day first (run flag and senddate), then
// composes the mail from the list and sends it. In the window the sending runs on a worker
// thread and ends in sent() or failed(); every outcome that tried to send is logged.
class MailReminder : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Sending,       // the mail is on its way (background) -- sent() or failed() follows
        Sent,          // sent (checkNow only)
        Failed,        // a send or its preparation failed; the day counts as done
        AlreadySent,   // a mail was attempted earlier in this run
        Disabled,      // qy off
        NoRecipient,   // em empty or blank
        SentToday,     // senddate is today
        ListNotLoaded, // the due-soon list has not been opened yet
        ListEmpty,     // no card due within three days
    };

    // The checks in their order; none of them changes anything.
    static Outcome decide(bool mailSent, bool mailOn, const QString& mailTo, QDate sendDate, QDate today,
                          const Query& dueSoon);

    MailReminder(Settings& settings, const Clock& clock, QString logPath, QObject* parent = nullptr);
    ~MailReminder() override; // cancels a running send and waits for it

    void setSmtpOptions(const SmtpSender::Options& options) { m_options = options; }

    // The daily check from the window: sends in the background. `mailSent` is the run's flag.
    Outcome check(bool& mailSent, bool mailOn, const QString& mailTo, Query& dueSoon);
    // The same check, sending before it returns (headless use). `error` gets the reason of a failure.
    Outcome checkNow(bool& mailSent, bool mailOn, const QString& mailTo, Query& dueSoon,
                     QString* error = nullptr);

    bool isSending() const { return m_pending; }
    void waitForSend(); // blocks until a background send has reported

    // Recipients of the last prepared mail, as sent ("a@b.cn, c@d.cn").
    QString lastRecipients() const { return m_lastRecipients; }

signals:
    void sent(const QString& recipients);
    void failed(const QString& reason); // the tray shows it as "还款提醒邮件发送失败"

private:
    // Checks, records the day, composes. Returns the job, or the outcome that stops here.
    Outcome prepare(bool& mailSent, bool mailOn, const QString& mailTo, Query& dueSoon, SmtpSender::Job& job,
                    QString* error);
    void report(const SmtpSender::Result& result);

    Settings& m_settings;
    const Clock& m_clock;
    QString m_logPath;
    SmtpSender::Options m_options;
    QFutureWatcher<SmtpSender::Result> m_watcher;
    std::shared_ptr<std::atomic_bool> m_cancel;
    QString m_lastRecipients;
    bool m_pending = false;
};
