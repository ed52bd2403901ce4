#pragma once

#include "store/Database.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

// Reads what is stored, and runs setup statements, through the program's own connection.
// Values come as SQLite typed them: qlonglong, double, QString, QByteArray, or null.
namespace Stored {

// The first column of the first row `sql` selects with `values` bound; null without a row.
QVariant value(Database& db, const QString& sql, const QVariantList& values = {});
// Every column of the first row; empty without a row.
QVariantList row(Database& db, const QString& sql, const QVariantList& values = {});
// Every row, every column.
QList<QVariantList> rows(Database& db, const QString& sql, const QVariantList& values = {});
// The first column of every row.
QVariantList column(Database& db, const QString& sql, const QVariantList& values = {});
// One field of one card of txyk.
QVariant field(Database& db, int id, const QString& name);
// The number of rows `sql` selects.
int count(Database& db, const QString& sql);

} // namespace Stored

// A file of plain SQLite that is not opened as the program's database (another program's file,
// a copy to spoil, an older layout): the statements run on their own connection, which is closed
// again. Fails the running test when SQLite refuses one.
void runOnSqliteFile(const QString& path, const QStringList& statements);
