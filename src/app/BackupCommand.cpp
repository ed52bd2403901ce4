#include "app/BackupCommand.h"

#include "app/SingleInstance.h"
#include "store/Backup.h"
#include "store/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

int runBackupCommand(const HomeFolder& home, const QString& file, QTextStream& out, QTextStream& err)
{
    try {
        const QString database = home.existingDatabasePath();
        const QString target = QFileInfo(file).absoluteFilePath();
        if (QFileInfo(target).canonicalFilePath() == QFileInfo(database).canonicalFilePath())
            throw Error(QStringLiteral("备份文件不能是数据库本身。"));
        Backup::copyFile(database, target);
        out << QStringLiteral("已备份数据库到 %1。").arg(target) << '\n';
        return 0;
    } catch (const Error& e) {
        out.flush();
        err << QStringLiteral("velmora: ") << e.message() << '\n';
        return 1;
    }
}

QString restoreKeepPath(const HomeFolder& home, const QDateTime& at)
{
    return QDir(Backup::folderFor(home.databasePath()))
        .filePath(QStringLiteral("Data-") + at.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
                  QStringLiteral("-before-restore.db"));
}

int runRestoreCommand(const HomeFolder& home, const Clock& clock, const QString& file, QTextStream& out,
                      QTextStream& err)
{
    try {
        const QString source = QFileInfo(file).absoluteFilePath();
        const QString problem = Backup::problemWith(source);
        if (!problem.isEmpty())
            throw Error(QStringLiteral("未恢复：") + problem);
        home.ensureExists();

        // The running program holds this lock; holding it here also keeps one from starting.
        QLockFile lock(SingleInstance::lockPath(home.path()));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0)) {
            if (lock.error() == QLockFile::LockFailedError)
                throw Error(QStringLiteral("Velmora正在使用这个数据库，请先从托盘菜单退出程序再恢复。"));
            throw Error(QStringLiteral("无法在 %1 中创建锁文件，未恢复。").arg(home.path()));
        }

        const QString database = home.databasePath();
        const bool hadDatabase = QFileInfo::exists(database);
        const QString kept = restoreKeepPath(home, clock.now());
        Backup::restore(source, database, kept);
        out << QStringLiteral("已用 %1 恢复数据库。").arg(source) << '\n';
        if (hadDatabase)
            out << QStringLiteral("原来的数据库已保存为 %1。").arg(kept) << '\n';
        return 0;
    } catch (const Error& e) {
        out.flush();
        err << QStringLiteral("velmora: ") << e.message() << '\n';
        return 1;
    }
}
