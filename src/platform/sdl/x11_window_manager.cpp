#include "platform/sdl/x11_window_manager.h"

#include <X11/Xatom.h>

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
    bool found = false;
    long offset = 0;
    for (;;) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTED", False), offset, 256, False,
                               XA_ATOM, &type, &format, &count, &after, &data) != Success ||
            data == nullptr)
            break;
        const auto* atoms = reinterpret_cast<const Atom*>(data);  // Xlib hands 32-bit items over as longs
        for (unsigned long i = 0; i < count && format == 32; ++i)
            found = found || atoms[i] == wanted;
        XFree(data);
        if (found || after == 0 || count == 0) break;
        offset += long(count);
    }
    return found;
}
