#pragma once

#include <QString>

// Direction controls (U+202A-U+202E embeddings and overrides, U+2066-U+2069 isolates) in stored
// text would make it read other than it is where it is shown outside the program: a card name
// in a mail, a calendar entry, a spreadsheet or a desktop notice. Those copies leave them out.
bool isBidiControl(QChar c);
QString withoutBidiControls(QString text);
