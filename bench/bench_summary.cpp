// Times `velmora --summary` over 100,000 cards, the whole process, next to a plain prepared SQLite
// update of the same rows in one transaction measured in the same run; then shows where the
// time of the command goes, step by step, in this process.
//
//   bench_summary [path of the velmora executable] [cards] [home folder to keep]

#include "BenchSeed.h"

#include "billing/BestCard.h"
#include "billing/RefreshJobs.h"
#include "billing/RefreshPass.h"
#include "billing/RepaymentCalendar.h"
#include "store/Backup.h"
#include "store/Clock.h"
#include "store/DataModule.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/HomeFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr double kGoalRatio = 2.0;   // within 2x the plain update
constexpr double kGoalSeconds = 0.6; // and under 0.6 s
constexpr int kRuns = 5;             // best of

// One whole run of the command; the seconds from start to exit.
double summarySeconds(const QString& executable, const QString& home)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMORA_HOME"), home);
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(executable, {QStringLiteral("--summary")});
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        std::fprintf(stderr, "velmora --summary failed: %s\n", process.readAllStandardError().constData());
        std::exit(1);
    }
    return timer.nsecsElapsed() / 1e9;
}

// One whole run of a program under /usr/bin/time: seconds from start to exit and peak memory.
struct Measured
{
    double seconds = 0;
    long peakKb = 0;
};

