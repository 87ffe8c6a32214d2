#pragma once

#include "vntmapi/MapiDefs.h"

class QWidget;

// The mail library's dialogs live in libvntmapiui.so, so that the library itself needs no
// widgets. The library loads it when a call asks for a dialog; each dialog is one
// extern "C" function named vntmapiui_<dialog>.
namespace vnt::mapiui {

// Dialogs need the QApplication of the program that called; without one (a command-line
// tool, a test without widgets) the calls answer as if the user cancelled.
bool canShowDialogs();

// The window the caller named by `ulUIParam` (a QWidget pointer passed as an integer, as
// a window handle is on other systems), or none for 0.
QWidget* dialogParent(ULONG_PTR ulUIParam);

} // namespace vnt::mapiui

#define VNTMAPIUI_EXPORT extern "C" __attribute__((visibility("default")))
