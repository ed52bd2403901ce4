#include "views/CsvExport.h"

#include "store/CardSecrets.h"
#include "store/Query.h"
#include "store/SafeFile.h"
#include "ui/DialogParent.h"
#include "views/CardGridModel.h"

#include <QFileDialog>

namespace CsvExport {

namespace {
std::function<QString()> g_fileNameHook;
}

QList<QStringList> tableOf(const FieldColumnsModel& grid, bool fullNumbers)
{
    const int columns = grid.columnCount();
    const int number = grid.columnOfField(QStringLiteral("c_no"));
    const int checkCode = grid.columnOfField(QStringLiteral("c_xym"));
    const int validity = grid.columnOfField(QStringLiteral("c_yxq"));
    // The readable last four: a number may be sealed while the card tab is locked.
    const Query* cards = grid.query();
    const int last4 = cards ? cards->fieldIndex(QStringLiteral("c_last4")) : -1;
    QList<QStringList> rows;
    QStringList titles;
    for (int c = 0; c < columns; ++c)
        titles << grid.headerData(c, Qt::Horizontal).toString();
    rows << titles;
    for (int r = 0; r < grid.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < columns; ++c) {
            const QModelIndex index = grid.index(r, c);
            const QVariant check = grid.data(index, Qt::CheckStateRole);
            QString text = check.isValid()
                               ? (check.toInt() == Qt::Checked ? QStringLiteral("是") : QStringLiteral("否"))
                               : grid.data(index, Qt::DisplayRole).toString();
            if (!fullNumbers && c == number)
                text = last4 >= 0 ? cards->data(cards->index(grid.mapToSource(index).row(), last4)).toString()
                                  : CardSecrets::lastFour(text);
            else if (c == checkCode || (!fullNumbers && c == validity))
                text.clear(); // the check code never leaves the program
            row << text;
        }
        rows << row;
    }
    return rows;
}

void writeFile(const QString& path, const QByteArray& content)
{
    SafeFile::write(path, content); // full numbers may be in it: owner-only, never through a link
}

QString askFileName(QWidget* parent)
{
    if (g_fileNameHook)
        return g_fileNameHook();
    return QFileDialog::getSaveFileName(ui::dialogParent(parent), QStringLiteral("导出信用卡列表"),
                                        QStringLiteral("信用卡.csv"), QStringLiteral("CSV 文件 (*.csv)"));
}

void setFileNameHook(std::function<QString()> hook)
{
    g_fileNameHook = std::move(hook);
}

} // namespace CsvExport
