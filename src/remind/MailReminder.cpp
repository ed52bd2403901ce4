#include "remind/MailReminder.h"

#include "remind/MailMessage.h"
#include "remind/ReminderMail.h"
#include "store/AccountPassword.h"
#include "store/Clock.h"
#include "store/DateText.h"
#include "store/Error.h"
#include "store/IniFile.h"
#include "store/ProgramLog.h"
#include "store/SecretStore.h"
#include "store/Settings.h"

#include <QEventLoop>
#include <QtConcurrent/QtConcurrentRun>

MailReminder::Outcome MailReminder::decide(bool mailOn, const QString& mailTo, QDate sendDate, QDate today,
                                           const QList<DueSoonCard>& dueSoon)
{
    if (!mailOn)
        return Outcome::Disabled;
    if (mailTo.trimmed().isEmpty())
        return Outcome::NoRecipient;
    // Compared as date texts: a stored date in the future counts as another day.
    if (DateText::format(sendDate) == DateText::format(today))
        return Outcome::SentToday;
    if (dueSoon.isEmpty())
        return Outcome::ListEmpty;
    return Outcome::Sending;
}

MailReminder::MailReminder(Settings& settings, const Clock& clock, QString logPath, QObject* parent)
    : QObject(parent), m_settings(settings), m_clock(clock), m_logPath(std::move(logPath))
{
    connect(&m_watcher, &QFutureWatcher<SmtpSender::Result>::finished, this,
            [this] { report(m_watcher.result()); });
}

MailReminder::~MailReminder()
{
    if (m_cancel)
        m_cancel->store(true);
    m_watcher.disconnect(this);
    m_watcher.waitForFinished();
}

MailReminder::Outcome MailReminder::prepare(bool mailOn, const QString& mailTo,
                                            const QList<DueSoonCard>& dueSoon, SmtpSender::Job& job,
                                            QString* error)
{
    const QDate today = m_clock.today();
    if (m_attemptedOn == today)
        return Outcome::AttemptedToday;
    if (!mailOn)
        return Outcome::Disabled;
    const QString to = mailTo.trimmed();
    if (to.isEmpty())
        return Outcome::NoRecipient;

    // Setting problems are found before the day is recorded, so that once they are mended the
    // mail still goes out today.
    Mail::Message message;
    MailServerSettings server;
    try {
        message.to = Mail::parseAddressList(to);
    } catch (const Error& e) {
        const QString reason = QStringLiteral("收件人Email“%1”无法使用：%2").arg(to, e.message());
        if (error)
            *error = reason;
        reportSettingProblem(reason);
        return Outcome::BadRecipient;
    }
    try {
        server = MailServerSettings::load(m_settings.file());
        const SecretStore keyring;
        AccountPassword::mail().moveToKeyring(m_settings.file(), keyring);
        const AccountPassword::Found password = AccountPassword::mail().find(m_settings.file(), keyring);
        server.password = password.password;
        if (password.place == AccountPassword::Place::Nowhere && !server.user.isEmpty() &&
            !password.keyringProblem.isEmpty())
            throw Error(QStringLiteral("System.ini 中没有邮件服务器的密码，桌面的密钥环现在无法读取（%1）。")
                            .arg(password.keyringProblem));
        server.validate();
        message.from = Mail::parseAddress(server.from);
    } catch (const Error& e) {
        if (error)
            *error = e.message();
        reportSettingProblem(e.message());
        return Outcome::NotConfigured;
    }

    try {
        // senddate is read, compared and written in one turn of the settings file: of several
        // processes checking at once (the window, cron), exactly one goes on.
        const IniFile::Turn turn(m_settings.file());
        const Outcome decision = decide(mailOn, to, m_settings.sendDate(), today, dueSoon);
        if (decision != Outcome::Sending)
            return decision;
        // The day is recorded before any attempt: a failure is not repeated today, in this run or the next.
        m_attemptedOn = today;
        m_settings.saveSendDate(today);
    } catch (const Error& e) {
        ProgramLog::append(m_logPath, m_clock.now(), QStringLiteral("还款提醒邮件发送失败：") + e.message());
        if (error)
            *error = e.message();
        return Outcome::Failed;
    }

    try {
        message.subject = ReminderMail::subject(dueSoon);
        message.htmlBody = ReminderMail::body(dueSoon);
        message.date = m_clock.now();
        job.server = server;
        job.envelopeFrom = message.from.envelope();
        QStringList shown;
        for (const Mail::Address& a : message.to) {
            job.recipients << a.envelope();
            shown << a.address;
        }
        m_lastRecipients = shown.join(QStringLiteral(", "));
        job.message = Mail::compose(message);
    } catch (const Error& e) {
        ProgramLog::append(m_logPath, m_clock.now(), QStringLiteral("还款提醒邮件发送失败：") + e.message());
        if (error)
            *error = e.message();
        return Outcome::Failed;
    }
    return Outcome::Sending;
}

