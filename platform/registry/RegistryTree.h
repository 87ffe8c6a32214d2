// One layer of the registry as a tree of keys, read from and written to the text format of
// the registry files. The format follows the registry's own export files: a line "[path]"
// starts a key, "[-path]" removes a key with everything under it, and each value line is
//   "name"="text"           string
//   "name"=str(2):"text"    expandable string
//   "name"=dword:0000001f   number
//   "name"=hex:01,02,ff     binary; hex(N): gives any other type N as its bytes
//   "name"=-                removes the value
// with @ for the key's default value, ';' starting a comment and a trailing '\' continuing a
// line. Keys and value names compare without regard to case and keep the case first given.
#pragma once

#include "registry/RegistryValue.h"

#include <QStringList>
#include <map>
#include <memory>
#include <optional>

namespace vnt::registry {

struct RegistryNode
{
    QString name;
    bool exists = false;    // the key is present in this layer
    bool hidesBase = false; // the layer below loses this key and everything under it
    // Folded value name -> (name as written, value or nullopt when this layer removes it).
    std::map<QString, std::pair<QString, std::optional<RegistryValue>>> values;
    std::map<QString, std::unique_ptr<RegistryNode>> children; // by folded name

    RegistryNode* child(const QString& name) const;
    RegistryNode* ensureChild(const QString& name);
};

class RegistryTree
{
public:
    // Reads the text of a registry file. Lines that cannot be read are skipped and counted.
    static RegistryTree parse(const QByteArray& text, int* damagedLines = nullptr);
    QByteArray serialize() const;

    RegistryNode* find(const QStringList& path) const;
    // The node at `path`, made (not existing) where missing.
    RegistryNode* ensure(const QStringList& path);
    // Marks the key and every key above it as present.
    RegistryNode* createKey(const QStringList& path);
    // Drops what this layer says about the key and everything under it; with `hideBase`
    // also hides the layer below there.
    void removeKey(const QStringList& path, bool hideBase);
    // True when a key at or above `path` hides the layer below.
    bool hidesBase(const QStringList& path) const;

    bool isEmpty() const { return m_root.children.empty(); }

private:
    RegistryNode m_root;
};

QString foldName(const QString& name);

} // namespace vnt::registry
