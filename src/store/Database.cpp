#include "store/Database.h"

#include "store/Error.h"
#include "store/SafeFile.h"
#include "store/SqlDialect.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <utility>

namespace {

FieldKind kindOfDeclaredType(const QString& declared)
{
    const QString t = declared.toUpper();
    if (t.contains(u"BOOL"))
        return FieldKind::Bool;
    if (t.contains(u"DATE"))
        return FieldKind::Date;
    if (t.contains(u"INT"))
        return FieldKind::Integer;
    if (t.contains(u"REAL") || t.contains(u"NUM") || t.contains(u"DOUB") || t.contains(u"FLOA"))
        return FieldKind::Number;
    return FieldKind::Text;
}

QStringList schemaStatements()
{
    QFile file(QStringLiteral(":/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("无法读取数据库结构脚本 schema.sql。"));
    QStringList statements;
    QString current;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.trimmed().startsWith(u"--"))
            continue;
        current += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            statements << current.trimmed();
            current.clear();
        }
    }
    return statements;
}

// Checks the file header before SQLite sees the file: a database whose header is not
// SQLite's, or whose file is shorter than the pages its header counts (a truncated copy),
// is refused rather than opened and half-read. An empty file is a new database.
void checkDatabaseHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("无法读取数据库文件 %1：%2").arg(path, file.errorString()));
    const qint64 size = file.size();
    if (size == 0)
        return;
    const QByteArray header = file.read(100);
    const auto refuse = [&](const QString& why) {
        throw Error(
            QStringLiteral("数据库文件 %1 已损坏或不是本程序的数据库（%2），未作任何改动。").arg(path, why));
    };
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        refuse(QStringLiteral("文件头无效"));
    const auto byteAt = [&](int i) { return quint32(quint8(header[i])); };
    quint32 pageSize = (byteAt(16) << 8) | byteAt(17);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        refuse(QStringLiteral("页大小无效"));
    const quint32 pageCount = (byteAt(28) << 24) | (byteAt(29) << 16) | (byteAt(30) << 8) | byteAt(31);
    const bool countValid = header.mid(92, 4) == header.mid(96, 4) && pageCount > 0;
    if (countValid && size < qint64(pageCount) * pageSize)
        refuse(QStringLiteral("文件不完整"));
}

// What an existing file holds, read without write access.
struct FileContent
{
    enum Kind { Empty, Unmarked, Current, Older, Newer, Foreign } kind = Empty;
    int version = 0;
    QString problem; // ours, but with objects we did not create or without ours
};

// What every connection gets: no trust in statements kept in the file, defensive mode.
void harden(sqlite3* db)
{
    // Statements kept in the file (triggers, views, defaults) get no functions with side effects,
    // and no statement may write the file's structure behind SQLite's back.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_exec(db, "PRAGMA trusted_schema=OFF", nullptr, nullptr, nullptr);
}

// The one kind of connection in the store (Database holds one), closed however the scope is left.
class Connection
{
public:
    Connection() = default;
    ~Connection() { close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // The reason when SQLite refuses the file; empty when open.
    QString open(const QString& path, int flags)
    {
        // A connection is only ever used by the thread that opened it: no locking around each call.
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                                       flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
        if (rc != SQLITE_OK) {
            const QString why =
                m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
            close();
            return why.isEmpty() ? QStringLiteral("SQLite error %1").arg(rc) : why;
        }
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, 5000);
        harden(m_db);
        return {};
    }
    void close()
    {
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    sqlite3* get() const { return m_db; }
    sqlite3* release() { return std::exchange(m_db, nullptr); }

private:
    sqlite3* m_db = nullptr;
};

// Column names (lower case) of every table, through `db`.
QHash<QString, QSet<QString>> tableColumns(sqlite3* db)
{
    QHash<QString, QSet<QString>> tables;
    Statement names(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE "
                                       "'sqlite^_%' ESCAPE '^'"));
    while (names.step())
        tables.insert(names.text(0).toLower(), {});
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        Statement columns(db,
                          QStringLiteral("PRAGMA table_info(\"%1\")")
                              .arg(QString(it.key()).replace(QStringLiteral("\""), QStringLiteral("\"\""))));
        while (columns.step())
            it->insert(columns.text(1).toLower());
    }
    return tables;
}

