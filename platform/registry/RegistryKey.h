// An open registry key, with the operations of the registry's key API: open, create, query
// (typed, or into a caller's buffer), enumerate, set and delete. Results are the registry's
// result codes; nothing throws. A key opened without KEY_SET_VALUE (or KEY_CREATE_SUB_KEY)
// refuses changes with ERROR_ACCESS_DENIED, and a key deleted while open answers
// ERROR_KEY_DELETED. The handle closes itself when it goes out of scope.
//
//     RegistryKey clients;
//     if (clients.open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Mail"_s, KEY_READ)
//         == ERROR_SUCCESS) {
//         RegistryValue defaultClient;
//         clients.queryValue(QString(), &defaultClient);
//         QString name;
//         for (uint32_t i = 0; clients.enumKey(i, &name, 1024) == ERROR_SUCCESS; ++i) { ... }
//     }
#pragma once

#include "registry/Registry.h"

#include <QStringList>

namespace vnt::registry {

class RegistryKey
{
public:
    RegistryKey() = default;
    RegistryKey(RegistryKey&&) = default;
    RegistryKey& operator=(RegistryKey&&) = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() = default;

    // Opens an existing key; `subKey` is a '\'-separated path below the root or parent
    // (empty opens the root or the parent itself). ERROR_FILE_NOT_FOUND when missing.
    LSTATUS open(RootKey root, const QString& subKey, std::uint32_t access);
    LSTATUS open(const Registry& registry, RootKey root, const QString& subKey,
                 std::uint32_t access);
    LSTATUS open(const RegistryKey& parent, const QString& subKey, std::uint32_t access);
    // Opens the key, creating it and the keys above it when missing (`created` tells).
    LSTATUS create(RootKey root, const QString& subKey, std::uint32_t access,
                   bool* created = nullptr);
    LSTATUS create(const Registry& registry, RootKey root, const QString& subKey,
                   std::uint32_t access, bool* created = nullptr);
    LSTATUS create(const RegistryKey& parent, const QString& subKey, std::uint32_t access,
                   bool* created = nullptr);
    void close();

    bool isOpen() const { return m_store != nullptr; }
    // "HKEY_LOCAL_MACHINE\SOFTWARE\..." as the key was opened.
    QString path() const { return m_path.join(u'\\'); }

    // The value as stored (an expandable string is not expanded). An empty name is the
    // key's default value.
    LSTATUS queryValue(const QString& name, RegistryValue* value) const;
    // Buffer form: `*size` is the buffer's size in bytes on entry and the value's size on
    // return; a null `data` only asks the size; a buffer too small gives ERROR_MORE_DATA and
    // leaves it untouched. Strings count their terminating NUL. `type` may be null.
    LSTATUS queryValue(const QString& name, std::uint32_t* type, void* data,
                       std::uint32_t* size) const;
    // The value if its type passes the RRF_RT_* filter (else ERROR_UNSUPPORTED_TYPE); an
    // expandable string comes back expanded as REG_SZ unless RRF_NOEXPAND is given.
    LSTATUS getValue(const QString& name, std::uint32_t flags, RegistryValue* value) const;

    // The subkey at `index` in name order; ERROR_NO_MORE_ITEMS past the last, and
    // ERROR_MORE_DATA when the name is longer than `maxLength` characters.
    LSTATUS enumKey(std::uint32_t index, QString* name, std::uint32_t maxLength = 255) const;
    // The value at `index` (default value first, then in name order).
    LSTATUS enumValue(std::uint32_t index, QString* name, RegistryValue* value) const;
    LSTATUS queryInfo(std::uint32_t* subKeys, std::uint32_t* values) const;

    LSTATUS setValue(const QString& name, const RegistryValue& value);
    LSTATUS deleteValue(const QString& name);
    // Deletes a subkey that has no subkeys of its own (ERROR_ACCESS_DENIED otherwise).
    LSTATUS deleteKey(const QString& subKey);
    // Deletes a subkey with everything under it.
    LSTATUS deleteTree(const QString& subKey);

private:
    LSTATUS openPath(std::shared_ptr<RegistryStore> store, QStringList path, std::uint32_t access,
                     bool create, bool* created);
    LSTATUS check(std::uint32_t right) const;
    QStringList childPath(const QString& subKey) const;

    std::shared_ptr<RegistryStore> m_store;
    QStringList m_path;
    std::uint32_t m_access = 0;
};

} // namespace vnt::registry
