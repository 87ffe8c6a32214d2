// A folder for a fuzz target's files: in memory (/dev/shm) when there is one, so that
// millions of runs do not wear a disk, else $TMPDIR or /tmp. Removed when the target exits,
// as a folder in memory would otherwise stay until the next boot.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace fuzz {

// Makes the folder ("<prefix>-XXXXXX") once; an empty path when it cannot be made.
inline const std::filesystem::path& scratchFolder(const char* prefix)
{
    static const std::filesystem::path folder = [prefix] {
        std::error_code error;
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0
                ? std::string("/dev/shm")
                : std::string(tmp && *tmp ? tmp : "/tmp");
        pattern += std::string("/") + prefix + "-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        return made ? std::filesystem::path(made) : std::filesystem::path();
    }();
    static const bool removedAtExit =
        !folder.empty() && std::atexit([] {
                               std::error_code ignored;
                               std::filesystem::remove_all(folder, ignored);
                           }) == 0;
    (void)removedAtExit;
    return folder;
}

} // namespace fuzz
