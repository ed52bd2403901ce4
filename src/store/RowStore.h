#pragma once

#include "store/Database.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <deque>
#include <memory>
#include <vector>

// The rows of a data set in 16 bytes a cell: numbers, flags and dates in place, texts in a
// pool beside them. A list of 100,000 cards costs about half what QVariant cells would.
// Values go in and come out typed: qlonglong, double, bool, QDate, QString, or null.
class RowStore
{
public:
    explicit RowStore(int columns = 0) : m_columns(columns) {}

    int columns() const { return m_columns; }
    int size() const { return m_rows; }
    bool empty() const { return m_rows == 0; }
    void clear();

    QVariant get(int row, int column) const;
    void set(int row, int column, const QVariant& value);
    bool isNull(int row, int column) const { return cell(row, column).type == Null; }
    double number(int row, int column) const;       // numbers, flags and dates (Julian day)
    const QString& text(int row, int column) const; // texts; empty for other kinds

    std::vector<QVariant> row(int row) const;
    void setRow(int row, const std::vector<QVariant>& values);
    int appendRow(const std::vector<QVariant>& values); // returns the new row's index
    // Appends a row straight from SQLite: flags as flags, ISO dates as dates, by field kind.
    void appendRaw(const RawRow& row, const std::vector<FieldKind>& kinds);
    void removeRow(int row);
    // Keeps the rows whose flag is set, in their order; the text pool is compacted.
    void keepRows(const std::vector<bool>& keep);

private:
    enum Type : quint8 { Null, Integer, Real, Flag, Date, Text };
    struct Cell
    {
        union {
            qint64 integer;
            double real;
        };
        Type type = Null;
        Cell() : integer(0) {}
    };
    // Cells live in blocks of kBlockRows rows, so a growing list never copies what it holds
    // (and never needs old and new storage at once).
    static constexpr int kBlockRows = 1024;
    const Cell& cell(int row, int column) const
    {
        return m_blocks[size_t(row / kBlockRows)]
                       [size_t(row % kBlockRows) * size_t(m_columns) + size_t(column)];
    }
    Cell& cell(int row, int column)
    {
        return m_blocks[size_t(row / kBlockRows)]
                       [size_t(row % kBlockRows) * size_t(m_columns) + size_t(column)];
    }
    Cell toCell(const QVariant& value);
    Cell textCell(QString text);
    int newRow();

    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::unique_ptr<Cell[]>> m_blocks;
    std::deque<QString> m_texts;
};
