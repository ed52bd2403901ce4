#pragma once

#include <QDate>
#include <QString>

#include <climits>

class IniFile;

// One key of System.ini: where it lives, what it holds and what it reads as when missing (or when
// it holds no value of its type). Every key the program knows is one line in store/SettingKeys.h;
// readers go through the functions below, so no caller picks its own default.
struct SettingKey
{
    enum class Type { Text, Int, Bool, Date };

    Type type;
    const char16_t* section;
    const char16_t* name;
    const char16_t* text = u""; // default of a Text key
    int number = 0;             // default of an Int or Bool key (0/1); of a Date key as yyyymmdd
    int low = INT_MIN;          // an Int outside low..high (a hand edit) is bounded, not wrapped
    int high = INT_MAX;

    QString sectionName() const { return QString::fromUtf16(section); }
    QString keyName() const { return QString::fromUtf16(name); }
};

namespace Setting {

QString text(const IniFile& file, const SettingKey& key);
int integer(const IniFile& file, const SettingKey& key);
bool flag(const IniFile& file, const SettingKey& key);
QDate date(const IniFile& file, const SettingKey& key);

// Writes throw Error("Unable to write to <path>") when the file cannot be written.
void setText(IniFile& file, const SettingKey& key, const QString& value);
void setInteger(IniFile& file, const SettingKey& key, int value);
void setFlag(IniFile& file, const SettingKey& key, bool value);
void setDate(IniFile& file, const SettingKey& key, QDate value);

// The default as the key's type reads it.
QDate defaultDate(const SettingKey& key);

} // namespace Setting
