#include "app/Autostart.h"

#include "store/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
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
// Desktop-entry Exec quoting: the path in double quotes with \ " ` $ escaped.
QString quotedExec(const QString& path)
{
    QString escaped;
    for (const QChar c : path) {
        if (c == u'\\' || c == u'"' || c == u'`' || c == u'$')
            escaped += u'\\';
        escaped += c;
    }
    return u'"' + escaped + u'"';
}
} // namespace

void write(const QString& executable)
{
    const QString path = entryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray content = QStringLiteral("[Desktop Entry]\n"
                                              "Type=Application\n"
                                              "Name=Velmora\n"
                                              "Exec=%1\n"
                                              "Icon=velmora\n"
                                              "Terminal=false\n"
                                              "X-GNOME-Autostart-enabled=true\n")
                                   .arg(quotedExec(executable))
                                   .toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw Error(QStringLiteral("Failed to set data for '%1'").arg(QStringLiteral("Velmora")));
}

void remove()
{
    QFile::remove(entryPath());
}

} // namespace Autostart