// The tables of schema version 1, as an earlier program without the mark created them.
const QHash<QString, QSet<QString>>& firstVersionTables()
{
    static const QHash<QString, QSet<QString>> tables = [] {
        Connection memory;
        const QString why =
            memory.open(QStringLiteral(":memory:"), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (!why.isEmpty())
            throw Error(why);
        for (const QString& statement : schemaStatements())
            Statement(memory.get(), statement).run();
        return tableColumns(memory.get());
    }();
    return tables;
}

// Ours without the mark: our four tables, each with at least the columns we created, and no
// table but those and the ones later steps add.
bool isFirstVersionLayout(const QHash<QString, QSet<QString>>& tables)
{
    static const QSet<QString> laterTables = {QStringLiteral("tkey")};
    const auto& ours = firstVersionTables();
    for (auto it = ours.begin(); it != ours.end(); ++it) {
        const auto found = tables.find(it.key());
        if (found == tables.end() || !found->contains(*it))
            return false;
    }
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        if (!ours.contains(it.key()) && !laterTables.contains(it.key()))
            return false;
    }
    return true;
}

// What in the file's objects this program did not put there (a trigger, a view, a table), or which
// of its tables is missing: empty when the objects are exactly ours. Triggers and views run
// statements on every change or read, so a file carrying any is refused rather than used.
QString foreignObjects(sqlite3* db, FileContent::Kind kind)
{
    const auto& ours = firstVersionTables();
    static const QSet<QString> laterTables = {QStringLiteral("tkey")};
    QStringList foreign;
    Statement objects(db, QStringLiteral("SELECT type, name, tbl_name FROM sqlite_master"));
    while (objects.step()) {
        const QString type = objects.text(0);
        const QString name = objects.text(1);
        const QString table = objects.text(2).toLower();
        const bool known = ours.contains(table) || laterTables.contains(table);
        if (type == u"trigger")
            foreign << QStringLiteral("触发器 %1").arg(name);
        else if (type == u"view")
            foreign << QStringLiteral("视图 %1").arg(name);
        else if (type == u"table" && !known && !table.startsWith(u"sqlite_"))
            foreign << QStringLiteral("表 %1").arg(name);
        else if (type == u"index" && !known)
            foreign << QStringLiteral("索引 %1").arg(name);
    }
    if (!foreign.isEmpty())
        return QStringLiteral("含有本程序不会建立的对象（%1），可能被人改动过")
            .arg(foreign.join(QStringLiteral("、")));
    // Ours at its version: every table of that version with at least the columns we created.
    const QHash<QString, QSet<QString>> tables = tableColumns(db);
    for (auto it = ours.begin(); it != ours.end(); ++it) {
        const auto found = tables.find(it.key());
        if (found == tables.end() || !found->contains(*it))
            return QStringLiteral("缺少本程序的表 %1 或其字段").arg(it.key());
    }
    if (kind == FileContent::Current &&
        (!tables.contains(QStringLiteral("tkey")) ||
         !tables.value(QStringLiteral("txyk")).contains(QStringLiteral("c_last4"))))
        return QStringLiteral("缺少本程序的表 tkey 或字段 c_last4");
    return {};
}

