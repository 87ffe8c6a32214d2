#include "registry/RegistryStore.h"

#include "fileio/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vnt::registry {

namespace {

constexpr int LockTimeoutMs = 10000;

const QByteArray UserFileHeader =
    "; Registry values of this user: they win over the system registry, and a [-key] or\n"
    "; \"name\"=- line removes a key or value of the system registry.\n\n";

LSTATUS statusForErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_OUTOFMEMORY;
    case EIO:
        return ERROR_WRITE_FAULT;
    default:
        return ERROR_CANTWRITE;
    }
}

LSTATUS statusForWrite(const fileio::WriteResult& result)
{
    switch (result.failure) {
    case fileio::WriteFailure::None:
        return ERROR_SUCCESS;
    case fileio::WriteFailure::DiskFull:
        return ERROR_DISK_FULL;
    case fileio::WriteFailure::ReadOnly:
    case fileio::WriteFailure::PermissionDenied:
        return ERROR_ACCESS_DENIED;
    case fileio::WriteFailure::InputOutput:
        return ERROR_WRITE_FAULT;
    default:
        return ERROR_CANTWRITE;
    }
}

QByteArray readDescriptor(int fd)
{
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        return {};
    }
    file.seek(0);
    return file.readAll();
}

} // namespace

RegistryStore::RegistryStore(const Registry::Files& files)
    : m_files(files)
{
    m_base.path = files.system;
    m_user.path = files.user;
}

int RegistryStore::damagedLines()
{
    QMutexLocker locker(&m_mutex);
    refreshAll();
    return m_base.damaged + m_user.damaged;
}

void RegistryStore::refresh(Layer& layer)
{
    if (layer.path.isEmpty()) {
        return;
    }
    const fileio::FileIdentity identity = fileio::identityOf(layer.path);
    if (identity == layer.identity) {
        return;
    }
    QFile file(layer.path);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    layer.tree = RegistryTree::parse(text, &layer.damaged);
    layer.identity = identity;
}

void RegistryStore::refreshAll()
{
    refresh(m_base);
    refresh(m_user);
}

bool RegistryStore::baseHas(const QStringList& path) const
{
    const RegistryNode* node = m_base.tree.find(path);
    return node && node->exists && !m_user.tree.hidesBase(path);
}

bool RegistryStore::userHas(const QStringList& path) const
{
    const RegistryNode* node = m_user.tree.find(path);
    return node && node->exists;
}

bool RegistryStore::keyExists(const QStringList& path)
{
    QMutexLocker locker(&m_mutex);
    refreshAll();
    return baseHas(path) || userHas(path);
}

QStringList RegistryStore::subkeys(const QStringList& path)
{
    QMutexLocker locker(&m_mutex);
    refreshAll();
    std::map<QString, QString> names; // folded -> as written
    if (baseHas(path)) {
        for (const auto& [folded, child] : m_base.tree.find(path)->children) {
            if (baseHas(path + QStringList{child->name})) {
                names.emplace(folded, child->name);
            }
        }
    }
    if (const RegistryNode* node = m_user.tree.find(path)) {
        for (const auto& [folded, child] : node->children) {
            if (child->exists) {
                names.emplace(folded, child->name);
            }
        }
    }
    QStringList result;
    for (const auto& entry : names) {
        result.append(entry.second);
    }
    return result;
}

QList<std::pair<QString, RegistryValue>> RegistryStore::values(const QStringList& path)
{
    QMutexLocker locker(&m_mutex);
    refreshAll();
    std::map<QString, std::pair<QString, RegistryValue>> merged;
    if (baseHas(path)) {
        for (const auto& [folded, entry] : m_base.tree.find(path)->values) {
            if (entry.second) {
                merged[folded] = {entry.first, *entry.second};
            }
        }
    }
    if (userHas(path)) {
        for (const auto& [folded, entry] : m_user.tree.find(path)->values) {
            if (entry.second) {
                merged[folded] = {entry.first, *entry.second};
            } else {
                merged.erase(folded);
            }
        }
    }
    // The empty name folds to the smallest key, so the default value comes first.
    QList<std::pair<QString, RegistryValue>> result;
    for (const auto& entry : merged) {
        result.append(entry.second);
    }
    return result;
}

std::optional<RegistryValue> RegistryStore::valueLocked(const QStringList& path,
                                                        const QString& name) const
{
    const QString folded = foldName(name);
    if (userHas(path)) {
        const auto& userValues = m_user.tree.find(path)->values;
        if (const auto it = userValues.find(folded); it != userValues.end()) {
            return it->second.second;
        }
    }
    if (baseHas(path)) {
        const auto& baseValues = m_base.tree.find(path)->values;
        if (const auto it = baseValues.find(folded); it != baseValues.end()) {
            return it->second.second;
        }
    }
    return std::nullopt;
}

