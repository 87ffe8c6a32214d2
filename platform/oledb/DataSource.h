#pragma once

#include "oledb/ErrorRecords.h"
#include "oledb/Properties.h"

#include <QStringList>
#include <memory>

namespace vnt::oledb {

class Session;

// The data source object: created for a provider, given its initialisation properties,
// initialised (which opens the file), then asked for sessions.
//
// Providers: "SQLite" (also answering to the Jet 4.0 identifier, which the database
// source setting holds by default). The provider string chooses the file kind, as it does for Jet:
// one starting with "Excel" opens an .xlsx workbook (its sheets are the tables, named "Sheet$" and
// also "Sheet"; "HDR=No" reads the first row as data), anything else an SQLite database file. A
// missing file is an error; nothing is created.
class DataSource : public ErrorInfo
{
public:
    ~DataSource() override;

    // REGDB_E_CLASSNOTREG (and no object) for an unknown provider.
    static HRESULT create(const QString& providerId, std::unique_ptr<DataSource>* dataSource);
    // The identifiers `create` accepts, as a root enumerator would list them.
    static QStringList providerNames();

    // The initialisation properties: DBPROP_INIT_DATASOURCE (the file path),
    // DBPROP_INIT_PROVIDERSTRING, DBPROP_INIT_MODE (DB_MODE_READ opens read-only),
    // DBPROP_INIT_PROMPT, DBPROP_INIT_LCID and the DBPROP_AUTH_* properties. Those
    // without a use here are checked and kept.
    HRESULT setProperties(DBPROPSET* properties);
    HRESULT initialize();
    // Lets go of the file once every session, command and rowset is gone as well.
    HRESULT uninitialize();
    bool isInitialized() const { return m_connection != nullptr; }

    HRESULT createSession(std::unique_ptr<Session>* session);

    // The records of the data source's last failed call, or, when its own calls did not
    // fail, of the last failure of any session, command or rowset made from it.
    HRESULT getErrorRecords(ErrorRecords* records) const override;

private:
    DataSource();

    PropertyValues m_properties;
    std::shared_ptr<Connection> m_connection;
};

} // namespace vnt::oledb
