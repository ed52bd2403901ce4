#include "store/DataModule.h"

const QString DataModule::kAllCardsStatement = QStringLiteral("select * from txyk  order by c_jzr");
const QString DataModule::kInitialCardsStatement =
    QStringLiteral("select * from txyk  order by i_xyr,tf DESC");

DataModule::DataModule(QObject* parent)
    : QObject(parent), m_qxyk(m_db, QStringLiteral("Qxyk"), this),
      m_qxykJz(m_db, QStringLiteral("Qxyk_jz"), this), m_qjz(m_db, QStringLiteral("Qjz"), this),
      m_qname(m_db, QStringLiteral("Qname"), this), m_qxykJzTemp(m_db, QStringLiteral("Qxyk_jz_temp"), this),
      m_qxykTemp(m_db, QStringLiteral("Qxyk_temp"), this),
      m_qxykTemp2(m_db, QStringLiteral("Qxyk_temp2"), this)
{
    setObjectName(QStringLiteral("TData"));
    m_qxyk.setSql(kInitialCardsStatement);
    m_qxykJz.setSql(QStringLiteral("select * from Txyk_jz"));
    m_qjz.setSql(QStringLiteral("select * from tjz order by d_post_date"));
    m_qname.setSql(QStringLiteral("select * from tname  order by c_jzr\n"));
    m_qxykJzTemp.setSql(QStringLiteral("select * from txyk"));
    m_qxykTemp.setSql(kAllCardsStatement);
    m_qxykTemp2.setSql(kAllCardsStatement);
    for (Query* q : {&m_qxyk, &m_qxykJzTemp, &m_qxykTemp, &m_qxykTemp2})
        q->setSecrets(&m_secrets);
}

DataModule::~DataModule()
{
    for (Query* q : {&m_qxyk, &m_qxykJz, &m_qjz, &m_qname, &m_qxykJzTemp, &m_qxykTemp, &m_qxykTemp2})
        q->close();
}

void DataModule::open(const QString& databasePath)
{
    m_db.open(databasePath);
    for (Query* q : {&m_qxyk, &m_qxykJz, &m_qjz, &m_qname})
        q->open();
}

void DataModule::reloadSecretFields()
{
    for (Query* q : {&m_qxyk, &m_qxykJzTemp, &m_qxykTemp, &m_qxykTemp2})
        q->reloadSecretFields();
}

void runKeepingStatement(Query& query, const QString& statement)
{
    const QString saved = query.sql();
    const QVariantList savedValues = query.values();
    query.setSql(statement);
    try {
        if (statement.trimmed().startsWith(QStringLiteral("select"), Qt::CaseInsensitive))
            query.open();
        else
            query.execute();
    } catch (...) {
        query.setSql(saved, savedValues);
        query.open();
        throw;
    }
    query.setSql(saved, savedValues);
    query.open();
}
