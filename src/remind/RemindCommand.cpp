#include "remind/RemindCommand.h"

int runRemindCommand(const HomeFolder&, const Clock&, QTextStream&, QTextStream& err)
{
    err << "velmora: --remind is not available yet\n";
    return 1;
}