void MailReminder::reportSettingProblem(const QString& reason)
{
    const QDate today = m_clock.today();
    if (m_problemTold == reason && m_problemToldOn == today)
        return;
    m_problemTold = reason;
    m_problemToldOn = today;
    ProgramLog::append(m_logPath, m_clock.now(), QStringLiteral("还款提醒邮件没有发送：") + reason);
    emit failed(reason);
}

MailReminder::Outcome MailReminder::check(bool mailOn, const QString& mailTo,
                                          const QList<DueSoonCard>& dueSoon)
{
    SmtpSender::Job job;
    QString error;
    const Outcome outcome = prepare(mailOn, mailTo, dueSoon, job, &error);
    if (outcome == Outcome::Failed)
        emit failed(error);
    if (outcome != Outcome::Sending)
        return outcome;

    m_cancel = std::make_shared<std::atomic_bool>(false);
    m_pending = true;
    const SmtpSender sender(m_options);
    m_watcher.setFuture(
        QtConcurrent::run([sender, job, cancel = m_cancel] { return sender.send(job, cancel.get()); }));
    return Outcome::Sending;
}

MailReminder::Outcome MailReminder::checkNow(bool mailOn, const QString& mailTo,
                                             const QList<DueSoonCard>& dueSoon, QString* error)
{
    SmtpSender::Job job;
    const Outcome outcome = prepare(mailOn, mailTo, dueSoon, job, error);
    if (outcome != Outcome::Sending)
        return outcome;
    const SmtpSender::Result result = SmtpSender(m_options).send(job);
    report(result);
    if (!result.ok && error)
        *error = result.error;
    return result.ok ? Outcome::Sent : Outcome::Failed;
}

void MailReminder::waitForSend()
{
    if (!m_pending)
        return;
    QEventLoop loop;
    connect(this, &MailReminder::sent, &loop, &QEventLoop::quit);
    connect(this, &MailReminder::failed, &loop, &QEventLoop::quit);
    loop.exec();
}

void MailReminder::report(const SmtpSender::Result& result)
{
    m_pending = false;
    m_lastRejected = result.ok ? result.rejectedShown : QStringList();
    // The user is told in Chinese; the log keeps the server's and the library's own words.
    if (result.ok) {
        ProgramLog::append(m_logPath, m_clock.now(),
                           QStringLiteral("还款提醒邮件已发送，收件人：") + m_lastRecipients);
        if (!m_lastRejected.isEmpty()) {
            const QString refused = QStringLiteral("邮件服务器拒收了收件人：");
            ProgramLog::append(m_logPath, m_clock.now(),
                               refused + result.rejected.join(QStringLiteral("，")));
            emit partlyRejected(refused + m_lastRejected.join(QStringLiteral("，")));
        }
        emit sent(m_lastRecipients);
    } else {
        QString logged = QStringLiteral("还款提醒邮件发送失败：") + result.error;
        if (!result.detail.isEmpty())
            logged += QStringLiteral("（") + result.detail + QStringLiteral("）");
        ProgramLog::append(m_logPath, m_clock.now(), logged);
        emit failed(result.error);
    }
}
