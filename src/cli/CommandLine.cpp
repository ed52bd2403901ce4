#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <utility>

namespace {

// The parser's own messages come before any translator is loaded (and the installed catalogues
// lack some of them): the ones a typo can cause are said in Chinese here.
QString chineseParseError(const QString& parserText)
{
    static const QRegularExpression missing(QStringLiteral("^Missing value after '-*(.+)'\\.$"));
    static const QRegularExpression unexpected(QStringLiteral("^Unexpected value after '-*(.+)'\\.$"));
    if (const auto m = missing.match(parserText); m.hasMatch())
        return QStringLiteral("选项“%1”需要一个值。").arg(m.captured(1));
    if (const auto m = unexpected.match(parserText); m.hasMatch())
        return QStringLiteral("选项“%1”不接受值。").arg(m.captured(1));
    return QStringLiteral("命令行有误：") + parserText;
}
// Written by us rather than by the parser: its text is English and names the executable only
// once an application object exists, which the headless commands do without.
QString helpFor(const QString& description, const QList<QCommandLineOption>& options)
{
    QList<std::pair<QString, QString>> rows;
    qsizetype width = 0;
    for (const QCommandLineOption& option : options) {
        QString names;
        for (const QString& name : option.names())
            names += (names.isEmpty() ? QString() : QStringLiteral(", ")) +
                     (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        if (option.names().first().size() > 1)
            names.prepend(QStringLiteral("    ")); // long-only options line up with "-h, --help"
        if (!option.valueName().isEmpty())
            names += u' ' + option.valueName();
        width = std::max(width, names.size());
        rows.append({names, option.description()});
    }
    QString text = QStringLiteral("用法：velmora [选项]\n") + description + QStringLiteral("\n\n选项：\n");
    for (const auto& row : rows)
        text += QStringLiteral("  ") + row.first.leftJustified(width + 2) + row.second + u'\n';
    return text;
}
} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QString description = QStringLiteral("Velmora：个人信用卡账单日、还款日管理与提醒。");
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示帮助并退出。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示版本并退出。"));
    const QCommandLineOption summary(
        QStringLiteral("summary"), QStringLiteral("不打开窗口：刷新全部卡片，打印到期统计和3天内还款列表。"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("与 --summary 同用：以 JSON 输出。"));
    const QCommandLineOption remind(
        QStringLiteral("remind"),
        QStringLiteral("不打开窗口：刷新全部卡片，并按设置发送当天的还款提醒邮件。"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("在临时文件夹中用示例卡片启动，不影响真实数据。"));
    const QCommandLineOption minimized(
        QStringLiteral("minimized"),
        QStringLiteral("启动后直接隐藏到托盘（有3天内到期的卡片时仍显示主界面和还款提醒）。"));
    const QCommandLineOption backup(QStringLiteral("backup"),
                                    QStringLiteral("不打开窗口：把数据库备份到文件 FILE。"),
                                    QStringLiteral("FILE"));
    const QCommandLineOption restore(
        QStringLiteral("restore"),
        QStringLiteral(
            "不打开窗口：用备份文件 FILE 替换数据库（程序须未运行；当前数据库先另存到 Data/Backup）。"),
        QStringLiteral("FILE"));
    const QCommandLineOption ics(
        QStringLiteral("ics"),
        QStringLiteral("不打开窗口：以 iCalendar 格式打印各卡的还款日（本月及下月）。"));
    const QCommandLineOption exportCsv(
        QStringLiteral("export-csv"),
        QStringLiteral("不打开窗口：把全部卡片导出为 CSV 文件 FILE（开启密码保护时卡号只含后四位）。"),
        QStringLiteral("FILE"));
    const QCommandLineOption importCsv(
        QStringLiteral("import-csv"),
        QStringLiteral(
            "不打开窗口：从 CSV 文件 FILE 导入卡片（已有的卡片跳过；有不能导入的行时不导入任何卡片）。"),
        QStringLiteral("FILE"));
    const QCommandLineOption syncCalendar(
        QStringLiteral("sync-calendar"),
        QStringLiteral("不打开窗口：把各卡的还款日（同 --ics）同步到“日历同步”中设置的 CalDAV 日历。"));
    const QCommandLineOption force(
        QStringLiteral("force"),
        QStringLiteral("与 --restore 同用：开启密码保护时也恢复含有明文卡号的备份（下次登录时再加密）。"));
    const QList<QCommandLineOption> options{help, version,   summary,   json,        remind,
                                            demo, minimized, backup,    restore,     force,
                                            ics,  exportCsv, importCsv, syncCalendar};
    parser.addOptions(options);

    CommandLine result;
    result.helpText = helpFor(description, options);
    if (!parser.parse(arguments)) {
        result.mode = Mode::Error;
        const QStringList unknown = parser.unknownOptionNames();
        result.errorText = unknown.isEmpty() ? chineseParseError(parser.errorText())
                                             : QStringLiteral("未知选项“%1”。").arg(unknown.first());
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.mode = Mode::Error;
        result.errorText = QStringLiteral("多余的参数“%1”。").arg(parser.positionalArguments().first());
        return result;
    }
    result.json = parser.isSet(json);
    result.demo = parser.isSet(demo);
    result.force = parser.isSet(force);
    result.minimized = parser.isSet(minimized);
    if (parser.isSet(help))
        result.mode = Mode::Help;
    else if (parser.isSet(version))
        result.mode = Mode::Version;
    else if (parser.isSet(summary))
        result.mode = Mode::Summary;
    else if (parser.isSet(remind))
        result.mode = Mode::Remind;
    else if (parser.isSet(backup)) {
        result.mode = Mode::Backup;
        result.file = parser.value(backup);
    } else if (parser.isSet(restore)) {
        result.mode = Mode::Restore;
        result.file = parser.value(restore);
    } else if (parser.isSet(ics))
        result.mode = Mode::Calendar;
    else if (parser.isSet(exportCsv)) {
        result.mode = Mode::ExportCsv;
        result.file = parser.value(exportCsv);
    } else if (parser.isSet(importCsv)) {
        result.mode = Mode::ImportCsv;
        result.file = parser.value(importCsv);
    } else if (parser.isSet(syncCalendar))
        result.mode = Mode::SyncCalendar;
    else if (result.json) {
        result.mode = Mode::Error;
        result.errorText = QStringLiteral("--json 只能与 --summary 同用。");
    }
    if (result.force && result.mode != Mode::Restore && result.mode != Mode::Error) {
        result.mode = Mode::Error;
        result.errorText = QStringLiteral("--force 只能与 --restore 同用。");
    }
    return result;
}
