#include "store/Backup.h"

#include "store/Database.h"
#include "store/Error.h"
#include "store/IniFile.h"
#include "store/SafeFile.h"
#include "store/SecretBox.h"
#include "store/SettingKeys.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Backup {

const QString kSection = QString::fromUtf16(SettingKeys::kBackup);

namespace {

constexpr QFileDevice::Permissions kOwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

void requireOpen(const Database& db)
{
    if (!db.isOpen())
        throw Error(QStringLiteral("数据库未打开。"));
}

void ensureFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return;
    if (!QDir().mkpath(folder))
        throw Error(QStringLiteral("无法创建备份文件夹 %1。").arg(folder));
    QFile::setPermissions(folder, kOwnerOnlyFolder);
}

// A copy of `source` in the empty file `temporary`, flushed to disk: the file as it stands where
// that is consistent, else page by page. Through one descriptor of the copy, which the sync uses.
void writeCopy(Database& source, const QString& temporary)
{
    const int fd = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        throw Error(QString::fromLocal8Bit(std::strerror(errno)));
    const auto closeCopy = qScopeGuard([fd] { ::close(fd); });
    if (!source.copyFileTo(fd)) {
        Database copy;
        copy.openFile(temporary, Database::Access::ReadWrite);
        // Nobody reads the copy before it is renamed into place: written without a journal or a
        // sync per step (five times faster), then synced once.
        copy.executeSql(QStringLiteral("PRAGMA journal_mode=OFF"));
        copy.executeSql(QStringLiteral("PRAGMA synchronous=OFF"));
        copy.copyPagesFrom(source);
    }
    if (::fsync(fd) != 0)
        throw Error(QString::fromLocal8Bit(std::strerror(errno)));
}

// Writes a copy of `source` to `target`: first under a temporary name beside it, so that a
// failure never leaves a half-written file under the real name.
void copyConnectionTo(Database& source, const QString& target)
{
    const QFileInfo info(target);
    if (info.isDir())
        throw Error(QStringLiteral("%1 是一个文件夹。").arg(target));
    if (!info.absoluteDir().exists())
        throw Error(QStringLiteral("文件夹 %1 不存在。").arg(info.absolutePath()));
    // Owner-only under a random name before SQLite writes a byte; a shared folder's planted link
    // or file at a guessable name is never followed.
    const QString temporary = SafeFile::createBeside(target);
    try {
        writeCopy(source, temporary);
    } catch (const Error& e) {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
        throw Error(QStringLiteral("无法备份数据库到 %1：%2").arg(target, e.message()));
    }
    SafeFile::moveInto(temporary, target); // replaces an existing file in one step
}

// The first row of integrity_check ("ok" when sound), or the error SQLite gave.
QString integrityOf(Database& db)
{
    try {
        Statement check(db, QStringLiteral("PRAGMA integrity_check"));
        return check.step() ? check.text(0) : QString();
    } catch (const Error& e) {
        return e.message();
    }
}

} // namespace

int keepSetting(const IniFile& ini)
{
    return Setting::integer(ini, SettingKeys::backupKeep);
}

QString folderFor(const QString& databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("Backup"));
}

QString dailyFileName(QDate day)
{
    return QStringLiteral("Data-") + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".db");
}

bool isDailyFileName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^Data-\\d{4}-\\d{2}-\\d{2}\\.db$"));
    return pattern.match(name).hasMatch();
}

void copyDatabase(Database& db, const QString& target)
{
    requireOpen(db);
    copyConnectionTo(db, target);
}

void copyFile(const QString& source, const QString& target)
{
    if (!QFileInfo(source).isFile())
        throw Error(QStringLiteral("数据库文件 %1 不存在。").arg(source));
    Database from;
    try {
        from.openFile(source, Database::Access::ReadOnly);
    } catch (const Error& e) {
        throw Error(QStringLiteral("无法打开数据库 %1：%2").arg(source, e.message()));
    }
    copyConnectionTo(from, target);
}

QString problemWith(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return QStringLiteral("文件 %1 不存在。").arg(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取 %1：%2").arg(path, file.errorString());
    if (!file.read(16).startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return QStringLiteral("%1 不是数据库文件。").arg(path);
    file.close();

    Database db;
    try {
        db.openFile(path, Database::Access::ReadOnly);
    } catch (const Error& e) {
        return QStringLiteral("无法打开 %1：%2").arg(path, e.message());
    }
    const QString integrity = integrityOf(db);
    if (integrity != QLatin1String("ok"))
        return QStringLiteral("%1 已损坏（%2）。").arg(path, integrity);
    db.close();
    // Exactly what the program would open afterwards: one rule for both.
    const QString refused = Database::whyNotOpenable(path);
    if (!refused.isEmpty())
        return QStringLiteral("%1 不能用来恢复：%2。").arg(path, refused);
    return {};
}

QStringList prune(const QString& folder, int keep)
{
    QStringList removed;
    if (keep <= 0)
        return removed; // daily copies off: the ones there stay
    QStringList daily;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("Data-*.db")}, QDir::Files)) {
        if (isDailyFileName(name))
            daily << name;
    }
    std::sort(daily.begin(), daily.end(), std::greater<>()); // newest first: the date is in the name
    for (qsizetype i = keep; i < daily.size(); ++i) {
        if (QFile::remove(QDir(folder).filePath(daily[i])))
            removed << daily[i];
    }
    return removed;
}

