// Advise connections and the delivery of notifications: a sink is called from the event loop of
// the thread that advised it, never from inside the library call that caused the change.
#pragma once

#include "Property.h"
#include "vntmapi/MapiInterfaces.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace vntmapi {

// One table event, kept in library form until it is delivered.
struct TableEvent
{
    ULONG type = TABLE_CHANGED;
    std::vector<BYTE> key;      // PR_INSTANCE_KEY of the row; empty for table-wide events
    std::vector<BYTE> prior;    // the row before it; empty when it is first
    PropList row;               // every value of the row
    std::vector<ULONG> columns; // the columns `row` is reported in
    bool hasRow = false;
};

// One object event (fnevObjectCreated and its kind).
struct ObjectEvent
{
    ULONG type = fnevObjectCreated;
    ULONG objectType = MAPI_MESSAGE;
    std::vector<BYTE> entryId;
    std::vector<BYTE> parentId;
};

// Builds a NOTIFICATION in one MAPI buffer, freed with MAPIFreeBuffer.
HRESULT buildNotification(const TableEvent& event, LPNOTIFICATION* out);
HRESULT buildNotification(const ObjectEvent& event, LPNOTIFICATION* out);

// The advise connections of one object. Each connection holds a reference to its sink until it
// is removed or the list goes.
class AdviseList
{
public:
    using Builder = std::function<HRESULT(LPNOTIFICATION*)>;

    AdviseList() = default;
    AdviseList(const AdviseList&) = delete;
    AdviseList& operator=(const AdviseList&) = delete;
    ~AdviseList();

    // MAPI_E_NO_SUPPORT without a QCoreApplication: nothing could deliver the events.
    HRESULT add(ULONG mask, IMAPIAdviseSink* sink, std::string scope, ULONG* connection);
    HRESULT remove(ULONG connection);
    bool empty() const;
    // Whether a connection wants `eventBit` for `scope` (any scope when `scope` is null).
    bool wants(ULONG eventBit, const std::string* scope = nullptr) const;
    // Queues the event for every connection whose mask has `eventBit` and whose scope matches.
    void post(ULONG eventBit, const std::string& scope, const Builder& build);
    void post(ULONG eventBit, const Builder& build) { post(eventBit, std::string(), build); }
    std::vector<std::string> scopes() const;

    struct Connection;

private:
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Connection>> m_connections;
    ULONG m_nextId = 1;
};

} // namespace vntmapi