FileContent::Kind classify(qint64 applicationId, qint64 userVersion, bool noObjects,
                           const std::function<QHash<QString, QSet<QString>>()>& tables)
{
    if (applicationId == Database::kApplicationId) {
        if (userVersion > Database::kSchemaVersion)
            return FileContent::Newer;
        return userVersion == Database::kSchemaVersion ? FileContent::Current : FileContent::Older;
    }
    if (applicationId != 0)
        return FileContent::Foreign;
    if (noObjects && userVersion == 0)
        return FileContent::Empty;
    if (userVersion == 0 && isFirstVersionLayout(tables()))
        return FileContent::Unmarked;
    return FileContent::Foreign;
}

// Reads the mark, the version and the tables through a read-only connection. Throws Error when
// SQLite cannot read the file as a database.
FileContent inspect(const QString& path)
{
    FileContent content;
    QString failure;
    Connection db;
    failure = db.open(path, SQLITE_OPEN_READONLY);
    // SQLite opens anything lazily; the first read tells whether this is a database at all.
    if (failure.isEmpty()) {
        try {
            const auto pragma = [&](const char* name) {
                Statement q(db.get(), QStringLiteral("PRAGMA %1").arg(QLatin1StringView(name)));
                return q.step() ? q.integer(0) : qint64(0);
            };
            pragma("schema_version");
            const qint64 applicationId = pragma("application_id");
            const qint64 userVersion = pragma("user_version");
            Statement objects(db.get(), QStringLiteral("SELECT count(*) FROM sqlite_master"));
            const bool noObjects = objects.step() && objects.integer(0) == 0;
            content.version = int(userVersion);
            content.kind =
                classify(applicationId, userVersion, noObjects, [&] { return tableColumns(db.get()); });
            if (content.kind == FileContent::Current || content.kind == FileContent::Older ||
                content.kind == FileContent::Unmarked)
                content.problem = foreignObjects(db.get(), content.kind);
        } catch (const Error&) {
            failure = QString::fromUtf8(sqlite3_errmsg(db.get()));
        }
    }
    db.close();
    if (!failure.isEmpty())
        throw Error(QStringLiteral("数据库文件 %1 已损坏或不是本程序的数据库，未作任何改动。\n%2")
                        .arg(path, failure));
    return content;
}

} // namespace

QString Database::whyNotOpenable(const QString& path)
{
    try {
        const FileContent content = inspect(path);
        switch (content.kind) {
        case FileContent::Current:
        case FileContent::Older:
        case FileContent::Unmarked:
            return content.problem;
        case FileContent::Newer:
            return QStringLiteral("来自更新版本的本程序（结构版本 %1）").arg(content.version);
        case FileContent::Empty:
            return QStringLiteral("是空的数据库");
        case FileContent::Foreign:
            break;
        }
        return QStringLiteral("不是本程序的数据库");
    } catch (const Error& e) {
        return e.message();
    }
}

Database::Database() = default;

Database::~Database()
{
    close();
}

