#pragma once

#include "store/HomeFolder.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QTextStream>
#include <functional>

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

// What a refresh does around the pass, told by its caller: the window and the headless
// commands run the same sequence and differ only here.
struct RefreshSteps
{
    // A failed backup or calendar write (already logged); nothing stops for it.
    std::function<void(const QString& problem)> tell;
    // After the backup, before the pass (the window marks its start-up steps here).
    std::function<void()> backedUp;
    // What the caller makes of the pass: the counts on screen, the reminder decision.
    std::function<void(const RefreshResult& result)> show;
    // Runs the calendar write; by default at once. The window leaves it until it has been painted.
    std::function<void(std::function<void()> write)> writeCalendar;
};

// The one refresh sequence: the day's backup, the pass (counts and due-soon cards), `show`, then
// the calendar file from the cards the pass read. The pass's own error is thrown, after which
// nothing more runs; a job's failure is told and logged and never stops the rest.
RefreshResult runRefreshSequence(DataModule& data, const Clock& clock, RefreshJobs& jobs,
                                 const RefreshSteps& steps);

// The sequence for the headless commands: a failed job is told on `err`, an error of the pass
// itself is thrown.
RefreshResult runRefreshWithJobs(DataModule& data, const Clock& clock, const HomeFolder& home,
                                 QTextStream& err);
