#pragma once

#include <QString>
#include <QStringList>

// The program directory holds the program's own files: topic folders, header and
// footer files, the database and the notepad. It is chosen by `--home DIR`, then the
// VANTREL_HOME environment variable, then the per-user data folder.
class ProgramDirectory
{
public:
    // The chosen directory, ending with "/". `arguments` are the program's arguments.
    static QString resolve(const QStringList& arguments);

    // Creates the directory and copies in every file of the embedded template that it
    // lacks, unless that file was offered at an earlier start (the user deleted it).
    // Existing files are never overwritten. False (with `error` set) when the directory
    // cannot be created or seeded.
    static bool prepare(const QString& directory, QString* error = nullptr);

    // Copies the template tree at `templateRoot` into `directory`, leaving existing
    // files and files offered before alone, and records what was offered.
    static bool seed(const QString& templateRoot, const QString& directory,
                     QString* error = nullptr);
};
