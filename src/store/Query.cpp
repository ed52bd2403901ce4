#include "store/Query.h"

#include "store/CardSecrets.h"
#include "store/DateText.h"
#include "store/Error.h"
#include "store/SqlDialect.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace {

QString tableOf(const QString& sql)
{
    static const QRegularExpression from(QStringLiteral(R"(\bfrom\s+([A-Za-z_]\w*))"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto match = from.match(sql);
    return match.hasMatch() ? match.captured(1) : QString();
}

// Orders stored values of one kind; empty values first.
int compareValues(FieldKind kind, const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return int(b.isNull()) - int(a.isNull()) == 0 ? 0 : (a.isNull() ? -1 : 1);
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::Bool: {
        const qlonglong x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldKind::Number: {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case FieldKind::Date:
        if (a.typeId() == QMetaType::QDate && b.typeId() == QMetaType::QDate) {
            const qint64 x = a.toDate().toJulianDay(), y = b.toDate().toJulianDay();
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        return QString::compare(a.toString(), b.toString());
    case FieldKind::Text:
        return QString::compare(a.toString(), b.toString());
    }
    return 0;
}

QString numberText(double value)
{
    return QString::number(value, 'g', 15);
}

// A sort key per row, converted once instead of at every comparison.
struct SortKey
{
    bool null = true;
    double number = 0;
    QString text;
};

// A value as SQLite gave it, in the type the program reads: flags as bool, dates as QDate
// (text that is no ISO date stays text), everything else as it came.
QVariant storedAs(FieldKind kind, const QVariant& stored)
{
    if (stored.isNull())
        return {};
    if (kind == FieldKind::Bool)
        return stored.toLongLong() != 0;
    if (kind == FieldKind::Date && stored.typeId() == QMetaType::QString) {
        const auto date = DateText::parse(stored.toString());
        return date ? QVariant(*date) : stored;
    }
    return stored;
}

} // namespace

Query::Query(Database& db, const QString& name, QObject* parent) : QAbstractTableModel(parent), m_db(db)
{
    setObjectName(name);
}

void Query::setSql(const QString& statement)
{
    setSql(statement, statement == m_sql ? m_values : QVariantList());
}

void Query::setSql(const QString& statement, const QVariantList& values)
{
    close();
    m_sql = statement;
    m_values = values;
    m_table = tableOf(statement);
}

void Query::close()
{
    if (m_state == State::Closed && m_rows.empty() && m_fields.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    m_order.clear();
    m_fields.clear();
    m_kinds.clear();
    m_editBuffer.clear();
    m_changed.clear();
    m_sort.clear();
    m_current = -1;
    m_eof = m_bof = true;
    endResetModel();
    setState(State::Closed);
}

void Query::open()
{
    if (isOpen())
        return;
    const QString sql = SqlDialect::translate(m_sql);
    QStringList fields;
    std::vector<FieldKind> kinds;
    RowStore rows;
    m_db.scanRaw(
        sql, m_values,
        [&](const QStringList& names) {
            fields = names;
            const auto& declared = m_db.fieldKinds(m_table);
            for (const QString& name : names)
                kinds.push_back(declared.value(name.toLower(), FieldKind::Text));
            rows = RowStore(int(names.size()));
        },
        [&](const RawRow& row) { rows.appendRaw(row, kinds); });
    if (m_secrets) {
        const auto columnOf = [&](QStringView name) {
            for (int c = 0; c < fields.size(); ++c) {
                if (fields[c].compare(name, Qt::CaseInsensitive) == 0)
                    return c;
            }
            return -1;
        };
        const int idColumn = columnOf(u"id");
        const int last4Column = columnOf(u"c_last4");
        for (int c = 0; c < fields.size(); ++c) {
            if (!CardSecrets::isProtected(m_table, fields[c]))
                continue;
            for (int r = 0; r < rows.size(); ++r) {
                if (SecretBox::isSealed(rows.text(r, c)))
                    rows.set(r, c,
                             m_secrets->shown(fields[c], rows.get(r, c),
                                              idColumn < 0 ? 0 : rows.get(r, idColumn).toLongLong(),
                                              last4Column < 0 ? QVariant() : rows.get(r, last4Column)));
            }
        }
    }

    beginResetModel();
    m_fields = fields;
    m_kinds = std::move(kinds);
    m_sort.clear();
    m_rows = std::move(rows);
    m_order.resize(size_t(m_rows.size()));
    for (size_t i = 0; i < m_order.size(); ++i)
        m_order[i] = int(i);
    m_current = m_order.empty() ? -1 : 0;
    m_eof = m_bof = m_order.empty();
    m_state = State::Browse;
    endResetModel();
    emit stateChanged(m_state);
    if (m_disabled == 0)
        emit currentRowChanged(m_current);
    else
        m_cursorMovedWhileDisabled = true;
    emit opened();
}

int Query::execute()
{
    close();
    return m_db.execute(m_sql);
}

void Query::requireOpen() const
{
    if (!isOpen())
        throw Error(
            QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(objectName()));
}

int Query::fieldIndex(const QString& field) const
{
    for (int c = 0; c < m_fields.size(); ++c) {
        if (m_fields[c].compare(field, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

int Query::requireField(const QString& field) const
{
    requireOpen();
    const int c = fieldIndex(field);
    if (c < 0)
        throw Error(QStringLiteral("%1: Field '%2' not found").arg(objectName(), field));
    return c;
}

bool Query::isSecretColumn(int column) const
{
    return m_secrets && CardSecrets::isProtected(m_table, m_fields[column]);
}

QVariant Query::fromStored(int column, const QVariant& stored, qint64 id, const QVariant& last4) const
{
    if (isSecretColumn(column))
        return m_secrets->shown(m_fields[column], stored, id, last4);
    return storedAs(m_kinds[column], stored);
}

// Turns a value given by code or typed by the user into the stored form (empty text in a
// non-text field is an empty value); nothing when it does not fit the field.
std::optional<QVariant> Query::toStored(int column, const QVariant& value) const
{
    if (value.isNull())
        return QVariant();
    const bool isText = value.typeId() == QMetaType::QString;
    const QString text = isText ? value.toString().trimmed() : QString();
    if (isText && text.isEmpty() && m_kinds[column] != FieldKind::Text)
        return QVariant();
    bool ok = true;
    switch (m_kinds[column]) {
    case FieldKind::Integer: {
        const int v = isText ? text.toInt(&ok) : value.toInt(&ok);
        return ok ? std::optional<QVariant>(v) : std::nullopt;
    }
    case FieldKind::Number: {
        const double v = isText ? text.toDouble(&ok) : value.toDouble(&ok);
        return ok ? std::optional<QVariant>(v) : std::nullopt;
    }
    case FieldKind::Bool:
        if (isText)
            return QVariant(text == u"1" || text.compare(u"true", Qt::CaseInsensitive) == 0);
        return QVariant(value.toBool());
    case FieldKind::Date: {
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().isValid() ? std::optional<QVariant>(value) : std::nullopt;
        const auto date = DateText::parse(text);
        return date ? std::optional<QVariant>(*date) : std::nullopt;
    }
    case FieldKind::Text:
        return value.toString();
    }
    return value;
}

bool Query::editingCurrent() const
{
    return m_state == State::Edit || m_state == State::Insert;
}

QVariant Query::currentValue(int column) const
{
    if (m_current < 0 || m_current >= int(m_order.size()))
        return {};
    if (editingCurrent())
        return m_editBuffer[size_t(column)];
    return m_rows.get(m_order[size_t(m_current)], column);
}

QVariant Query::value(const QString& field) const
{
    return currentValue(requireField(field));
}

int Query::intValue(const QString& field, int missing) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return missing;
    bool ok = false;
    const int result = v.toInt(&ok);
    return ok ? result : int(v.toDouble());
}

double Query::numberValue(const QString& field, double missing) const
{
    const QVariant v = value(field);
    return v.isNull() ? missing : v.toDouble();
}

QString Query::textValue(const QString& field) const
{
    const QVariant v = value(field);
    if (v.typeId() == QMetaType::QDate)
        return DateText::format(v.toDate());
    if (v.typeId() == QMetaType::Double)
        return numberText(v.toDouble());
    return v.toString();
}

bool Query::boolValue(const QString& field, bool missing) const
{
    const QVariant v = value(field);
    return v.isNull() ? missing : v.toBool();
}

QDate Query::dateValue(const QString& field) const
{
    const QVariant v = value(field);
    return v.typeId() == QMetaType::QDate ? v.toDate() : QDate();
}

QVariant Query::valueAt(int row, int column) const
{
    if (row < 0 || row >= int(m_order.size()) || column < 0 || column >= m_fields.size())
        return {};
    if (row == m_current && (m_state == State::Edit || m_state == State::Insert))
        return m_editBuffer[column];
    return m_rows.get(m_order[size_t(row)], column);
}

// -- cursor

void Query::setCurrent(int row, bool notify)
{
    if (row == m_current)
        return;
    m_current = row;
    if (!notify)
        return;
    if (m_disabled == 0)
        emit currentRowChanged(m_current);
    else
        m_cursorMovedWhileDisabled = true;
}

void Query::moveTo(int row)
{
    requireOpen();
    if (m_order.empty())
        return;
    row = std::clamp(row, 0, int(m_order.size()) - 1);
    if (row != m_current && (m_state == State::Edit || m_state == State::Insert))
        post();
    m_eof = m_bof = false;
    setCurrent(row);
}

void Query::first()
{
    requireOpen();
    moveTo(0);
    m_bof = true;
}

void Query::last()
{
    requireOpen();
    moveTo(int(m_order.size()) - 1);
    m_eof = true;
}

void Query::next()
{
    requireOpen();
    if (m_order.empty() || m_current >= int(m_order.size()) - 1) {
        m_eof = true;
        return;
    }
    moveTo(m_current + 1);
}

void Query::prior()
{
    requireOpen();
    if (m_order.empty() || m_current <= 0) {
        m_bof = true;
        return;
    }
    moveTo(m_current - 1);
}

bool Query::locate(const QString& field, const QVariant& value)
{
    const int c = requireField(field);
    const QVariant wanted = toStored(c, value).value_or(value);
    for (int pos = 0; pos < int(m_order.size()); ++pos) {
        const QVariant candidate = m_rows.get(m_order[size_t(pos)], c);
        if (compareValues(m_kinds[c], candidate, wanted) == 0 && candidate.isNull() == wanted.isNull()) {
            moveTo(pos);
            return true;
        }
    }
    return false;
}

// -- editing

void Query::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void Query::edit()
{
    requireOpen();
    if (m_state != State::Browse)
        return;
    if (m_order.empty()) { // typing into an empty list starts a new row
        append();
        return;
    }
    m_editBuffer = m_rows.row(m_order[size_t(m_current)]);
    m_changed.assign(m_fields.size(), false);
    setState(State::Edit);
}

void Query::append()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const int position = int(m_order.size());
    beginInsertRows({}, position, position);
    m_order.push_back(m_rows.appendRow(Row(m_fields.size())));
    endInsertRows();
    m_editBuffer = Row(m_fields.size());
    m_changed.assign(m_fields.size(), false);
    m_eof = m_bof = false;
    m_state = State::Insert;
    setCurrent(position);
    emit stateChanged(m_state);
}

void Query::insert()
{
    requireOpen();
    if (m_state != State::Browse)
        post();
    const int position = std::max(m_current, 0);
    beginInsertRows({}, position, position);
    m_order.insert(m_order.begin() + position, m_rows.appendRow(Row(m_fields.size())));
    endInsertRows();
    m_editBuffer = Row(m_fields.size());
    m_changed.assign(m_fields.size(), false);
    m_eof = m_bof = false;
    m_state = State::Insert;
    m_current = -1; // force the notification for the new row
    setCurrent(position);
    emit stateChanged(m_state);
}

void Query::setValue(const QString& field, const QVariant& value)
{
    const int c = requireField(field);
    if (m_state == State::Browse)
        edit();
    const auto stored = toStored(c, value);
    if (!stored)
        throw Error(QStringLiteral("'%1' is not a valid value for field '%2'").arg(value.toString(), field));
    m_editBuffer[c] = *stored;
    m_changed[c] = true;
    emit dataChanged(index(m_current, c), index(m_current, c));
}

std::optional<Query::Row> Query::storedRow(qint64 id)
{
    std::optional<Row> row;
    Statement read(m_db, QStringLiteral("SELECT * FROM %1 WHERE id=?").arg(m_table));
    read.bind(0, id);
    if (!read.step())
        return row;
    row.emplace(m_editBuffer);
    QVariant last4;
    for (int source = 0; source < read.columnCount(); ++source) {
        if (read.columnName(source).compare(u"c_last4", Qt::CaseInsensitive) == 0)
            last4 = read.value(source);
    }
    for (int source = 0; source < read.columnCount(); ++source) {
        const int c = fieldIndex(read.columnName(source));
        if (c >= 0)
            (*row)[size_t(c)] = fromStored(c, read.value(source), id, last4);
    }
    return row;
}

void Query::post(const std::function<void(qint64 id)>& beforeCommit)
{
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    const int idColumn = fieldIndex(QStringLiteral("id"));
    if (m_table.isEmpty() || idColumn < 0)
        throw Error(QStringLiteral("%1: 数据集不可修改").arg(objectName()));

    QStringList columns;
    QVariantList values;
    const int stored = m_order[size_t(m_current)];
    // With a step to run, the row and what the step writes are stored together or not at all;
    // a new card with a sealed value takes its id first, since the value is bound to it.
    std::optional<Transaction> transaction;
    qint64 id = m_state == State::Edit ? m_rows.get(stored, idColumn).toLongLong() : 0;
    bool sealsNewRow = false;
    for (int c = 0; c < m_fields.size(); ++c)
        sealsNewRow = sealsNewRow || (m_state == State::Insert && m_changed[c] && isSecretColumn(c));
    if (beforeCommit || sealsNewRow)
        transaction.emplace(m_db);
    if (sealsNewRow) {
        Statement next(m_db, QStringLiteral("SELECT coalesce(max(id), 0) + 1 FROM %1").arg(m_table));
        next.step();
        id = next.integer(0);
        columns << QStringLiteral("id");
        values << id;
    }
    for (int c = 0; c < m_fields.size(); ++c) {
        if (!m_changed[c] || c == idColumn)
            continue;
        columns << m_fields[c];
        const QVariant& v = m_editBuffer[c];
        if (isSecretColumn(c)) {
            values << m_secrets->toStore(m_fields[c], v, id);
            // Every save keeps the readable last four digits beside the number.
            if (m_fields[c].compare(u"c_no", Qt::CaseInsensitive) == 0 &&
                m_db.fieldKinds(m_table).contains(QStringLiteral("c_last4"))) {
                const QVariant last4 =
                    v.isNull() ? QVariant() : QVariant(CardSecrets::lastFour(v.toString()));
                const int last4Column = fieldIndex(QStringLiteral("c_last4"));
                if (last4Column >= 0)
                    m_editBuffer[size_t(last4Column)] = last4;
                if (last4Column < 0 || !m_changed[size_t(last4Column)]) {
                    columns << QStringLiteral("c_last4");
                    values << last4;
                }
            }
        } else if (v.typeId() == QMetaType::QDate)
            values << v.toDate().toString(Qt::ISODate);
        else if (v.typeId() == QMetaType::Bool)
            values << (v.toBool() ? 1 : 0);
        else
            values << v;
    }

    if (m_state == State::Edit) {
        if (!columns.isEmpty()) {
            QStringList sets;
            for (const QString& column : columns)
                sets << column + QStringLiteral("=?");
            values << id;
            m_db.executeSql(QStringLiteral("UPDATE %1 SET %2 WHERE id=?").arg(m_table, sets.join(u',')),
                            values);
        }
    } else {
        const QString sql = columns.isEmpty()
                                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(m_table)
                                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                      .arg(m_table, columns.join(u','),
                                           QStringList(columns.size(), QStringLiteral("?")).join(u','));
        m_db.executeSql(sql, values);
        id = m_db.lastInsertId();
    }
    if (beforeCommit)
        beforeCommit(id);
    // A new row is read back so defaults (tf = 0, ...) show as stored; so is a row the step wrote to.
    std::optional<Row> fresh;
    if (m_state == State::Insert || beforeCommit) {
        try {
            fresh = storedRow(id);
        } catch (const Error&) {
            if (transaction)
                throw; // nothing is kept
            // Saved already: the row shows what was typed.
        }
    }
    if (transaction)
        transaction->commit();

    if (fresh)
        m_rows.setRow(stored, *fresh);
    else
        m_rows.setRow(stored, m_editBuffer);
    if (!fresh && m_state == State::Insert)
        m_rows.set(stored, idColumn, id);
    m_editBuffer.clear();
    m_changed.clear();
    setState(State::Browse);
    emit dataChanged(index(m_current, 0), index(m_current, columnCount() - 1));
}

void Query::cancel()
{
    if (m_state == State::Edit) {
        m_editBuffer.clear();
        m_changed.clear();
        setState(State::Browse);
        emit dataChanged(index(m_current, 0), index(m_current, columnCount() - 1));
    } else if (m_state == State::Insert) {
        m_editBuffer.clear();
        m_changed.clear();
        m_state = State::Browse;
        removeRowAt(m_current);
        emit stateChanged(m_state);
    }
}

void Query::removeRowAt(int position)
{
    const int rowIndex = m_order[position];
    beginRemoveRows({}, position, position);
    m_order.erase(m_order.begin() + position);
    m_rows.removeRow(rowIndex);
    for (int& i : m_order) {
        if (i > rowIndex)
            --i;
    }
    endRemoveRows();
    const int next = m_order.empty() ? -1 : std::min(position, int(m_order.size()) - 1);
    m_current = -2; // the row at this position is a different one now
    m_eof = m_bof = m_order.empty();
    setCurrent(next);
}

void Query::remove()
{
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_current < 0)
        return;
    if (m_state == State::Edit)
        cancel();
    const int idColumn = fieldIndex(QStringLiteral("id"));
    if (m_table.isEmpty() || idColumn < 0)
        throw Error(QStringLiteral("%1: 数据集不可修改").arg(objectName()));
    m_db.executeSql(QStringLiteral("DELETE FROM %1 WHERE id=?").arg(m_table),
                    {m_rows.get(m_order[size_t(m_current)], idColumn)});
    removeRowAt(m_current);
}

void Query::refresh()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        post();
    const int idColumn = fieldIndex(QStringLiteral("id"));
    if (m_table.isEmpty() || idColumn < 0 || m_rows.empty())
        return;

    QHash<int, int> rowOfId;
    rowOfId.reserve(int(m_rows.size()));
    for (int i = 0; i < m_rows.size(); ++i)
        rowOfId.insert(m_rows.get(i, idColumn).toInt(), i);

    std::vector<int> sourceOf(m_fields.size());
    int idSource = -1;
    int last4Source = -1;
    std::vector<bool> seen(size_t(m_rows.size()), false);
    m_db.scan(
        QStringLiteral("SELECT * FROM %1").arg(m_table),
        [&](const QStringList& fields) {
            for (int c = 0; c < m_fields.size(); ++c)
                sourceOf[c] = int(fields.indexOf(m_fields[c]));
            idSource = int(fields.indexOf(QStringLiteral("id")));
            last4Source = int(fields.indexOf(QStringLiteral("c_last4")));
        },
        [&](std::vector<QVariant>& fresh) {
            const auto it = rowOfId.constFind(fresh[idSource].toInt());
            if (it == rowOfId.constEnd())
                return;
            seen[size_t(*it)] = true;
            for (int c = 0; c < m_fields.size(); ++c) {
                if (sourceOf[c] >= 0)
                    m_rows.set(*it, c,
                               fromStored(c, fresh[size_t(sourceOf[c])], fresh[idSource].toLongLong(),
                                          last4Source < 0 ? QVariant() : fresh[size_t(last4Source)]));
            }
        });
    // Rows deleted meanwhile leave the list; the rest keep their places.
    if (std::find(seen.begin(), seen.end(), false) != seen.end()) {
        const int currentRowIndex = m_current >= 0 ? m_order[m_current] : -1;
        std::vector<int> newIndex(size_t(m_rows.size()), -1);
        int kept = 0;
        for (int i = 0; i < m_rows.size(); ++i) {
            if (seen[size_t(i)])
                newIndex[size_t(i)] = kept++;
        }
        beginResetModel();
        m_rows.keepRows(seen);
        std::vector<int> order;
        int newCurrent = -1;
        for (int pos = 0; pos < int(m_order.size()); ++pos) {
            if (m_order[pos] == currentRowIndex ||
                (newCurrent < 0 && pos >= m_current && newIndex[m_order[pos]] >= 0))
                newCurrent = int(order.size());
            if (newIndex[m_order[pos]] >= 0)
                order.push_back(newIndex[m_order[pos]]);
        }
        m_order = std::move(order);
        endResetModel();
        m_eof = m_bof = m_order.empty();
        m_current = -2;
        setCurrent(m_order.empty() ? -1 : std::clamp(newCurrent, 0, int(m_order.size()) - 1));
        return;
    }
    if (!m_sort.isEmpty()) {
        const int currentRowIndex = m_current >= 0 ? m_order[m_current] : -1;
        beginResetModel();
        applySort();
        endResetModel();
        if (currentRowIndex >= 0) {
            const int pos = int(std::find(m_order.begin(), m_order.end(), currentRowIndex) - m_order.begin());
            m_current = -2;
            setCurrent(pos);
        }
    } else if (!m_order.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void Query::reloadSecretFields()
{
    const int idColumn = fieldIndex(QStringLiteral("id"));
    if (!isOpen() || !m_secrets || idColumn < 0 || m_rows.empty())
        return;
    std::vector<int> columns;
    for (int c = 0; c < m_fields.size(); ++c) {
        if (isSecretColumn(c))
            columns.push_back(c);
    }
    if (columns.empty())
        return;
    QHash<qint64, int> rowOfId;
    rowOfId.reserve(int(m_rows.size()));
    for (int i = 0; i < m_rows.size(); ++i)
        rowOfId.insert(m_rows.get(i, idColumn).toLongLong(), i);
    QStringList names;
    for (const int c : columns)
        names << m_fields[c];
    const bool hasLast4 = m_db.fieldKinds(m_table).contains(QStringLiteral("c_last4"));
    m_db.scan(
        QStringLiteral("SELECT id, %1, %2 FROM %3")
            .arg(hasLast4 ? QStringLiteral("c_last4") : QStringLiteral("NULL"), names.join(u','), m_table),
        [](const QStringList&) {},
        [&](std::vector<QVariant>& fresh) {
            const qint64 id = fresh[0].toLongLong();
            const auto it = rowOfId.constFind(id);
            if (it == rowOfId.constEnd())
                return;
            for (size_t i = 0; i < columns.size(); ++i)
                m_rows.set(*it, columns[i], fromStored(columns[i], fresh[i + 2], id, fresh[1]));
        });
    if (!m_order.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

// -- sort

void Query::applySort()
{
    m_order.resize(size_t(m_rows.size()));
    for (size_t i = 0; i < m_order.size(); ++i)
        m_order[i] = int(i);
    if (m_sort.isEmpty())
        return;
    QString field = m_sort.trimmed();
    bool descending = false;
    if (field.endsWith(QStringLiteral(" DESC"), Qt::CaseInsensitive)) {
        descending = true;
        field.chop(5);
        field = field.trimmed();
    }
    const int c = fieldIndex(field);
    if (c < 0)
        throw Error(QStringLiteral("%1: Field '%2' not found").arg(objectName(), field));
    const FieldKind kind = m_kinds[c];
    const bool numeric = kind != FieldKind::Text; // dates by their day number
    std::vector<SortKey> keys(size_t(m_rows.size()));
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.isNull(i, c))
            continue;
        SortKey& key = keys[size_t(i)];
        key.null = false;
        if (numeric)
            key.number = m_rows.number(i, c);
        else
            key.text = m_rows.text(i, c);
    }
    auto less = [&](int a, int b) {
        const SortKey& x = keys[a];
        const SortKey& y = keys[b];
        if (x.null || y.null)
            return x.null && !y.null; // empty values first
        if (numeric)
            return x.number < y.number;
        return QString::compare(x.text, y.text) < 0;
    };
    if (descending)
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return less(b, a); });
    else
        std::stable_sort(m_order.begin(), m_order.end(), less);
}

void Query::setSort(const QString& sort)
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        post();
    const int currentRowIndex = m_current >= 0 ? m_order[m_current] : -1;
    const QString previous = m_sort;
    m_sort = sort;
    beginResetModel();
    try {
        applySort();
    } catch (const Error&) {
        m_sort = previous;
        applySort();
        endResetModel();
        throw;
    }
    endResetModel();
    if (currentRowIndex >= 0) {
        const int pos = int(std::find(m_order.begin(), m_order.end(), currentRowIndex) - m_order.begin());
        m_current = -2;
        setCurrent(pos);
    }
}

// -- bound controls

void Query::disableControls()
{
    ++m_disabled;
}

void Query::enableControls()
{
    if (m_disabled == 0)
        return;
    if (--m_disabled == 0 && m_cursorMovedWhileDisabled) {
        m_cursorMovedWhileDisabled = false;
        emit currentRowChanged(m_current);
    }
}

// -- model

int Query::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int Query::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant Query::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const FieldKind kind = m_kinds[index.column()];
    const QVariant v = valueAt(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
        if (kind == FieldKind::Bool)
            return {};
        [[fallthrough]];
    case Qt::EditRole:
        if (v.typeId() == QMetaType::QDate)
            return DateText::format(v.toDate());
        if (v.typeId() == QMetaType::Double)
            return numberText(v.toDouble());
        return v;
    case Qt::CheckStateRole:
        if (kind == FieldKind::Bool)
            return v.toBool() ? Qt::Checked : Qt::Unchecked;
        return {};
    case RawValueRole:
        return v;
    default:
        return {};
    }
}

bool Query::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) ||
        (role != Qt::EditRole && role != Qt::CheckStateRole))
        return false;
    const auto stored = toStored(index.column(), value);
    if (stored && *stored == valueAt(index.row(), index.column()))
        return true; // unchanged: do not start editing
    try {
        if (index.row() != m_current)
            moveTo(index.row());
        const QVariant v = role == Qt::CheckStateRole ? QVariant(value.toInt() == Qt::Checked) : value;
        setValue(m_fields[index.column()], v);
        return true;
    } catch (const Error&) {
        return false;
    }
}

QVariant Query::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal && section >= 0 && section < m_fields.size())
        return m_fields[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags Query::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
    if (m_kinds[index.column()] == FieldKind::Bool)
        f |= Qt::ItemIsUserCheckable;
    return f;
}
