#include "store/SettingKey.h"

#include "store/IniFile.h"

#include <algorithm>

namespace Setting {

QString text(const IniFile& file, const SettingKey& key)
{
    Q_ASSERT(key.type == SettingKey::Type::Text);
    return file.readText(key.sectionName(), key.keyName(), QString::fromUtf16(key.text));
}

int integer(const IniFile& file, const SettingKey& key)
{
    Q_ASSERT(key.type == SettingKey::Type::Int);
    return std::clamp(file.readInt(key.sectionName(), key.keyName(), key.number), key.low, key.high);
}

bool flag(const IniFile& file, const SettingKey& key)
{
    Q_ASSERT(key.type == SettingKey::Type::Bool);
    return file.readBool(key.sectionName(), key.keyName(), key.number != 0);
}

QDate defaultDate(const SettingKey& key)
{
    return QDate(key.number / 10000, key.number / 100 % 100, key.number % 100);
}

QDate date(const IniFile& file, const SettingKey& key)
{
    Q_ASSERT(key.type == SettingKey::Type::Date);
    return file.readDate(key.sectionName(), key.keyName(), defaultDate(key));
}

void setText(IniFile& file, const SettingKey& key, const QString& value)
{
    Q_ASSERT(key.type == SettingKey::Type::Text);
    file.writeText(key.sectionName(), key.keyName(), value);
}

void setInteger(IniFile& file, const SettingKey& key, int value)
{
    Q_ASSERT(key.type == SettingKey::Type::Int);
    file.writeInt(key.sectionName(), key.keyName(), std::clamp(value, key.low, key.high));
}

void setFlag(IniFile& file, const SettingKey& key, bool value)
{
    Q_ASSERT(key.type == SettingKey::Type::Bool);
    file.writeBool(key.sectionName(), key.keyName(), value);
}

void setDate(IniFile& file, const SettingKey& key, QDate value)
{
    Q_ASSERT(key.type == SettingKey::Type::Date);
    file.writeDate(key.sectionName(), key.keyName(), value);
}

} // namespace Setting
