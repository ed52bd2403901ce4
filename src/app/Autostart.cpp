#include "app/Autostart.h"

#include "store/Error.h"
#include "store/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace Autostart {

QString entryPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("autostart/Velmora.desktop"));
}

namespace {
// One argument of an Exec line: in double quotes, with \ " ` $ escaped by a backslash.
QString quotedArgument(const QString& argument)
{
    QString escaped;
    for (const QChar c : argument) {
        if (c == u'\\' || c == u'"' || c == u'`' || c == u'$')
            escaped += u'\\';
        escaped += c;
    }
    return u'"' + escaped + u'"';
}
} // namespace

QString execLine(const QString& executable, const QString& home)
{
    QString line = quotedArgument(executable);
    if (!home.isEmpty())
        line = QStringLiteral("env ") + quotedArgument(QStringLiteral("VELMORA_HOME=") + home) + u' ' + line;
    // The value itself is a desktop-entry string: a backslash is written twice, and % is the
    // start of a field code unless doubled.
    QString value;
    for (const QChar c : line) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'%')
            value += QStringLiteral("%%");
        else
            value += c;
    }
    return value;
}

void write(const QString& executable, const QString& home)
{
    if (executable.contains(u'\n') || home.contains(u'\n'))
        throw Error(QStringLiteral("Failed to set data for '%1'").arg(QStringLiteral("Velmora")));
    const QString path = entryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray content = QStringLiteral("[Desktop Entry]\n"
                                              "Type=Application\n"
                                              "Name=Velmora\n"
                                              "Exec=%1\n"
                                              "Icon=velmora\n"
                                              "Terminal=false\n"
                                              "X-GNOME-Autostart-enabled=true\n"
                                              // Started after the panel, so that its tray is
                                              // there for the icon.
                                              "X-GNOME-Autostart-Phase=Applications\n"
                                              "X-GNOME-Autostart-Delay=5\n"
                                              "X-KDE-autostart-after=panel\n"
                                              "X-KDE-autostart-phase=2\n"
                                              "X-LXQt-Need-Tray=true\n"
                                              "X-MATE-Autostart-Delay=5\n")
                                   .arg(execLine(executable, home))
                                   .toUtf8();
    try {
        SafeFile::write(path, content);
    } catch (const Error&) {
        throw Error(QStringLiteral("Failed to set data for '%1'").arg(QStringLiteral("Velmora")));
    }
}

void remove()
{
    QFile::remove(entryPath());
}

bool isOn()
{
    return QFileInfo::exists(entryPath());
}

} // namespace Autostart
