#pragma once

#include "views/FieldColumnsModel.h"

#include <QColor>

// The card grid's view of the card list: the 19 columns with their titles, title colours and
// fonts, centred read-only cells, row shading for cards falling due, and the footer figures.
class CardGridModel : public FieldColumnsModel
{
    Q_OBJECT
public:
    explicit CardGridModel(QObject* parent = nullptr);

    static const QColor kDueSoon;     // RGB(255,221,221)
    static const QColor kDueToday;    // RGB(255,128,128)
    static const QColor kTitleA;      // pale yellow
    static const QColor kTitleB;      // yellow
    static const QColor kTextOnShade; // text on the row shades and the title colours

    // Default widths (0 = the grid's default); whether a click on the title sorts.
    static int defaultWidth(int column);
    static bool titleSorts(int column);
    // The widest text a column must show unclipped (a 19-digit card number, a full date), or
    // empty when its given width is enough.
    static QString widestText(int column);

    // Footer row: "总卡数" and the count, "总消费" and the sum of i_yxf, "总额度" and the sum of i_ed.
    QString footerText(int column) const;
    int cardCount() const;
    double sumOf(const QString& field) const;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void footerChanged();
};
