#include "BenchSeed.h"

#include "store/Database.h"
#include "store/Error.h"

#include <QRandomGenerator>

namespace BenchSeed {

void seed(Database& db, int count)
{
    QRandomGenerator random(20130905);
    Transaction transaction(db);
    Statement insert(
        db, QStringLiteral("INSERT INTO txyk (c_name,c_no,c_jzr,c_hkr,i_zdhkbl,i_yxf,i_ed,tf,i_hkm,i_hky) "
                           "VALUES (?,?,?,?,?,?,?,?,?,?)"));
    for (int i = 0; i < count; ++i) {
        const bool repaid = random.bounded(10) == 0;
        insert.bind(0, QStringLiteral("卡%1").arg(i));
        insert.bind(1, QStringLiteral("6225%1").arg(random.bounded(100000000), 12, 10, QLatin1Char('0')));
        insert.bind(2, int(random.bounded(1, 32)));
        insert.bind(3, int(random.bounded(1, 32)));
        insert.bind(4, 1.0 + random.bounded(10));
        insert.bind(5, double(random.bounded(50000)));
        insert.bind(6, 10000);
        insert.bind(7, repaid ? 1 : 0);
        insert.bind(8, repaid ? int(random.bounded(1, 13)) : 0);
        insert.bind(9, repaid ? 2013 : 0);
        insert.run();
    }
    transaction.commit();
}

} // namespace BenchSeed
