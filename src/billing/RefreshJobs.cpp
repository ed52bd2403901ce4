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

RefreshResult runRefreshWithJobs(DataModule& data, const Clock& clock, const HomeFolder& home,
                                 QTextStream& err, QList<CardFacts>* cards)
{
    RefreshJobs jobs(home);
    const QString backupProblem = jobs.backupBeforePass(data.database(), clock);
    if (!backupProblem.isEmpty())
        err << QStringLiteral("velmora: ") << backupProblem << '\n';
    RefreshResult result = RefreshPass(data, clock).run();
    QString calendarProblem;
    try {
        const QList<CardFacts> read = readCardFacts(data.database());
        calendarProblem = jobs.writeCalendar(read, clock);
        if (cards)
            *cards = read;
    } catch (const Error& e) { // the cards could not be read: logged as a failed write is
        ProgramLog::append(home.logPath(), clock.now(), e.message());
        calendarProblem = e.message();
    }
    if (!calendarProblem.isEmpty())
        err << QStringLiteral("velmora: ") << calendarProblem << '\n';
    return result;
}
