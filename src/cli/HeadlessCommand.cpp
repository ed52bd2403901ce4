#include "cli/HeadlessCommand.h"

#include "billing/RepaymentCalendar.h"
#include "billing/SummaryCommand.h"
#include "cli/AppSetup.h"
#include "cli/BackupCommand.h"
#include "cli/ExportCommand.h"
#include "remind/RemindCommand.h"
#include "sync/SyncCommand.h"
#include "transfer/CardImport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

namespace HeadlessCommand {

bool handles(CommandLine::Mode mode)
{
    switch (mode) {
    case CommandLine::Mode::Summary:
    case CommandLine::Mode::Remind:
    case CommandLine::Mode::Backup:
    case CommandLine::Mode::Restore:
    case CommandLine::Mode::Calendar:
    case CommandLine::Mode::ExportCsv:
    case CommandLine::Mode::ImportCsv:
    case CommandLine::Mode::SyncCalendar:
        return true;
    default:
        return false;
    }
}

int run(const CommandLine& command, int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    setUpApplication(app);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const HomeFolder home = HomeFolder::locate(QCoreApplication::applicationDirPath());
    switch (command.mode) {
    case CommandLine::Mode::Summary:
        return runSummaryCommand(home, Clock::system(), command.json, out, err);
    case CommandLine::Mode::Remind:
        return runRemindCommand(home, Clock::system(), out, err);
    case CommandLine::Mode::Backup:
        return runBackupCommand(home, command.file, out, err);
    case CommandLine::Mode::Restore:
        return runRestoreCommand(home, Clock::system(), command.file, out, err, command.force);
    case CommandLine::Mode::Calendar: {
        QFile stdOut; // the calendar's bytes as they are: CRLF lines
        stdOut.open(stdout, QIODevice::WriteOnly);
        return RepaymentCalendar::runCommand(home, Clock::system(), stdOut, err);
    }
    case CommandLine::Mode::ExportCsv:
        return CsvExport::runCommand(home, command.file, out, err);
    case CommandLine::Mode::ImportCsv:
        return CardImport::runCommand(home, Clock::system(), command.file, out, err);
    case CommandLine::Mode::SyncCalendar:
        return runSyncCalendarCommand(home, Clock::system(), out, err);
    default:
        break;
    }
    err << "velmora: " << QStringLiteral("这个选项需要窗口。") << '\n';
    return 2;
}

} // namespace HeadlessCommand