DailyOutcome makeDaily(Database& db, QDate today, int keep, bool sealWanted)
{
    if (keep <= 0)
        return DailyOutcome::Off;
    if (sealWanted && holdsClearSecrets(db))
        return DailyOutcome::HeldBack;
    const QString folder = folderFor(db.path());
    const QString target = QDir(folder).filePath(dailyFileName(today));
    DailyOutcome outcome = DailyOutcome::AlreadyMade;
    if (!QFileInfo::exists(target)) {
        ensureFolder(folder);
        copyDatabase(db, target);
        outcome = DailyOutcome::Made;
    }
    prune(folder, keep);
    return outcome;
}

namespace {
bool clearSecretsIn(Database& db)
{
    try {
        Statement cards(db, QStringLiteral("SELECT c_no, c_xym, c_yxq FROM txyk"));
        while (cards.step()) {
            for (int column = 0; column < 3; ++column) {
                const QString value = cards.text(column).trimmed();
                if (!value.isEmpty() && !SecretBox::isSealed(value))
                    return true;
            }
        }
    } catch (const Error&) {
        // no card table that can be read: nothing in clear to find
    }
    return false;
}
} // namespace

bool holdsClearSecrets(const QString& path)
{
    Database copy;
    try {
        copy.openFile(path, Database::Access::ReadOnly);
    } catch (const Error&) {
        return false;
    }
    return clearSecretsIn(copy);
}

bool holdsCardKey(const QString& path)
{
    Database copy;
    try {
        copy.openFile(path, Database::Access::ReadOnly);
        Statement keys(copy, QStringLiteral("SELECT count(*) FROM tkey"));
        return keys.step() && keys.integer(0) > 0;
    } catch (const Error&) {
        return false; // an older copy without the key table
    }
}

bool holdsClearSecrets(Database& db)
{
    requireOpen(db);
    return clearSecretsIn(db);
}

QStringList copiesWithClearSecrets(const QString& folder)
{
    QStringList clear;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name)) {
        if (holdsClearSecrets(QDir(folder).filePath(name)))
            clear << name;
    }
    return clear;
}

QStringList removeCopies(const QString& folder, const QStringList& names)
{
    QStringList left;
    for (const QString& name : names) {
        if (!QFile::remove(QDir(folder).filePath(name)))
            left << name;
    }
    return left;
}

void restore(const QString& source, const QString& databasePath, const QString& keepAs)
{
    const QString problem = problemWith(source);
    if (!problem.isEmpty())
        throw Error(problem);
    const QFileInfo current(databasePath);
    if (current.exists() && current.canonicalFilePath() == QFileInfo(source).canonicalFilePath())
        throw Error(QStringLiteral("%1 就是当前的数据库。").arg(source));

    // The current database is kept first; without that copy nothing is replaced.
    if (current.exists()) {
        ensureFolder(QFileInfo(keepAs).absolutePath());
        try {
            copyFile(databasePath, keepAs);
        } catch (const Error&) {
            // Too damaged for SQLite to read: keep the file (and its journal) as it is.
            QFile::remove(keepAs);
            if (!QFile::copy(databasePath, keepAs))
                throw Error(QStringLiteral("无法保留当前数据库的副本 %1，未恢复。").arg(keepAs));
            QFile::setPermissions(keepAs, kOwnerOnlyFile);
            const QString journal = databasePath + QStringLiteral("-journal");
            if (QFileInfo::exists(journal) && QFile::copy(journal, keepAs + QStringLiteral("-journal")))
                QFile::setPermissions(keepAs + QStringLiteral("-journal"), kOwnerOnlyFile);
        }
    } else {
        SafeFile::refuseLink(databasePath);
        SafeFile::createNew(databasePath);
    }

    Database from;
    try {
        from.openFile(source, Database::Access::ReadOnly);
    } catch (const Error& e) {
        throw Error(QStringLiteral("无法打开 %1：%2").arg(source, e.message()));
    }
    try {
        Database to;
        to.openFile(databasePath, Database::Access::ReadWrite);
        to.copyPagesFrom(from);
    } catch (const Error& e) {
        // Only a current file SQLite cannot work with is replaced whole; anything else (busy,
        // disk full) is reported with the current database untouched.
        if (problemWith(databasePath).isEmpty())
            throw Error(QStringLiteral("无法恢复数据库：%1").arg(e.message()));
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            QFile::remove(databasePath + QLatin1String(suffix));
        copyConnectionTo(from, databasePath);
    }
    const QString after = problemWith(databasePath);
    if (!after.isEmpty())
        throw Error(QStringLiteral("恢复后的数据库检查未通过：%1").arg(after));
}

} // namespace Backup
