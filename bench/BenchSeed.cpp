#include "BenchSeed.h"

#include "store/Database.h"
#include "store/Error.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <vector>

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

double plainUpdateSeconds(Database& db)
{
    std::vector<qint64> ids;
    {
        Statement q(db, QStringLiteral("SELECT id FROM txyk"));
        while (q.step())
            ids.push_back(q.integer(0));
    }
    QElapsedTimer timer;
    timer.start();
    Transaction transaction(db);
    Statement update(db, QStringLiteral("UPDATE txyk SET i_zdhkje=?,c_re_date=?,c_next_re_date=?,c_jd_date=?,"
                                        "c_next_jd_date=?,i_xyr=?,i_xf=? WHERE id=?"));
    for (const qint64 id : ids) {
        update.bind(0, double(id % 100))
            .bindKeptUtf8(1, "2013-09-08")
            .bindKeptUtf8(2, "2013-10-08")
            .bindKeptUtf8(3, "2013-09-20")
            .bindKeptUtf8(4, "2013-10-20")
            .bind(5, qint64(3))
            .bind(6, qint64(id % 40))
            .bind(7, id);
        update.run();
    }
    transaction.commit();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace BenchSeed
