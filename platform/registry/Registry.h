// The machine registry: keys holding typed values, kept in two text files. The system file
// holds what the installation registers; the per-user file holds the user's changes on top
// of it (values set there win, and it can remove keys and values of the system file). Every
// change is written to the per-user file at once, atomically, under a file lock, and each
// read first picks up files another process has changed.
//
// Where the files are (Registry::standardFiles):
// - VANTREL_REGISTRY=FILE: that one file holds everything (tests use it);
// - otherwise the system file is the build tree's registry.ini for a program started from
//   the build tree, else Korvane/registry.ini in the first of $XDG_CONFIG_DIRS that has one,
//   else the installed one; the per-user file is $XDG_CONFIG_HOME/Korvane/registry.ini.
#pragma once

#include "registry/RegistryValue.h"

#include <memory>

namespace vnt::registry {

class RegistryStore;

class Registry
{
public:
    struct Files
    {
        QString system; // read only; empty for none
        QString user;   // receives every change; empty makes the registry read-only

        bool operator==(const Files&) const = default;
    };

    static Files standardFiles();
    // The registry over the standard files as they are named now (they follow
    // VANTREL_REGISTRY and the XDG variables at each call).
    static Registry standard();

    // Handles on the same files share one store.
    explicit Registry(const Files& files);

    Files files() const;
    // Lines of the files that could not be read at their last load (they are skipped, and a
    // rewrite of the per-user file drops them).
    int damagedLines() const;

private:
    friend class RegistryKey;
    std::shared_ptr<RegistryStore> m_store;
};

// The file a library name of the mail platform stands for, for the loader to open: a name
// with a '/' is a path and stays as it is; other names are looked up as values of
// HKEY_LOCAL_MACHINE\SOFTWARE\Korvane\Libraries (a string or expandable string naming the
// file); "mapi32.dll" without such a value is the mail library built with this program. Any
// other name is returned unchanged for the dynamic loader's own search.
QString resolveLibraryName(const QString& name);
QString resolveLibraryName(const Registry& registry, const QString& name);

// The mail library built with this program: the build tree's copy for a program started
// from the build tree, else the installed one.
QString builtMailLibraryPath();

} // namespace vnt::registry
