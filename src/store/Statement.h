#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVariantList>

struct sqlite3;
struct sqlite3_stmt;
class Database;

// The current row of a running statement, read column by column without building QVariants.
class RawRow
{
public:
    enum Type { Null, Integer, Real, Text, Blob };
    explicit RawRow(sqlite3_stmt* statement = nullptr) : m_statement(statement) {}
    Type type(int column) const;
    bool isNull(int column) const { return type(column) == Null; }
    qint64 integer(int column) const;
    double real(int column) const;
    QByteArrayView utf8(int column) const; // text as stored; valid until the next row
    QString text(int column) const;
    QVariant value(int column) const; // integer, real, text, blob or null, as SQLite typed it

protected:
    sqlite3_stmt* m_statement;
};

// One prepared statement of plain SQLite on the program's connection: bind values by position
// (from 0), step through the rows, read the columns of the current row, reset to run it again
// with new values. Finalized when it goes. Every failure throws Error with the statement and
// SQLite's reason, led by a plain Chinese sentence where the user can do something about it.
class Statement : public RawRow
{
public:
    Statement(Database& db, const QString& sql);
    Statement(sqlite3* db, const QString& sql); // a connection of the store's own
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bindNull(int index);
    Statement& bind(int index, qint64 value);
    Statement& bind(int index, int value) { return bind(index, qint64(value)); }
    Statement& bind(int index, double value);
    Statement& bind(int index, const QString& value);
    Statement& bindUtf8(int index, QByteArrayView value); // copied
    // Not copied: the bytes must stay as they are until the statement is run with other values
    // or goes (constants, tables kept for a whole pass).
    Statement& bindKeptUtf8(int index, QByteArrayView value);
    // Dates as ISO text, flags as 0/1, null as NULL, other values as their text.
    Statement& bind(int index, const QVariant& value);
    Statement& bindAll(const QVariantList& values);

    // Runs to the next row: true when one is ready to read, false when the statement is done.
    bool step();
    // Runs a command to its end and resets it for the next values; the rows it changed.
    int run();
    // Makes the statement ready to run again; bound values stay.
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    const QString& sql() const { return m_sql; }

private:
    class Error error(int rc) const;
    [[noreturn]] void fail(int rc) const;
    void check(int rc) const;

    sqlite3* m_db;
    QString m_sql;
};

// The Chinese sentence for an SQLite result code a user can do something about (disk full,
// read-only, busy, damaged); empty for the others.
QString explainSqliteError(int code);
