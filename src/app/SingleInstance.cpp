#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace {
const QByteArray kShowRequest = "show\n";
}

SingleInstance::SingleInstance(const QString& homePath, QObject* parent)
    : QObject(parent), m_home(QDir(homePath).absolutePath()),
      m_lock(QDir(homePath).filePath(QStringLiteral("velmora.lock")))
{
    m_lock.setStaleLockTime(0); // a lock is stale only when its process is gone
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& homePath)
{
    // Per user and per home folder; short enough for a socket path.
    const QByteArray key = QDir(homePath).absolutePath().toUtf8();
    return QStringLiteral("velmora-%1-%2")
        .arg(qEnvironmentVariable("USER", QStringLiteral("user")))
        .arg(QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16)));
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
