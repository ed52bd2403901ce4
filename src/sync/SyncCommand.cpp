#include "sync/SyncCommand.h"

#include "billing/CardFacts.h"
#include "billing/RepaymentCalendar.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/Settings.h"
#include "sync/CalendarSync.h"

int runSyncCalendarCommand(const HomeFolder& home, const Clock& clock, QTextStream& out, QTextStream& err)
{
    try {
        const CalendarSyncSettings settings = CalendarSyncSettings::load(Settings(home.iniPath()));
        settings.validate(); // before the database: an unset sync says so whatever the data
        Database db;
        db.open(home.existingDatabasePath());
        const auto events = RepaymentCalendar::events(readCardFacts(db), clock.today());
        db.close();
        out << CalendarSync::reportText(CalendarSync::sync(settings, events, clock.now())) << '\n';
        return 0;
    } catch (const Error& e) {
        err << QStringLiteral("velmora: ") << e.message() << '\n';
        return 1;
    }
}
