#pragma once

#include <QObject>
#include <functional>

class QAbstractItemView;
class Query;

// Keeps a view's current row and a Query's cursor in step, both ways, so the current record
// means the same row everywhere. The view's model must show the query's rows one to one.
class QueryViewBinder : public QObject
{
    Q_OBJECT
public:
    QueryViewBinder(QAbstractItemView* view, Query& query, QObject* parent = nullptr);

    // Asked before the user moves to another row (e.g. to save an editor's pending card);
    // returning false keeps the current row.
    void setBeforeMove(std::function<bool()> check) { m_beforeMove = std::move(check); }

    // Selects the query's current row in the view.
    void showCurrent();

private:
    void viewRowChanged(int row);

    QAbstractItemView* m_view;
    Query& m_query;
    std::function<bool()> m_beforeMove;
    bool m_syncing = false;
};
