#include "views/CardGrid.h"

#include "store/Error.h"
#include "store/Query.h"
#include "ui/ShowErrors.h"
#include "views/CardGridModel.h"
#include "views/QueryViewBinder.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Draws a flag as a centred check box.
class CentredCheckDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QVariant check = index.data(Qt::CheckStateRole);
        opt.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        if (!check.isValid())
            return;
        QStyleOptionViewItem indicator(opt);
        indicator.state &= ~QStyle::State_HasFocus;
        indicator.state |= check.toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
        // On a shaded row the box is drawn light with dark ink, whatever the desktop's theme: a
        // dark empty box on pink would read as ticked.
        if (index.data(Qt::BackgroundRole).isValid()) {
            const QColor ink = index.data(Qt::ForegroundRole).value<QColor>();
            indicator.palette.setColor(QPalette::Base, Qt::white);
            indicator.palette.setColor(QPalette::Window, Qt::white);
            indicator.palette.setColor(QPalette::Text, ink);
            indicator.palette.setColor(QPalette::WindowText, ink);
        }
        const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &opt, widget);
        const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &opt, widget);
        indicator.rect = QRect(0, 0, w, h);
        indicator.rect.moveCenter(opt.rect.center());
        style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &indicator, painter, widget);
    }
};

} // namespace

// -- header

SortMarkerHeader::SortMarkerHeader(const SortMarkers& markers, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_markers(markers)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setDefaultAlignment(Qt::AlignCenter);
}

void SortMarkerHeader::mousePressEvent(QMouseEvent* event)
{
    m_modifiers = event->modifiers();
    QHeaderView::mousePressEvent(event);
}

void SortMarkerHeader::mouseReleaseEvent(QMouseEvent* event)
{
    m_modifiers = event->modifiers();
    QHeaderView::mouseReleaseEvent(event);
}

void SortMarkerHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid() || !model())
        return;
    painter->save();
    const QVariant background = model()->headerData(logicalIndex, orientation(), Qt::BackgroundRole);
    painter->fillRect(rect, background.isValid() ? background.value<QColor>() : palette().button().color());
    // Raised 3-D cell: light top-left, dark bottom-right.
    painter->setPen(QColor(255, 255, 255));
    painter->drawLine(rect.topLeft(), rect.topRight());
    painter->drawLine(rect.topLeft(), rect.bottomLeft());
    painter->setPen(QColor(128, 128, 128));
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(rect.topRight(), rect.bottomRight());

    const QVariant font = model()->headerData(logicalIndex, orientation(), Qt::FontRole);
    if (font.isValid())
        painter->setFont(font.value<QFont>());
    // A title colour comes with its text colour; otherwise the header's own pair.
    const QVariant foreground = model()->headerData(logicalIndex, orientation(), Qt::ForegroundRole);
    painter->setPen(background.isValid() && foreground.isValid() ? foreground.value<QColor>()
                                                                 : palette().buttonText().color());
    const QString title = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    QRect textRect = rect.adjusted(2, 1, -2, -1);

    const SortMarkers::Marker marker = m_markers.marker(logicalIndex);
    if (marker != SortMarkers::Marker::None) {
        const int size = 7;
        const QPointF centre(rect.right() - size, rect.center().y());
        QPainterPath triangle;
        if (marker == SortMarkers::Marker::Down) {
            triangle.moveTo(centre + QPointF(-size / 2.0, -size / 4.0));
            triangle.lineTo(centre + QPointF(size / 2.0, -size / 4.0));
            triangle.lineTo(centre + QPointF(0, size / 2.0));
        } else {
            triangle.moveTo(centre + QPointF(-size / 2.0, size / 4.0));
            triangle.lineTo(centre + QPointF(size / 2.0, size / 4.0));
            triangle.lineTo(centre + QPointF(0, -size / 2.0));
        }
        triangle.closeSubpath();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(triangle, QColor(64, 64, 64));
        textRect.setRight(textRect.right() - size - 2);
    }
    painter->drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap, title);
    painter->restore();
}

// -- footer

GridFooter::GridFooter(QTableView* table, CardGridModel* model, QWidget* parent)
    : QWidget(parent), m_table(table), m_model(model)
{
    setObjectName(QStringLiteral("DBGridEh1Footer"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    auto repaint = [this] { update(); };
    connect(m_model, &CardGridModel::footerChanged, this, repaint);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, repaint);
    connect(m_table->horizontalHeader(), &QHeaderView::geometriesChanged, this, repaint);
    connect(m_table->horizontalScrollBar(), &QScrollBar::valueChanged, this, repaint);
}

QSize GridFooter::sizeHint() const
{
    return {100, fontMetrics().height() + 8};
}

void GridFooter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QHeaderView* header = m_table->horizontalHeader();
    const int left = m_table->frameWidth() + m_table->verticalHeader()->width();
    painter.setPen(QColor(160, 160, 160));
    painter.drawLine(0, 0, width(), 0);
    painter.drawLine(0, height() - 1, width(), height() - 1);
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (header->isSectionHidden(column))
            continue;
        const QRect cell(left + header->sectionViewportPosition(column), 0, header->sectionSize(column),
                         height());
        if (cell.right() < left || cell.left() > width())
            continue;
        painter.setPen(QColor(160, 160, 160));
        painter.drawLine(cell.topRight(), cell.bottomRight());
        const QString text = m_model->footerText(column);
        if (!text.isEmpty()) {
            painter.setPen(palette().text().color()); // on the Base background
            painter.drawText(cell.adjusted(2, 0, -2, 0), Qt::AlignCenter, text);
        }
    }
}

