#include "store/RowStore.h"

namespace {
const QString kNoText;
}

void RowStore::clear()
{
    m_blocks.clear();
    m_texts.clear();
    m_rows = 0;
}

RowStore::Cell RowStore::toCell(const QVariant& value)
{
    Cell c;
    if (value.isNull())
        return c;
    switch (value.typeId()) {
    case QMetaType::Bool:
        c.type = Flag;
        c.integer = value.toBool() ? 1 : 0;
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        c.type = Integer;
        c.integer = value.toLongLong();
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        c.type = Real;
        c.real = value.toDouble();
        break;
    case QMetaType::QDate:
        if (!value.toDate().isValid())
            return c;
        c.type = Date;
        c.integer = value.toDate().toJulianDay();
        break;
    default:
        return textCell(value.toString());
    }
    return c;
}

RowStore::Cell RowStore::textCell(QString text)
{
    Cell c;
    c.type = Text;
    c.integer = qint64(m_texts.size());
    m_texts.push_back(std::move(text));
    return c;
}

namespace {
// "2013-09-05" as stored, as a Julian day; -1 for anything else.
qint64 isoJulianDay(QByteArrayView text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return -1;
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            parts[p] = parts[p] * 10 + (text[i] - '0');
        }
    }
    const QDate date(parts[0], parts[1], parts[2]);
    return date.isValid() ? date.toJulianDay() : -1;
}
} // namespace

int RowStore::newRow()
{
    const int index = m_rows;
    if (index % kBlockRows == 0)
        m_blocks.push_back(std::make_unique<Cell[]>(size_t(kBlockRows) * size_t(m_columns)));
    ++m_rows;
    return index;
}

void RowStore::appendRaw(const RawRow& row, const std::vector<FieldKind>& kinds)
{
    const int index = newRow();
    for (int c = 0; c < m_columns; ++c) {
        Cell& target = cell(index, c);
        target = Cell();
        switch (row.type(c)) {
        case RawRow::Null:
            break;
        case RawRow::Integer:
            target.type = kinds[size_t(c)] == FieldKind::Bool ? Flag : Integer;
            target.integer = row.integer(c);
            if (target.type == Flag)
                target.integer = target.integer != 0;
            break;
        case RawRow::Real:
            if (kinds[size_t(c)] == FieldKind::Bool) {
                target.type = Flag;
                target.integer = row.real(c) != 0;
            } else {
                target.type = Real;
                target.real = row.real(c);
            }
            break;
        case RawRow::Text:
        case RawRow::Blob: {
            const QByteArrayView text = row.utf8(c);
            if (kinds[size_t(c)] == FieldKind::Date) {
                const qint64 day = isoJulianDay(text);
                if (day >= 0) {
                    target.type = Date;
                    target.integer = day;
                    break;
                }
            }
            target = textCell(QString::fromUtf8(text));
            break;
        }
        }
    }
}

QVariant RowStore::get(int row, int column) const
{
    const Cell& c = cell(row, column);
    switch (c.type) {
    case Null:
        return {};
    case Integer:
        return qlonglong(c.integer);
    case Real:
        return c.real;
    case Flag:
        return c.integer != 0;
    case Date:
        return QDate::fromJulianDay(c.integer);
    case Text:
        return m_texts[size_t(c.integer)];
    }
    return {};
}

void RowStore::set(int row, int column, const QVariant& value)
{
    Cell& target = cell(row, column);
    // An unchanged text keeps its place in the pool; refreshes do not grow it.
    if (target.type == Text && value.typeId() == QMetaType::QString &&
        m_texts[size_t(target.integer)] == value.toString())
        return;
    const Cell c = toCell(value);
    cell(row, column) = c;
}

double RowStore::number(int row, int column) const
{
    const Cell& c = cell(row, column);
    return c.type == Real ? c.real : double(c.integer);
}

const QString& RowStore::text(int row, int column) const
{
    const Cell& c = cell(row, column);
    return c.type == Text ? m_texts[size_t(c.integer)] : kNoText;
}

std::vector<QVariant> RowStore::row(int row) const
{
    std::vector<QVariant> values(static_cast<size_t>(m_columns));
    for (int c = 0; c < m_columns; ++c)
        values[size_t(c)] = get(row, c);
    return values;
}

void RowStore::setRow(int row, const std::vector<QVariant>& values)
{
    for (int c = 0; c < m_columns; ++c)
        set(row, c, values[size_t(c)]);
}

int RowStore::appendRow(const std::vector<QVariant>& values)
{
    const int index = newRow();
    for (int c = 0; c < m_columns; ++c)
        cell(index, c) = c < int(values.size()) ? toCell(values[size_t(c)]) : Cell();
    return index;
}

void RowStore::removeRow(int row)
{
    for (int r = row; r + 1 < m_rows; ++r) {
        for (int c = 0; c < m_columns; ++c)
            cell(r, c) = cell(r + 1, c);
    }
    --m_rows;
    if (m_rows % kBlockRows == 0 && !m_blocks.empty() && size_t(m_rows / kBlockRows) < m_blocks.size())
        m_blocks.pop_back();
}

void RowStore::keepRows(const std::vector<bool>& keep)
{
    RowStore kept(m_columns);
    for (int r = 0; r < size(); ++r) {
        if (keep[size_t(r)])
            kept.appendRow(row(r));
    }
    *this = std::move(kept);
}
