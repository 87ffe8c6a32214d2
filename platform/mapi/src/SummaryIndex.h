// The summary index of one Maildir folder: an SQLite file in the user's cache that maps each
// message's unique name (with the inode, size, modification and change times it had) to its
// MessageSummary, so that opening a large
// folder parses only the messages it has not seen. The Maildir stays the truth: flags always come
// from the current file name, and a missing, damaged or outdated index file is rebuilt.
//
// Location: $VANTREL_MAPI_CACHE, else <user cache dir>/Korvane/vntmapi, then
// <store key hex>/<SHA-1 of the folder directory>.db.
#pragma once

#include "EntryId.h"
#include "Maildir.h"

#include <functional>
#include <memory>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace vntmapi {

class SummaryIndex
{
public:
    // The index of `folderDir`, opened or created; null when the cache cannot be used.
    static std::unique_ptr<SummaryIndex> open(const StoreKey& store, const std::string& folderDir);
    static std::string filePath(const StoreKey& store, const std::string& folderDir);

    ~SummaryIndex();
    SummaryIndex(const SummaryIndex&) = delete;
    SummaryIndex& operator=(const SummaryIndex&) = delete;

    using Visitor =
        std::function<void(std::string_view name, std::uint64_t inode, MessageSummary& summary)>;
    // Every entry, in no particular order; false when reading failed part way (a damaged file).
    // One summary is filled for each in turn, so its texts keep their memory.
    bool forEach(const Visitor& visit);
    // The entry of `name`; false when there is none.
    bool find(const std::string& name, std::uint64_t* inode, MessageSummary* summary);

    // Deletes the file and starts an empty one; false when that fails too.
    bool rebuild();

    // Changes between begin() and commit() go in one transaction. Write failures are not
    // reported: the index is a cache and the caller has its rows either way.
    void begin();
    void put(const std::string& name, std::uint64_t inode, const MessageSummary& summary);
    void remove(const std::string& name);
    void commit();

private:
    struct DbCloser
    {
        void operator()(sqlite3* db) const;
    };
    struct StmtFinalizer
    {
        void operator()(sqlite3_stmt* stmt) const;
    };
    using Db = std::unique_ptr<sqlite3, DbCloser>;
    using Statement = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

    SummaryIndex(std::string path, std::string folderDir);
    bool openFile();
    bool prepareSchema();
    bool isCurrent();
    bool createSchema();
    bool exec(const char* sql);
    Statement prepare(const char* sql);
    static void readRow(sqlite3_stmt* stmt, int first, MessageSummary* summary);

    std::string m_path;
    std::string m_folderDir;
    Db m_db;
    Statement m_put;
    Statement m_remove;
    bool m_inTransaction = false;
};

} // namespace vntmapi
