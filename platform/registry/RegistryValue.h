// Typed registry values and the result codes, value types and access rights of the machine
// registry, numbered as on Windows so that code written against the registry reads the same.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace vnt::registry {

using LSTATUS = std::int32_t;

// Result codes.
constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_OUTOFMEMORY = 14;
constexpr LSTATUS ERROR_WRITE_FAULT = 29;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_DISK_FULL = 112;
constexpr LSTATUS ERROR_MORE_DATA = 234;
constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
constexpr LSTATUS ERROR_BADDB = 1009;
constexpr LSTATUS ERROR_CANTWRITE = 1013;
constexpr LSTATUS ERROR_KEY_DELETED = 1018;
constexpr LSTATUS ERROR_UNSUPPORTED_TYPE = 1630;

// Value types.
constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_EXPAND_SZ = 2;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t REG_MULTI_SZ = 7;
constexpr std::uint32_t REG_QWORD = 11;

// Access rights asked for when a key is opened.
constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr std::uint32_t KEY_NOTIFY = 0x0010;
constexpr std::uint32_t KEY_READ = 0x20019;
constexpr std::uint32_t KEY_WRITE = 0x20006;
constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

// Type filters and flags of RegistryKey::getValue.
constexpr std::uint32_t RRF_RT_REG_NONE = 0x0001;
constexpr std::uint32_t RRF_RT_REG_SZ = 0x0002;
constexpr std::uint32_t RRF_RT_REG_EXPAND_SZ = 0x0004;
constexpr std::uint32_t RRF_RT_REG_BINARY = 0x0008;
constexpr std::uint32_t RRF_RT_REG_DWORD = 0x0010;
constexpr std::uint32_t RRF_RT_REG_MULTI_SZ = 0x0020;
constexpr std::uint32_t RRF_RT_REG_QWORD = 0x0040;
constexpr std::uint32_t RRF_RT_ANY = 0xFFFF;
constexpr std::uint32_t RRF_NOEXPAND = 0x10000000;

// Roots of the key paths.
enum RootKey { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

// One value as the registry keeps it: a type and its bytes. Strings are UTF-8 with a
// terminating NUL (as the registry counts them), numbers little-endian.
struct RegistryValue
{
    std::uint32_t type = REG_NONE;
    QByteArray data;

    static RegistryValue string(const QString& text);
    static RegistryValue expandString(const QString& text);
    static RegistryValue multiString(const QStringList& texts);
    static RegistryValue dword(std::uint32_t number);
    static RegistryValue qword(std::uint64_t number);
    static RegistryValue binary(const QByteArray& bytes);

    bool isString() const { return type == REG_SZ || type == REG_EXPAND_SZ; }
    // The text of a string value up to its first NUL; empty for other types.
    QString toString() const;
    QStringList toStringList() const;
    // The number of a REG_DWORD or REG_QWORD value; `ok` is false for other types or sizes.
    std::uint64_t toNumber(bool* ok = nullptr) const;

    bool operator==(const RegistryValue&) const = default;
};

// Replaces each %NAME% by the environment variable NAME; a name that is not set, and a lone
// '%', stay as written (the shell's rule on Windows).
QString expandEnvironmentStrings(const QString& text);

} // namespace vnt::registry
