#include "remind/RemindCommand.h"

#include "billing/RefreshJobs.h"
#include "billing/RefreshPass.h"
#include "remind/MailReminder.h"
#include "store/DataModule.h"
#include "store/DateText.h"
#include "store/Error.h"
#include "store/Settings.h"

int runRemindCommand(const HomeFolder& home, const Clock& clock, QTextStream& out, QTextStream& err)
{
    try {
        DataModule data;
        data.database().open(home.existingDatabasePath());
        const RefreshResult refreshed = runRefreshWithJobs(data, clock, home, err);
        out << QStringLiteral("已刷新全部卡片（%1），3天内需还款：%2张。")
                   .arg(DateText::format(refreshed.date))
                   .arg(refreshed.dueSoonCount())
            << '\n';

        Settings settings(home.iniPath());
        MailReminder reminder(settings, clock, home.logPath());
        QString error;
        const MailReminder::Outcome outcome =
            reminder.checkNow(settings.mailOn(), settings.mailTo(), refreshed.dueSoon, &error);
        switch (outcome) {
        case MailReminder::Outcome::Sent:
            out << QStringLiteral("已发送还款提醒邮件（%1张卡），收件人：%2。")
                       .arg(refreshed.dueSoonCount())
                       .arg(reminder.lastRecipients())
                << '\n';
            if (!reminder.lastRejected().isEmpty()) {
                out.flush();
                err << QStringLiteral("velmora: 邮件服务器拒收了收件人：")
                    << reminder.lastRejected().join(QStringLiteral("，")) << '\n';
            }
            return 0;
        case MailReminder::Outcome::Failed:
        case MailReminder::Outcome::Sending: // not reached: checkNow sends before it returns
            out.flush();
            err << QStringLiteral("velmora: 还款提醒邮件发送失败：") << error << '\n';
            return 1;
        case MailReminder::Outcome::BadRecipient:
        case MailReminder::Outcome::NotConfigured:
            out.flush();
            err << QStringLiteral("velmora: 还款提醒邮件没有发送：") << error << '\n';
            return 1;
        case MailReminder::Outcome::Disabled:
            out << QStringLiteral("还款提醒邮件未启用（系统设置 → 提醒设置 → 启用），未发送。") << '\n';
            return 0;
        case MailReminder::Outcome::NoRecipient:
            out << QStringLiteral("没有设置收件人Email，未发送提醒邮件。") << '\n';
            return 0;
        case MailReminder::Outcome::SentToday:
            out << QStringLiteral("今天（%1）已经发送过还款提醒邮件，不再发送。")
                       .arg(DateText::format(clock.today()))
                << '\n';
            return 0;
        case MailReminder::Outcome::AttemptedToday: // not reached: a new reminder each run
        case MailReminder::Outcome::ListEmpty:
            out << QStringLiteral("3天内没有需要还款的卡，未发送提醒邮件。") << '\n';
            return 0;
        }
        return 0;
    } catch (const Error& e) {
        out.flush();
        err << QStringLiteral("velmora: ") << e.message() << '\n';
        return 1;
    }
}
