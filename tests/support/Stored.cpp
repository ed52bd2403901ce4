#include "support/Stored.h"

#include <QFile>
#include <QtTest>
#include <sqlite3.h>

namespace Stored {

QVariantList row(Database& db, const QString& sql, const QVariantList& values)
{
    Statement statement(db, sql);
    statement.bindAll(values);
    QVariantList result;
    if (statement.step()) {
        for (int c = 0; c < statement.columnCount(); ++c)
            result << statement.value(c);
    }
    return result;
}

QVariant value(Database& db, const QString& sql, const QVariantList& values)
{
    const QVariantList first = row(db, sql, values);
    return first.isEmpty() ? QVariant() : first.first();
}

QList<QVariantList> rows(Database& db, const QString& sql, const QVariantList& values)
{
    Statement statement(db, sql);
    statement.bindAll(values);
    QList<QVariantList> result;
    while (statement.step()) {
        QVariantList row;
        for (int c = 0; c < statement.columnCount(); ++c)
            row << statement.value(c);
        result << row;
    }
    return result;
}

QVariantList column(Database& db, const QString& sql, const QVariantList& values)
{
    Statement statement(db, sql);
    statement.bindAll(values);
    QVariantList result;
    while (statement.step())
        result << statement.value(0);
    return result;
}

QVariant field(Database& db, int id, const QString& name)
{
    return value(db, QStringLiteral("SELECT %1 FROM txyk WHERE id=?").arg(name), {id});
}

int count(Database& db, const QString& sql)
{
    return value(db, QStringLiteral("SELECT count(*) FROM (%1)").arg(sql)).toInt();
}

} // namespace Stored

void runOnSqliteFile(const QString& path, const QStringList& statements)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        QFAIL(qPrintable(QStringLiteral("cannot open %1: %2").arg(path, why)));
    }
    for (const QString& statement : statements) {
        char* error = nullptr;
        if (sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const QString why = QString::fromUtf8(error);
            sqlite3_free(error);
            sqlite3_close(db);
            QFAIL(qPrintable(QStringLiteral("%1: %2").arg(statement, why)));
        }
    }
    sqlite3_close(db);
}
