// The two layers of the registry behind every key handle: the system file below, the
// per-user file above. Reads merge them; changes go to the per-user file.
#pragma once

#include "fileio/AtomicFile.h"
#include "registry/Registry.h"
#include "registry/RegistryTree.h"

#include <QMutex>
#include <functional>
#include <optional>

namespace vnt::registry {

class RegistryStore
{
public:
    explicit RegistryStore(const Registry::Files& files);

    const Registry::Files& files() const { return m_files; }
    int damagedLines();

    bool keyExists(const QStringList& path);
    QStringList subkeys(const QStringList& path);
    // Default value first, then by name.
    QList<std::pair<QString, RegistryValue>> values(const QStringList& path);
    std::optional<RegistryValue> value(const QStringList& path, const QString& name);

    LSTATUS createKey(const QStringList& path, bool* created);
    LSTATUS setValue(const QStringList& path, const QString& name, const RegistryValue& value);
    LSTATUS deleteValue(const QStringList& path, const QString& name);
    LSTATUS deleteKey(const QStringList& path);

private:
    struct Layer
    {
        QString path;
        RegistryTree tree;
        fileio::FileIdentity identity;
        int damaged = 0;
    };

    void refresh(Layer& layer);
    void refreshAll();
    bool baseHas(const QStringList& path) const;
    bool userHas(const QStringList& path) const;
    std::optional<RegistryValue> valueLocked(const QStringList& path, const QString& name) const;
    // Re-reads the per-user file under its lock, lets `change` edit it, and writes it back
    // when `change` answers true.
    LSTATUS changeUser(const std::function<bool(RegistryTree&)>& change);

    Registry::Files m_files;
    QMutex m_mutex;
    Layer m_base;
    Layer m_user;
};

} // namespace vnt::registry
