// Opening a 100,000-message Maildir folder through the mail library, loaded at run time the way
// the program loads it (so the figures include the exported entry points and MAPI memory):
//   cold   - no index yet: every message parsed and written to the summary index
//   warm   - logon, open the Inbox, contents table with the message-list columns, sort by
//            delivery time (newest first), read every row
// Each benchmark reports the process's peak resident memory (VmHWM, reset before it runs).
// The folder is generated once into $VANTREL_BENCH_MAILDIR (default: a folder in /tmp) and kept;
// the index goes to a cache folder next to it. $VANTREL_BENCH_LIBRARY loads another build.
//   build/bench/bench_maildir_index --benchmark_filter=Warm
#include "BenchMaildir.h"
#include "vntmapi/MapiLoader.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>
#include <utime.h>

namespace fs = std::filesystem;

namespace {

using namespace benchmaildir;

vntmapi::MapiLibrary& library()
{
    static vntmapi::MapiLibrary lib;
    if (!lib.isLoaded()) {
        generateFolder();
        setenv("VANTREL_MAPI_PROFILES", (benchRoot() / "profiles.ini").c_str(), 1);
        setenv("VANTREL_MAPI_CACHE", (benchRoot() / "cache").c_str(), 1);
        // Another build of the library can be compared against this one.
        const char* other = std::getenv("VANTREL_BENCH_LIBRARY");
        lib.load(other && *other ? other : VNTMAPI_LIBRARY_PATH);
        lib.api().MAPIInitialize(nullptr);
    }
    return lib;
}

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Phase times of one open, in milliseconds.
struct OpenTimes
{
    double logon = 0;
    double contents = 0; // GetContentsTable: listing, index, rows
    double sort = 0;
    double query = 0;
    double tableMb = 0;  // heap the contents table holds once built
    double rowSetMb = 0; // heap of the row set QueryRows returns
    ULONG rows = 0;
};

// Logon, Inbox, contents table, columns, sort newest first, every row; false on any failure.
bool openInbox(const vntmapi::EntryPoints& api, bool readRows, OpenTimes* times)
{
    auto start = Clock::now();
    MapiPtr<IMAPISession> session;
    MapiPtr<IMsgStore> store;
    MapiPtr<IMAPIFolder> inbox;
    MapiPtr<IMAPITable> table;
    if (FAILED(api.MAPILogonEx(0, "Bench", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION,
                               session.put()))) {
        return false;
    }
    LPENTRYID storeId = nullptr;
    ULONG storeSize = 0;
    {
        MapiPtr<IMAPITable> stores;
        LPSRowSet rows = nullptr;
        ULONG tags[] = {1, PR_ENTRYID};
        if (FAILED(session->GetMsgStoresTable(0, stores.put())) ||
            FAILED(stores->SetColumns(reinterpret_cast<LPSPropTagArray>(tags), 0)) ||
            FAILED(stores->QueryRows(1, 0, &rows)) || rows->cRows != 1) {
            return false;
        }
        const SBinary& id = rows->aRow[0].lpProps[0].Value.bin;
        const HRESULT hr = session->OpenMsgStore(0, id.cb, reinterpret_cast<LPENTRYID>(id.lpb),
                                                 nullptr, MDB_WRITE, store.put());
        api.MAPIFreeBuffer(rows->aRow[0].lpProps);
        api.MAPIFreeBuffer(rows);
        if (FAILED(hr) ||
            FAILED(store->GetReceiveFolder(nullptr, 0, &storeSize, &storeId, nullptr))) {
            return false;
        }
    }
    ULONG type = 0;
    const HRESULT opened =
        store->OpenEntry(storeSize, storeId, nullptr, MAPI_BEST_ACCESS, &type, inbox.putUnknown());
    api.MAPIFreeBuffer(storeId);
    times->logon = msSince(start);
    const double heapBefore = heapMb();
    start = Clock::now();
    if (FAILED(opened) || FAILED(inbox->GetContentsTable(0, table.put()))) {
        return false;
    }
    times->contents = msSince(start);
    times->tableMb = heapMb() - heapBefore;
    if (readRows) {
        ULONG columns[] = {9,
                           PR_ENTRYID,
                           PR_INSTANCE_KEY,
                           PR_SENT_REPRESENTING_NAME,
                           PR_SUBJECT,
                           PR_MESSAGE_DELIVERY_TIME,
                           PR_MESSAGE_FLAGS,
                           PR_IMPORTANCE,
                           PR_HASATTACH,
                           PR_MESSAGE_SIZE};
        SSortOrderSet order{1, 0, 0, {{PR_MESSAGE_DELIVERY_TIME, TABLE_SORT_DESCEND}}};
        start = Clock::now();
        if (FAILED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(columns), 0)) ||
            FAILED(table->SortTable(&order, 0))) {
            return false;
        }
        times->sort = msSince(start);
        start = Clock::now();
        LPSRowSet rows = nullptr;
        if (FAILED(table->QueryRows(0x7FFFFFFF, 0, &rows))) {
            return false;
        }
        times->rows = rows->cRows;
        times->rowSetMb = heapMb() - heapBefore - times->tableMb;
        for (ULONG i = 0; i < rows->cRows; ++i) {
            api.MAPIFreeBuffer(rows->aRow[i].lpProps);
        }
        api.MAPIFreeBuffer(rows);
        times->query = msSince(start);
    }
    table.reset();
    inbox.reset();
    store.reset();
    session->Logoff(0, 0, 0);
    return true;
}

