#include "store/IniFile.h"

#include "store/Error.h"

// Placeholder until the GBK reader/writer lands: every read gives its default.
QString IniFile::readText(const QString&, const QString&, const QString& missing) const
{
    return missing;
}
int IniFile::readInt(const QString&, const QString&, int missing) const
{
    return missing;
}
bool IniFile::readBool(const QString&, const QString&, bool missing) const
{
    return missing;
}
QDate IniFile::readDate(const QString&, const QString&, QDate missing) const
{
    return missing;
}
void IniFile::writeText(const QString&, const QString&, const QString&)
{
    throw Error(QStringLiteral("Unable to write to %1").arg(m_path));
}
void IniFile::writeInt(const QString& s, const QString& k, int v)
{
    writeText(s, k, QString::number(v));
}
void IniFile::writeBool(const QString& s, const QString& k, bool v)
{
    writeText(s, k, v ? QStringLiteral("1") : QStringLiteral("0"));
}
void IniFile::writeDate(const QString& s, const QString& k, QDate v)
{
    writeText(s, k, v.toString());
}
