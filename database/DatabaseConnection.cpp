#include "database/DatabaseConnection.h"

#include "core/MessageHelpers.h"
#include "oledb/DataSource.h"
#include "oledb/Session.h"

namespace vantrel::database {

using namespace vnt::oledb;

namespace {

constexpr int kMsgNoErrorInformation = 20068;
constexpr int kTitleDatabaseError = 25005;
constexpr int kMaxErrorText = 4096;
constexpr qint32 kEnglishUs = 1033;

DBPROPSET connectionProperties(const QString& path, const QString& providerString)
{
    return {
        {DBPROP_INIT_DATASOURCE, path},
        {DBPROP_INIT_PROMPT, DBPROMPT_COMPLETEREQUIRED},
        {DBPROP_INIT_LCID, kEnglishUs},
        {DBPROP_AUTH_CACHE_AUTHINFO, true},
        {DBPROP_AUTH_ENCRYPT_PASSWORD, false},
        {DBPROP_AUTH_MASK_PASSWORD, false},
        {DBPROP_AUTH_PASSWORD, QString()},
        {DBPROP_AUTH_USERID, QStringLiteral("Admin")},
        {DBPROP_INIT_MODE, DB_MODE_SHARE_DENY_NONE},
        {DBPROP_INIT_PROVIDERSTRING, providerString},
    };
}

} // namespace

DatabaseConnection::DatabaseConnection()
    : jobColumnNames(kJobColumns)
    , knowledgeColumnNames(kKnowledgeColumns)
    , jobTable(JobFields())
    , jobSearch(JobFields())
    , knowledge(KnowledgeFields())
{}

DatabaseConnection::~DatabaseConnection()
{
    closeAll();
}

RecordSet& DatabaseConnection::recordSet(int set)
{
    switch (set) {
    case JobSearch:
        return jobSearch;
    case Knowledge:
        return knowledge;
    default:
        return jobTable;
    }
}

HRESULT DatabaseConnection::openDataSource(const QString& provider, const QString& path,
                                           bool* providerMissing, const Initializer& initialize)
{
    closeAll();
    *providerMissing = false;
    // Made apart and adopted when initialised: until then nothing of this connection
    // refers to it.
    std::unique_ptr<DataSource> dataSource;
    HRESULT hr = DataSource::create(provider, &dataSource);
    if (failed(hr)) {
        *providerMissing = true;
        return hr;
    }
    DBPROPSET properties = connectionProperties(path, names.providerString);
    hr = dataSource->setProperties(&properties);
    if (succeeded(hr))
        hr = initialize ? initialize(&dataSource) : dataSource->initialize();
    m_dataSource = std::move(dataSource);
    return hr;
}

HRESULT DatabaseConnection::openSession()
{
    if (!m_dataSource)
        return E_UNEXPECTED;
    return m_dataSource->createSession(&m_session);
}

void DatabaseConnection::adoptSession(std::unique_ptr<Session> session)
{
    m_session = std::move(session);
}

void DatabaseConnection::closeAll()
{
    jobTable.close();
    jobSearch.close();
    knowledge.close();
    m_session.reset();
    m_dataSource.reset();
}

ErrorInfo* DatabaseConnection::dataSourceErrors() const
{
    return m_dataSource.get();
}

void ReportDatabaseError(QWidget* view, const ErrorInfo* object)
{
    ErrorRecords records;
    if (!object || object->getErrorRecords(&records) != S_OK || records.isEmpty()) {
        ShowViewMessage(view, kMsgNoErrorInformation, TitleInformation);
        return;
    }
    QString text;
    for (quint32 i = 0; i < records.recordCount() && text.size() < kMaxErrorText; ++i) {
        QString description;
        if (succeeded(records.getDescription(i, kEnglishUs, &description)))
            text += description;
    }
    ShowViewText(view, text.left(kMaxErrorText), kTitleDatabaseError,
                 QStringLiteral("Database Error"));
}

} // namespace vantrel::database
