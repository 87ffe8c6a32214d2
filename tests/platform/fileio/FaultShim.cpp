// Preloaded into tests (LD_PRELOAD) to make writes fail as on a full or failing disk,
// without root and without a real small disk. Inactive unless VANTREL_FAULT_DIR is set:
//   VANTREL_FAULT_DIR    files whose path starts with this are affected
//   VANTREL_FAULT_FREE   bytes such a file may hold; writes past it fail (default 0)
//   VANTREL_FAULT_ERRNO  the error of a failing write (default ENOSPC)
//   VANTREL_FAULT_SYNC   when set, the error of fsync and fdatasync on such a file
// The settings are read at each call, so a test can change them as it runs.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool affected(int fd)
{
    const char* prefix = std::getenv("VANTREL_FAULT_DIR");
    if (!prefix || !*prefix)
        return false;
    char link[64];
    char target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return false;
    target[length] = '\0';
    return std::strncmp(target, prefix, std::strlen(prefix)) == 0;
}

long setting(const char* name, long fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

template<typename Function>
Function real(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

int failedSync(int fd)
{
    if (!affected(fd) || !std::getenv("VANTREL_FAULT_SYNC"))
        return 0;
    errno = int(setting("VANTREL_FAULT_SYNC", EIO));
    return -1;
}

} // namespace

extern "C" {

// Lets a test see that the shim is loaded.
int vantrel_fault_shim = 1;

ssize_t write(int fd, const void* data, size_t size)
{
    static const auto next = real<ssize_t (*)(int, const void*, size_t)>("write");
    if (size > 0 && affected(fd)) {
        struct stat info;
        const long free = setting("VANTREL_FAULT_FREE", 0);
        const long used = fstat(fd, &info) == 0 ? long(info.st_size) : 0;
        if (used >= free) {
            errno = int(setting("VANTREL_FAULT_ERRNO", ENOSPC));
            return -1;
        }
        if (long(size) > free - used)
            size = size_t(free - used); // a short write, as a filling disk gives
    }
    return next(fd, data, size);
}

int fsync(int fd)
{
    static const auto next = real<int (*)(int)>("fsync");
    return failedSync(fd) != 0 ? -1 : next(fd);
}

int fdatasync(int fd)
{
    static const auto next = real<int (*)(int)>("fdatasync");
    return failedSync(fd) != 0 ? -1 : next(fd);
}
}
