// Starting the whole program offscreen on a program directory and settings file of a test's
// own, in the 1024-pixel layout.
#pragma once

#include "CSupportApp.h"

#include <memory>

inline bool startProgram(std::unique_ptr<CSupportApp>& app, const QString& programDirectory,
                         const QString& settingsFile)
{
    app = std::make_unique<CSupportApp>(QStringList{QStringLiteral("vantrel")});
    StartOptions options;
    options.programDirectory = programDirectory;
    options.settingsFile = settingsFile;
    options.screenWidth = 1024;
    return app->InitInstance(options);
}
