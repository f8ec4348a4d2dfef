// What the running window manager says of itself on the root window, asked
// on any connection to the display.
#pragma once
#include <X11/Xlib.h>

// Whether an EWMH window manager runs (it names its check window).
bool window_manager_running(Display* display);
// Whether a running window manager lists this hint or request among those
// it supports (_NET_SUPPORTED), e.g. "_NET_WM_MOVERESIZE".
bool window_manager_supports(Display* display, const char* name);
