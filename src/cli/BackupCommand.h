#pragma once

#include "store/Clock.h"
#include "store/HomeFolder.h"

#include <QTextStream>

// `velmora --backup FILE`: a copy of the home folder's database, made while it may be in use.
int runBackupCommand(const HomeFolder& home, const QString& file, QTextStream& out, QTextStream& err);

// `velmora --restore FILE`: replaces the database with a checked copy of ours, refused while the
// program runs on this home folder; the current database is kept in Data/Backup first. A copy
// with card secrets in clear while protection is on is refused unless `force`.
int runRestoreCommand(const HomeFolder& home, const Clock& clock, const QString& file, QTextStream& out,
                      QTextStream& err, bool force = false);

// Where --restore keeps the database it replaces: Data/Backup/Data-2013-09-05-090000-before-restore.db
// (not a daily copy, so never pruned).
QString restoreKeepPath(const HomeFolder& home, const QDateTime& at);
