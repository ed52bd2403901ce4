#pragma once

#include "billing/DueSoonCard.h"

#include <QList>
#include <QString>

// Subject and body of the reminder mail, made from the due-soon cards.
namespace ReminderMail {

// The separator after every card's block: "<br>" 33 hyphens "<br>".
extern const QString kSeparator;

// c_name "-还款日为:" c_re_date of the first card (the most urgent one).
QString subject(const QList<DueSoonCard>& dueSoon);

// One block per card, first to last, each followed by the separator. Card names are text, so
// they are HTML-escaped. The mail passes servers that are not the user's: the card number shows
// as its last four digits.
QString body(const QList<DueSoonCard>& dueSoon);

} // namespace ReminderMail
