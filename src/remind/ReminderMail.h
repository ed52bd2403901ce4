#pragma once

#include <QString>

class Query;

// Subject and body of the reminder mail, read from the due-soon list.
namespace ReminderMail {

// The separator after every card's block: "<br>" 33 hyphens "<br>".
extern const QString kSeparator;

// c_name "-还款日为:" c_re_date of the list's first row (the most urgent card).
QString subject(const Query& dueSoon);

// One block per row, first to last, each followed by the separator. Walks the list's cursor
// and leaves it on the first row. Card names are text, so they are HTML-escaped. The mail
// passes servers that are not the user's: the card number shows as its last four digits.
QString body(Query& dueSoon);

// "尾号5678" for "6222 0000 1234 5678": the last four characters, blanks and hyphens left out.
QString numberShown(const QString& cardNumber);

} // namespace ReminderMail
