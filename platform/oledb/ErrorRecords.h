#pragma once

#include "oledb/OleDbTypes.h"

#include <QList>
#include <QString>
#include <memory>

namespace vnt::oledb {

// One error record: the failure code and a description for the user.
struct ErrorRecord
{
    HRESULT error = S_OK;
    QString description;
    QString source;
};

// The ordered records of one failed call, most general last as the provider adds them.
class ErrorRecords
{
public:
    quint32 recordCount() const { return quint32(m_records.size()); }
    bool isEmpty() const { return m_records.isEmpty(); }
    // The description of record `index`. The locale is accepted for the shape of the
    // call; descriptions are in English.
    HRESULT getDescription(quint32 index, quint32 locale, QString* description) const;
    const ErrorRecord& record(quint32 index) const { return m_records.at(index); }
    // All descriptions run together, in record order.
    QString joinedDescriptions() const;

    void add(HRESULT error, const QString& description);
    void append(const ErrorRecords& other);
    void clear() { m_records.clear(); }

private:
    QList<ErrorRecord> m_records;
};

class Connection;

// Implemented by every object whose calls can fail: the data source, sessions, commands
// and rowsets. A call clears the object's records when it starts and fills them when it
// fails, so after a failure they describe that failure.
class ErrorInfo
{
public:
    ErrorInfo() = default;
    ErrorInfo(const ErrorInfo&) = delete;
    ErrorInfo& operator=(const ErrorInfo&) = delete;
    virtual ~ErrorInfo() = default;

    // S_OK with the records of the last failed call; S_FALSE (and no records) when the
    // last call did not fail.
    virtual HRESULT getErrorRecords(ErrorRecords* records) const;

protected:
    // Starts a call: forgets the records of the previous one.
    void beginCall() { m_errors.clear(); }
    // Records a failure of the current call and returns `error`. The data source of
    // `connection` also keeps it, as the last failure of any of its objects.
    HRESULT fail(HRESULT error, const QString& description);
    // Reports the failure `error` whose records are already in errors().
    HRESULT report(HRESULT error);
    void setErrorConnection(std::shared_ptr<Connection> connection);
    ErrorRecords& errors() { return m_errors; }

private:
    ErrorRecords m_errors;
    std::weak_ptr<Connection> m_connection;
};

} // namespace vnt::oledb
