#include "Notifications.h"

#include "vntmapi/MapiEntryPoints.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <algorithm>
#include <cstring>

namespace vntmapi {

struct AdviseList::Connection
{
    ULONG id = 0;
    ULONG mask = 0;
    std::string scope;
    std::mutex mutex;
    IMAPIAdviseSink* sink = nullptr; // null once removed: queued events are then dropped
    QPointer<QObject> receiver;      // lives in the advising thread
};

namespace {

HRESULT allocNotification(LPNOTIFICATION* out)
{
    void* buffer = nullptr;
    if (!out || MAPIAllocateBuffer(sizeof(NOTIFICATION), &buffer) != S_OK) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    std::memset(buffer, 0, sizeof(NOTIFICATION));
    *out = static_cast<LPNOTIFICATION>(buffer);
    return S_OK;
}

bool copyBytes(const std::vector<BYTE>& bytes, void* owner, ULONG* size, LPBYTE* data)
{
    *size = static_cast<ULONG>(bytes.size());
    *data = nullptr;
    if (bytes.empty()) {
        return true;
    }
    void* block = nullptr;
    if (MAPIAllocateMore(static_cast<ULONG>(bytes.size()), owner, &block) != S_OK) {
        return false;
    }
    std::memcpy(block, bytes.data(), bytes.size());
    *data = static_cast<LPBYTE>(block);
    return true;
}

bool copyEntryId(const std::vector<BYTE>& id, void* owner, ULONG* size, LPENTRYID* out)
{
    LPBYTE data = nullptr;
    const bool ok = copyBytes(id, owner, size, &data);
    *out = reinterpret_cast<LPENTRYID>(data);
    return ok;
}

// An instance key value; PR_NULL (all zero) when there is none, as for the first row.
bool keyValue(const std::vector<BYTE>& key, void* owner, SPropValue* out)
{
    *out = SPropValue{};
    if (key.empty()) {
        out->ulPropTag = PR_NULL;
        return true;
    }
    out->ulPropTag = PR_INSTANCE_KEY;
    return copyBytes(key, owner, &out->Value.bin.cb, &out->Value.bin.lpb);
}

bool fillRow(const TableEvent& event, void* owner, SRow* row)
{
    *row = SRow{};
    if (!event.hasRow) {
        return true;
    }
    const auto n = static_cast<ULONG>(event.columns.size());
    void* block = nullptr;
    if (MAPIAllocateMore(static_cast<ULONG>(sizeof(SPropValue) * std::max<ULONG>(n, 1)), owner,
                         &block) != S_OK) {
        return false;
    }
    auto* values = static_cast<LPSPropValue>(block);
    for (ULONG i = 0; i < n; ++i) {
        const ULONG tag = event.columns[i];
        if (!copyPropValue(findProp(event.row, tag), tag, owner, &values[i])) {
            return false;
        }
    }
    row->cValues = n;
    row->lpProps = values;
    return true;
}

void deliver(const std::shared_ptr<AdviseList::Connection>& connection,
             const AdviseList::Builder& build)
{
    IMAPIAdviseSink* sink = nullptr;
    {
        std::lock_guard lock(connection->mutex);
        sink = connection->sink;
        if (!sink) {
            return; // unadvised after the event was queued
        }
        sink->AddRef(); // the sink may unadvise itself from OnNotify
    }
    LPNOTIFICATION notification = nullptr;
    if (build(&notification) == S_OK) {
        sink->OnNotify(1, notification);
        MAPIFreeBuffer(notification);
    }
    sink->Release();
}

} // namespace

HRESULT buildNotification(const TableEvent& event, LPNOTIFICATION* out)
{
    LPNOTIFICATION n = nullptr;
    const HRESULT hr = allocNotification(&n);
    if (FAILED(hr)) {
        return hr;
    }
    n->ulEventType = fnevTableModified;
    TABLE_NOTIFICATION& tab = n->info.tab;
    tab.ulTableEvent = event.type;
    tab.hResult = S_OK;
    if (!keyValue(event.key, n, &tab.propIndex) || !keyValue(event.prior, n, &tab.propPrior) ||
        !fillRow(event, n, &tab.row)) {
        MAPIFreeBuffer(n);
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    *out = n;
    return S_OK;
}

HRESULT buildNotification(const ObjectEvent& event, LPNOTIFICATION* out)
{
    LPNOTIFICATION n = nullptr;
    const HRESULT hr = allocNotification(&n);
    if (FAILED(hr)) {
        return hr;
    }
    n->ulEventType = event.type;
    OBJECT_NOTIFICATION& obj = n->info.obj;
    obj.ulObjType = event.objectType;
    if (!copyEntryId(event.entryId, n, &obj.cbEntryID, &obj.lpEntryID) ||
        !copyEntryId(event.parentId, n, &obj.cbParentID, &obj.lpParentID)) {
        MAPIFreeBuffer(n);
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
    *out = n;
    return S_OK;
}

AdviseList::~AdviseList()
{
    std::vector<ULONG> ids;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& connection : m_connections) {
            ids.push_back(connection->id);
        }
    }
    for (ULONG id : ids) {
        remove(id);
    }
}

HRESULT AdviseList::add(ULONG mask, IMAPIAdviseSink* sink, std::string scope, ULONG* connection)
{
    if (!sink || !connection) {
        return MAPI_E_INVALID_PARAMETER;
    }
    if (!QCoreApplication::instance()) {
        return MAPI_E_NO_SUPPORT;
    }
    auto entry = std::make_shared<Connection>();
    entry->mask = mask;
    entry->scope = std::move(scope);
    entry->sink = sink;
    entry->receiver = new QObject; // has the calling thread's affinity
    sink->AddRef();
    std::lock_guard lock(m_mutex);
    entry->id = m_nextId++;
    m_connections.push_back(entry);
    *connection = entry->id;
    return S_OK;
}

HRESULT AdviseList::remove(ULONG connection)
{
    std::shared_ptr<Connection> entry;
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                     [connection](const auto& c) { return c->id == connection; });
        if (it == m_connections.end()) {
            return MAPI_E_NOT_FOUND;
        }
        entry = *it;
        m_connections.erase(it);
    }
    IMAPIAdviseSink* sink = nullptr;
    {
        std::lock_guard lock(entry->mutex);
        sink = std::exchange(entry->sink, nullptr);
    }
    if (entry->receiver) {
        entry->receiver->deleteLater(); // it may belong to another thread
    }
    if (sink) {
        sink->Release();
    }
    return S_OK;
}

bool AdviseList::empty() const
{
    std::lock_guard lock(m_mutex);
    return m_connections.empty();
}

bool AdviseList::wants(ULONG eventBit, const std::string* scope) const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(m_connections.begin(), m_connections.end(), [&](const auto& c) {
        return (c->mask & eventBit) && (!scope || c->scope == *scope);
    });
}

void AdviseList::post(ULONG eventBit, const std::string& scope, const Builder& build)
{
    std::lock_guard lock(m_mutex);
    for (const std::shared_ptr<Connection>& connection : m_connections) {
        if (!(connection->mask & eventBit) || connection->scope != scope || !connection->receiver) {
            continue;
        }
        QMetaObject::invokeMethod(
            connection->receiver.data(), [connection, build] { deliver(connection, build); },
            Qt::QueuedConnection);
    }
}

std::vector<std::string> AdviseList::scopes() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> all;
    for (const auto& connection : m_connections) {
        if (std::find(all.begin(), all.end(), connection->scope) == all.end()) {
            all.push_back(connection->scope);
        }
    }
    return all;
}

} // namespace vntmapi
