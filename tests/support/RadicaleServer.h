#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real CalDAV server for the calendar tests: Debian's radicale on 127.0.0.1, one user with a
// plain htpasswd password, storage in a temporary folder, TLS when a certificate is given.
// Collections and foreign events are put straight into its storage; what it holds is read from
// there too, so the tests never see the server through the program's own client.
class RadicaleServer
{
public:
    struct Options
    {
        QString user = QStringLiteral("alice");
        QString password = QStringLiteral("s3cret-密码");
        QString certFile; // PEM: serve https
        QString keyFile;
    };

    static bool installed(); // /usr/bin/radicale is there

    explicit RadicaleServer(Options options);
    RadicaleServer() : RadicaleServer(Options{}) {}
    ~RadicaleServer();
    RadicaleServer(const RadicaleServer&) = delete;
    RadicaleServer& operator=(const RadicaleServer&) = delete;

    bool start(); // false with errorString() when the server did not come up
    QString errorString() const { return m_error; }
    const Options& options() const { return m_options; }
    int port() const { return m_port; }

    // "http://127.0.0.1:<port>/<user>/<name>/" (https with a certificate).
    QString url(const QString& name) const;

    // Makes a collection of the user: a calendar, or with tag "VADDRESSBOOK" an address book.
    void makeCollection(const QString& name, const QString& tag = QStringLiteral("VCALENDAR")) const;
    // Puts a calendar object under `fileName` into a collection, as another program would.
    void putObject(const QString& collection, const QString& fileName, const QByteArray& data) const;
    void removeObject(const QString& collection, const QString& fileName) const;
    // The calendar objects of a collection by file name, as stored.
    QMap<QString, QByteArray> objects(const QString& collection) const;

    // Requests of a method the server answered so far ("PUT", "DELETE", ...), from its log.
    int requestCount(const QByteArray& method);

private:
    QString collectionPath(const QString& name) const;

    Options m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_log;
    int m_port = 0;
    QString m_error;
};
