#include "support/RadicaleServer.h"

#include "support/SmtpServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QThread>

namespace {
const QString kRadicale = QStringLiteral("/usr/bin/radicale");

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}
} // namespace

bool RadicaleServer::installed()
{
    return QFileInfo(kRadicale).isExecutable();
}

RadicaleServer::RadicaleServer(Options options) : m_options(std::move(options)) {}

RadicaleServer::~RadicaleServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }
}

bool RadicaleServer::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    m_port = SmtpServer::unusedPort();
    const QString users = m_dir.filePath(QStringLiteral("users"));
    writeFile(users, (m_options.user + u':' + m_options.password + u'\n').toUtf8());
    QDir(m_dir.path()).mkpath(QStringLiteral("storage/collection-root"));
    QString config = QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n").arg(m_port);
    if (!m_options.certFile.isEmpty())
        config += QStringLiteral("ssl = True\ncertificate = %1\nkey = %2\n")
                      .arg(m_options.certFile, m_options.keyFile);
    config += QStringLiteral("[auth]\ntype = htpasswd\nhtpasswd_filename = %1\nhtpasswd_encryption = plain\n"
                             "[storage]\nfilesystem_folder = %2\n"
                             "[rights]\ntype = owner_only\n[web]\ntype = none\n"
                             "[logging]\nlevel = info\nmask_passwords = True\n")
                  .arg(users, m_dir.filePath(QStringLiteral("storage")));
    const QString configFile = m_dir.filePath(QStringLiteral("config"));
    writeFile(configFile, config.toUtf8());

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(kRadicale, {QStringLiteral("--config"), configFile});
    if (!m_process.waitForStarted(10000)) {
        m_error = m_process.errorString();
        return false;
    }
    // Ready once it says so (its log goes to stderr); the machine may be busy: wait generously.
    const QDeadlineTimer deadline(60000);
    while (!m_log.contains("Radicale server ready")) {
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_error = QStringLiteral("radicale did not come up: ") + QString::fromUtf8(m_log);
            return false;
        }
        m_process.waitForReadyRead(200);
        m_log += m_process.readAll();
    }
    return true;
}

QString RadicaleServer::url(const QString& name) const
{
    const QString scheme = m_options.certFile.isEmpty() ? QStringLiteral("http") : QStringLiteral("https");
    return QStringLiteral("%1://127.0.0.1:%2/%3/%4/").arg(scheme).arg(m_port).arg(m_options.user, name);
}

QString RadicaleServer::collectionPath(const QString& name) const
{
    return m_dir.filePath(QStringLiteral("storage/collection-root/") + m_options.user + u'/' + name);
}

void RadicaleServer::makeCollection(const QString& name, const QString& tag) const
{
    QDir().mkpath(collectionPath(name));
    writeFile(collectionPath(name) + QStringLiteral("/.Radicale.props"),
              QStringLiteral(R"({"tag": "%1"})").arg(tag).toUtf8());
}

void RadicaleServer::putObject(const QString& collection, const QString& fileName,
                               const QByteArray& data) const
{
    writeFile(collectionPath(collection) + u'/' + fileName, data);
}

void RadicaleServer::removeObject(const QString& collection, const QString& fileName) const
{
    QFile::remove(collectionPath(collection) + u'/' + fileName);
}

QMap<QString, QByteArray> RadicaleServer::objects(const QString& collection) const
{
    QMap<QString, QByteArray> out;
    const QDir dir(collectionPath(collection));
    for (const QString& name : dir.entryList({QStringLiteral("*.ics")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            out.insert(name, file.readAll());
    }
    return out;
}

int RadicaleServer::requestCount(const QByteArray& method)
{
    // Every answer is logged before it is sent: what the client saw is in the pipe by now.
    m_log += m_process.readAll();
    while (m_process.waitForReadyRead(100))
        m_log += m_process.readAll();
    // "[INFO] PUT response status for '/alice/cards/x.ics' in 0.01 seconds: 201 Created"
    return int(m_log.count("] " + method + " response status for "));
}
