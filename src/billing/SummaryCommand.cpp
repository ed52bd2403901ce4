#include "billing/SummaryCommand.h"

int runSummaryCommand(const HomeFolder&, const Clock&, bool, QTextStream&, QTextStream& err)
{
    err << "velmora: --summary is not available yet\n";
    return 1;
}
