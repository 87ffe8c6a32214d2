#pragma once

#include <QIcon>

// The toolbar icon of a command: the desktop theme's icon where the theme has one,
// else the one that ships with the program.
QIcon commandIcon(int commandId);
// The program's own icon.
QIcon applicationIcon();
