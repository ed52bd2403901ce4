#include "views/QueryViewBinder.h"

#include "store/Query.h"
#include "ui/ShowErrors.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QTimer>

QueryViewBinder::QueryViewBinder(QAbstractItemView* view, Query& query, QObject* parent)
    : QObject(parent), m_view(view), m_query(query)
{
    connect(&m_query, &Query::currentRowChanged, this, &QueryViewBinder::showCurrent);
    QAbstractItemModel* model = m_view->model();
    // A reset clears the view's selection; inserts and removals may move the cursor.
    connect(model, &QAbstractItemModel::modelReset, this, &QueryViewBinder::showCurrent);
    connect(model, &QAbstractItemModel::layoutChanged, this, &QueryViewBinder::showCurrent);
    connect(model, &QAbstractItemModel::rowsInserted, this, &QueryViewBinder::showCurrent);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &QueryViewBinder::showCurrent);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { viewRowChanged(current.isValid() ? current.row() : -1); });
    showCurrent();
}

void QueryViewBinder::showCurrent()
{
    if (m_syncing)
        return;
    m_syncing = true;
    QItemSelectionModel* selection = m_view->selectionModel();
    const int row = m_query.isOpen() ? m_query.currentRow() : -1;
    QAbstractItemModel* model = m_view->model();
    if (row < 0 || row >= model->rowCount()) {
        selection->clear();
    } else {
        const QModelIndex current = selection->currentIndex();
        const int column = current.isValid() ? current.column() : 0;
        const QModelIndex index = model->index(row, std::max(0, std::min(column, model->columnCount() - 1)));
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_view->scrollTo(index);
    }
    m_syncing = false;
}

void QueryViewBinder::viewRowChanged(int row)
{
    if (m_syncing || row < 0 || !m_query.isOpen() || row == m_query.currentRow())
        return;
    bool moved = false;
    ui::showErrors(m_view, [&] {
        if (!m_beforeMove || m_beforeMove()) {
            m_query.moveTo(row);
            moved = true;
        }
    });
    if (!moved) // back to the row the query stayed on, once the view has finished its own move
        QTimer::singleShot(0, this, &QueryViewBinder::showCurrent);
}
