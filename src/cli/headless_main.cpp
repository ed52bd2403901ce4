// The commands without a window, and nothing else: the same options as velmora for them.
#include "cli/CommandLine.h"
#include "cli/HeadlessCommand.h"

#include <QTextStream>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = CommandLine::parse(arguments);
    if (HeadlessCommand::handles(command.mode))
        return HeadlessCommand::run(command, argc, argv);
    QTextStream(stderr) << "velmora_headless: " << QStringLiteral("只运行不需要窗口的命令（如 --summary）。")
                        << '\n';
    return 2;
}
