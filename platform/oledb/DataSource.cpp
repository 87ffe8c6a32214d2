#include "oledb/DataSource.h"

#include "oledb/Session.h"
#include "oledb/provider/Connection.h"
#include "oledb/provider/SqliteProvider.h"
#include "oledb/provider/WorkbookProvider.h"

namespace vnt::oledb {

namespace {

const QString kProvider = QStringLiteral("SQLite");
// The database source setting defaults to the Jet identifier; it opens the same files.
const QString kJetProvider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");

QList<PropertyValues::Known> initProperties()
{
    using Kind = PropertyValues::Kind;
    return {{DBPROP_INIT_DATASOURCE, Kind::String},
            {DBPROP_INIT_PROVIDERSTRING, Kind::String},
            {DBPROP_INIT_MODE, Kind::Int},
            {DBPROP_INIT_PROMPT, Kind::Int},
            {DBPROP_INIT_LCID, Kind::Int},
            {DBPROP_AUTH_CACHE_AUTHINFO, Kind::Bool},
            {DBPROP_AUTH_ENCRYPT_PASSWORD, Kind::Bool},
            {DBPROP_AUTH_MASK_PASSWORD, Kind::Bool},
            {DBPROP_AUTH_PASSWORD, Kind::String},
            {DBPROP_AUTH_USERID, Kind::String}};
}

// "Excel 8.0;HDR=Yes;" and the like: the extended properties of a workbook.
bool isWorkbookString(const QString& providerString)
{
    return providerString.trimmed().startsWith(QLatin1String("Excel"), Qt::CaseInsensitive);
}

bool hasHeaderRow(const QString& providerString)
{
    QString compact = providerString.toUpper();
    compact.remove(QLatin1Char(' '));
    return !compact.contains(QLatin1String("HDR=NO"));
}

} // namespace

DataSource::DataSource()
    : m_properties(initProperties())
{}

DataSource::~DataSource() = default;

HRESULT DataSource::create(const QString& providerId, std::unique_ptr<DataSource>* dataSource)
{
    dataSource->reset();
    const QString id = providerId.trimmed();
    if (id.compare(kProvider, Qt::CaseInsensitive) != 0 &&
        id.compare(kJetProvider, Qt::CaseInsensitive) != 0)
        return REGDB_E_CLASSNOTREG;
    dataSource->reset(new DataSource);
    return S_OK;
}

QStringList DataSource::providerNames()
{
    return {kProvider};
}

HRESULT DataSource::setProperties(DBPROPSET* properties)
{
    beginCall();
    if (m_connection)
        return fail(DB_E_ALREADYINITIALIZED,
                    QStringLiteral("The data source is initialised; its properties are fixed."));
    const HRESULT hr = m_properties.set(properties);
    if (failed(hr))
        return fail(hr, QStringLiteral("None of the properties could be set."));
    return hr;
}

HRESULT DataSource::initialize()
{
    beginCall();
    if (m_connection)
        return fail(DB_E_ALREADYINITIALIZED, QStringLiteral("The data source is initialised."));
    const QString path = m_properties.stringValue(DBPROP_INIT_DATASOURCE);
    const QString providerString = m_properties.stringValue(DBPROP_INIT_PROVIDERSTRING);
    const bool readOnly = (m_properties.intValue(DBPROP_INIT_MODE, DB_MODE_READWRITE) &
                           DB_MODE_READWRITE) == DB_MODE_READ;
    std::shared_ptr<Connection> connection;
    const HRESULT hr =
        isWorkbookString(providerString)
            ? openWorkbook(path, {readOnly, hasHeaderRow(providerString)}, &connection, &errors())
            : openSqliteFile(path, readOnly, &connection, &errors());
    if (failed(hr))
        return report(hr);
    m_connection = std::move(connection);
    setErrorConnection(m_connection);
    return S_OK;
}

HRESULT DataSource::uninitialize()
{
    beginCall();
    m_connection.reset();
    return S_OK;
}

HRESULT DataSource::createSession(std::unique_ptr<Session>* session)
{
    beginCall();
    if (!m_connection)
        return fail(E_UNEXPECTED, QStringLiteral("The data source is not initialised."));
    *session = std::make_unique<Session>(m_connection);
    return S_OK;
}

HRESULT DataSource::getErrorRecords(ErrorRecords* records) const
{
    const HRESULT hr = ErrorInfo::getErrorRecords(records);
    if (hr == S_OK || !m_connection || m_connection->lastFailure().isEmpty())
        return hr;
    *records = m_connection->lastFailure();
    return S_OK;
}

} // namespace vnt::oledb
