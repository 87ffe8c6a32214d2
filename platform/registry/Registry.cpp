#include "registry/Registry.h"

#include "registry/RegistryKey.h"
#include "registry/RegistryStore.h"

#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>
#include <vector>

namespace vnt::registry {

namespace {

const QString RegistryFileName = QStringLiteral("Korvane/registry.ini");

// True for a program started from this build's tree (the tests, scripts/run).
bool runsFromBuildTree()
{
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString buildRoot = QFileInfo(QStringLiteral(VNTREGISTRY_BUILD_ROOT)).canonicalFilePath();
    return !buildRoot.isEmpty() && program.startsWith(buildRoot + u'/');
}

QString systemFile()
{
    if (runsFromBuildTree()) {
        return QStringLiteral(VNTREGISTRY_BUILD_FILE);
    }
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts)) {
        const QString candidate = dir + u'/' + RegistryFileName;
        if (QFileInfo::exists(candidate)) {
            return candidate;
        }
    }
    return QStringLiteral(VNTREGISTRY_INSTALLED_FILE);
}

std::shared_ptr<RegistryStore> sharedStore(const Registry::Files& files)
{
    static QMutex mutex;
    static std::vector<std::pair<Registry::Files, std::weak_ptr<RegistryStore>>> stores;
    QMutexLocker locker(&mutex);
    std::erase_if(stores, [](const auto& entry) { return entry.second.expired(); });
    for (const auto& [known, store] : stores) {
        if (known == files) {
            return store.lock();
        }
    }
    auto store = std::make_shared<RegistryStore>(files);
    stores.emplace_back(files, store);
    return store;
}

} // namespace

Registry::Files Registry::standardFiles()
{
    const QString single = qEnvironmentVariable("VANTREL_REGISTRY");
    if (!single.isEmpty()) {
        return {QString(), single};
    }
    const QString userConfig =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return {systemFile(), userConfig + u'/' + RegistryFileName};
}

Registry Registry::standard()
{
    // Kept alive for the process, so that handles opened one after another share a store
    // and do not re-read the files each time.
    static QMutex mutex;
    static std::shared_ptr<RegistryStore> last;
    Registry registry(standardFiles());
    QMutexLocker locker(&mutex);
    last = registry.m_store;
    return registry;
}

Registry::Registry(const Files& files)
    : m_store(sharedStore(files))
{}

Registry::Files Registry::files() const
{
    return m_store->files();
}

int Registry::damagedLines() const
{
    return m_store->damagedLines();
}

QString builtMailLibraryPath()
{
    return runsFromBuildTree() ? QStringLiteral(VNTREGISTRY_BUILD_MAPI)
                               : QStringLiteral(VNTREGISTRY_INSTALLED_MAPI);
}

QString resolveLibraryName(const QString& name)
{
    return resolveLibraryName(Registry::standard(), name);
}

QString resolveLibraryName(const Registry& registry, const QString& name)
{
    if (name.isEmpty() || name.contains(u'/')) {
        return name;
    }
    RegistryKey libraries;
    RegistryValue value;
    if (libraries.open(registry, HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Korvane\\Libraries"),
                       KEY_QUERY_VALUE) == ERROR_SUCCESS &&
        libraries.getValue(name, RRF_RT_REG_SZ, &value) == ERROR_SUCCESS &&
        !value.toString().isEmpty()) {
        return value.toString();
    }
    if (name.compare(u"mapi32.dll", Qt::CaseInsensitive) == 0) {
        return builtMailLibraryPath();
    }
    return name;
}

} // namespace vnt::registry
