#include "cli/BackupCommand.h"

#include "store/Backup.h"
#include "store/Error.h"
#include "store/Settings.h"

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
                      QTextStream& err, bool force)
{
    try {
        const QString source = QFileInfo(file).absoluteFilePath();
        const QString problem = Backup::problemWith(source);
        if (!problem.isEmpty())
            throw Error(QStringLiteral("未恢复：") + problem);
        // Protection on, but the copy holds numbers in clear: they would sit in clear (and in every
        // daily copy) until the next login seals them. Only when asked for.
        const Settings settings(home.iniPath());
        const bool clearUnderProtection =
            settings.passwordProtect() && settings.passwordSet() && Backup::holdsClearSecrets(source);
        if (clearUnderProtection && !force)
            throw Error(
                QStringLiteral("未恢复：%1 中的卡号、校验码或有效期没有加密，而当前开启了密码保护。恢复后它们"
                               "将以明文保存，直到下次登录时重新加密。确实要恢复，请加上 --force。")
                    .arg(source));
        home.ensureExists();

        // The running program holds this lock; holding it here also keeps one from starting.
        QLockFile lock(home.lockPath());
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
        // Without a card key in the copy a password kept only in the key cannot be checked: the
        // login says so, and a new password (which seals the values) is the way on.
        if (clearUnderProtection && settings.passwordInKey() && !Backup::holdsCardKey(database))
            out << QStringLiteral("注意：恢复的卡号等资料没有加密，其中也没有可以核对当前密码的卡片密钥。请在"
                                  "“系统设置”中用“重置密码”重新设置密码，设置后卡片资料随即加密。")
                << '\n';
        else if (clearUnderProtection)
            out << QStringLiteral("注意：恢复的卡号等资料没有加密，下次登录时会重新加密。") << '\n';
        return 0;
    } catch (const Error& e) {
        out.flush();
        err << QStringLiteral("velmora: ") << e.message() << '\n';
        return 1;
    }
}
