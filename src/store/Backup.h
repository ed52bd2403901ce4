#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class Database;
class IniFile;

// Copies of the database made with SQLite's online backup API: consistent even while another
// connection writes. Daily copies live in Data/Backup/Data-YYYY-MM-DD.db (files 0600, folder 0700).
namespace Backup {

// How many daily copies are kept (backup_keep of section "备份"; 0 = no daily copies).
extern const QString kSection;
int keepSetting(const IniFile& ini);

QString folderFor(const QString& databasePath); // Data/Backup beside the database
QString dailyFileName(QDate day);               // "Data-2013-09-05.db"
bool isDailyFileName(const QString& name);

// Copies the open database to `target` (written beside it under a temporary name, mode 0600,
// then renamed into place). Throws Error.
void copyDatabase(Database& db, const QString& target);
// The same for a database file given by path, opened read-only. Throws Error.
void copyFile(const QString& source, const QString& target);

// Why `path` cannot be taken as a database of this program: not readable, not an SQLite file,
// damaged (integrity_check) or not ours. Empty when it can.
QString problemWith(const QString& path);

enum class DailyOutcome { Made, AlreadyMade, Off, HeldBack };
// Today's copy of the open database unless `keep` is 0 or it exists already; then the copies
// beyond the newest `keep` are removed. While `sealWanted` (protection on with a password) and
// the database still holds a card secret in clear, no copy is made (HeldBack): a copy would keep
// it in clear long after the next login seals it. Throws Error (nothing half-written is left).
DailyOutcome makeDaily(Database& db, QDate today, int keep, bool sealWanted = false);
// Removes the daily copies in `folder` beyond the newest `keep`; returns the names removed.
QStringList prune(const QString& folder, int keep);

// The copies in `folder` (daily and kept-before-restore) that hold a card number, check code or
// validity in clear: made before password protection sealed them. Unreadable files are skipped.
QStringList copiesWithClearSecrets(const QString& folder);
// Whether the database at `path` holds a card number, check code or validity in clear.
bool holdsClearSecrets(const QString& path);
bool holdsClearSecrets(Database& db);
// Whether the database at `path` holds a card key a login can check a password against.
bool holdsCardKey(const QString& path);
// Removes those files; returns the ones that could not be removed.
QStringList removeCopies(const QString& folder, const QStringList& names);

// Replaces the database at `databasePath` with the checked copy `source`. An existing database
// is first kept as `keepAs` (a plain file copy when it is too damaged to be read). The content is
// copied into the existing file through the backup API, so other connections see all or
// nothing; a file SQLite cannot open is replaced whole. Throws Error.
void restore(const QString& source, const QString& databasePath, const QString& keepAs);

} // namespace Backup
