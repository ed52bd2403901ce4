#include "cli/ExportCommand.h"

#include "cli/CsvText.h"
#include "store/CardSecrets.h"
#include "store/DataModule.h"
#include "store/Database.h"
#include "store/DateText.h"
#include "store/Error.h"
#include "store/SafeFile.h"
#include "store/Settings.h"
#include "store/SqlDialect.h"
#include "views/CardColumns.h"

#include <QHash>

#include <cmath>
#include <vector>

namespace CsvExport {

namespace {

enum class Cell { Plain, Number, Validity, CheckCode, Missing };

// QString::number(value, 'g', 15), quicker for the usual whole amounts: up to 15 digits 'g'
// writes a whole number as the integer it is.
QString realText(double value)
{
    if (value == std::trunc(value) && std::fabs(value) < 1e15 && !(value == 0 && std::signbit(value)))
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

// A stored value as the card list shows it (see Query::data). Dates repeat from card to card:
// each stored text is turned into its shown form once.
QString shownText(FieldKind kind, const RawRow& row, int column, QHash<QString, QString>& dates)
{
    switch (row.type(column)) {
    case RawRow::Null:
        return kind == FieldKind::Bool ? QStringLiteral("否") : QString();
    case RawRow::Real:
        if (kind == FieldKind::Bool)
            return row.real(column) != 0 ? QStringLiteral("是") : QStringLiteral("否");
        return realText(row.real(column));
    case RawRow::Integer:
        if (kind == FieldKind::Bool)
            return row.integer(column) != 0 ? QStringLiteral("是") : QStringLiteral("否");
        return QString::number(row.integer(column));
    case RawRow::Text:
    case RawRow::Blob:
        break;
    }
    const QString text = row.text(column);
    if (kind == FieldKind::Bool)
        return text.toLongLong() != 0 ? QStringLiteral("是") : QStringLiteral("否");
    if (kind == FieldKind::Date) {
        auto known = dates.constFind(text);
        if (known == dates.constEnd()) {
            const auto date = DateText::parse(text);
            known = dates.insert(text, date ? DateText::format(*date) : text);
        }
        return *known;
    }
    return text;
}

} // namespace

int writeCards(Database& db, SafeFile::Writer& out, bool fullNumbers)
{
    Statement cards(db, SqlDialect::translate(DataModule::kAllCardsStatement));
    const auto& kinds = db.fieldKinds(QStringLiteral("txyk"));
    const auto columnOf = [&](QStringView name) {
        for (int c = 0; c < cards.columnCount(); ++c) {
            if (cards.columnName(c).compare(name, Qt::CaseInsensitive) == 0)
                return c;
        }
        return -1;
    };
    const int idColumn = columnOf(u"id");
    const int last4Column = columnOf(u"c_last4");

    struct Shown
    {
        int column;
        FieldKind kind;
        Cell cell;
        QString field;
    };
    std::vector<Shown> shown;
    QStringList titles;
    for (const CardColumn& c : kCardColumns) {
        const QString field = QString::fromUtf16(c.field);
        titles << QString::fromUtf16(c.title);
        const int column = columnOf(field);
        const Cell cell = column < 0          ? Cell::Missing
                          : field == u"c_no"  ? Cell::Number
                          : field == u"c_yxq" ? Cell::Validity
                          : field == u"c_xym" ? Cell::CheckCode
                                              : Cell::Plain;
        shown.push_back({column, kinds.value(field, FieldKind::Text), cell, field});
    }

    CardSecrets secrets(db); // never opened here: sealed values show as the list shows them locked
    out.write(kByteOrderMark);
    out.write(line(titles));
    int count = 0;
    QStringList row;
    QHash<QString, QString> dates;
    while (cards.step()) {
        row.clear();
        for (const Shown& s : shown) {
            switch (s.cell) {
            case Cell::Missing:
            case Cell::CheckCode: // the check code never leaves the program
                row << QString();
                break;
            case Cell::Plain:
                row << shownText(s.kind, cards, s.column, dates);
                break;
            case Cell::Number:
            case Cell::Validity:
                if (!fullNumbers) {
                    row << (s.cell == Cell::Number
                                ? (last4Column >= 0 ? cards.text(last4Column)
                                                    : CardSecrets::lastFour(cards.text(s.column)))
                                : QString());
                } else {
                    const QVariant last4 = last4Column >= 0 ? cards.value(last4Column) : QVariant();
                    row << secrets
                               .shown(s.field, cards.value(s.column),
                                      idColumn >= 0 ? cards.integer(idColumn) : 0, last4)
                               .toString();
                }
                break;
            }
        }
        out.write(line(row));
        ++count;
    }
    return count;
}

int runCommand(const HomeFolder& home, const QString& file, QTextStream& out, QTextStream& err)
{
    try {
        Database db;
        db.open(home.existingDatabasePath());
        // Without a window nobody has unlocked anything: full numbers only without protection.
        const bool fullNumbers = !Settings(home.iniPath()).passwordProtect();
        SafeFile::Writer csv(file); // full numbers may be in it: owner-only, never through a link
        const int count = writeCards(db, csv, fullNumbers);
        csv.commit();
        out << QStringLiteral("已导出%1张卡到 %2。").arg(count).arg(file) << '\n';
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
