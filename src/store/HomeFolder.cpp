#include "store/HomeFolder.h"

#include "store/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

HomeFolder HomeFolder::locate(const QString& executableDir)
{
    const QString fromEnv = qEnvironmentVariable("VELMORA_HOME");
    if (!fromEnv.isEmpty())
        return HomeFolder(QDir(fromEnv).absolutePath());
    if (!executableDir.isEmpty()) {
        const QDir exe(executableDir);
        if (QFileInfo::exists(exe.filePath(QStringLiteral("System.ini"))) ||
            QFileInfo(exe.filePath(QStringLiteral("Data"))).isDir())
            return HomeFolder(exe.absolutePath());
    }
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        data = QDir::home().filePath(QStringLiteral(".local/share"));
    return HomeFolder(QDir(data).filePath(QStringLiteral("Velmora")));
}

void HomeFolder::ensureExists() const
{
    const QFileDevice::Permissions ownerOnly =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QDir dir(m_path);
    if (!dir.exists()) {
        if (!QDir().mkpath(m_path))
            throw Error(QStringLiteral("无法创建程序文件夹 %1。").arg(m_path));
        QFile::setPermissions(m_path, ownerOnly);
    }
    const QString data = dir.filePath(QStringLiteral("Data"));
    if (!QFileInfo(data).isDir()) {
        if (!QDir().mkpath(data))
            throw Error(QStringLiteral("无法创建数据文件夹 %1。").arg(data));
        QFile::setPermissions(data, ownerOnly);
    }
}

QString HomeFolder::iniPath() const
{
    return QDir(m_path).filePath(QStringLiteral("System.ini"));
}

QString HomeFolder::databasePath() const
{
    return QDir(m_path).filePath(QStringLiteral("Data/Data.db"));
}

QString HomeFolder::lockPath() const
{
    return QDir(m_path).filePath(QStringLiteral("velmora.lock"));
}

QString HomeFolder::logPath() const
{
    return QDir(m_path).filePath(QStringLiteral("velmora.log"));
}

QString HomeFolder::existingDatabasePath() const
{
    const QString path = databasePath();
    const QFileInfo file(path);
    if (!file.exists())
        throw Error(QStringLiteral("找不到数据库文件 %1。请先启动一次 Velmora 并录入卡片。").arg(path));
    if (!file.isFile() || !file.isReadable())
        throw Error(QStringLiteral("无法读取数据库文件 %1。").arg(path));
    return path;
}

QString HomeFolder::shippedFile(const QString& name) const
{
    const QString local = QDir(m_path).filePath(name);
    if (QFileInfo::exists(local))
        return local;
    return QStringLiteral(":/") + name;
}
