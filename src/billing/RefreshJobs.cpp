#include "billing/RefreshJobs.h"

#include "billing/CardFacts.h"
#include "billing/RefreshPass.h"
#include "billing/RepaymentCalendar.h"
#include "store/Backup.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/IniFile.h"
#include "store/ProgramLog.h"
#include "store/Settings.h"

#include <QDir>

QString RefreshJobs::backupBeforePass(Database& db, const Clock& clock)
{
    const QDate today = clock.today();
    if (m_backupTriedOn == today || !db.isOpen())
        return {};
    m_backupTriedOn = today;
    try {
        const Settings settings(m_home.iniPath());
        const bool sealWanted = settings.passwordProtect() && settings.passwordSet();
        if (Backup::makeDaily(db, today, Backup::keepSetting(settings.file()), sealWanted) ==
            Backup::DailyOutcome::HeldBack)
            return QStringLiteral("今日未备份数据库：卡号等资料尚未加密，登录后加密，之后的备份才不含明文。");
        return {};
    } catch (const Error& e) {
        const QString text = QStringLiteral("今日数据库备份失败：") + e.message();
        ProgramLog::append(m_home.logPath(), clock.now(), text);
        return text;
    }
}

QString RefreshJobs::calendarPath() const
{
    return QDir(m_home.path()).filePath(QStringLiteral("velmora.ics"));
}

QString RefreshJobs::writeCalendar(Database& db, const Clock& clock)
{
    try {
        return writeCalendar(readCardFacts(db), clock);
    } catch (const Error& e) {
        ProgramLog::append(m_home.logPath(), clock.now(), e.message());
        return e.message();
    }
}

QString RefreshJobs::writeCalendar(const QList<CardFacts>& cards, const Clock& clock)
{
    try {
        // Rebuilt only when what it is made of changed: at 100,000 cards the file is tens of
        // megabytes, and most passes of a day leave it as it was.
        const QByteArray source = RepaymentCalendar::sourceOf(cards, clock.today());
        if (RepaymentCalendar::fileMadeFrom(calendarPath(), source))
            return {};
        RepaymentCalendar::writeFile(calendarPath(), cards, clock.today(), clock.now(), source);
        return {};
    } catch (const Error& e) {
        ProgramLog::append(m_home.logPath(), clock.now(), e.message());
        return e.message();
    }
}

RefreshResult runRefreshSequence(DataModule& data, const Clock& clock, RefreshJobs& jobs,
                                 const RefreshSteps& steps)
{
    // Held by value: the calendar write may run after the caller's steps are gone.
    const auto tell = [told = steps.tell](const QString& problem) {
        if (!problem.isEmpty() && told)
            told(problem);
    };
    tell(jobs.backupBeforePass(data.database(), clock));
    if (steps.backedUp)
        steps.backedUp();
    RefreshResult result = RefreshPass(data, clock).run();
    if (steps.show)
        steps.show(result);
    auto write = [&jobs, &clock, cards = result.cards, tell] { tell(jobs.writeCalendar(cards, clock)); };
    if (steps.writeCalendar)
        steps.writeCalendar(std::move(write));
    else
        write();
    return result;
}

RefreshResult runRefreshWithJobs(DataModule& data, const Clock& clock, const HomeFolder& home,
                                 QTextStream& err)
{
    RefreshJobs jobs(home);
    RefreshSteps steps;
    steps.tell = [&err](const QString& problem) { err << QStringLiteral("velmora: ") << problem << '\n'; };
    return runRefreshSequence(data, clock, jobs, steps);
}
