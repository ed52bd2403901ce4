#pragma once

#include "store/CardSecrets.h"
#include "store/Database.h"
#include "store/Query.h"

#include <QObject>

// The data module: the one connection and the six named data sets every part of the
// program reads and writes through.
class DataModule : public QObject
{
    Q_OBJECT
public:
    explicit DataModule(QObject* parent = nullptr);
    ~DataModule() override;

    // Opens (or creates) the database and opens Qxyk, Qxyk_jz, Qjz and Qname in this order.
    // Throws Error when the database cannot be used; the data sets then stay closed.
    void open(const QString& databasePath);

    Database& database() { return m_db; }
    // The card secrets of this database: its data set of cards shows them opened while the
    // key is open.
    CardSecrets& secrets() { return m_secrets; }
    // After the key was opened or dropped: the open card lists show the protected fields anew.
    void reloadSecretFields();

    Query& cards() { return m_qxyk; }                // Qxyk: the card list
    Query& planRows() { return m_qxykJz; }           // Qxyk_jz: the planner's per-card plan
    Query& journal() { return m_qjz; }               // Qjz: the planner's journal
    Query& holders() { return m_qname; }             // Qname: the holder list
    Query& plannerScratch() { return m_qxykJzTemp; } // Qxyk_jz_temp
    Query& scratch() { return m_qxykTemp; }          // Qxyk_temp

    static const QString kAllCardsStatement;     // "select * from txyk  order by c_jzr"
    static const QString kInitialCardsStatement; // "select * from txyk  order by i_xyr,tf DESC"

private:
    Database m_db;
    CardSecrets m_secrets{m_db};
    Query m_qxyk;
    Query m_qxykJz;
    Query m_qjz;
    Query m_qname;
    Query m_qxykJzTemp;
    Query m_qxykTemp;
};
