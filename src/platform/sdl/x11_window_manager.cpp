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
