#pragma once

#include "store/Database.h"
#include "store/RowStore.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

class CardSecrets;

// A named data set: a statement, a client-side snapshot of its rows with a cursor, and
// editing of those rows. Grids and editors bind to it as a table model.
//
// Errors throw Error; a handler that calls into a Query catches them at its top.
class Query : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class State { Closed, Browse, Edit, Insert };
    // The stored value of a cell (dates as QDate, flags as bool), for sorting and delegates.
    static constexpr int RawValueRole = Qt::UserRole + 1;

    Query(Database& db, const QString& name, QObject* parent = nullptr);

    // -- statement and opening
    QString sql() const { return m_sql; }
    // Always closes, even for the same text. The same statement again keeps the values bound to
    // its placeholders; another one drops them.
    void setSql(const QString& statement);
    void setSql(const QString& statement, const QVariantList& values);
    const QVariantList& values() const { return m_values; }
    void open(); // selects and keeps the snapshot; first row current
    void close();
    bool isOpen() const { return m_state != State::Closed; }
    State state() const { return m_state; }
    int execute(); // runs the statement as a command (query stays closed); rows changed

    // -- cursor (positions are in the current sort order)
    int recordCount() const { return int(m_order.size()); }
    bool isEmpty() const { return m_order.empty(); }
    int currentRow() const { return m_current; } // -1 when empty or closed
    bool eof() const { return m_eof || m_order.empty(); }
    bool bof() const { return m_bof || m_order.empty(); }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row); // saves a pending edit first, as every move does
    bool locate(const QString& field, const QVariant& value);

    // -- fields of the current row; a missing value reads as the given default
    QStringList fieldNames() const { return m_fields; }
    int fieldIndex(const QString& field) const; // -1 when unknown
    bool hasField(const QString& field) const { return fieldIndex(field) >= 0; }
    QVariant value(const QString& field) const; // null when empty; throws for unknown fields
    int intValue(const QString& field, int missing = 0) const;
    double numberValue(const QString& field, double missing = 0.0) const;
    QString textValue(const QString& field) const;
    bool boolValue(const QString& field, bool missing = false) const;
    QDate dateValue(const QString& field) const; // invalid when empty
    QVariant valueAt(int row, int column) const; // stored value by position

    // -- editing: typing edits, moving saves, cancel discards
    void edit();
    void append();                                              // new empty row at the end
    void insert();                                              // new empty row at the current position
    void setValue(const QString& field, const QVariant& value); // starts editing
    // Saves the row being edited or inserted. A `beforeCommit` step runs with the row's id once the
    // row is written, in the same transaction: when it throws, nothing of the save is kept and the
    // row stays in edit. The row is then read back with what the step stored.
    void post(const std::function<void(qint64 id)>& beforeCommit = {});
    void cancel();
    void remove(); // deletes the current row from its table

    // Re-reads the held rows from the database; keeps rows, sort and current row.
    void refresh();

    // Client-side sort of the snapshot: "field" or "field DESC"; empty = statement order.
    void setSort(const QString& sort);
    QString sort() const { return m_sort; }
    using QAbstractTableModel::sort; // the model-level sort(column, order) stays reachable

    // Suspends cursor notifications to bound controls; nests.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disabled > 0; }

    // Card numbers, check codes and validity are shown opened and stored sealed through
    // `secrets` (none: as stored).
    void setSecrets(CardSecrets* secrets) { m_secrets = secrets; }
    // Re-reads only those fields of the held rows, after the key was opened or dropped; a row
    // being edited keeps what is in its edit.
    void reloadSecretFields();

    // -- model
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void currentRowChanged(int row); // not sent while controls are disabled
    void stateChanged(Query::State state);
    void opened();

private:
    using Row = std::vector<QVariant>;
    void requireOpen() const;
    int requireField(const QString& field) const;
    bool editingCurrent() const;
    QVariant currentValue(int column) const;
    void setCurrent(int row, bool notify = true);
    void setState(State state);
    void applySort();
    // `id` and `last4`: the card a protected value belongs to, and its readable last four.
    QVariant fromStored(int column, const QVariant& stored, qint64 id = 0, const QVariant& last4 = {}) const;
    std::optional<QVariant> toStored(int column, const QVariant& value) const;
    void removeRowAt(int position);
    std::optional<Row> storedRow(qint64 id);
    bool isSecretColumn(int column) const;

    Database& m_db;
    QString m_sql;
    QString m_sort;
    QString m_table;
    QStringList m_fields;
    std::vector<FieldKind> m_kinds;
    RowStore m_rows;          // snapshot, statement order
    std::vector<int> m_order; // view position -> index into m_rows
    int m_current = -1;       // view position
    bool m_eof = true;
    bool m_bof = true;
    State m_state = State::Closed;
    Row m_editBuffer; // values being edited, copied back on post
    std::vector<bool> m_changed;
    int m_disabled = 0;
    bool m_cursorMovedWhileDisabled = false;
    CardSecrets* m_secrets = nullptr;
    QVariantList m_values; // bound to the placeholders of m_sql
};