Measured measure(const QString& program, const QStringList& arguments, const QString& home,
                 const QString& output = QProcess::nullDevice())
{
    QTemporaryDir scratch;
    const QString timeFile = scratch.filePath(QStringLiteral("time"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMORA_HOME"), home);
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(output);
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("/usr/bin/time"), QStringList{QStringLiteral("-f"), QStringLiteral("%M"),
                                                               QStringLiteral("-o"), timeFile, program} +
                                                       arguments);
    if (!process.waitForFinished(300000) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        std::exit(1);
    }
    Measured m;
    m.seconds = timer.nsecsElapsed() / 1e9;
    QFile file(timeFile);
    if (file.open(QIODevice::ReadOnly))
        m.peakKb = file.readAll().trimmed().split('\n').last().toLong();
    return m;
}

Measured bestOf(const std::function<Measured()>& run)
{
    Measured b{1e9, 0};
    for (int i = 0; i < kRuns; ++i) {
        const Measured m = run();
        if (m.seconds < b.seconds)
            b.seconds = m.seconds;
        b.peakKb = std::max(b.peakKb, m.peakKb);
    }
    return b;
}

template <typename Step> double seconds(Step step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString executable = args.value(0, QStringLiteral(VELMORA_EXECUTABLE));
    const int count = args.size() > 1 ? args[1].toInt() : 100000;

    QTemporaryDir folder;
    const HomeFolder home(args.size() > 2 ? args[2] : folder.path());
    try {
        home.ensureExists();
        {
            Database db;
            db.open(home.databasePath());
            Statement cards(db, QStringLiteral("SELECT count(*) FROM txyk"));
            const bool seeded = cards.step() && cards.integer(0) > 0;
            cards.reset();
            if (!seeded) // a kept home folder is seeded once
                BenchSeed::seed(db, count);
        }

        // The first run of a day also makes the day's backup.
        const double first = summarySeconds(executable, home.path());
        double best = 1e9;
        for (int run = 0; run < kRuns; ++run)
            best = std::min(best, summarySeconds(executable, home.path()));
        // Every card to be written again, as on the first pass of a new day.
        double rewriting = 1e9;
        for (int run = 0; run < kRuns; ++run) {
            {
                Database db;
                db.open(home.databasePath());
                db.executeSql(QStringLiteral("UPDATE txyk SET i_xyr=NULL"));
            }
            rewriting = std::min(rewriting, summarySeconds(executable, home.path()));
        }
        double baseline = 1e9;
        {
            Database db;
            db.open(home.databasePath());
            for (int run = 0; run < kRuns; ++run)
                baseline = std::min(baseline, BenchSeed::plainUpdateSeconds(db));
        }
        const double ratio = best / baseline;
        std::printf("velmora --summary over %d cards, whole process, best of %d runs\n", count, kRuns);
        std::printf("  plain update of the same rows, one transaction   %7.3f s\n", baseline);
        std::printf("  velmora --summary                                %7.3f s   ratio %.2f\n", best, ratio);
        std::printf("  velmora --summary, every card written again      %7.3f s   ratio %.2f\n", rewriting,
                    rewriting / baseline);
        std::printf("  velmora --summary, first run of the day (backup) %7.3f s\n", first);
        std::printf(
            "goal: within %.1fx the plain update and under %.1f s: %s (every card written again: %s)\n",
            kGoalRatio, kGoalSeconds, ratio <= kGoalRatio && best < kGoalSeconds ? "met" : "NOT met",
            rewriting / baseline <= kGoalRatio && rewriting < kGoalSeconds ? "met" : "NOT met");

        // The first run of a new day: every card written again, the day's backup made and the
        // calendar file rebuilt. Peak memory from /usr/bin/time.
        const QString backupFolder = Backup::folderFor(home.databasePath());
        const Measured newDay = bestOf([&] {
            {
                Database db;
                db.open(home.databasePath());
                db.executeSql(QStringLiteral("UPDATE txyk SET i_xyr=NULL"));
            }
            QFile::remove(QDir(backupFolder).filePath(Backup::dailyFileName(QDate::currentDate())));
            QFile::remove(QDir(home.path()).filePath(QStringLiteral("velmora.ics")));
            return measure(executable, {QStringLiteral("--summary")}, home.path());
        });
        std::printf("  velmora --summary, first run of a new day        %7.3f s   ratio %.2f   peak %ld MB\n",
                    newDay.seconds, newDay.seconds / baseline, newDay.peakKb / 1024);
        std::printf("goal for the new day: within %.1fx, under %.1f s, peak <= 100 MB: %s\n", kGoalRatio,
                    kGoalSeconds,
                    newDay.seconds / baseline <= kGoalRatio && newDay.seconds < kGoalSeconds &&
                            newDay.peakKb <= 100 * 1024
                        ? "met"
                        : "NOT met");

        // The exports against sqlite3 writing the same table as CSV.
        const QString csvFile = QDir(home.path()).filePath(QStringLiteral("bench.csv"));
        const Measured sqliteCsv = bestOf([&] {
            return measure(
                QStringLiteral("/usr/bin/sqlite3"),
                {QStringLiteral("-csv"), home.databasePath(), QStringLiteral("SELECT * FROM txyk")},
                home.path(), csvFile);
        });
        const Measured exportCsv = bestOf([&] {
            return measure(executable, {QStringLiteral("--export-csv"), csvFile}, home.path());
        });
        const Measured ics =
            bestOf([&] { return measure(executable, {QStringLiteral("--ics")}, home.path()); });
        std::printf("  sqlite3 -csv of the card table                   %7.3f s   peak %ld MB\n",
                    sqliteCsv.seconds, sqliteCsv.peakKb / 1024);
        std::printf("  velmora --export-csv                             %7.3f s   ratio %.2f   peak %ld MB "
                    "(goal <= 2x, <= 80 MB)\n",
                    exportCsv.seconds, exportCsv.seconds / sqliteCsv.seconds, exportCsv.peakKb / 1024);
        std::printf("  velmora --ics                                    %7.3f s   ratio %.2f   peak %ld MB "
                    "(goal <= 3x, <= 80 MB)\n",
                    ics.seconds, ics.seconds / sqliteCsv.seconds, ics.peakKb / 1024);

        // Where the time goes: the steps of the command, one by one, in this process.
        const Clock& clock = Clock::system();
        DataModule data;
        data.database().open(home.databasePath());
        RefreshJobs jobs(home);
        RefreshResult result;
        std::printf("steps of the command (this process, one run)\n");
        std::printf("  open the database                                %7.3f s\n",
                    seconds([&] { data.database().open(home.databasePath()); }));
        std::printf("  refresh pass                                     %7.3f s\n",
                    seconds([&] { result = RefreshPass(data, clock).run(); }));
        std::printf("  velmora.ics rewritten                            %7.3f s\n",
                    seconds([&] { jobs.writeCalendar(data.database(), clock); }));
        std::printf("  velmora.ics built only                           %7.3f s\n",
                    seconds([&] { RepaymentCalendar::forDatabase(data.database(), clock); }));
        std::printf("  best card of the day                             %7.3f s\n",
                    seconds([&] { bestCardToday(data.database(), clock); }));
    } catch (const Error& e) {
        std::fprintf(stderr, "error: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
