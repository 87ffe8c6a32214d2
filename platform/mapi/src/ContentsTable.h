// A folder's contents table. Once advised it watches the folder and keeps its rows current,
// reporting each added, deleted or changed message to its sinks.
#pragma once

#include "FolderWatcher.h"
#include "MemoryTable.h"
#include "MsgStore.h"

#include <QFileSystemWatcher>
#include <map>

namespace vntmapi {

class ContentsTable : public MemoryTable
{
public:
    // Holds a reference to `store` for its lifetime.
    ContentsTable(MsgStore* store, std::string folder, std::vector<ULONG> columns);
    ~ContentsTable() override;

    HRESULT Advise(ULONG ulEventMask, IMAPIAdviseSink* lpAdviseSink,
                   ULONG* lpulConnection) override;
    HRESULT Unadvise(ULONG ulConnection) override;

private:
    PackedRows readRows();
    Listing listingOfRows() const;
    void apply(const FolderChanges& changes);
    void reloadAll();
    void updateRow(const MessageFile& file, PropList row);

    MsgStore* m_store;
    std::string m_folder;
    Listing m_baseline;                // what the rows show, for the watcher's first comparison
    bool m_followed = false;           // advised once: m_baseline is set
    std::map<std::string, Key> m_keys; // instance key of each unique name
    std::unique_ptr<FolderWatcher> m_watcher;
    // The contacts folder is a vCard directory, not a Maildir: any change reloads it.
    std::unique_ptr<QFileSystemWatcher> m_contactsWatcher;
};

} // namespace vntmapi
