#pragma once

#include "database/DatabaseNames.h"
#include "database/RecordSet.h"

#include <functional>
#include <memory>

class QWidget;

namespace vnt::oledb {
class DataSource;
class ErrorInfo;
class Session;
} // namespace vnt::oledb

namespace vantrel::database {

// State of each side of the database: the Job table (the database) and the Knowledge table
// (the knowledge base).
enum SideState : int { NotConnected = 0, SideOpen = 1, SideOff = 2 };

// Which rowset the record commands act on.
enum ActiveRecordSet : int { JobTable = 0, JobSearch = 1, Knowledge = 2 };

// Everything between the settings and the open rowsets: the names, the data source and its
// session, the state of each side, the column names and the three record sets.
class DatabaseConnection
{
public:
    DatabaseConnection();
    ~DatabaseConnection();

    DatabaseNames names;
    int jobState = NotConnected;
    int knowledgeState = NotConnected;
    QStringList jobColumnNames;
    QStringList knowledgeColumnNames;
    RecordSet jobTable;
    RecordSet jobSearch;
    RecordSet knowledge;
    int active = JobTable;
    int rememberedJobSet = JobTable;

    bool jobOpen() const { return jobState == SideOpen; }
    bool knowledgeOpen() const { return knowledgeState == SideOpen; }
    bool anyOpen() const { return jobOpen() || knowledgeOpen(); }
    // The record set `set` names, and whether its side is open.
    RecordSet& recordSet(int set);
    bool isSideOpen(int set) const { return set == Knowledge ? knowledgeOpen() : jobOpen(); }
    bool isJobSet(int set) const { return set == JobTable || set == JobSearch; }

    // Initialises a data source that is not yet this connection's; it may hand the object
    // to another thread meanwhile, but gives it back before returning.
    using Initializer =
        std::function<vnt::oledb::HRESULT(std::unique_ptr<vnt::oledb::DataSource>*)>;

    // Creates the data source for `provider` with the connection properties and opens the
    // file at `path` (through `initialize` when given). On failure the data source (when one
    // was made) keeps the error records; `providerMissing` tells a provider that does not
    // exist from a file that cannot be opened.
    vnt::oledb::HRESULT openDataSource(const QString& provider, const QString& path,
                                       bool* providerMissing, const Initializer& initialize = {});
    vnt::oledb::HRESULT openSession();
    // A session opened on this connection's data source elsewhere.
    void adoptSession(std::unique_ptr<vnt::oledb::Session> session);
    // Closes every record set, the session and the data source.
    void closeAll();
    vnt::oledb::Session* session() const { return m_session.get(); }
    vnt::oledb::ErrorInfo* dataSourceErrors() const;

private:
    std::unique_ptr<vnt::oledb::DataSource> m_dataSource;
    std::unique_ptr<vnt::oledb::Session> m_session;
};

// Shows the error records of `object` (all descriptions run together, in record order) in
// one "Database Error" box; when there are none, says that no error information exists.
void ReportDatabaseError(QWidget* view, const vnt::oledb::ErrorInfo* object);

} // namespace vantrel::database
