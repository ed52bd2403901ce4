#include "support/SmtpServer.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>

namespace {
const QString kPython = QStringLiteral("/usr/bin/python3");
QString script(const char* name)
{
    return QDir(QStringLiteral(VELMORA_TEST_SUPPORT_DIR)).filePath(QString::fromLatin1(name));
}
} // namespace

SmtpServer::SmtpServer(Options options) : m_options(std::move(options)) {}

SmtpServer::~SmtpServer()
{
    stop();
}

bool SmtpServer::start()
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(kPython,
                    {script("smtp_server.py"), QStringLiteral("--dir"), m_dir.path(),
                     QStringLiteral("--user"), m_options.user, QStringLiteral("--password"),
                     m_options.password, QStringLiteral("--fail-data"), QString::number(m_options.failData),
                     QStringLiteral("--fault"), m_options.fault});
    if (!m_process.waitForStarted(10000)) {
        m_error = m_process.errorString();
        return false;
    }
    QByteArray line;
    while (!line.contains('\n')) {
        if (!m_process.waitForReadyRead(15000)) {
            m_error = QString::fromUtf8(m_process.readAllStandardError());
            stop();
            return false;
        }
        line += m_process.readAllStandardOutput();
    }
    if (!line.startsWith("READY ")) {
        m_error = QString::fromUtf8(line + m_process.readAllStandardError());
        stop();
        return false;
    }
    m_port = line.mid(6).trimmed().toInt();
    return m_port > 0;
}

void SmtpServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

int SmtpServer::messageCount() const
{
    return int(QDir(m_dir.path()).entryList({QStringLiteral("msg-*.eml")}, QDir::Files).size());
}

QByteArray SmtpServer::rawMessage(int index) const
{
    QFile file(QDir(m_dir.path()).filePath(QStringLiteral("msg-%1.eml").arg(index + 1)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject SmtpServer::message(int index) const
{
    const QString base = QDir(m_dir.path()).filePath(QStringLiteral("msg-%1").arg(index + 1));
    QProcess parser;
    parser.start(kPython, {script("parse_mail.py"), base + QStringLiteral(".eml")});
    parser.waitForFinished(30000);
    QJsonObject result = QJsonDocument::fromJson(parser.readAllStandardOutput()).object();
    if (result.isEmpty())
        result.insert(QStringLiteral("parse_error"), QString::fromUtf8(parser.readAllStandardError()));
    QFile envelope(base + QStringLiteral(".json"));
    if (envelope.open(QIODevice::ReadOnly)) {
        const QJsonObject e = QJsonDocument::fromJson(envelope.readAll()).object();
        for (auto it = e.begin(); it != e.end(); ++it)
            result.insert(it.key(), it.value());
    }
    return result;
}

QStringList SmtpServer::authAttempts() const
{
    QFile file(QDir(m_dir.path()).filePath(QStringLiteral("auth.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

int SmtpServer::unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed again when probe goes out of scope
}
