#include "store/Database.h"

#include "store/Error.h"
#include "store/SqlDialect.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <memory>
#include <optional>
#include <sqlite3.h>

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
};

// Column names (lower case) of every table, through `db`.
QHash<QString, QSet<QString>> tableColumns(QSqlDatabase& db)
{
    QHash<QString, QSet<QString>> tables;
    QSqlQuery names(db);
    names.exec(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite^_%' ESCAPE '^'"));
    while (names.next())
        tables.insert(names.value(0).toString().toLower(), {});
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        QSqlQuery columns(db);
        columns.exec(QStringLiteral("PRAGMA table_info(\"%1\")")
                         .arg(QString(it.key()).replace(QStringLiteral("\""), QStringLiteral("\"\""))));
        while (columns.next())
            it->insert(columns.value(1).toString().toLower());
    }
    return tables;
}

// The tables of schema version 1, as an earlier program without the mark created them.
const QHash<QString, QSet<QString>>& firstVersionTables()
{
    static const QHash<QString, QSet<QString>> tables = [] {
        const QString name = QStringLiteral("velmora-schema");
        QHash<QString, QSet<QString>> result;
        {
            QSqlDatabase memory = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            memory.setDatabaseName(QStringLiteral(":memory:"));
            memory.open();
            for (const QString& statement : schemaStatements())
                QSqlQuery(memory).exec(statement);
            result = tableColumns(memory);
            memory.close();
        }
        QSqlDatabase::removeDatabase(name);
        return result;
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
FileContent inspect(const QString& path, const QString& connectionName)
{
    FileContent content;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        const auto pragma = [&](const char* name) -> std::optional<qint64> {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA %1").arg(QLatin1StringView(name))) || !q.next()) {
                failure = q.lastError().text();
                return std::nullopt;
            }
            return q.value(0).toLongLong();
        };
        if (!db.open())
            failure = db.lastError().text();
        // SQLite opens anything lazily; the first read tells whether this is a database at all.
        else if (pragma("schema_version")) {
            const auto applicationId = pragma("application_id");
            const auto userVersion = pragma("user_version");
            QSqlQuery objects(db);
            const bool noObjects = objects.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) &&
                                   objects.next() && objects.value(0).toLongLong() == 0;
            objects.finish();
            if (applicationId && userVersion) {
                content.version = int(*userVersion);
                content.kind =
                    classify(*applicationId, *userVersion, noObjects, [&] { return tableColumns(db); });
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    if (!failure.isEmpty())
        throw Error(QStringLiteral("数据库文件 %1 已损坏或不是本程序的数据库，未作任何改动。\n%2")
                        .arg(path, failure));
    return content;
}

} // namespace

namespace {
// A plain Chinese sentence for the SQLite errors a user can do something about.
QString explainSqliteError(int code)
{
    switch (code & 0xff) { // primary result code of an extended one
    case SQLITE_READONLY:
        return QStringLiteral("数据库是只读的，修改未保存。");
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间不足，无法写入数据库，修改未保存。");
    case SQLITE_IOERR:
        return QStringLiteral("读写数据库时发生磁盘错误（磁盘已满或不可写），修改未保存。");
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开数据库文件。");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库正被另一个程序使用，请稍后再试。");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("数据库文件已损坏。");
    default:
        return {};
    }
}
} // namespace

void throwSqlError(const QSqlError& error, const QString& context)
{
    QString text = error.text().trimmed();
    if (!context.isEmpty())
        text = context + u'\n' + text;
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    const QString explained = numeric ? explainSqliteError(code) : QString();
    throw Error(explained.isEmpty() ? text : explained + u'\n' + text);
}

Database::Database() = default;

Database::~Database()
{
    close();
}

QString Database::connectionNameFor(const void* owner)
{
    return QStringLiteral("velmora-%1").arg(quintptr(owner), 0, 16);
}

