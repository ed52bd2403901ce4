#include "transfer/CardImport.h"

#include "billing/PaidState.h"
#include "billing/RefreshPass.h"
#include "store/CardSecrets.h"
#include "store/Clock.h"
#include "store/Database.h"
#include "store/Error.h"
#include "store/HomeFolder.h"
#include "store/Statement.h"
#include "views/CardRules.h"

#include <QFile>
#include <QMultiHash>
#include <QSet>
#include <algorithm>

namespace CardImport {

namespace {

enum class Kind { Text, Secret, Day, Whole, Number, Flag, Computed };

struct ImportColumn
{
    const char16_t* field;
    const char16_t* title; // as the card grid titles it
    const char16_t* alias; // as the card editor labels it, where that differs
    Kind kind;
};

// The card grid's columns, then the holder. The computed ones are recognised and left aside:
// every imported card gets its dates as a save computes them.
constexpr ImportColumn kColumns[] = {
    {u"c_name", u"卡名", nullptr, Kind::Text},
    {u"c_no", u"卡号", nullptr, Kind::Secret},
    {u"c_yxq", u"有效期", nullptr, Kind::Secret},
    {u"c_xym", u"效验码", u"校验码", Kind::Secret},
    {u"c_jzr", u"账单日", nullptr, Kind::Day},
    {u"c_hkr", u"还款日", nullptr, Kind::Day},
    {u"tf", u"已还款", nullptr, Kind::Flag},
    {u"c_re_date", u"本月还款日期", nullptr, Kind::Computed},
    {u"i_xyr", u"剩余还款天数", nullptr, Kind::Computed},
    {u"i_xf", u"今天消费最长", nullptr, Kind::Computed},
    {u"i_yxf", u"已消费额度", u"已消费", Kind::Number},
    {u"i_zdhkje", u"最低还款金额", nullptr, Kind::Computed},
    {u"i_zdhkbl", u"最低还款比例", nullptr, Kind::Number},
    {u"i_ed", u"总额度", nullptr, Kind::Whole},
    {u"c_jd_date", u"本月帐单日", nullptr, Kind::Computed},
    {u"c_next_jd_date", u"下期记帐日", nullptr, Kind::Computed},
    {u"c_next_re_date", u"下期还款日", nullptr, Kind::Computed},
    {u"i_mxr", u"最长免息日", nullptr, Kind::Number},
    {u"izdhkr", u"最短\n还款日", u"最短免息日", Kind::Whole},
    {u"cname", u"持卡人", nullptr, Kind::Text},
};

const char16_t* const kRequired[] = {u"c_name", u"c_jzr", u"c_hkr"};

QString withoutBlanks(const QString& text)
{
    QString result = text;
    result.removeIf([](QChar c) { return c.isSpace(); });
    return result;
}

const ImportColumn* columnOfField(const QString& field)
{
    for (const ImportColumn& c : kColumns) {
        if (field == QStringView(c.field))
            return &c;
    }
    return nullptr;
}

bool isDirectionControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

// A title as the user reads it in a message: on one line.
QString oneLine(const QString& text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(u'\n', u' ');
    line.replace(u'\r', u' ');
    return line;
}

// Digits with blanks or hyphens between groups; a spreadsheet that took a long number for a
// number writes it as 6.22588E+15, which is no card number.
bool isCardNumber(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return (c >= u'0' && c <= u'9') || c == u' ' || c == u'-'; });
}

std::optional<bool> flagOf(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty() || t == u"否" || t == u"0" || t == u"false")
        return false;
    if (t == u"是" || t == u"1" || t == u"true")
        return true;
    return std::nullopt;
}

QString keyOf(const QString& name, const QString& last4)
{
    return name.trimmed() + u'\x1f' + last4;
}

// The cards stored now, by name and last four digits, and by name alone.
struct StoredCards
{
    QMultiHash<QString, qint64> byKey;
    QMultiHash<QString, qint64> byName;

    explicit StoredCards(Database& db)
    {
        Statement read(db, QStringLiteral("SELECT id, c_name, c_last4, c_no FROM txyk"));
        while (read.step()) {
            const QString name = read.text(1).trimmed();
            QString last4 = read.text(2);
            if (last4.isEmpty())
                last4 = CardSecrets::lastFourOfStored(read.text(3));
            byKey.insert(keyOf(name, last4), read.integer(0));
            byName.insert(name, read.integer(0));
        }
    }
};

} // namespace

