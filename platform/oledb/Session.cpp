#include "oledb/Session.h"

#include "oledb/Command.h"
#include "oledb/provider/Connection.h"

namespace vnt::oledb {

Session::Session(std::shared_ptr<Connection> connection)
    : m_connection(std::move(connection))
{
    setErrorConnection(m_connection);
}

Session::~Session() = default;

HRESULT Session::createCommand(std::unique_ptr<Command>* command)
{
    beginCall();
    *command = std::make_unique<Command>(m_connection);
    return S_OK;
}

HRESULT Session::startTransaction()
{
    beginCall();
    const HRESULT hr = m_connection->startTransaction(&errors());
    return failed(hr) ? report(hr) : hr;
}

HRESULT Session::commit()
{
    beginCall();
    const HRESULT hr = m_connection->commitTransaction(&errors());
    return failed(hr) ? report(hr) : hr;
}

HRESULT Session::abort()
{
    beginCall();
    const HRESULT hr = m_connection->abortTransaction(&errors());
    return failed(hr) ? report(hr) : hr;
}

} // namespace vnt::oledb