void Database::open(const QString& path)
{
    close();
    const bool existed = QFileInfo::exists(path);
    if (existed)
        checkDatabaseHeader(path);
    else {
        QFile file(path); // create with owner-only rights before SQLite writes anything
        if (!file.open(QIODevice::WriteOnly) ||
            !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            throw Error(QStringLiteral("无法创建数据库文件 %1：%2").arg(path, file.errorString()));
    }

    // Decide before opening for writing: a file that is not ours stays exactly as it was.
    const FileContent content = inspect(path, connectionNameFor(this) + QStringLiteral("-inspect"));
    const QString untouched = QStringLiteral("，未作任何改动。");
    if (content.kind == FileContent::Foreign)
        throw Error(QStringLiteral("文件 %1 是别的程序的数据库，不是本程序的数据库%2\n请移走该文件，或用 "
                                   "VELMORA_HOME 指定另一个文件夹。")
                        .arg(path, untouched));
    if (content.kind == FileContent::Newer)
        throw Error(
            QStringLiteral(
                "数据库 %1 来自更新版本的本程序（结构版本 %2，本版本为 %3）%4\n请使用更新版本的程序。")
                .arg(path)
                .arg(content.version)
                .arg(kSchemaVersion)
                .arg(untouched));

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionNameFor(this));
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open()) {
        const QString why = m_db.lastError().text();
        close();
        throw Error(QStringLiteral("无法打开数据库 %1：%2").arg(path, why));
    }
    m_path = path;
    // The refresh pass rewrites every card in one transaction: a page cache that can hold a large
    // card file (up to 16 MiB, taken only as pages are read) spares it re-reading pages.
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA cache_size=-16384"));
    // Freed space is zeroed, so a value replaced by its sealed form leaves no clear copy behind.
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA secure_delete=ON"));

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

void Database::close()
{
    m_kinds.clear();
    if (!m_db.isValid())
        return;
    const QString name = m_db.connectionName();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
    m_path.clear();
}

bool Database::isOpen() const
{
    return m_db.isValid() && m_db.isOpen();
}

int Database::execute(const QString& statement)
{
    return executeSql(SqlDialect::translate(statement));
}

int Database::executeSql(const QString& sql, const QVariantList& values)
{
    if (!isOpen())
        throw Error(QStringLiteral("数据库未打开。"));
    QSqlQuery query(m_db);
    if (!query.prepare(sql))
        throwSqlError(query.lastError(), sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throwSqlError(query.lastError(), sql);
    return query.numRowsAffected();
}

RawRow::Type RawRow::type(int column) const
{
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return Integer;
    case SQLITE_FLOAT:
        return Real;
    case SQLITE_TEXT:
        return Text;
    case SQLITE_BLOB:
        return Blob;
    default:
        return Null;
    }
}

qint64 RawRow::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

double RawRow::real(int column) const
{
    return sqlite3_column_double(m_statement, column);
}

QByteArrayView RawRow::utf8(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_statement, column));
}

QVariant RawRow::value(int column) const
{
    switch (type(column)) {
    case Integer:
        return qlonglong(integer(column));
    case Real:
        return real(column);
    case Text:
        return QString::fromUtf8(utf8(column));
    case Blob:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, column)),
                          sqlite3_column_bytes(m_statement, column));
    case Null:
        break;
    }
    return {};
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
    if (!isOpen())
        throw Error(QStringLiteral("数据库未打开。"));
    const QVariant handle = m_db.driver()->handle();
    sqlite3* db = handle.isValid() ? *static_cast<sqlite3* const*>(handle.constData()) : nullptr;
    if (!db)
        throw Error(QStringLiteral("数据库未打开。"));

    sqlite3_stmt* statement = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db));
        const QString explained = explainSqliteError(sqlite3_extended_errcode(db));
        sqlite3_finalize(statement);
        throw Error((explained.isEmpty() ? QString() : explained + u'\n') + sql + u'\n' + why);
    }
    // Finalizes the statement however this function is left.
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(statement, sqlite3_finalize);
    QStringList fields;
    const int columns = sqlite3_column_count(statement);
    for (int c = 0; c < columns; ++c)
        fields << QString::fromUtf8(sqlite3_column_name(statement, c));
    onFields(fields);
    const RawRow row(statement);
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        onRow(row);
    if (rc != SQLITE_DONE) {
        const QString explained = explainSqliteError(sqlite3_extended_errcode(db));
        throw Error((explained.isEmpty() ? QString() : explained + u'\n') + sql + u'\n' +
                    QString::fromUtf8(sqlite3_errmsg(db)));
    }
}

const QHash<QString, FieldKind>& Database::fieldKinds(const QString& table)
{
    const QString key = table.toLower();
    auto it = m_kinds.find(key);
    if (it != m_kinds.end())
        return *it;
    QHash<QString, FieldKind> kinds;
    QSqlQuery query(m_db);
    if (query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(key))) {
        while (query.next())
            kinds.insert(query.value(1).toString().toLower(), kindOfDeclaredType(query.value(2).toString()));
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