void reportTimes(benchmark::State& state, const OpenTimes& sum, int runs)
{
    state.counters["logon_ms"] = sum.logon / runs;
    state.counters["contents_ms"] = sum.contents / runs;
    state.counters["sort_ms"] = sum.sort / runs;
    state.counters["query_ms"] = sum.query / runs;
    state.counters["rows"] = sum.rows / static_cast<double>(runs);
    state.counters["table_heap_mb"] = sum.tableMb / runs;
    state.counters["rowset_heap_mb"] = sum.rowSetMb / runs;
    state.counters["peak_rss_mb"] = peakMemoryMb();
}

// Parsing every message into an empty index; the files themselves are in the page cache.
void BM_ColdIndex(benchmark::State& state)
{
    const vntmapi::EntryPoints& api = library().api();
    OpenTimes sum;
    int runs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(benchRoot() / "cache");
        resetPeakMemory();
        state.ResumeTiming();
        OpenTimes times;
        if (!openInbox(api, false, &times)) {
            state.SkipWithError("opening the folder failed");
            return;
        }
        sum.logon += times.logon;
        sum.contents += times.contents;
        ++runs;
    }
    reportTimes(state, sum, runs);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kMessages);
}
BENCHMARK(BM_ColdIndex)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same without a usable cache (its folder lies below a plain file): what the index saves,
// and what writing it costs on top of parsing.
void BM_ParseWithoutIndex(benchmark::State& state)
{
    const vntmapi::EntryPoints& api = library().api();
    const fs::path blocker = benchRoot() / "not-a-folder";
    std::ofstream(blocker) << "x";
    setenv("VANTREL_MAPI_CACHE", (blocker / "cache").c_str(), 1);
    resetPeakMemory();
    OpenTimes sum;
    int runs = 0;
    for (auto _ : state) {
        OpenTimes times;
        if (!openInbox(api, false, &times)) {
            state.SkipWithError("opening the folder failed");
            break;
        }
        sum.contents += times.contents;
        ++runs;
    }
    setenv("VANTREL_MAPI_CACHE", (benchRoot() / "cache").c_str(), 1);
    reportTimes(state, sum, std::max(runs, 1));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kMessages);
}
BENCHMARK(BM_ParseWithoutIndex)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The message list as the program opens it, with the index in place.
void BM_WarmOpenSortQuery(benchmark::State& state)
{
    const vntmapi::EntryPoints& api = library().api();
    OpenTimes warmUp;
    openInbox(api, false, &warmUp); // makes sure the index exists
    resetPeakMemory();
    OpenTimes sum;
    int runs = 0;
    for (auto _ : state) {
        OpenTimes times;
        if (!openInbox(api, true, &times)) {
            state.SkipWithError("opening the folder failed");
            return;
        }
        sum.logon += times.logon;
        sum.contents += times.contents;
        sum.sort += times.sort;
        sum.query += times.query;
        sum.tableMb += times.tableMb;
        sum.rowSetMb += times.rowSetMb;
        sum.rows += times.rows;
        ++runs;
    }
    reportTimes(state, sum, runs);
}
BENCHMARK(BM_WarmOpenSortQuery)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
