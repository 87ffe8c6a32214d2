// The generated 100,000-message Maildir folder the mail benchmarks open, and the process's
// memory figures they report. The folder is generated once into $VANTREL_BENCH_MAILDIR
// (default: a folder in /tmp) and kept, with a marker file saying it is complete.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>
#include <utime.h>

namespace benchmaildir {

namespace fs = std::filesystem;

inline constexpr int kMessages = 100000;

inline const char* const kFirstNames[] = {"Ann",   "Bob",  "Carla", "Dmitri", "Eve",   "Farid",
                                          "Grete", "Hugo", "Ines",  "Jonas",  "Keiko", "Lars",
                                          "Mona",  "Nils", "Olga",  "Pedro",  "Quinn", "Rosa"};
inline const char* const kLastNames[] = {"Lee",      "Novak",  "Schmidt", "Okafor",
                                         "Dubois",   "Rossi",  "Silva",   "Berg",
                                         "Kowalski", "Tanaka", "Murphy",  "Haddad"};
inline const char* const kDomains[] = {"example.org", "example.net", "contoso.test", "acme.test",
                                       "mail.example.com"};
inline const char* const kTopics[] = {"Printer", "Invoice", "Password", "VPN",      "Backup",
                                      "Licence", "Laptop",  "Outage",   "Database", "Report",
                                      "Mailbox", "Update",  "Order",    "Delivery", "Account"};
inline const char* const kProblems[] = {
    "not working",   "question",          "failed again",     "urgent",   "request",
    "cannot log in", "slow since Monday", "error 0x80004005", "follow-up"};
inline const char* const kWords[] = {
    "the",    "server",   "after",  "update",  "customer", "reports", "please", "check",
    "again",  "attached", "screen", "shows",   "invoice",  "number",  "since",  "morning",
    "thanks", "regards",  "we",     "restart", "could",    "you",     "send",   "details"};

template<typename T, std::size_t N>
const T& pick(const T (&items)[N], std::mt19937& rng)
{
    return items[rng() % N];
}

inline std::string paragraph(std::mt19937& rng, std::size_t bytes)
{
    std::string text;
    std::size_t column = 0;
    while (text.size() < bytes) {
        const std::string word = pick(kWords, rng);
        text += word;
        column += word.size() + 1;
        text += column > 70 ? "\r\n" : " ";
        column = column > 70 ? 0 : column;
    }
    return text + "\r\n";
}

inline std::string base64Block(std::mt19937& rng, std::size_t bytes)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes; ++i) {
        out += alphabet[rng() % 64];
        if (i % 76 == 75) {
            out += "\r\n";
        }
    }
    return out + "\r\n";
}

inline std::string rfcDate(std::time_t when)
{
    char buffer[64];
    std::tm tm{};
    gmtime_r(&when, &tm);
    std::strftime(buffer, sizeof buffer, "%a, %d %b %Y %H:%M:%S +0000", &tm);
    return buffer;
}

// One message of 3-5 KB: a sixth carry an attachment, some have Cc, priorities or UTF-8 text.
inline std::string makeMessage(int n, std::time_t when, std::mt19937& rng)
{
    const std::string first = pick(kFirstNames, rng);
    const std::string last = pick(kLastNames, rng);
    std::string subject = std::string(pick(kTopics, rng)) + " " + pick(kProblems, rng);
    if (n % 11 == 0) {
        subject = "=?UTF-8?Q?R=C3=BCckfrage:_" + subject.substr(0, subject.find(' ')) + "?=";
    } else if (n % 3 == 0) {
        subject = "Re: " + subject;
    }
    std::string m = "Return-Path: <x@example.org>\r\nFrom: " + first + " " + last + " <" + first +
                    "." + last + "@" + pick(kDomains, rng) + ">\r\n" +
                    "To: Support <help@example.com>\r\n";
    if (n % 4 == 0) {
        m += "Cc: " + std::string(pick(kFirstNames, rng)) + " <cc" + std::to_string(n % 97) +
             "@example.net>\r\n";
    }
    m += "Subject: " + subject + "\r\nDate: " + rfcDate(when) + "\r\nMessage-ID: <" +
         std::to_string(n) + ".bench@example.org>\r\n";
    if (n % 13 == 0) {
        m += "X-Priority: " + std::string(n % 2 ? "1" : "5") + "\r\n";
    }
    m += "MIME-Version: 1.0\r\n";
    const std::size_t target = 3000 + rng() % 2000;
    if (n % 6 == 0) {
        m += "Content-Type: multipart/mixed; boundary=\"b" + std::to_string(n) + "\"\r\n\r\n";
        m += "--b" + std::to_string(n) + "\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n";
        m += paragraph(rng, 600);
        m += "--b" + std::to_string(n) +
             "\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\n"
             "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"
             "Content-Transfer-Encoding: base64\r\n\r\n";
        m += base64Block(rng, target > m.size() + 800 ? target - m.size() - 200 : 600);
        m += "--b" + std::to_string(n) + "--\r\n";
    } else {
        m += "Content-Type: text/plain; charset=utf-8\r\n\r\n";
        m += paragraph(rng, target > m.size() ? target - m.size() : 200);
    }
    return m;
}

inline fs::path benchRoot()
{
    const char* own = std::getenv("VANTREL_BENCH_MAILDIR");
    return own && *own ? fs::path(own) : fs::temp_directory_path() / "vantrel-bench-maildir";
}

inline fs::path maildir()
{
    return benchRoot() / "Maildir";
}

inline void generateFolder()
{
    const fs::path done = benchRoot() / ("complete-" + std::to_string(kMessages));
    if (fs::exists(done)) {
        return;
    }
    fs::remove_all(maildir());
    for (const char* sub : {"new", "cur", "tmp"}) {
        fs::create_directories(maildir() / sub);
    }
    std::mt19937 rng(20240506);
    const std::time_t start = 1609459200; // 2021-01-01, three years of mail
    for (int n = 0; n < kMessages; ++n) {
        const std::time_t when = start + static_cast<std::time_t>(rng() % (3 * 365 * 86400));
        const bool unread = n % 10 == 0;
        const std::string unique = std::to_string(when) + ".M" + std::to_string(rng() % 1000000) +
                                   "P4242Q" + std::to_string(n) + ".benchhost";
        const fs::path path = unread ? maildir() / "new" / unique
                                     : maildir() / "cur" / (unique + (n % 7 ? ":2,S" : ":2,RS"));
        std::ofstream(path, std::ios::binary) << makeMessage(n, when, rng);
        const utimbuf times{when + 60, when + 60};
        utime(path.c_str(), &times);
    }
    std::ofstream(benchRoot() / "profiles.ini")
        << "[Profile Bench]\nStores=Mail\n[Store Bench/Mail]\nPath=" << maildir().string() << "\n";
    std::ofstream(done) << "";
}

inline void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

inline double statusMb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stod(line.substr(std::strlen(field))) / 1024.0;
        }
    }
    return 0;
}

inline double peakMemoryMb()
{
    return statusMb("VmHWM:");
}

// Bytes handed out by malloc (the library shares the process's allocator).
inline double heapMb()
{
    return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

} // namespace benchmaildir
