#pragma once

#include "store/SettingKey.h"

#include <array>

// Every key of System.ini the program reads or writes, with its section, type and default.
// A new key is one line here.
namespace SettingKeys {

using T = SettingKey::Type;

inline constexpr const char16_t* kSystem = u"系统设置";
inline constexpr const char16_t* kMailServer = u"邮件服务器";
inline constexpr const char16_t* kBackup = u"备份";
inline constexpr const char16_t* kCalendarSync = u"日历同步";

// pd: empty for the empty password, a marker when the card key holds it (see Settings).
inline constexpr SettingKey password{.type = T::Text, .section = kSystem, .name = u"pd"};
inline constexpr SettingKey autostart{.type = T::Bool, .section = kSystem, .name = u"root", .number = 0};
// Missing counts as on: a password the user set protects at once, before the switch was saved.
inline constexpr SettingKey passwordProtect{
    .type = T::Bool, .section = kSystem, .name = u"pdtf", .number = 1};
inline constexpr SettingKey autoMinMinutes{
    .type = T::Int, .section = kSystem, .name = u"zxf", .low = 0, .high = 1440};
inline constexpr SettingKey mailTo{.type = T::Text, .section = kSystem, .name = u"em"};
inline constexpr SettingKey daysAhead{.type = T::Int, .section = kSystem, .name = u"dd", .number = 0};
inline constexpr SettingKey mailOn{.type = T::Bool, .section = kSystem, .name = u"qy", .number = 0};
inline constexpr SettingKey sendDate{
    .type = T::Date, .section = kSystem, .name = u"senddate", .number = 19900101};
inline constexpr SettingKey startHidden{
    .type = T::Bool, .section = kSystem, .name = u"starthidden", .number = 0};

inline constexpr SettingKey smtpHost{.type = T::Text, .section = kMailServer, .name = u"smtp_host"};
// 0: the port of the chosen security (25, 587, 465).
inline constexpr SettingKey smtpPort{
    .type = T::Int, .section = kMailServer, .name = u"smtp_port", .number = 0};
inline constexpr SettingKey smtpUser{.type = T::Text, .section = kMailServer, .name = u"smtp_user"};
inline constexpr SettingKey smtpPassword{.type = T::Text, .section = kMailServer, .name = u"smtp_password"};
inline constexpr SettingKey smtpFrom{.type = T::Text, .section = kMailServer, .name = u"smtp_from"};
// Empty: the encrypted default (starttls); otherwise none | starttls | ssl.
inline constexpr SettingKey smtpSecurity{.type = T::Text, .section = kMailServer, .name = u"smtp_security"};
inline constexpr SettingKey smtpCaFile{.type = T::Text, .section = kMailServer, .name = u"smtp_ca_file"};

// The calendar collection the repayment events are kept in; nothing is synchronised without it.
inline constexpr SettingKey caldavUrl{.type = T::Text, .section = kCalendarSync, .name = u"caldav_url"};
inline constexpr SettingKey caldavUser{.type = T::Text, .section = kCalendarSync, .name = u"caldav_user"};
inline constexpr SettingKey caldavPassword{
    .type = T::Text, .section = kCalendarSync, .name = u"caldav_password"};
// PEM certificates trusted instead of the system's.
inline constexpr SettingKey caldavCaFile{
    .type = T::Text, .section = kCalendarSync, .name = u"caldav_ca_file"};

// How many daily copies of the database are kept; 0 makes none.
inline constexpr SettingKey backupKeep{
    .type = T::Int, .section = kBackup, .name = u"backup_keep", .number = 14, .low = 0, .high = 100000};

// Every key above, for checks that go over all of them.
inline constexpr std::array all{&password,   &autostart, &passwordProtect, &autoMinMinutes, &mailTo,
                                &daysAhead,  &mailOn,    &sendDate,        &startHidden,    &smtpHost,
                                &smtpPort,   &smtpUser,  &smtpPassword,    &smtpFrom,       &smtpSecurity,
                                &smtpCaFile, &caldavUrl, &caldavUser,      &caldavPassword, &caldavCaFile,
                                &backupKeep};

} // namespace SettingKeys
