#include "store/SafeFile.h"

#include "store/Error.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace SafeFile {

namespace {

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// mkstemp creates with O_CREAT|O_EXCL and mode 0600: a name that exists, link or not, is never
// opened. The descriptor is closed by the caller.
int createTemporary(const QString& target, QByteArray& name)
{
    const QFileInfo info(target);
    name = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw Error(QStringLiteral("无法写入 %1：%2").arg(target, reason(errno)));
    ::fchmod(fd, S_IRUSR | S_IWUSR); // whatever the umask
    return fd;
}

} // namespace

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

void refuseLink(const QString& target)
{
    struct stat st
    {
    };
    if (::lstat(QFile::encodeName(target).constData(), &st) == 0 && S_ISLNK(st.st_mode))
        throw Error(
            QStringLiteral("%1 是一个符号链接，为安全起见不写入（请先删除它或换一个文件名）。").arg(target));
}

void write(const QString& target, const QByteArray& bytes)
{
    refuseLink(target);
    QByteArray name;
    const int fd = createTemporary(target, name);
    bool ok = writeAll(fd, bytes);
    int error = ok ? 0 : errno;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(name.constData());
        throw Error(QStringLiteral("无法写入 %1：%2").arg(target, reason(error)));
    }
    moveInto(QFile::decodeName(name), target);
}

Writer::Writer(const QString& target) : m_target(target)
{
    refuseLink(target);
    m_fd = createTemporary(target, m_name);
}

Writer::~Writer()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_name.constData());
    }
}

void Writer::write(QByteArrayView bytes)
{
    constexpr qsizetype kBufferSize = 256 * 1024;
    m_buffer.append(bytes);
    if (m_buffer.size() >= kBufferSize)
        flushBuffer();
}

void Writer::flushBuffer()
{
    if (m_fd < 0)
        throw Error(QStringLiteral("无法写入 %1。").arg(m_target));
    if (!writeAll(m_fd, m_buffer))
        fail(errno);
    m_buffer.clear();
}

void Writer::fail(int error)
{
    ::close(m_fd);
    ::unlink(m_name.constData());
    m_fd = -1;
    throw Error(QStringLiteral("无法写入 %1：%2").arg(m_target, reason(error)));
}

void Writer::commit()
{
    flushBuffer();
    if (::fsync(m_fd) != 0)
        fail(errno);
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(m_name.constData());
        throw Error(QStringLiteral("无法写入 %1：%2").arg(m_target, reason(error)));
    }
    moveInto(QFile::decodeName(m_name), m_target);
}

QString createBeside(const QString& target)
{
    refuseLink(target);
    QByteArray name;
    ::close(createTemporary(target, name));
    return QFile::decodeName(name);
}

void moveInto(const QString& temporary, const QString& target)
{
    const QByteArray from = QFile::encodeName(temporary);
    try {
        refuseLink(target); // rename would replace the link itself, but a link there was not ours
    } catch (const Error&) {
        ::unlink(from.constData());
        throw;
    }
    if (std::rename(from.constData(), QFile::encodeName(target).constData()) != 0) {
        const int error = errno;
        ::unlink(from.constData());
        throw Error(QStringLiteral("无法写入 %1：%2").arg(target, reason(error)));
    }
}

bool createNew(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        if (errno == EEXIST)
            return false;
        throw Error(QStringLiteral("无法创建文件 %1：%2").arg(path, reason(errno)));
    }
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    ::close(fd);
    return true;
}

} // namespace SafeFile
