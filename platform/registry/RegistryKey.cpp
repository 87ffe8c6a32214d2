#include "registry/RegistryKey.h"

#include "registry/RegistryStore.h"

#include <cstring>

namespace vnt::registry {

namespace {

QString rootName(RootKey root)
{
    return root == HKEY_LOCAL_MACHINE ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                      : QStringLiteral("HKEY_CURRENT_USER");
}

std::uint32_t typeFilter(std::uint32_t type)
{
    switch (type) {
    case REG_NONE:
        return RRF_RT_REG_NONE;
    case REG_SZ:
        return RRF_RT_REG_SZ;
    case REG_EXPAND_SZ:
        return RRF_RT_REG_EXPAND_SZ;
    case REG_BINARY:
        return RRF_RT_REG_BINARY;
    case REG_DWORD:
        return RRF_RT_REG_DWORD;
    case REG_MULTI_SZ:
        return RRF_RT_REG_MULTI_SZ;
    case REG_QWORD:
        return RRF_RT_REG_QWORD;
    default:
        return 0;
    }
}

} // namespace

LSTATUS RegistryKey::openPath(std::shared_ptr<RegistryStore> store, QStringList path,
                              std::uint32_t access, bool create, bool* created)
{
    if (created) {
        *created = false;
    }
    if (create) {
        bool made = false;
        const LSTATUS status = store->createKey(path, &made);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        if (created) {
            *created = made;
        }
    } else if (!store->keyExists(path)) {
        return ERROR_FILE_NOT_FOUND;
    }
    m_store = std::move(store);
    m_path = std::move(path);
    m_access = access;
    return ERROR_SUCCESS;
}

QStringList RegistryKey::childPath(const QString& subKey) const
{
    return m_path + subKey.split(u'\\', Qt::SkipEmptyParts);
}

LSTATUS RegistryKey::open(RootKey root, const QString& subKey, std::uint32_t access)
{
    return open(Registry::standard(), root, subKey, access);
}

LSTATUS RegistryKey::open(const Registry& registry, RootKey root, const QString& subKey,
                          std::uint32_t access)
{
    close();
    const QStringList path = QStringList{rootName(root)} + subKey.split(u'\\', Qt::SkipEmptyParts);
    // The roots are always there, as on Windows.
    if (path.size() == 1) {
        m_store = registry.m_store;
        m_path = path;
        m_access = access;
        return ERROR_SUCCESS;
    }
    return openPath(registry.m_store, path, access, false, nullptr);
}

LSTATUS RegistryKey::open(const RegistryKey& parent, const QString& subKey, std::uint32_t access)
{
    if (!parent.isOpen()) {
        return ERROR_INVALID_HANDLE;
    }
    const QStringList path = parent.childPath(subKey);
    std::shared_ptr<RegistryStore> store = parent.m_store;
    close();
    return openPath(store, path, access, false, nullptr);
}

LSTATUS RegistryKey::create(RootKey root, const QString& subKey, std::uint32_t access,
                            bool* created)
{
    return create(Registry::standard(), root, subKey, access, created);
}

LSTATUS RegistryKey::create(const Registry& registry, RootKey root, const QString& subKey,
                            std::uint32_t access, bool* created)
{
    close();
    const QStringList path = QStringList{rootName(root)} + subKey.split(u'\\', Qt::SkipEmptyParts);
    if (path.size() == 1) {
        return ERROR_INVALID_PARAMETER;
    }
    return openPath(registry.m_store, path, access, true, created);
}

LSTATUS RegistryKey::create(const RegistryKey& parent, const QString& subKey, std::uint32_t access,
                            bool* created)
{
    if (!parent.isOpen()) {
        return ERROR_INVALID_HANDLE;
    }
    if (!(parent.m_access & KEY_CREATE_SUB_KEY)) {
        return ERROR_ACCESS_DENIED;
    }
    const QStringList path = parent.childPath(subKey);
    std::shared_ptr<RegistryStore> store = parent.m_store;
    close();
    return openPath(store, path, access, true, created);
}

void RegistryKey::close()
{
    m_store.reset();
    m_path.clear();
    m_access = 0;
}

LSTATUS RegistryKey::check(std::uint32_t right) const
{
    if (!m_store) {
        return ERROR_INVALID_HANDLE;
    }
    if (!(m_access & right)) {
        return ERROR_ACCESS_DENIED;
    }
    if (m_path.size() > 1 && !m_store->keyExists(m_path)) {
        return ERROR_KEY_DELETED;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegistryKey::queryValue(const QString& name, RegistryValue* value) const
{
    if (const LSTATUS status = check(KEY_QUERY_VALUE); status != ERROR_SUCCESS) {
        return status;
    }
    const std::optional<RegistryValue> found = m_store->value(m_path, name);
    if (!found) {
        return ERROR_FILE_NOT_FOUND;
    }
    *value = *found;
    return ERROR_SUCCESS;
}

LSTATUS RegistryKey::queryValue(const QString& name, std::uint32_t* type, void* data,
                                std::uint32_t* size) const
{
    if (data && !size) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryValue value;
    if (const LSTATUS status = queryValue(name, &value); status != ERROR_SUCCESS) {
        return status;
    }
    if (type) {
        *type = value.type;
    }
    if (!size) {
        return ERROR_SUCCESS;
    }
    const auto needed = std::uint32_t(value.data.size());
    const std::uint32_t available = *size;
    *size = needed;
    if (!data) {
        return ERROR_SUCCESS;
    }
    if (available < needed) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, value.data.constData(), needed);
    return ERROR_SUCCESS;
}

LSTATUS RegistryKey::getValue(const QString& name, std::uint32_t flags, RegistryValue* value) const
{
    RegistryValue stored;
    if (const LSTATUS status = queryValue(name, &stored); status != ERROR_SUCCESS) {
        return status;
    }
    const bool expand = stored.type == REG_EXPAND_SZ && !(flags & RRF_NOEXPAND);
    // An expanded string passes as REG_SZ, as the registry's own RegGetValue has it.
    const std::uint32_t filter = typeFilter(expand ? REG_SZ : stored.type);
    if (!(flags & filter)) {
        return ERROR_UNSUPPORTED_TYPE;
    }
    *value = expand ? RegistryValue::string(expandEnvironmentStrings(stored.toString())) : stored;
    return ERROR_SUCCESS;
}

LSTATUS RegistryKey::enumKey(std::uint32_t index, QString* name, std::uint32_t maxLength) const
{
    if (const LSTATUS status = check(KEY_ENUMERATE_SUB_KEYS); status != ERROR_SUCCESS) {
        return status;
    }
    const QStringList names = m_store->subkeys(m_path);
    if (index >= std::uint32_t(names.size())) {
        return ERROR_NO_MORE_ITEMS;
    }
    if (std::uint32_t(names[index].size()) > maxLength) {
        return ERROR_MORE_DATA;
    }
    *name = names[index];
    return ERROR_SUCCESS;
}

LSTATUS RegistryKey::enumValue(std::uint32_t index, QString* name, RegistryValue* value) const
{
    if (const LSTATUS status = check(KEY_QUERY_VALUE); status != ERROR_SUCCESS) {
        return status;
    }
    const auto values = m_store->values(m_path);
    if (index >= std::uint32_t(values.size())) {
        return ERROR_NO_MORE_ITEMS;
    }
    *name = values[index].first;
    if (value) {
        *value = values[index].second;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegistryKey::queryInfo(std::uint32_t* subKeys, std::uint32_t* values) const
{
    if (const LSTATUS status = check(KEY_QUERY_VALUE); status != ERROR_SUCCESS) {
        return status;
    }
    if (subKeys) {
        *subKeys = std::uint32_t(m_store->subkeys(m_path).size());
    }
    if (values) {
        *values = std::uint32_t(m_store->values(m_path).size());
    }
    return ERROR_SUCCESS;
}

LSTATUS RegistryKey::setValue(const QString& name, const RegistryValue& value)
{
    if (const LSTATUS status = check(KEY_SET_VALUE); status != ERROR_SUCCESS) {
        return status;
    }
    if (m_path.size() == 1) {
        return ERROR_ACCESS_DENIED;
    }
    return m_store->setValue(m_path, name, value);
}

LSTATUS RegistryKey::deleteValue(const QString& name)
{
    if (const LSTATUS status = check(KEY_SET_VALUE); status != ERROR_SUCCESS) {
        return status;
    }
    return m_store->deleteValue(m_path, name);
}

LSTATUS RegistryKey::deleteKey(const QString& subKey)
{
    if (!m_store) {
        return ERROR_INVALID_HANDLE;
    }
    const QStringList path = childPath(subKey);
    if (path.size() <= m_path.size() || path.size() < 2) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!m_store->keyExists(path)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!m_store->subkeys(path).isEmpty()) {
        return ERROR_ACCESS_DENIED;
    }
    return m_store->deleteKey(path);
}

LSTATUS RegistryKey::deleteTree(const QString& subKey)
{
    if (!m_store) {
        return ERROR_INVALID_HANDLE;
    }
    const QStringList path = childPath(subKey);
    if (path.size() <= m_path.size() || path.size() < 2) {
        return ERROR_INVALID_PARAMETER;
    }
    return m_store->deleteKey(path);
}

} // namespace vnt::registry
