#pragma once

#include "store/Database.h"

#include <QDate>
#include <QString>
#include <QVariantMap>

// Seeds cards and holders straight into a database for tests and benchmarks.
// Fields not given stay empty (tf and tf_tx take their default 0).
class CardBuilder
{
public:
    explicit CardBuilder(Database& db) : m_db(db) {}

    CardBuilder& name(const QString& v) { return set(QStringLiteral("c_name"), v); }
    // The number and its readable last four, as every save stores them.
    CardBuilder& number(const QString& v);
    CardBuilder& statementDay(int v) { return set(QStringLiteral("c_jzr"), v); }
    CardBuilder& repaymentDay(int v) { return set(QStringLiteral("c_hkr"), v); }
    CardBuilder& ratio(double v) { return set(QStringLiteral("i_zdhkbl"), v); }
    CardBuilder& used(double v) { return set(QStringLiteral("i_yxf"), v); }
    CardBuilder& limit(int v) { return set(QStringLiteral("i_ed"), v); }
    CardBuilder& holder(const QString& v) { return set(QStringLiteral("cname"), v); }
    CardBuilder& daysLeft(int v) { return set(QStringLiteral("i_xyr"), v); }
    CardBuilder& repaid(bool v, int month = 0, int year = 0);
    CardBuilder& set(const QString& field, const QVariant& value);

    // Inserts the card and returns its id; the builder is cleared for the next card.
    int insert();

    static int addHolder(Database& db, const QString& name);

private:
    Database& m_db;
    QVariantMap m_values;
};