void Database::open(const QString& path)
{
    close();
    // A link in place of the file is not followed: it could lead the card data anywhere.
    SafeFile::refuseLink(path);
    // Created owner-only before SQLite writes anything; an existing file is checked first.
    if (!SafeFile::createNew(path))
        checkDatabaseHeader(path);

    // Decide before opening for writing: a file that is not ours stays exactly as it was.
    const FileContent content = inspect(path);
    const QString untouched = QStringLiteral("，未作任何改动。");
    if (content.kind == FileContent::Foreign)
        throw Error(QStringLiteral("文件 %1 是别的程序的数据库，不是本程序的数据库%2\n请移走该文件，或用 "
                                   "VELMORA_HOME 指定另一个文件夹。")
                        .arg(path, untouched));
    if (!content.problem.isEmpty())
        throw Error(QStringLiteral("数据库 %1 %2，未作任何改动。\n请从备份恢复（velmora --restore）。")
                        .arg(path, content.problem));
    if (content.kind == FileContent::Newer)
        throw Error(
            QStringLiteral(
                "数据库 %1 来自更新版本的本程序（结构版本 %2，本版本为 %3）%4\n请使用更新版本的程序。")
                .arg(path)
                .arg(content.version)
                .arg(kSchemaVersion)
                .arg(untouched));

    Connection connection;
    const QString why = connection.open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!why.isEmpty())
        throw Error(QStringLiteral("无法打开数据库 %1：%2").arg(path, why));
    m_db = connection.release();
    m_path = path;
    // The refresh pass rewrites every card in one transaction: a page cache that can hold a large
    // card file (up to 16 MiB, taken only as pages are read) spares it re-reading pages.
    sqlite3_exec(m_db, "PRAGMA cache_size=-16384", nullptr, nullptr, nullptr);
    // Freed space is zeroed, so a value replaced by its sealed form leaves no clear copy behind.
    sqlite3_exec(m_db, "PRAGMA secure_delete=ON", nullptr, nullptr, nullptr);

    if (content.kind == FileContent::Current)
        return;
    // Ours and complete but read-only: used as it is, marked at a later open that may write.
    if (content.kind == FileContent::Unmarked && !QFileInfo(path).isWritable())
        return;
    try {
        migrate(content.kind == FileContent::Empty || content.kind == FileContent::Unmarked
                    ? 0
                    : content.version);
    } catch (const Error& e) {
        close();
        throw Error(QStringLiteral("无法初始化数据库 %1：%2").arg(path, e.message()));
    }
}

