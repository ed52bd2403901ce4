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
    QStringList arguments{script("smtp_server.py"),
                          QStringLiteral("--dir"),
                          m_dir.path(),
                          QStringLiteral("--user"),
                          m_options.user,
                          QStringLiteral("--password"),
                          m_options.password,
                          QStringLiteral("--fail-data"),
                          QString::number(m_options.failData),
                          QStringLiteral("--fault"),
                          m_options.fault,
                          QStringLiteral("--reject-rcpt"),
                          m_options.rejectRcpt,
                          QStringLiteral("--tls"),
                          m_options.tls,
                          QStringLiteral("--cert"),
                          m_options.certFile,
                          QStringLiteral("--key"),
                          m_options.keyFile};
    if (m_options.plainOnly)
        arguments << QStringLiteral("--plain-only");
    m_process.start(kPython, arguments);
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

int SmtpServer::transactions() const
{
    QFile file(QDir(m_dir.path()).filePath(QStringLiteral("mail.log")));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return int(file.readAll().count('\n'));
}

int SmtpServer::unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed again when probe goes out of scope
}

bool TestCa::openssl(const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1: %2%3")
                      .arg(arguments.join(u' '), process.errorString(),
                           QString::fromUtf8(process.readAllStandardError()));
        return false;
    }
    return true;
}

bool TestCa::make()
{
    return openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                    QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                    QStringLiteral("-subj"), QStringLiteral("/CN=Velmora Test CA"), QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                    QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

bool TestCa::issue(const QString& base, const QString& name)
{
    const bool ip = !name.isEmpty() && name.front().isDigit();
    QFile ext(QDir(m_dir.path()).filePath(base + QStringLiteral(".ext")));
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write(QStringLiteral("subjectAltName=%1:%2\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
                  .arg(ip ? QStringLiteral("IP") : QStringLiteral("DNS"), name)
                  .toUtf8());
    ext.close();
    return openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                    QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                    QStringLiteral("-nodes"), QStringLiteral("-keyout"), base + QStringLiteral(".key"),
                    QStringLiteral("-out"), base + QStringLiteral(".csr"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=") + name}) &&
           openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                    base + QStringLiteral(".csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
                    QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
                    QStringLiteral("-out"), base + QStringLiteral(".pem"), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-extfile"), base + QStringLiteral(".ext")});
}

QString TestCa::caFile() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("ca.pem"));
}

QString TestCa::certFile(const QString& base) const
{
    return QDir(m_dir.path()).filePath(base + QStringLiteral(".pem"));
}

QString TestCa::keyFile(const QString& base) const
{
    return QDir(m_dir.path()).filePath(base + QStringLiteral(".key"));
}

QString SmtpServer::settingsSection(const QString& password) const
{
    return QStringLiteral("[邮件服务器]\r\nsmtp_host=127.0.0.1\r\nsmtp_port=%1\r\nsmtp_user=%2\r\n"
                          "smtp_password=%3\r\nsmtp_from=reminder@velmora.test\r\nsmtp_security=none\r\n")
        .arg(m_port)
        .arg(m_options.user, password.isNull() ? m_options.password : password);
}
