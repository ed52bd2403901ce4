#include "store/Statement.h"

#include "store/Database.h"
#include "store/Error.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <sqlite3.h>

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

QString RawRow::text(int column) const
{
    return QString::fromUtf8(utf8(column));
}

QVariant RawRow::value(int column) const
{
    switch (type(column)) {
    case Integer:
        return qlonglong(integer(column));
    case Real:
        return real(column);
    case Text:
        return text(column);
    case Blob:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, column)),
                          sqlite3_column_bytes(m_statement, column));
    case Null:
        break;
    }
    return {};
}

Statement::Statement(Database& db, const QString& sql) : Statement(db.handle(), sql) {}

Statement::Statement(sqlite3* db, const QString& sql) : m_db(db), m_sql(sql)
{
    if (!m_db)
        throw Error(QStringLiteral("数据库未打开。"));
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &m_statement, &tail);
    if (rc != SQLITE_OK)
        fail(rc);
    // One statement at a time: anything after the first would silently not run.
    if (tail && !QByteArrayView(tail, text.constData() + text.size() - tail).trimmed().isEmpty()) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        throw Error(sql + QStringLiteral("\nUnable to execute multiple statements at a time"));
    }
    if (!m_statement) // only blanks or a comment
        throw Error(sql + QStringLiteral("\nEmpty statement"));
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

Error Statement::error(int rc) const
{
    const int code = m_db ? sqlite3_extended_errcode(m_db) : rc;
    const QString why =
        m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const QString explained = explainSqliteError(code);
    return Error((explained.isEmpty() ? QString() : explained + u'\n') + m_sql + u'\n' + why);
}

void Statement::fail(int rc) const
{
    throw error(rc);
}

void Statement::check(int rc) const
{
    if (rc != SQLITE_OK)
        fail(rc);
}

Statement& Statement::bindNull(int index)
{
    check(sqlite3_bind_null(m_statement, index + 1));
    return *this;
}

Statement& Statement::bind(int index, qint64 value)
{
    check(sqlite3_bind_int64(m_statement, index + 1, value));
    return *this;
}

Statement& Statement::bind(int index, double value)
{
    check(sqlite3_bind_double(m_statement, index + 1, value));
    return *this;
}

Statement& Statement::bind(int index, const QString& value)
{
    return bindUtf8(index, value.toUtf8());
}

Statement& Statement::bindUtf8(int index, QByteArrayView value)
{
    // An empty text is text, not NULL: SQLite needs a non-null pointer for it.
    const char* data = value.data() ? value.data() : "";
    check(sqlite3_bind_text64(m_statement, index + 1, data, sqlite3_uint64(value.size()), SQLITE_TRANSIENT,
                              SQLITE_UTF8));
    return *this;
}

Statement& Statement::bindKeptUtf8(int index, QByteArrayView value)
{
    const char* data = value.data() ? value.data() : "";
    check(sqlite3_bind_text64(m_statement, index + 1, data, sqlite3_uint64(value.size()), SQLITE_STATIC,
                              SQLITE_UTF8));
    return *this;
}

Statement& Statement::bind(int index, const QVariant& value)
{
    if (value.isNull())
        return bindNull(index);
    switch (value.typeId()) {
    case QMetaType::Bool:
        return bind(index, qint64(value.toBool() ? 1 : 0));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return bind(index, qint64(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return bind(index, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        check(sqlite3_bind_blob64(m_statement, index + 1, bytes.isNull() ? "" : bytes.constData(),
                                  sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT));
        return *this;
    }
    case QMetaType::QDate:
        return bind(index, value.toDate().toString(Qt::ISODate));
    case QMetaType::QDateTime:
        return bind(index, value.toDateTime().toString(Qt::ISODateWithMs));
    case QMetaType::QTime:
        return bind(index, value.toTime().toString(QStringLiteral("hh:mm:ss.zzz")));
    default:
        return bind(index, value.toString());
    }
}

Statement& Statement::bindAll(const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        bind(i, values[i]);
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const Error failure = error(rc); // read before the reset
    sqlite3_reset(m_statement);
    throw failure;
}

int Statement::run()
{
    while (step()) {
    }
    sqlite3_reset(m_statement);
    return int(sqlite3_changes64(m_db));
}

void Statement::reset()
{
    sqlite3_reset(m_statement);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_statement);
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_statement, column));
}