// -- grid

CardGrid::CardGrid(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_model = new CardGridModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("cardGrid"));
    m_table->setAccessibleName(QStringLiteral("卡片列表"));
    m_header = new SortMarkerHeader(m_markers, m_table);
    m_table->setHorizontalHeader(m_header);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setItemDelegateForColumn(6, new CentredCheckDelegate(m_table));
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    // Tab and Shift+Tab move on to the next control, not from cell to cell: the grid is last in
    // the tab order and must not keep the keyboard; the arrows move the cursor.
    m_table->setTabKeyNavigation(false);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setDefaultSectionSize(20);
    m_table->verticalHeader()->setFixedWidth(12); // the indicator column
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setMinimumHeight(36); // room for the two-line title
    QFont cellFont = m_table->font();
    cellFont.setPixelSize(13);
    m_table->setFont(cellFont);
    fitColumns();
    connect(m_header, &QHeaderView::sectionClicked, this, [this](int column) {
        titleClicked(column, m_header->lastClickModifiers().testFlag(Qt::ControlModifier));
    });

    m_footer = new GridFooter(m_table, m_model, this);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_footer);
}

void CardGrid::setQuery(Query& query)
{
    m_query = &query;
    m_model->setSourceModel(&query);
    fitColumns();
    m_binder = new QueryViewBinder(m_table, query, this);
    // A reopened list comes in its statement's order: the chosen sort is put back, so the list
    // always matches the title's marker; the first listed card becomes current as after any reopen.
    connect(&query, &Query::opened, this, [this] {
        if (m_sort.isEmpty())
            return;
        try {
            m_query->setSort(m_sort);
            m_query->first();
        } catch (const Error&) { // a statement without that field: no sort, no marker
            m_sort.clear();
            m_markers.clear();
            m_header->viewport()->update();
        }
    });
    if (m_beforeMove)
        m_binder->setBeforeMove(m_beforeMove);
}

int CardGrid::fittedWidth(int column) const
{
    const int given = CardGridModel::defaultWidth(column) > 0 ? CardGridModel::defaultWidth(column) : 72;
    const QString widest = CardGridModel::widestText(column);
    if (widest.isEmpty())
        return given;
    // Cells: the model's cell font, the item view's text margins on both sides, and a little air.
    const QVariant cellFont = m_model->index(0, column).data(Qt::FontRole);
    QFont cell = m_table->font();
    if (cellFont.isValid())
        cell = cellFont.value<QFont>();
    const int textMargin = m_table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_table) + 1;
    const int cellNeed = QFontMetrics(cell).horizontalAdvance(widest) + 2 * textMargin + 8;
    // Title: its own font, room for the sort marker.
    const QVariant titleFont = m_model->headerData(column, Qt::Horizontal, Qt::FontRole);
    const QFontMetrics title(titleFont.isValid() ? titleFont.value<QFont>() : m_header->font());
    int titleNeed = 0;
    for (const QString& line : m_model->headerData(column, Qt::Horizontal).toString().split(u'\n'))
        titleNeed = std::max(titleNeed, title.horizontalAdvance(line));
    titleNeed += 4 + 9 + 4;
    return std::max({given, cellNeed, titleNeed});
}

void CardGrid::fitColumns()
{
    for (int column = 0; column < m_model->columnCount(); ++column)
        m_header->resizeSection(column, fittedWidth(column));
}

void CardGrid::setBeforeMove(std::function<bool()> check)
{
    m_beforeMove = std::move(check);
    if (m_binder)
        m_binder->setBeforeMove(m_beforeMove);
}

void CardGrid::titleClicked(int column, bool ctrl)
{
    if (!m_query || !CardGridModel::titleSorts(column))
        return;
    ui::showErrors(this, [&] {
        SortMarkers next = m_markers;
        const QString sort = next.click(column, m_model->columns().at(column).field, ctrl);
        if (m_beforeMove && !m_beforeMove())
            return;
        m_query->setSort(sort);
        m_sort = sort;
        m_markers = next;
        m_header->viewport()->update();
    });
}