// The one place where the schema changes. Each step brings the database from version v to v + 1;
// a change adds a case here and raises kSchemaVersion. All steps and the mark are one transaction.
void Database::migrate(int fromVersion)
{
    Transaction transaction(*this);
    for (int version = fromVersion; version < kSchemaVersion; ++version) {
        switch (version) {
        case 0: // the four tables; harmless on an unmarked database of ours, which has them
            for (const QString& statement : schemaStatements())
                executeSql(statement);
            break;
        case 1: // card secrets: what stays readable of the number, and the wrapped data key
            // (an unmarked file of ours may have them already)
            if (!fieldKinds(QStringLiteral("txyk")).contains(QStringLiteral("c_last4"))) {
                executeSql(QStringLiteral("ALTER TABLE txyk ADD COLUMN c_last4 TEXT"));
                executeSql(
                    QStringLiteral("UPDATE txyk SET c_last4=substr(replace(replace(c_no,' ',''),'-',''),-4) "
                                   "WHERE c_no IS NOT NULL"));
                m_kinds.clear();
            }
            executeSql(QStringLiteral(
                "CREATE TABLE IF NOT EXISTS tkey (id INTEGER PRIMARY KEY, c_key TEXT NOT NULL)"));
            break;
        }
    }
    executeSql(QStringLiteral("PRAGMA application_id=%1").arg(kApplicationId));
    executeSql(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
    transaction.commit();
}

void Database::openFile(const QString& path, Access access)
{
    close();
    Connection connection;
    const QString why =
        connection.open(path, access == Access::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
    if (!why.isEmpty())
        throw Error(why);
    m_db = connection.release();
    m_path = path;
}

void Database::copyPagesFrom(Database& source)
{
    if (!m_db || !source.m_db)
        throw Error(QStringLiteral("数据库未打开。"));
    sqlite3_backup* backup = sqlite3_backup_init(m_db, "main", source.m_db, "main");
    if (!backup)
        throw Error(QString::fromUtf8(sqlite3_errmsg(m_db)));
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < 100; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(50);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        throw Error(QString::fromUtf8(sqlite3_errstr(rc)));
}

bool Database::copyFileTo(int fd)
{
    if (!m_db || !sqlite3_get_autocommit(m_db))
        return false;
    {
        Statement mode(*this, QStringLiteral("PRAGMA journal_mode"));
        if (!mode.step() || mode.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0)
            return false;
    }
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(m_db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return false;
    executeSql(QStringLiteral("BEGIN"));
    try {
        Statement(*this, QStringLiteral("SELECT count(*) FROM sqlite_master")).step(); // the read lock
        sqlite3_int64 size = 0;
        if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
            throw Error(QString::fromUtf8(sqlite3_errstr(SQLITE_IOERR)));
        // Through SQLite's own descriptor: closing another one of this file would drop its locks.
        QByteArray piece(1 << 20, Qt::Uninitialized);
        for (sqlite3_int64 at = 0; at < size; at += piece.size()) {
            const int length = int(std::min<sqlite3_int64>(piece.size(), size - at));
            const int rc = file->pMethods->xRead(file, piece.data(), length, at);
            if (rc != SQLITE_OK)
                throw Error(QString::fromUtf8(sqlite3_errstr(rc)));
            if (!SafeFile::writeAll(fd, QByteArray::fromRawData(piece.constData(), length)))
                throw Error(QString::fromLocal8Bit(std::strerror(errno)));
        }
    } catch (const Error&) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    executeSql(QStringLiteral("COMMIT"));
    return true;
}

void Database::close()
{
    m_kinds.clear();
    if (!m_db)
        return;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_path.clear();
}

bool Database::isOpen() const
{
    return m_db != nullptr;
}

int Database::execute(const QString& statement)
{
    return executeSql(SqlDialect::translate(statement));
}

int Database::executeSql(const QString& sql, const QVariantList& values)
{
    if (!isOpen())
        throw Error(QStringLiteral("数据库未打开。"));
    Statement statement(*this, sql);
    statement.bindAll(values);
    return statement.run();
}

qint64 Database::lastInsertId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

void Database::scan(const QString& sql, const std::function<void(const QStringList& fields)>& onFields,
                    const std::function<void(std::vector<QVariant>& row)>& onRow)
{
    int columns = 0;
    scanRaw(
        sql,
        [&](const QStringList& fields) {
            columns = int(fields.size());
            onFields(fields);
        },
        [&](const RawRow& raw) {
            std::vector<QVariant> row(static_cast<size_t>(columns));
            for (int c = 0; c < columns; ++c)
                row[size_t(c)] = raw.value(c);
            onRow(row);
        });
}

void Database::scanRaw(const QString& sql, const std::function<void(const QStringList& fields)>& onFields,
                       const std::function<void(const RawRow& row)>& onRow)
{
    scanRaw(sql, {}, onFields, onRow);
}

void Database::scanRaw(const QString& sql, const QVariantList& values,
                       const std::function<void(const QStringList& fields)>& onFields,
                       const std::function<void(const RawRow& row)>& onRow)
{
    if (!isOpen())
        throw Error(QStringLiteral("数据库未打开。"));
    Statement statement(*this, sql);
    statement.bindAll(values);
    QStringList fields;
    const int columns = statement.columnCount();
    for (int c = 0; c < columns; ++c)
        fields << statement.columnName(c);
    onFields(fields);
    while (statement.step())
        onRow(statement);
}

const QHash<QString, FieldKind>& Database::fieldKinds(const QString& table)
{
    const QString key = table.toLower();
    auto it = m_kinds.find(key);
    if (it != m_kinds.end())
        return *it;
    QHash<QString, FieldKind> kinds;
    if (m_db) {
        try {
            Statement query(*this, QStringLiteral("PRAGMA table_info(%1)").arg(key));
            while (query.step())
                kinds.insert(query.text(1).toLower(), kindOfDeclaredType(query.text(2)));
        } catch (const Error&) {
            // an unknown table has no declared kinds
        }
    }
    return *m_kinds.insert(key, kinds);
}

Transaction::Transaction(Database& db) : m_db(db)
{
    m_db.executeSql(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_db.executeSql(QStringLiteral("ROLLBACK"));
        } catch (const Error&) {
            // Nothing more to undo; the original error is the one reported.
        }
    }
}

void Transaction::commit()
{
    m_db.executeSql(QStringLiteral("COMMIT"));
    m_done = true;
}
