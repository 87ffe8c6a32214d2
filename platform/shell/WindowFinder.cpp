// The top-level window search on X11. Window managers list their clients in
// _NET_CLIENT_LIST; without one (a bare X server) the children of the root window are the
// top-level windows, and under a reparenting manager that keeps no list the client window
// is found below its frame by its WM_STATE property.
#include "shell/Shell.h"

#include <QByteArray>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <memory>
#include <vector>

namespace vnt::shell {

namespace {

// Windows may disappear between listing and reading them; the default handler would end
// the program on the BadWindow that follows.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

struct DisplayCloser
{
    void operator()(Display* display) const { XCloseDisplay(display); }
};

std::vector<Window> windowProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<Window> windows;
    if (XGetWindowProperty(display, window, property, 0, 1 << 20, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        type == XA_WINDOW && format == 32 && data) {
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        windows.assign(items, items + count);
    }
    if (data) {
        XFree(data);
    }
    return windows;
}

QString windowTitle(Display* display, Window window)
{
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    QString title;
    if (XGetWindowProperty(display, window, netName, 0, 4096, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        type == utf8 && format == 8 && data) {
        title = QString::fromUtf8(reinterpret_cast<const char*>(data), int(count));
    }
    if (data) {
        XFree(data);
    }
    if (!title.isEmpty()) {
        return title;
    }
    XTextProperty text{};
    if (!XGetWMName(display, window, &text) || !text.value) {
        return {};
    }
    if (text.encoding == XA_STRING) {
        title = QString::fromLatin1(reinterpret_cast<const char*>(text.value), int(text.nitems));
    } else {
        char** list = nullptr;
        int items = 0;
        if (Xutf8TextPropertyToTextList(display, &text, &list, &items) >= Success && list) {
            title = items > 0 ? QString::fromUtf8(list[0]) : QString();
            XFreeStringList(list);
        }
    }
    XFree(text.value);
    return title;
}

bool hasWmState(Display* display, Window window)
{
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, window, wmState, 0, 0, False, AnyPropertyType,
                                          &type, &format, &count, &after, &data) == Success &&
                       type != None;
    if (data) {
        XFree(data);
    }
    return found;
}

std::vector<Window> children(Display* display, Window window)
{
    Window root = 0;
    Window parent = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &root, &parent, &list, &count) && list) {
        result.assign(list, list + count);
    }
    if (list) {
        XFree(list);
    }
    return result;
}

// The client window inside a window manager's frame, breadth first, a few levels down.
Window clientBelow(Display* display, Window frame)
{
    std::vector<Window> level{frame};
    for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
        std::vector<Window> next;
        for (Window window : level) {
            if (hasWmState(display, window)) {
                return window;
            }
            const std::vector<Window> below = children(display, window);
            next.insert(next.end(), below.begin(), below.end());
        }
        level = std::move(next);
    }
    return None;
}

} // namespace

bool isTopLevelWindowOpen(const QString& title)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        return false;
    }
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) {
        return false;
    }
    Display* d = display.get();
    const XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(d);
    std::vector<Window> candidates =
        windowProperty(d, root, XInternAtom(d, "_NET_CLIENT_LIST", False));
    if (candidates.empty()) {
        for (Window window : children(d, root)) {
            candidates.push_back(window);
            if (windowTitle(d, window).isEmpty()) {
                if (const Window client = clientBelow(d, window); client != None) {
                    candidates.push_back(client);
                }
            }
        }
    }
    bool found = false;
    for (Window window : candidates) {
        if (windowTitle(d, window).compare(title, Qt::CaseInsensitive) == 0 && !title.isEmpty()) {
            found = true;
            break;
        }
    }
    XSync(d, False);
    XSetErrorHandler(previous);
    return found;
}

} // namespace vnt::shell
