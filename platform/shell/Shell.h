// The shell's "open" request and its top-level window search, on the Linux desktop.
#pragma once

#include <QString>
#include <cstdint>

namespace vnt::shell {

// Results of shellExecute: greater than 32 on success, else one of these.
constexpr std::intptr_t SE_ERR_OOM = 0;              // out of memory or resources
constexpr std::intptr_t ERROR_FILE_NOT_FOUND = 2;    // no such program
constexpr std::intptr_t ERROR_PATH_NOT_FOUND = 3;    // the program's folder does not exist
constexpr std::intptr_t SE_ERR_ACCESSDENIED = 5;     // the program may not be run
constexpr std::intptr_t SE_ERR_ASSOCINCOMPLETE = 27; // the handler named cannot be used
constexpr std::intptr_t SE_ERR_NOASSOC = 31;         // no handler for the type

constexpr int SW_SHOWNORMAL = 1;

// Starts what `file` stands for, detached from this process, with `parameters` (split as a
// shell would) and the working folder `directory` (empty: the current one). Only the "open"
// verb (or none) is known. `file` is, in this order:
// - a name registered in the machine registry as the key
//   HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\<file>: its default
//   value, when set, is the command line to run (double quotes group words); else its "MimeType"
//   value names a type whose desktop default handler is started (as the installed registry does for
//   "outlook.exe", the desktop's mailto handler);
// - a URL ("mailto:x@y"): the desktop default handler of its scheme, given the URL;
// - a program: a path, or a name looked up in PATH.
// Desktop default handlers come from the mimeapps.list files and desktop entries of the
// XDG directories; a handler's Exec line is run with its field codes filled in. The program
// has been started when a value greater than 32 (its process id, or 33) is returned. A
// program that exists but cannot be run (a missing interpreter) answers ERROR_FILE_NOT_FOUND;
// the sharing violation of Windows has no counterpart here.
std::intptr_t shellExecute(const QString& verb, const QString& file, const QString& parameters,
                           const QString& directory, int show = SW_SHOWNORMAL);

// True when a top-level window whose title is `title` (compared without regard to case)
// exists on the X display named by DISPLAY. Without an X display (no DISPLAY, or a Wayland
// session's native windows) the answer is false: the search cannot see those windows.
bool isTopLevelWindowOpen(const QString& title);

} // namespace vnt::shell
