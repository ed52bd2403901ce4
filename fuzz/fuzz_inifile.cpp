#include "store/Error.h"
#include "store/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

// Putting a key into any bytes sets that key and leaves every other key readable as before.
void checkWithValue(const QByteArray& bytes)
{
    const QString section = QStringLiteral("系统设置");
    const QString other = QStringLiteral("other");
    const auto before = IniFile::valueIn(bytes, other, QStringLiteral("key"));
    const auto sameSectionBefore = IniFile::valueIn(bytes, section, QStringLiteral("pd"));
    QByteArray after;
    try {
        after = IniFile::withValue(bytes, section, QStringLiteral("em"), QStringLiteral("a@b.c"));
    } catch (const Error&) {
        std::abort(); // plain names and values are always accepted
    }
    if (IniFile::valueIn(after, section, QStringLiteral("em")) != QStringLiteral("a@b.c"))
        std::abort();
    if (IniFile::valueIn(after, other, QStringLiteral("key")) != before)
        std::abort();
    if (IniFile::valueIn(after, section, QStringLiteral("pd")) != sameSectionBefore)
        std::abort();
    // Setting it again changes nothing more.
    if (IniFile::withValue(after, section, QStringLiteral("em"), QStringLiteral("a@b.c")) != after)
        std::abort();
}

} // namespace

// Any bytes as System.ini: reads never crash, and a write keeps what it did not touch readable.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkWithValue(bytes);

    static QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("System.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
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
