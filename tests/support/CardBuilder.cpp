#include "support/CardBuilder.h"

#include "store/CardSecrets.h"

#include <QStringList>

CardBuilder& CardBuilder::set(const QString& field, const QVariant& value)
{
    m_values.insert(field, value.typeId() == QMetaType::QDate ? QVariant(value.toDate().toString(Qt::ISODate))
                                                              : value);
    return *this;
}

CardBuilder& CardBuilder::number(const QString& v)
{
    set(QStringLiteral("c_last4"), CardSecrets::lastFour(v));
    return set(QStringLiteral("c_no"), v);
}

CardBuilder& CardBuilder::repaid(bool v, int month, int year)
{
    set(QStringLiteral("tf"), v ? 1 : 0);
    set(QStringLiteral("i_hkm"), month);
    return set(QStringLiteral("i_hky"), year);
}

int CardBuilder::insert()
{
    QStringList columns = m_values.keys();
    QVariantList values = m_values.values();
    const QString sql =
        columns.isEmpty()
            ? QStringLiteral("INSERT INTO txyk DEFAULT VALUES")
            : QStringLiteral("INSERT INTO txyk (%1) VALUES (%2)")
                  .arg(columns.join(u','), QStringList(columns.size(), QStringLiteral("?")).join(u','));
    m_db.executeSql(sql, values);
    m_values.clear();
    return int(m_db.lastInsertId());
}

int CardBuilder::addHolder(Database& db, const QString& name)
{
    db.executeSql(QStringLiteral("INSERT INTO tname (c_name) VALUES (?)"), {name});
    return int(db.lastInsertId());
}