std::optional<RegistryValue> RegistryStore::value(const QStringList& path, const QString& name)
{
    QMutexLocker locker(&m_mutex);
    refreshAll();
    return valueLocked(path, name);
}

LSTATUS RegistryStore::changeUser(const std::function<bool(RegistryTree&)>& change)
{
    if (m_files.user.isEmpty()) {
        return ERROR_ACCESS_DENIED;
    }
    const QString folder = QFileInfo(m_files.user).absolutePath();
    if (!QDir().mkpath(folder)) {
        return ERROR_ACCESS_DENIED;
    }
    // The lock is taken on the file itself, so it has to exist first.
    const QByteArray encoded = QFile::encodeName(m_files.user);
    const int fd = ::open(encoded.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return statusForErrno(errno);
    }
    ::close(fd);
    fileio::FileLock lock;
    switch (lock.lock(m_files.user, LockTimeoutMs)) {
    case fileio::FileLock::Result::Locked:
        break;
    case fileio::FileLock::Result::TimedOut:
        return ERROR_CANTWRITE;
    case fileio::FileLock::Result::Failed:
        return statusForErrno(lock.systemError());
    }
    refresh(m_base);
    int damaged = 0;
    RegistryTree tree = RegistryTree::parse(readDescriptor(lock.fd()), &damaged);
    // The merged checks inside `change` see the file as it is now.
    std::swap(m_user.tree, tree);
    m_user.damaged = damaged;
    m_user.identity = fileio::identityOf(lock.fd());
    if (!change(m_user.tree)) {
        return ERROR_SUCCESS;
    }
    const fileio::WriteResult result =
        fileio::writeFileAtomically(m_files.user, UserFileHeader + m_user.tree.serialize());
    if (!result.ok()) {
        // Forget the edit: the next read loads the file as it is.
        m_user.identity = {};
        return statusForWrite(result);
    }
    m_user.identity = result.written;
    m_user.damaged = 0;
    return ERROR_SUCCESS;
}

LSTATUS RegistryStore::createKey(const QStringList& path, bool* created)
{
    QMutexLocker locker(&m_mutex);
    *created = false;
    return changeUser([&](RegistryTree& tree) {
        if (baseHas(path) || userHas(path)) {
            return false;
        }
        tree.createKey(path);
        *created = true;
        return true;
    });
}

LSTATUS RegistryStore::setValue(const QStringList& path, const QString& name,
                                const RegistryValue& value)
{
    QMutexLocker locker(&m_mutex);
    LSTATUS status = ERROR_SUCCESS;
    const LSTATUS written = changeUser([&](RegistryTree& tree) {
        if (!baseHas(path) && !userHas(path)) {
            status = ERROR_KEY_DELETED;
            return false;
        }
        if (valueLocked(path, name) == value) {
            return false;
        }
        tree.createKey(path)->values[foldName(name)] = {name, value};
        return true;
    });
    return written != ERROR_SUCCESS ? written : status;
}

LSTATUS RegistryStore::deleteValue(const QStringList& path, const QString& name)
{
    QMutexLocker locker(&m_mutex);
    LSTATUS status = ERROR_SUCCESS;
    const LSTATUS written = changeUser([&](RegistryTree& tree) {
        if (!baseHas(path) && !userHas(path)) {
            status = ERROR_KEY_DELETED;
            return false;
        }
        if (!valueLocked(path, name)) {
            status = ERROR_FILE_NOT_FOUND;
            return false;
        }
        RegistryNode* node = tree.createKey(path);
        const QString folded = foldName(name);
        const RegistryNode* base = m_base.tree.find(path);
        const bool inBase =
            baseHas(path) && base->values.count(folded) && base->values.at(folded).second;
        if (inBase) {
            node->values[folded] = {name, std::nullopt};
        } else {
            node->values.erase(folded);
        }
        return true;
    });
    return written != ERROR_SUCCESS ? written : status;
}

LSTATUS RegistryStore::deleteKey(const QStringList& path)
{
    QMutexLocker locker(&m_mutex);
    LSTATUS status = ERROR_SUCCESS;
    const LSTATUS written = changeUser([&](RegistryTree& tree) {
        if (!baseHas(path) && !userHas(path)) {
            status = ERROR_FILE_NOT_FOUND;
            return false;
        }
        tree.removeKey(path, baseHas(path));
        return true;
    });
    return written != ERROR_SUCCESS ? written : status;
}

} // namespace vnt::registry
