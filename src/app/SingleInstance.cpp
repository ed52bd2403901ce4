#include "app/SingleInstance.h"

#include "store/HomeFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace {
const QByteArray kShowRequest = "show\n";
}

SingleInstance::SingleInstance(const QString& homePath, QObject* parent)
    : QObject(parent), m_home(QDir(homePath).absolutePath()), m_lock(lockPath(homePath))
{
    m_lock.setStaleLockTime(0); // a lock is stale only when its process is gone
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockPath(const QString& homePath)
{
    return HomeFolder(homePath).lockPath();
}

namespace {
// A folder only this user can enter: the session's runtime folder as the desktop sets it up.
bool privateFolder(const QString& path)
{
    struct stat st
    {
    };
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}
} // namespace

QString SingleInstance::serverName(const QString& homePath)
{
    // A full path in a folder no other user can write to, so nobody else can take the name
    // first: the session's runtime folder, else the (0700) home folder itself.
    const QByteArray key = QDir(homePath).absolutePath().toUtf8();
    const QString name = QStringLiteral("velmora-%1.sock")
                             .arg(QString::fromLatin1(
                                 QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16)));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (privateFolder(runtime))
        return QDir(runtime).filePath(name);
    return QDir(homePath).absoluteFilePath(name);
}

bool SingleInstance::claim()
{
    if (!m_lock.tryLock(0)) {
        if (m_lock.error() != QLockFile::LockFailedError) {
            // A home folder we cannot write a lock into (read-only medium): run without the guard.
            qWarning("Velmora: cannot create %s; not checking for a running program",
                     qPrintable(QDir(m_home).filePath(QStringLiteral("velmora.lock"))));
            return true;
        }
        m_notified = notifyRunning();
        return false;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString name = serverName(m_home);
    QLocalServer::removeServer(name); // left over by a program that crashed; we hold the lock
    if (!m_server->listen(name))
        qWarning("Velmora: cannot listen for later starts: %s", qPrintable(m_server->errorString()));
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                const bool show = socket->readAll().contains("show");
                socket->disconnectFromServer();
                // Queued: bringing the window forward may run the login's own event loop, in
                // which this socket is freed; nothing may be left to do with it afterwards.
                if (show)
                    QMetaObject::invokeMethod(this, &SingleInstance::activationRequested,
                                              Qt::QueuedConnection);
            });
        }
    });
    return true;
}

bool SingleInstance::notifyRunning()
{
    // The running program may still be starting up: try for a few seconds.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(serverName(m_home));
        if (socket.waitForConnected(500)) {
            socket.write(kShowRequest);
            const bool sent = socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(100);
    }
    return false;
}
