#include "app/SingleInstance.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void secondStartAsksFirstToComeForward();
    void otherHomeRunsSeparately();
    void unlockableHomeStillStarts();
};

void TestSingleInstance::secondStartAsksFirstToComeForward()
{
    QTemporaryDir home;
    SingleInstance first(home.path());
    QVERIFY(first.claim());
    QSignalSpy forward(&first, &SingleInstance::activationRequested);

    SingleInstance second(home.path());
    QVERIFY(!second.claim());
    QTRY_COMPARE(forward.count(), 1);
}

void TestSingleInstance::otherHomeRunsSeparately()
{
    QTemporaryDir homeA, homeB;
    SingleInstance a(homeA.path());
    SingleInstance b(homeB.path());
    QVERIFY(a.claim());
    QVERIFY(b.claim());
    QVERIFY(SingleInstance::serverName(homeA.path()) != SingleInstance::serverName(homeB.path()));
}

void TestSingleInstance::unlockableHomeStillStarts()
{
    // No lock file can be made inside a "folder" that is a file (a read-only medium behaves alike).
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("not-a-folder"));
    QFile file(home);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    SingleInstance instance(home);
    QVERIFY(instance.claim());
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