QString fieldOfTitle(const QString& title)
{
    const QString bare = withoutBlanks(unguarded(title));
    if (bare.isEmpty())
        return {};
    for (const ImportColumn& c : kColumns) {
        if (bare == withoutBlanks(QString::fromUtf16(c.title)) || (c.alias && bare == QStringView(c.alias)) ||
            bare.compare(QStringView(c.field), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(c.field);
    }
    return {};
}

QString unguarded(const QString& cell)
{
    QString value = cell;
    value.removeIf(isDirectionControl);
    if (value.size() >= 2 && value.front() == u'\'') {
        const QChar next = value[1];
        if (next == u'=' || next == u'+' || next == u'-' || next == u'@' || next == u'\t' || next == u'\r')
            value.remove(0, 1);
    }
    return value;
}

QString Refusal::text() const
{
    if (row <= 0)
        return reason;
    if (column.isEmpty())
        return QStringLiteral("第%1行：%2").arg(row).arg(reason);
    return QStringLiteral("第%1行“%2”列：%3").arg(row).arg(oneLine(column), reason);
}

QString PlannedCard::text() const
{
    QString line = QStringLiteral("第%1行：%2").arg(row).arg(oneLine(name));
    if (!last4.isEmpty())
        line += QStringLiteral("（尾号%1）").arg(last4);
    return line;
}

Plan plan(const QList<CsvReader::Record>& records, Database& db)
{
    Plan result;
    if (records.isEmpty()) {
        result.refusals << Refusal{0, {}, QStringLiteral("文件是空的，没有标题行。")};
        return result;
    }

    // The titles: which field each column fills.
    const CsvReader::Record& header = records.first();
    QStringList fields; // per column; empty for a column left aside
    QHash<QString, int> columnOf;
    for (int c = 0; c < header.cells.size(); ++c) {
        const QString title = header.cells[c];
        const QString field = fieldOfTitle(title);
        fields << field;
        if (field.isEmpty()) {
            if (!title.trimmed().isEmpty())
                result.unusedColumns << oneLine(title.trimmed());
            continue;
        }
        if (columnOf.contains(field)) {
            result.refusals << Refusal{
                header.row, title, QStringLiteral("与第%1列是同一项，只能有一列。").arg(columnOf[field] + 1)};
            continue;
        }
        columnOf.insert(field, c);
    }
    for (const char16_t* required : kRequired) {
        const QString field = QString::fromUtf16(required);
        if (!columnOf.contains(field))
            result.refusals << Refusal{
                header.row,
                {},
                QStringLiteral("缺少“%1”列。").arg(QString::fromUtf16(columnOfField(field)->title))};
    }
    if (!result.refusals.isEmpty())
        return result;

    const bool hasNumber = columnOf.contains(QStringLiteral("c_no"));
    const StoredCards stored(db);
    QHash<QString, int> rowOfKey; // cards met earlier in the file
    for (qsizetype r = 1; r < records.size(); ++r) {
        const CsvReader::Record& record = records[r];
        auto cellOf = [&](int column) { return unguarded(record.cells.value(column)); };
        bool blank = true;
        for (const QString& cell : record.cells)
            blank = blank && cell.trimmed().isEmpty();
        if (blank)
            continue; // spreadsheets leave empty lines at the end
        if (record.cells.size() > header.cells.size()) {
            bool extra = false;
            for (qsizetype c = header.cells.size(); c < record.cells.size(); ++c)
                extra = extra || !record.cells[c].trimmed().isEmpty();
            if (extra) {
                result.refusals << Refusal{
                    record.row,
                    {},
                    QStringLiteral("第%1列以后的单元格没有标题。").arg(header.cells.size() + 1)};
                continue;
            }
        }

        // The editor's checks, on the cells of the fields the file gives.
        QHash<QString, QString> texts;
        for (auto it = columnOf.cbegin(); it != columnOf.cend(); ++it)
            texts.insert(it.key(), cellOf(it.value()));
        if (const auto problem = CardRules::checkCard(texts)) {
            result.refusals << Refusal{record.row, header.cells[columnOf.value(problem->field)],
                                       problem->message};
            continue;
        }

        PlannedCard card;
        card.row = record.row;
        std::optional<Refusal> refusal;
        // Column by column as the file has them, so the first problem named is the leftmost.
        for (int c = 0; c < fields.size() && !refusal; ++c) {
            const QString& field = fields[c];
            if (field.isEmpty() || columnOf.value(field) != c)
                continue;
            const ImportColumn* column = columnOfField(field);
            const QString text = cellOf(c);
            const QString trimmed = text.trimmed();
            QVariant value;
            switch (column->kind) {
            case Kind::Computed:
                continue;
            case Kind::Text:
                if (!trimmed.isEmpty())
                    value = text;
                break;
            case Kind::Secret:
                if (field == u"c_no" && !isCardNumber(trimmed))
                    refusal = Refusal{record.row, header.cells[c],
                                      QStringLiteral("卡号只能由数字、空格和“-”组成（若表格程序把卡号存成了"
                                                     "科学计数法，请把这一列设为文本后重新保存）。")};
                if (!trimmed.isEmpty())
                    value = trimmed;
                break;
            case Kind::Day:
                value = trimmed.toInt();
                break;
            case Kind::Whole:
                if (!trimmed.isEmpty())
                    value = trimmed.toInt();
                break;
            case Kind::Number:
                if (!trimmed.isEmpty())
                    value = trimmed.toDouble();
                break;
            case Kind::Flag: {
                const auto flag = flagOf(trimmed);
                if (!flag)
                    refusal = Refusal{record.row, header.cells[c], QStringLiteral("只能填“是”或“否”。")};
                value = flag.value_or(false);
                break;
            }
            }
            card.values.insert(field, value);
        }
        if (refusal) {
            result.refusals << *refusal;
            continue;
        }
        card.name = card.values.value(QStringLiteral("c_name")).toString();
        card.last4 = CardSecrets::lastFour(card.values.value(QStringLiteral("c_no")).toString());

        // The same card twice in the file, or more than one stored card it could be.
        const QString key = keyOf(card.name, card.last4);
        if (rowOfKey.contains(key)) {
            result.refusals << Refusal{
                record.row,
                {},
                QStringLiteral("与第%1行是同一张卡（卡名和卡号后四位相同）。").arg(rowOfKey[key])};
            continue;
        }
        rowOfKey.insert(key, record.row);
        const QList<qint64> matches =
            hasNumber ? stored.byKey.values(key) : stored.byName.values(card.name.trimmed());
        if (matches.size() > 1) {
            result.refusals << Refusal{
                record.row,
                {},
                hasNumber ? QStringLiteral("已有多张卡名和卡号后四位都相同的卡，无法确定更新哪一张。")
                          : QStringLiteral("已有多张同名的卡，文件又没有卡号列，无法确定更新哪一张。")};
            continue;
        }
        if (matches.isEmpty()) {
            result.additions << card;
        } else {
            card.storedId = matches.first();
            // An empty cell or only the last four digits (an export made under the password)
            // keep what is stored: the full number, validity and check code are not in the file.
            for (const QString& field : CardSecrets::fields()) {
                const QString value = card.values.value(field).toString();
                if (value.isEmpty() || (field == u"c_no" && value.size() <= 4))
                    card.values.remove(field);
            }
            result.updates << card;
        }
    }
    for (const QList<PlannedCard>* list : {&result.additions, &result.updates})
        for (const PlannedCard& card : *list)
            for (const QString& field : CardSecrets::fields())
                result.carriesSecrets =
                    result.carriesSecrets || !card.values.value(field).toString().isEmpty();
    return result;
}

Plan planBytes(const QByteArray& bytes, Database& db)
{
    try {
        return plan(CsvReader::parse(CsvReader::decode(bytes)), db);
    } catch (const Error& e) {
        Plan refused;
        refused.refusals << Refusal{0, {}, e.message()};
        return refused;
    }
}

QString secretsProblem(const Plan& plan, const CardSecrets& secrets)
{
    if (plan.carriesSecrets && secrets.keyStored() && !secrets.unlocked())
        return QStringLiteral("卡号、效验码和有效期已加密保存，导入的卡号要用密码加密，但现在没有登录。"
                              "请启动程序登录后用卡片页的“导入…”导入。");
    return {};
}

namespace {

// Writes one card (a new one when `id` is 0) and computes its dates; returns its id.
qint64 writeCard(Database& db, const CardSecrets& secrets, QDate today, const PlannedCard& card, qint64 id)
{
    QStringList columns;
    QVariantList values;
    for (auto it = card.values.cbegin(); it != card.values.cend(); ++it) {
        if (it.key() == u"tf" || CardSecrets::isProtected(QStringLiteral("txyk"), it.key()))
            continue;
        columns << it.key();
        values << it.value();
    }
    if (id == 0) {
        db.executeSql(
            columns.isEmpty()
                ? QStringLiteral("INSERT INTO txyk DEFAULT VALUES")
                : QStringLiteral("INSERT INTO txyk (%1) VALUES (%2)")
                      .arg(columns.join(u','), QStringList(columns.size(), QStringLiteral("?")).join(u',')),
            values);
        id = db.lastInsertId();
    } else if (!columns.isEmpty()) {
        values << id;
        db.executeSql(
            QStringLiteral("UPDATE txyk SET %1=? WHERE id=?").arg(columns.join(QStringLiteral("=?,"))),
            values);
    }
    // Sealed values are bound to their card, so they go in once the card has its id.
    const bool hasLast4 = db.fieldKinds(QStringLiteral("txyk")).contains(QStringLiteral("c_last4"));
    for (const QString& field : CardSecrets::fields()) {
        const auto it = card.values.constFind(field);
        if (it == card.values.cend())
            continue;
        db.executeSql(QStringLiteral("UPDATE txyk SET %1=? WHERE id=?").arg(field),
                      {secrets.toStore(field, *it, id), id});
        if (field == u"c_no" && hasLast4)
            db.executeSql(QStringLiteral("UPDATE txyk SET c_last4=? WHERE id=?"),
                          {it->isNull() ? QVariant() : QVariant(CardSecrets::lastFour(it->toString())), id});
    }
    Refresh::recomputeCard(db, today, id);
    const auto flag = card.values.constFind(QStringLiteral("tf"));
    if (flag != card.values.cend()) {
        Statement read(db, QStringLiteral("SELECT tf FROM txyk WHERE id=?"));
        read.bind(0, id);
        const bool marked = read.step() && read.integer(0) != 0;
        if (flag->toBool() && !marked)
            db.execute(
                PaidState::markRepaidStatement(int(id), PaidState::repaymentCovered(db, int(id), today)));
        else if (!flag->toBool() && marked)
            db.execute(PaidState::markUnpaidStatement(int(id)));
    }
    return id;
}

} // namespace

Outcome apply(const Plan& plan, Database& db, const CardSecrets& secrets, QDate today, bool updateStored)
{
    if (!plan.refusals.isEmpty())
        throw Error(QStringLiteral("文件中有不能导入的行，没有写入任何卡片。"));
    if (const QString problem = secretsProblem(plan, secrets); !problem.isEmpty())
        throw Error(problem);
    Outcome outcome;
    Transaction transaction(db);
    for (const PlannedCard& card : plan.additions) {
        writeCard(db, secrets, today, card, 0);
        ++outcome.added;
    }
    for (const PlannedCard& card : plan.updates) {
        if (!updateStored) {
            ++outcome.skipped;
            continue;
        }
        writeCard(db, secrets, today, card, card.storedId);
        ++outcome.updated;
    }
    transaction.commit();
    return outcome;
}

QByteArray readFile(const QString& path)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("无法读取文件 %1：%2").arg(path, input.errorString()));
    constexpr qint64 kLargest = 64 * 1024 * 1024; // far more than any card list
    if (input.size() > kLargest)
        throw Error(QStringLiteral("文件 %1 太大，不像是卡片列表。").arg(path));
    return input.readAll();
}

