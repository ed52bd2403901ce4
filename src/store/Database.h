#pragma once

#include "store/Statement.h"

#include <QHash>
#include <QString>
#include <QVariantList>
#include <functional>
#include <vector>

struct sqlite3;

// Kind of a stored field, taken from the declared column types of the schema.
enum class FieldKind { Integer, Number, Text, Bool, Date };

// The one SQLite connection and the only way into SQLite: prepared statements (Statement), the
// program's dialect (execute) and plain SQLite (executeSql, scan). Opens an existing database
// (never recreating it) or creates a missing one from the schema.
class Database
{
public:
    // Our mark in the SQLite header (PRAGMA application_id): "VLMR".
    static constexpr qint32 kApplicationId = 0x564C4D52;
    // Schema version kept in PRAGMA user_version; raised by each migration step.
    // 2: txyk.c_last4 (readable last four digits of c_no) and tkey (wrapped card data key).
    static constexpr int kSchemaVersion = 2;

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens `path`, creating it (mode 0600) from the schema when the file does not exist or is
    // empty, and bringing an older database of ours to the current schema version. Throws Error
    // with a Chinese message, leaving the file untouched, when it is no database, another
    // program's database, or one from a newer version of this program.
    void open(const QString& path);
    // Why this program would refuse to open the database at `path` (empty when it would open it):
    // the one rule for open and restore. A file of ours with a trigger, view or table we did not
    // create is refused, as is one missing our tables.
    static QString whyNotOpenable(const QString& path);
    // A connection to an SQLite file as it is, neither checked nor created: the source or target
    // of a page copy, or a look into a copy. Throws Error with SQLite's reason.
    enum class Access { ReadOnly, ReadWrite };
    void openFile(const QString& path, Access access);
    // Copies every page of `source` into this database in one step (SQLite's online backup),
    // waiting a while for a busy side. Throws Error.
    void copyPagesFrom(Database& source);
    // Writes this database's file as it stands to the open descriptor `fd`, read through SQLite's
    // own handle under a read transaction (in rollback-journal mode the file does not change
    // while one is open): many times faster than a page copy. False, with nothing written, where
    // that does not hold (a write-ahead log, a transaction already open). Throws Error.
    bool copyFileTo(int fd);
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }
    // The open connection (null when closed), for Statement.
    sqlite3* handle() const { return m_db; }

    // Runs a dialect statement as a command; returns the rows changed. Throws Error.
    int execute(const QString& statement);
    // Runs plain SQLite with bound values; returns rows changed. Throws Error.
    int executeSql(const QString& sql, const QVariantList& values = {});
    // Row id of the last row inserted through this connection.
    qint64 lastInsertId() const;

    // Runs a SQLite select, handing each row to `onRow` as it is read (values as SQLite typed
    // them: integer, real, text, blob or null). Throws Error.
    void scan(const QString& sql, const std::function<void(const QStringList& fields)>& onFields,
              const std::function<void(std::vector<QVariant>& row)>& onRow);
    // The same with the row as SQLite holds it: the fastest way to read a large list.
    void scanRaw(const QString& sql, const std::function<void(const QStringList& fields)>& onFields,
                 const std::function<void(const RawRow& row)>& onRow);
    void scanRaw(const QString& sql, const QVariantList& values,
                 const std::function<void(const QStringList& fields)>& onFields,
                 const std::function<void(const RawRow& row)>& onRow);

    // Declared kinds of a table's columns (lower-case names), cached.
    const QHash<QString, FieldKind>& fieldKinds(const QString& table);

private:
    void migrate(int fromVersion);

    sqlite3* m_db = nullptr;
    QString m_path;
    QHash<QString, QHash<QString, FieldKind>> m_kinds;
};

// All-or-nothing scope: BEGIN IMMEDIATE now, ROLLBACK unless commit() was called.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Database& m_db;
    bool m_done = false;
};
