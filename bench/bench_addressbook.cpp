// Resolving a typed name against an address book of 10,000 contacts (one vCard file each, one
// in ten with a second address),
// through the mail library loaded at run time as the program loads it. The cards are read once
// per process (the first call, not measured); each measured call is one ResolveName:
//   unique     - a surname only one contact has
//   ambiguous  - a given name hundreds of contacts share (the answer is MAPI_E_AMBIGUOUS_RECIP)
//   address    - an address typed out, which one contact has
//   unresolved - a name nobody has
//   build/bench/bench_addressbook
#include "vntmapi/MapiLoader.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kContacts = 10000;

const char* const kGiven[] = {"Ann",  "Bob",   "Carla", "Dmitri", "Eve",  "Farid", "Grete",
                              "Hugo", "Ines",  "Jonas", "Keiko",  "Lars", "Mona",  "Nils",
                              "Olga", "Pedro", "Quinn", "Rosa",   "Sven", "Tomás"};

struct Book
{
    vntmapi::MapiLibrary library;
    IMAPISession* session = nullptr;
    IAddrBook* book = nullptr;
    fs::path dir;

    Book()
    {
        char pattern[] = "/tmp/bench-addressbook-XXXXXX";
        dir = mkdtemp(pattern);
        const fs::path vdir = dir / "contacts";
        fs::create_directories(vdir);
        for (const char* sub : {"cur", "new", "tmp"}) {
            fs::create_directories(dir / "Mail" / sub);
        }
        for (int i = 0; i < kContacts; ++i) {
            const std::string given = kGiven[i % 20];
            const std::string surname = "Family" + std::to_string(i);
            std::ofstream out(vdir / ("c" + std::to_string(i) + ".vcf"));
            out << "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:c" << i << "\r\nFN:" << given << " "
                << surname << "\r\nN:" << surname << ";" << given << ";;;\r\nORG:Example\r\n"
                << "TEL;TYPE=work:+44 20 7946 " << i << "\r\nEMAIL;TYPE=work:" << given << "." << i
                << "@example.org\r\n";
            // Every tenth contact has a second address, and so a second entry.
            if (i % 10 == 0) {
                out << "EMAIL;TYPE=home:" << given << i << "@home.example\r\n";
            }
            out << "END:VCARD\r\n";
        }
        std::ofstream(dir / "profiles.ini")
            << "[Profile Bench]\nStores=Mail\n[Store Bench/Mail]\nPath=" << (dir / "Mail").string()
            << "\nContacts=" << vdir.string() << "\n";
        setenv("VANTREL_MAPI_PROFILES", (dir / "profiles.ini").c_str(), 1);
        setenv("VANTREL_MAPI_CACHE", (dir / "cache").c_str(), 1);
        if (!library.load(VNTMAPI_LIBRARY_PATH) || FAILED(library.api().MAPIInitialize(nullptr)) ||
            FAILED(library.api().MAPILogonEx(0, "Bench", nullptr, MAPI_EXTENDED | MAPI_NEW_SESSION,
                                             &session)) ||
            FAILED(session->OpenAddressBook(0, nullptr, 0, &book))) {
            std::abort();
        }
        resolve("warm up"); // reads the cards
    }
    ~Book()
    {
        book->Release();
        session->Logoff(0, 0, 0);
        session->Release();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    HRESULT resolve(const char* name)
    {
        const auto& api = library.api();
        LPADRLIST list = nullptr;
        void* block = nullptr;
        api.MAPIAllocateBuffer(static_cast<ULONG>(CbNewADRLIST(1)),
                               reinterpret_cast<void**>(&list));
        api.MAPIAllocateBuffer(2 * sizeof(SPropValue), &block);
        auto* values = static_cast<LPSPropValue>(block);
        values[0] = SPropValue{};
        values[0].ulPropTag = PR_DISPLAY_NAME;
        values[0].Value.lpszA = const_cast<char*>(name);
        values[1] = SPropValue{};
        values[1].ulPropTag = PR_RECIPIENT_TYPE;
        values[1].Value.l = MAPI_TO;
        list->cEntries = 1;
        list->aEntries[0] = {0, 2, values};
        const HRESULT hr = book->ResolveName(0, 0, nullptr, list);
        api.FreePadrlist(list);
        return hr;
    }
};

Book& book()
{
    static Book instance;
    return instance;
}

void run(benchmark::State& state, const char* name, HRESULT expected)
{
    Book& b = book();
    for (auto _ : state) {
        if (b.resolve(name) != expected) {
            state.SkipWithError("unexpected answer");
            break;
        }
    }
}

void BM_ResolveUnique(benchmark::State& state)
{
    run(state, "Family7421", S_OK);
}
void BM_ResolveAmbiguous(benchmark::State& state)
{
    run(state, "Keiko", MAPI_E_AMBIGUOUS_RECIP);
}
void BM_ResolveAddress(benchmark::State& state)
{
    run(state, "Sven.7418@example.org", S_OK);
}
void BM_ResolveUnresolved(benchmark::State& state)
{
    run(state, "Nobody Here", MAPI_E_NOT_FOUND);
}

} // namespace

BENCHMARK(BM_ResolveUnique)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveAmbiguous)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveAddress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveUnresolved)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
