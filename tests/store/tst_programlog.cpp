#include "store/ProgramLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestProgramLog : public QObject
{
    Q_OBJECT
private slots:
    void appendsOneOwnerOnlyLinePerEvent();
    void neverWritesThroughALink();
};

void TestProgramLog::appendsOneOwnerOnlyLinePerEvent()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("velmora.log");
    const QDateTime at(QDate(2013, 9, 5), QTime(9, 0));
    ProgramLog::append(path, at, "备份失败：磁盘已满");
    ProgramLog::append(path, at.addSecs(1), "第一行\r\n第二行"); // a line break cannot forge a line
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()),
             QString("2013-09-05 09:00:00 备份失败：磁盘已满\n2013-09-05 09:00:01 第一行  第二行\n"));
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
}

void TestProgramLog::neverWritesThroughALink()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("elsewhere");
    QVERIFY(QFile::link(target, dir.filePath("velmora.log")));
    ProgramLog::append(dir.filePath("velmora.log"), QDateTime::currentDateTime(), "x");
    QVERIFY(!QFile::exists(target));
}

QTEST_GUILESS_MAIN(TestProgramLog)
#include "tst_programlog.moc"
