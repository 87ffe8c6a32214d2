// A complete example home for trying the program: its own program directory, settings file,
// mail store, support database and topic files, all inside one folder.
#pragma once

#include <QString>

// Builds (or completes) the example home in `directory`: the program directory "home/",
// "settings.ini", the mail store "mail/" (the mail library is pointed at it for this run),
// the database "home/vntdatab.db" and a few topic files. Files already there are kept, so a
// second build neither fails nor adds rows twice. False (with `error` set) on failure.
bool BuildDemoHome(const QString& directory, QString* error = nullptr);
