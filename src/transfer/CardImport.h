#pragma once

#include "transfer/CsvReader.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVariant>

class CardSecrets;
class Clock;
class Database;
class HomeFolder;

// Cards in from a CSV file: the columns found by the grid's titles or the field names, every
// row checked with the editor's rules, and each card either added or matched to the card of the
// same name and last four digits already stored. Planning writes nothing; apply() writes a plan
// in one transaction, the dates of every card computed as a save computes them.
namespace CardImport {

// The field a column title stands for: a title of the card grid (blanks and line breaks not
// counted), "持卡人", or a field name of the card table. Empty when none.
QString fieldOfTitle(const QString& title);

// A value as the export wrote it: its formula guard (a "'" before = + - @, a tab or a carriage
// return) and direction control characters taken off.
QString unguarded(const QString& cell);

// A row that cannot be imported, with the column (as its title reads in the file) and why.
struct Refusal
{
    int row = 0;    // spreadsheet row, the titles are row 1
    QString column; // empty when the whole row (or file) is meant
    QString reason;
    QString text() const; // "第3行“账单日”列：…"
};

// A card to add or to update, with the fields the file gives (null clears a field).
struct PlannedCard
{
    int row = 0;
    QString name;
    QString last4;
    qint64 storedId = 0; // the card it updates; 0 for a new card
    QHash<QString, QVariant> values;
    QString text() const; // "第2行：招行（尾号6789）"
};

struct Plan
{
    QList<PlannedCard> additions;
    QList<PlannedCard> updates; // cards already stored (same name and last four)
    QList<Refusal> refusals;    // when any, nothing is to be written
    QStringList unusedColumns;  // titles no field answers to; their cells are left aside
    // Whether a card number, check code or validity is to be written (sealed while protected).
    bool carriesSecrets = false;
    bool canApply() const { return refusals.isEmpty() && (!additions.isEmpty() || !updates.isEmpty()); }
};

// The plan for the records of a file against the cards stored in `db`.
Plan plan(const QList<CsvReader::Record>& records, Database& db);
// The plan for a file's bytes: decoded, parsed (a parse error is a refusal) and planned.
Plan planBytes(const QByteArray& bytes, Database& db);

// Why `plan` cannot be written with `secrets` as they are, or empty: numbers while the card
// values are sealed and the key is not open.
QString secretsProblem(const Plan& plan, const CardSecrets& secrets);

struct Outcome
{
    int added = 0;
    int updated = 0;
    int skipped = 0; // stored cards left as they were
};

// Writes the plan in one transaction: new cards added, stored cards updated (or left alone
// unless `updateStored`), protected values sealed while protection is on, every card's dates
// computed for `today`. Throws Error, writing nothing, when the plan has refusals or a write fails.
Outcome apply(const Plan& plan, Database& db, const CardSecrets& secrets, QDate today, bool updateStored);

// The bytes of the file to import. Throws Error when it cannot be read or is far too large.
QByteArray readFile(const QString& path);

// `velmora --import-csv FILE`: adds the new cards, skips those already stored and reports;
// exit status 1 with nothing written when any row is refused.
int runCommand(const HomeFolder& home, const Clock& clock, const QString& file, QTextStream& out,
               QTextStream& err);

} // namespace CardImport
