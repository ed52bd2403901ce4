#include "store/Error.h"
#include "store/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

// Any bytes as System.ini: reads never crash, and a write keeps what it did not touch readable.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("System.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const QString section = QStringLiteral("系统设置");
    IniFile ini(path);
    const QString before = ini.readText(QStringLiteral("other"), QStringLiteral("key"));
    ini.readText(section, QStringLiteral("pd"));
    ini.readInt(section, QStringLiteral("zxf"), 0);
    ini.readBool(section, QStringLiteral("pdtf"), true);
    ini.readDate(section, QStringLiteral("senddate"), QDate(1990, 1, 1));
    try {
        ini.writeText(section, QStringLiteral("em"), QStringLiteral("a@b.c"));
    } catch (const Error&) {
        return 0;
    }
    if (ini.readText(section, QStringLiteral("em")) != QStringLiteral("a@b.c"))
        std::abort();
    if (ini.readText(QStringLiteral("other"), QStringLiteral("key")) != before)
        std::abort();
    return 0;
}
