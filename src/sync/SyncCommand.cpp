#include "sync/SyncCommand.h"

#include "billing/CardFacts.h"
#include "billing/RepaymentCalendar.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/SecretStore.h"
#include "store/Settings.h"
#include "sync/CalendarSync.h"

int runSyncCalendarCommand(const HomeFolder& home, const Clock& clock, QTextStream& out, QTextStream& err)
{
    try {
        Settings ini(home.iniPath());
        const SecretStore keyring;
        // A password left in System.ini (no keyring when it was saved) moves in once one runs.
        AccountPassword::calendar().moveToKeyring(ini.file(), keyring);
        CalendarSyncSettings settings = CalendarSyncSettings::load(ini);
        settings.validate(); // before the database: an unset sync says so whatever the data
        settings.withKeyringPassword(keyring);
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
