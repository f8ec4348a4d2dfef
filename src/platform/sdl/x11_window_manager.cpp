#include "platform/sdl/x11_window_manager.h"

#include <X11/Xatom.h>

#include <algorithm>

bool window_manager_running(Display* d) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False), 0,
                                          1, False, XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
                       data != nullptr && count == 1;
    if (data != nullptr) XFree(data);
    return found;
}

bool window_manager_supports(Display* d, const char* name) {
    if (!window_manager_running(d)) return false;
    const Atom wanted = XInternAtom(d, name, False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    // Window managers list a few dozen hints; a thousand is room enough.
    const Atom supported = XInternAtom(d, "_NET_SUPPORTED", False);
    bool found = false;
    if (XGetWindowProperty(d, DefaultRootWindow(d), supported, 0, 1024, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && format == 32) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);  // Xlib hands 32-bit items over as longs
        found = std::find(atoms, atoms + count, wanted) != atoms + count;
    }
    if (data != nullptr) XFree(data);
    return found;
}
