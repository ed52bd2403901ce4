#include "app/DemoData.h"

#include "store/CardSecrets.h"
#include "store/Database.h"
#include "store/HomeFolder.h"
#include "store/Settings.h"

#include <QVariantList>

namespace DemoData {

namespace {
// The day of the month `offset` days from today, kept inside this month (1..28 wraps are
// avoided so every sample card has a repayment date this month).
int dayOffset(QDate today, int offset)
{
    return std::clamp(today.day() + offset, 1, 28);
}
} // namespace

void seed(Database& db, QDate today)
{
    for (const char* holder : {"本人", "配偶", "父母"})
        db.executeSql(QStringLiteral("INSERT INTO tname (c_name) VALUES (?)"), {QString::fromUtf8(holder)});

    struct Card
    {
        const char* name;
        const char* number;
        int statementOffset;
        int repaymentOffset;
        int limit;
        double used;
        const char* holder;
        bool repaid;
    };
    const Card cards[] = {
        {"招商银行白金卡", "6225880212345678", -20, 0, 50000, 12800, "本人", false},
        {"工商银行牡丹卡", "6222020200112233", -18, 2, 30000, 5600, "本人", false},
        {"建设银行龙卡", "6227000011223344", -15, 6, 20000, 3200, "配偶", false},
        {"中国银行长城卡", "6259760011112222", -25, -3, 40000, 9100, "配偶", false},
        {"交通银行太平洋卡", "6222600033334444", -22, 1, 15000, 2000, "父母", true},
        {"农业银行金穗卡", "6228480055556666", 5, 25, 25000, 0, "父母", false},
        {"浦发银行梦卡", "6225210077778888", -6, 9, 10000, 1500, "本人", false},
    };
    for (const Card& c : cards) {
        const bool repaid = c.repaid;
        db.executeSql(
            QStringLiteral(
                "INSERT INTO txyk (c_name, c_no, c_last4, c_yxq, c_xym, c_jzr, c_hkr, izdhkr, i_ed, "
                "i_mxr, i_zdhkbl, i_yxf, cname, tf, i_hkm, i_hky) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {QString::fromUtf8(c.name), QString::fromUtf8(c.number),
             CardSecrets::lastFour(QString::fromUtf8(c.number)), QStringLiteral("12/29"),
             QStringLiteral("123"), dayOffset(today, c.statementOffset), dayOffset(today, c.repaymentOffset),
             20, c.limit, 50.0, 1.0, c.used, QString::fromUtf8(c.holder), repaid ? 1 : 0,
             repaid ? today.month() : 0, repaid ? today.year() : 0});
    }
}

void prepareHome(const HomeFolder& home, QDate today)
{
    home.ensureExists();
    Database db;
    db.open(home.databasePath());
    seed(db, today);
    Settings(home.iniPath()).saveGeneral(false, false, 0);
}

} // namespace DemoData