int runCommand(const HomeFolder& home, const Clock& clock, const QString& file, QTextStream& out,
               QTextStream& err)
{
    try {
        const QByteArray bytes = readFile(file);
        Database db;
        db.open(home.existingDatabasePath());
        CardSecrets secrets(db);
        const Plan plan = planBytes(bytes, db);
        if (!plan.unusedColumns.isEmpty())
            err << QStringLiteral("未使用的列：") << plan.unusedColumns.join(QStringLiteral("、")) << '\n';
        if (!plan.refusals.isEmpty()) {
            for (const Refusal& refusal : plan.refusals)
                err << refusal.text() << '\n';
            err << QStringLiteral("没有导入任何卡片：请改正以上各行后再导入。") << '\n';
            return 1;
        }
        if (const QString problem = secretsProblem(plan, secrets); !problem.isEmpty()) {
            err << problem << QStringLiteral("没有导入任何卡片。") << '\n';
            return 1;
        }
        const Outcome outcome =
            plan.canApply() ? apply(plan, db, secrets, clock.today(), /*updateStored=*/false) : Outcome{};
        out << QStringLiteral("已导入%1张新卡片，跳过%2张已有的卡片。")
                   .arg(outcome.added)
                   .arg(outcome.skipped)
            << '\n';
        for (const PlannedCard& card : plan.updates)
            out << QStringLiteral("已有，跳过：") << card.text() << '\n';
        return 0;
    } catch (const Error& e) {
        out.flush();
        err << QStringLiteral("velmora: ") << e.message() << '\n';
        return 1;
    }
}

} // namespace CardImport
