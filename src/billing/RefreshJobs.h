#pragma once

#include "store/HomeFolder.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QTextStream>

struct CardFacts;
class Clock;
class Database;
class DataModule;
struct RefreshResult;

// Work that goes with the refresh pass on a home folder: the day's backup before the first
// pass of each calendar day, the calendar file after every pass. Neither ever stops the pass.
class RefreshJobs
{
public:
    explicit RefreshJobs(HomeFolder home) : m_home(std::move(home)) {}

    // Makes today's backup when it is due, trying once per calendar day. A failure is logged in
    // velmora.log and its text returned (to be shown once); empty when there is nothing to tell.
    QString backupBeforePass(Database& db, const Clock& clock);

    // Writes velmora.ics in the home folder for calendar programs that subscribe to it, from the
    // database's cards or from cards already read; left as it is when nothing it is made of
    // changed. A failure is logged and returned; never thrown.
    QString writeCalendar(Database& db, const Clock& clock);
    QString writeCalendar(const QList<CardFacts>& cards, const Clock& clock);

    QString calendarPath() const;

private:
    HomeFolder m_home;
    QDate m_backupTriedOn;
};

// The refresh pass with its jobs, for the headless commands: a failed job is told on `err`,
// an error of the pass itself is thrown. The cards as read after the pass (for the calendar)
// are handed out in `cards` when given, so the caller need not read them again.
RefreshResult runRefreshWithJobs(DataModule& data, const Clock& clock, const HomeFolder& home,
                                 QTextStream& err, QList<CardFacts>* cards = nullptr);
