#include "oledb/ErrorRecords.h"

#include "oledb/provider/Connection.h"

namespace vnt::oledb {

HRESULT ErrorRecords::getDescription(quint32 index, quint32, QString* description) const
{
    if (index >= recordCount())
        return E_INVALIDARG;
    *description = m_records[index].description;
    return S_OK;
}

QString ErrorRecords::joinedDescriptions() const
{
    QString text;
    for (const ErrorRecord& record : m_records)
        text += record.description;
    return text;
}

void ErrorRecords::add(HRESULT error, const QString& description)
{
    m_records.append({error, description, QStringLiteral("Vantrel database")});
}

void ErrorRecords::append(const ErrorRecords& other)
{
    m_records.append(other.m_records);
}

HRESULT ErrorInfo::getErrorRecords(ErrorRecords* records) const
{
    *records = m_errors;
    return m_errors.isEmpty() ? S_FALSE : S_OK;
}

HRESULT ErrorInfo::fail(HRESULT error, const QString& description)
{
    m_errors.add(error, description);
    if (auto connection = m_connection.lock())
        connection->setLastFailure(m_errors);
    return error;
}

HRESULT ErrorInfo::report(HRESULT error)
{
    if (m_errors.isEmpty())
        m_errors.add(error, QStringLiteral("The operation failed."));
    if (auto connection = m_connection.lock())
        connection->setLastFailure(m_errors);
    return error;
}

void ErrorInfo::setErrorConnection(std::shared_ptr<Connection> connection)
{
    m_connection = connection;
}

} // namespace vnt::oledb
