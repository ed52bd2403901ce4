#pragma once

#include "billing/CardFacts.h"

#include <QDate>

// A card as the refresh pass hands it out, for tests of what is built from the facts: named
// "卡<id>", last four `lastFourBase + id`, ratio 10 on 500 used; marked repaid for the repayment
// of `markedFor`'s month when that is given.
inline CardFacts sampleFacts(int id, int statementDay, int repaymentDay, QDate markedFor, int lastFourBase)
{
    CardFacts c;
    c.id = id;
    c.name = QStringLiteral("卡%1").arg(id);
    c.numberLast4 = QString::number(lastFourBase + id);
    c.statementDay = statementDay;
    c.repaymentDay = repaymentDay;
    c.ratio = 10;
    c.used = 500;
    c.repaidMark = markedFor.isValid();
    c.markMonth = markedFor.isValid() ? markedFor.month() : 0;
    c.markYear = markedFor.isValid() ? markedFor.year() : 0;
    return c;
}
