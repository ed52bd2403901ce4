#include "store/ProgramLog.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ProgramLog {

void append(const QString& path, const QDateTime& at, const QString& text)
{
    // Owner-only from its first byte; a link in its place is not followed.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return;
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text,
                   QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return;
    }
    QString line = text;
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    file.write((at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + u' ' + line + u'\n').toUtf8());
}

} // namespace ProgramLog
