// A folder's contents table. Once advised it watches the folder and keeps its rows current,
// reporting each added, deleted or changed message to its sinks. Asked not to wait, it reads a
// Maildir folder on a thread of its own: the client can show progress meanwhile.
#pragma once

#include "EntryId.h"
#include "FolderIndex.h"
#include "FolderWatcher.h"
#include "MemoryTable.h"
#include "MsgStore.h"

#include <QFileSystemWatcher>
#include <future>

namespace vntmapi {

class ContentsTable : public MemoryTable
{
public:
    // Holds a reference to `store` for its lifetime. With `deferred` a Maildir folder is read
    // in the background: until WaitForCompletion reports it complete, QueryPosition gives the
    // messages read over those listed (0 while listing), and any other call waits for it.
    ContentsTable(MsgStore* store, std::string folder, std::vector<ULONG> columns,
                  bool deferred = false);
    ~ContentsTable() override;

    HRESULT Advise(ULONG ulEventMask, IMAPIAdviseSink* lpAdviseSink,
                   ULONG* lpulConnection) override;
    HRESULT Unadvise(ULONG ulConnection) override;
    HRESULT QueryPosition(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) override;
    HRESULT Abort() override;
    HRESULT WaitForCompletion(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus) override;

protected:
    void settle() override;

private:
    PackedRows readRows(FolderState* state, ScanProgress* progress = nullptr);
    std::size_t rowOf(const std::string& name);
    void watchEarly();
    void endEarlyWatch();
    void watchContacts();
    void apply(const FolderChanges& changes);
    void reloadAll();
    void updateRow(const MessageFile& file, PropList row);

    MsgStore* m_store;
    std::string m_folder;
    MessageIdMaker m_ids; // rows are found by their entry id
    FolderState m_known;  // the folder as the rows show it, while no watcher reports
    // Watches from before the folder is read when it can (see watchEarly()), else from Advise.
    std::unique_ptr<FolderWatcher> m_watcher;
    bool m_early = false;    // m_watcher counts among the early watches
    bool m_watching = false; // m_watcher reports
    // The contacts folder is a vCard directory, not a Maildir: any change reloads it.
    std::unique_ptr<QFileSystemWatcher> m_contactsWatcher;
    // While the folder is read in the background: its progress, and the rows it made. Only
    // the reading thread touches the rows, m_known and the instance keys until it is done.
    ScanProgress m_progress;
    std::future<PackedRows> m_reading;
};

} // namespace vntmapi
