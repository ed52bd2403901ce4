#include "views/RecordNavigator.h"

#include "store/Query.h"
#include "ui/Contrast.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace {
struct ButtonLook
{
    const char16_t* name;
    const char16_t* hint;
    const char* themeIcon; // freedesktop icon name
};

constexpr ButtonLook kLooks[] = {
    {u"nbFirst", u"首条", "go-first"},       {u"nbPrior", u"上一条", "go-previous"},
    {u"nbNext", u"下一条", "go-next"},       {u"nbLast", u"尾条", "go-last"},
    {u"nbInsert", u"增加", "list-add"},      {u"nbDelete", u"删除", "list-remove"},
    {u"nbEdit", u"编辑", "document-edit"},   {u"nbPost", u"保存", "document-save"},
    {u"nbCancel", u"取消", "dialog-cancel"}, {u"nbRefresh", u"刷新", "view-refresh"},
};

constexpr int kIconSize = 20;

// Our own drawing of a button's picture, on a 20 by 20 grid, for themes that lack the icon.
void drawGlyph(QPainter& p, RecordNavigator::Button which)
{
    using B = RecordNavigator::Button;
    // Dark blue, lightened on a dark desktop until the picture stands out (3:1 for graphics).
    const QColor ink =
        Contrast::readableOn(QColor(40, 70, 120), QGuiApplication::palette().color(QPalette::Window), 3.0);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto triangle = [&](double tipX, double baseX) {
        QPainterPath path;
        path.moveTo(baseX, 4);
        path.lineTo(tipX, 10);
        path.lineTo(baseX, 16);
        path.closeSubpath();
        p.drawPath(path);
    };
    QPen line(ink, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (which) {
    case B::First:
        p.drawRect(QRectF(4, 4, 2.4, 12));
        triangle(7, 15);
        break;
    case B::Prior:
        triangle(5, 14);
        break;
    case B::Next:
        triangle(15, 6);
        break;
    case B::Last:
        triangle(13, 5);
        p.drawRect(QRectF(13.6, 4, 2.4, 12));
        break;
    case B::Insert:
        p.setBrush(QColor(30, 130, 60));
        p.drawRect(QRectF(8.7, 3, 2.6, 14));
        p.drawRect(QRectF(3, 8.7, 14, 2.6));
        break;
    case B::Delete:
        p.setBrush(QColor(190, 40, 40));
        p.drawRect(QRectF(3, 8.7, 14, 2.6));
        break;
    case B::Edit: { // a pencil
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(5, 15), QPointF(14, 6));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        QPainterPath tip;
        tip.moveTo(3, 17);
        tip.lineTo(4, 13.5);
        tip.lineTo(6.5, 16);
        tip.closeSubpath();
        p.drawPath(tip);
        break;
    }
    case B::Post:
        line.setColor(QColor(30, 130, 60));
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(4, 10.5), QPointF(8, 14.5), QPointF(16, 5.5)}));
        break;
    case B::Cancel:
        line.setColor(QColor(190, 40, 40));
        p.setPen(line);
        p.drawLine(QPointF(5, 5), QPointF(15, 15));
        p.drawLine(QPointF(15, 5), QPointF(5, 15));
        break;
    case B::Refresh: {
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 4, 12, 12), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        QPainterPath head;
        head.moveTo(9, 1);
        head.lineTo(14, 4);
        head.lineTo(9, 7.5);
        head.closeSubpath();
        p.drawPath(head);
        break;
    }
    }
}

QIcon ownIcon(RecordNavigator::Button which)
{
    QIcon icon;
    for (const int scale : {1, 2, 3}) { // sharp on scaled screens too
        QPixmap pixmap(kIconSize * scale, kIconSize * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.scale(scale, scale);
        drawGlyph(painter, which);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}
} // namespace

QString RecordNavigator::hint(Button which)
{
    return QString::fromUtf16(kLooks[int(which)].hint);
}

QString RecordNavigator::objectNameOf(Button which)
{
    return QString::fromUtf16(kLooks[int(which)].name);
}

QIcon RecordNavigator::icon(Button which)
{
    const QString name = QString::fromLatin1(kLooks[int(which)].themeIcon);
    return QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name) : ownIcon(which);
}

QString RecordNavigator::deleteQuestion()
{
    return QStringLiteral("确定删除这条记录吗？");
}

RecordNavigator::RecordNavigator(const QList<Button>& buttons, QWidget* parent) : QWidget(parent)
{
    // A compact bar of icon buttons at the left; the hints name each button.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (Button which : buttons) {
        auto* button = new QToolButton(this);
        button->setObjectName(objectNameOf(which));
        button->setIcon(icon(which));
        button->setIconSize({kIconSize, kIconSize});
        button->setToolTip(hint(which));
        button->setAccessibleName(hint(which));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::TabFocus); // reachable without a mouse
        button->setFixedSize(kIconSize + 12, kIconSize + 12);
        connect(button, &QToolButton::clicked, this, [this, which] { emit clicked(which); });
        layout->addWidget(button, 0, Qt::AlignVCenter);
        m_buttons.append({which, button});
        // Gaps between moving, changing and saving.
        if (which == Button::Last || which == Button::Delete)
            layout->addSpacing(10);
    }
    layout->addStretch(1);
}

QToolButton* RecordNavigator::button(Button which) const
{
    for (const auto& [kind, button] : m_buttons) {
        if (kind == which)
            return button;
    }
    return nullptr;
}
void RecordNavigator::setQuery(Query* query)
{
    m_query = query;
    if (query) {
        connect(query, &Query::stateChanged, this, &RecordNavigator::updateButtons);
        connect(query, &Query::currentRowChanged, this, &RecordNavigator::updateButtons);
        connect(query, &QAbstractItemModel::modelReset, this, &RecordNavigator::updateButtons);
        connect(query, &QAbstractItemModel::rowsInserted, this, &RecordNavigator::updateButtons);
        connect(query, &QAbstractItemModel::rowsRemoved, this, &RecordNavigator::updateButtons);
    }
    updateButtons();
}

void RecordNavigator::updateButtons()
{
    const bool open = m_query && m_query->isOpen();
    const bool editing =
        open && (m_query->state() == Query::State::Edit || m_query->state() == Query::State::Insert);
    const bool hasRows = open && !m_query->isEmpty();
    const int row = open ? m_query->currentRow() : -1;
    const int last = open ? m_query->recordCount() - 1 : -1;
    for (const auto& [which, button] : m_buttons) {
        bool enabled = open;
        switch (which) {
        case Button::First:
        case Button::Prior:
            enabled = hasRows && row > 0;
            break;
        case Button::Next:
        case Button::Last:
            enabled = hasRows && row < last;
            break;
        case Button::Insert:
        case Button::Refresh:
            enabled = open;
            break;
        case Button::Delete:
            enabled = hasRows;
            break;
        case Button::Edit:
            enabled = hasRows && !editing;
            break;
        case Button::Post:
        case Button::Cancel:
            enabled = editing;
            break;
        }
        button->setEnabled(enabled);
    }
}
