#include "views/CsvExport.h"

#include "store/BidiControls.h"
#include "store/CardSecrets.h"
#include "store/DataModule.h"
#include "store/Error.h"
#include "store/Query.h"
#include "store/SafeFile.h"
#include "store/Settings.h"
#include "ui/DialogParent.h"
#include "views/CardGridModel.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace CsvExport {

namespace {
std::function<QString()> g_fileNameHook;
}

const QString kUnencryptedNote = QStringLiteral(
    "注意：导出的文件没有加密，其中有完整的卡号和有效期，任何能读到这个文件的人都能看到它们。");

QString neutralised(const QString& cell)
{
    const QString value = withoutBidiControls(cell);
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+([.][0-9]+)?$"));
    if (value.isEmpty() || number.match(value).hasMatch())
        return value; // a plain number is no formula
    const QChar first = value.front();
    if (first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' || first == u'\r')
        return u'\'' + value;
    return value;
}

QString field(const QString& cell)
{
    const QString value = neutralised(cell);
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\n') && !value.contains(u'\r'))
        return value;
    QString quoted = value;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QByteArray encode(const QList<QStringList>& rows)
{
    QString text;
    for (const QStringList& row : rows) {
        QStringList fields;
        for (const QString& value : row)
            fields << field(value);
        text += fields.join(u',') + QStringLiteral("\r\n");
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
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

int runCommand(const HomeFolder& home, const QString& file, QTextStream& out, QTextStream& err)
{
    try {
        DataModule data;
        data.database().open(home.existingDatabasePath());
        Query& cards = data.cards();
        cards.setSql(DataModule::kAllCardsStatement);
        cards.open();
        CardGridModel grid;
        grid.setSourceModel(&cards);
        // Without a window nobody has unlocked anything: full numbers only without protection.
        const bool fullNumbers = !Settings(home.iniPath()).passwordProtect();
        writeFile(file, encode(tableOf(grid, fullNumbers)));
        out << QStringLiteral("已导出%1张卡到 %2。").arg(grid.rowCount()).arg(file) << '\n';
        if (fullNumbers)
            err << kUnencryptedNote << '\n';
        return 0;
    } catch (const Error& e) {
        out.flush();
        err << QStringLiteral("velmora: ") << e.message() << '\n';
        return 1;
    }
}

} // namespace CsvExport
