#pragma once

#include "oledb/ErrorRecords.h"

#include <memory>

namespace vnt::oledb {

class Command;

// A session on an initialised data source: makes commands, and can group changes into
// one transaction (otherwise every change of a rowset is its own transaction and reaches
// the file at once).
class Session : public ErrorInfo
{
public:
    explicit Session(std::shared_ptr<Connection> connection);
    ~Session() override;

    HRESULT createCommand(std::unique_ptr<Command>* command);

    // Changes made by any rowset of the data source until commit or abort form one
    // transaction; a workbook is written once, at commit.
    HRESULT startTransaction();
    HRESULT commit();
    HRESULT abort();

private:
    std::shared_ptr<Connection> m_connection;
};

} // namespace vnt::oledb
