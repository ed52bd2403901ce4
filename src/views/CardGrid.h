#pragma once

#include "views/CardRules.h"

#include <QHeaderView>
#include <QWidget>
#include <functional>

class CardGridModel;
class Query;
class QTableView;
class QueryViewBinder;

// Column titles drawn in their colours and fonts, with a sort marker per column.
class SortMarkerHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit SortMarkerHeader(const SortMarkers& markers, QWidget* parent = nullptr);
    Qt::KeyboardModifiers lastClickModifiers() const { return m_modifiers; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const SortMarkers& m_markers;
    Qt::KeyboardModifiers m_modifiers;
};

// The footer row under the grid, its cells lined up with the grid's columns.
class GridFooter : public QWidget
{
    Q_OBJECT
public:
    GridFooter(QTableView* table, CardGridModel* model, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTableView* m_table;
    CardGridModel* m_model;
};

// The card grid: the card list in 19 read-only columns with row shading, title-click
// sorting and the footer; its current row is the card list's current card.
class CardGrid : public QWidget
{
    Q_OBJECT
public:
    explicit CardGrid(QWidget* parent = nullptr);

    void setQuery(Query& query);
    void setBeforeMove(std::function<bool()> check);

    QTableView* table() const { return m_table; }
    CardGridModel* model() const { return m_model; }
    GridFooter* footer() const { return m_footer; }
    const SortMarkers& markers() const { return m_markers; }

    // A click on the title of `column` (Ctrl held or not): sorts the card list.
    void titleClicked(int column, bool ctrl);

    // Width of a column: the given width, widened where the font in use needs more room for the
    // column's widest value or its title.
    int fittedWidth(int column) const;

private:
    void fitColumns();

    QTableView* m_table = nullptr;
    CardGridModel* m_model = nullptr;
    SortMarkerHeader* m_header = nullptr;
    GridFooter* m_footer = nullptr;
    QueryViewBinder* m_binder = nullptr;
    SortMarkers m_markers;
    Query* m_query = nullptr;
    QString m_sort; // the sort the title clicks chose; kept through every reopen
    std::function<bool()> m_beforeMove;
};
