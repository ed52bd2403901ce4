#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

// One running program per home folder: the first start holds a lock file in the home folder
// and listens on a local socket; a later start finds the lock taken, asks the running
// program to come forward and ends. Two programs on one database would run two reminder
// and mail loops.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString& homePath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only running program for the home folder (it then listens for
    // later starts). False when another one runs; it has been asked to come forward.
    bool claim();

    // After a refused claim: whether the running program got the request to come forward.
    bool notified() const { return m_notified; }

    static QString serverName(const QString& homePath);

signals:
    // Posted, never emitted from inside the socket's own handler.
    void activationRequested();

private:
    bool notifyRunning();

    QString m_home;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
    bool m_notified = false;
};
