#include "views/CardGridModel.h"

#include "store/Query.h"
#include "views/CardColumns.h"
#include "views/CardRules.h"

#include <QFont>

const QColor CardGridModel::kDueSoon(255, 221, 221);
const QColor CardGridModel::kDueToday(255, 128, 128);
const QColor CardGridModel::kTitleA(255, 255, 128);
const QColor CardGridModel::kTitleB(255, 255, 0);
const QColor CardGridModel::kTextOnShade(0, 0, 0);

namespace {

constexpr const auto& kGridColumns = kCardColumns;
constexpr int kColumnCount = kCardColumnCount;

QList<FieldColumnsModel::Column> gridColumns()
{
    QList<FieldColumnsModel::Column> columns;
    for (const CardColumn& c : kGridColumns)
        columns.append({QString::fromUtf16(c.field), QString::fromUtf16(c.title)});
    return columns;
}

} // namespace

CardGridModel::CardGridModel(QObject* parent) : FieldColumnsModel(gridColumns(), parent)
{
    // The footer covers every listed row and follows every change of the list.
    connect(this, &QAbstractItemModel::modelReset, this, &CardGridModel::footerChanged);
    connect(this, &QAbstractItemModel::layoutChanged, this, &CardGridModel::footerChanged);
    connect(this, &QAbstractItemModel::rowsInserted, this, &CardGridModel::footerChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &CardGridModel::footerChanged);
    connect(this, &QAbstractItemModel::dataChanged, this, &CardGridModel::footerChanged);
}

int CardGridModel::defaultWidth(int column)
{
    return column >= 0 && column < kColumnCount ? kGridColumns[column].width : 0;
}

QString CardGridModel::widestText(int column)
{
    if (column < 0 || column >= kColumnCount)
        return {};
    const QString field = QString::fromUtf16(kGridColumns[column].field);
    if (field == u"c_no")
        return QString(19, u'8');
    if (field == u"c_re_date" || field == u"c_jd_date" || field == u"c_next_jd_date" ||
        field == u"c_next_re_date")
        return QStringLiteral("2028-12-28");
    return {};
}

bool CardGridModel::titleSorts(int column)
{
    return column >= 0 && column < kColumnCount && kGridColumns[column].sorts;
}

int CardGridModel::cardCount() const
{
    return rowCount();
}

double CardGridModel::sumOf(const QString& field) const
{
    const Query* q = query();
    if (!q)
        return 0.0;
    const int column = q->fieldIndex(field);
    if (column < 0)
        return 0.0;
    double sum = 0.0;
    for (int row = 0; row < q->recordCount(); ++row)
        sum += q->valueAt(row, column).toDouble();
    return sum;
}

QString CardGridModel::footerText(int column) const
{
    switch (column) {
    case 0:
        return QStringLiteral("总卡数");
    case 1:
        return QString::number(cardCount());
    case 9:
        return QStringLiteral("总消费");
    case 10:
        return CardRules::formatSum(sumOf(QStringLiteral("i_yxf")));
    case 12:
        return QStringLiteral("总额度");
    case 13:
        return CardRules::formatSum(sumOf(QStringLiteral("i_ed")));
    default:
        return {};
    }
}

QVariant CardGridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        // A shaded row brings its own text colour: the desktop's text may be light (a dark theme).
        const Query* q = query();
        if (!q)
            return {};
        const QVariant days = q->valueAt(index.row(), q->fieldIndex(QStringLiteral("i_xyr")));
        const QVariant paid = q->valueAt(index.row(), q->fieldIndex(QStringLiteral("tf")));
        const CardRules::RowShade shade = CardRules::rowShade(days, paid);
        if (shade == CardRules::RowShade::Default)
            return {};
        if (role == Qt::ForegroundRole)
            return kTextOnShade;
        return shade == CardRules::RowShade::DueSoon ? kDueSoon : kDueToday;
    }
    case Qt::FontRole: {
        QFont font;
        font.setPixelSize(13);
        return font;
    }
    default:
        return FieldColumnsModel::data(index, role);
    }
}

Qt::ItemFlags CardGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable; // read-only: cards change in the editor
}

QVariant CardGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < kColumnCount) {
        const bool titleB = kGridColumns[section].titleB;
        switch (role) {
        case Qt::BackgroundRole:
            return titleB ? kTitleB : kTitleA;
        case Qt::ForegroundRole:
            return kTextOnShade;
        case Qt::FontRole: {
            QFont font;
            font.setPixelSize(titleB ? 11 : 13);
            return font;
        }
        default:
            break;
        }
    }
    return FieldColumnsModel::headerData(section, orientation, role);
}
