// The monitors of an X screen, as the desktop splits it.
//
// SDL reports one display per RandR output, so a screen split into
// monitors some other way (RandR 1.5 monitors set with `xrandr
// --setmonitor`, Xinerama heads without RandR outputs) is one display to
// it, and a window centred on it straddles the seam. The server itself
// knows the monitors; they are asked of it here.
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <utility>

#include "platform/sdl/sdl_state.h"

namespace {

// RandR 1.5 monitors, the primary first; none before RandR 1.5.
std::vector<ScreenArea> randr_monitors(Display* display, int screen) {
    std::vector<ScreenArea> out;
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) || !XRRQueryVersion(display, &major, &minor) ||
        major * 100 + minor < 105)
        return out;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, RootWindow(display, screen), True, &count);
    for (int i = 0; i < count; ++i) {
        const ScreenArea area{monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height};
        if (monitors[i].primary)
            out.insert(out.begin(), area);
        else
            out.push_back(area);
    }
    if (monitors != nullptr) XRRFreeMonitors(monitors);
    return out;
}

// Xinerama heads in the server's order (Xinerama names no primary).
std::vector<ScreenArea> xinerama_heads(Display* display) {
    std::vector<ScreenArea> out;
    int event_base = 0, error_base = 0, count = 0;
    if (!XineramaQueryExtension(display, &event_base, &error_base) || !XineramaIsActive(display)) return out;
    XineramaScreenInfo* heads = XineramaQueryScreens(display, &count);
    for (int i = 0; i < count; ++i)
        out.push_back(ScreenArea{heads[i].x_org, heads[i].y_org, heads[i].width, heads[i].height});
    if (heads != nullptr) XFree(heads);
    return out;
}

int overlap(const ScreenArea& a, const ScreenArea& b) {
    const int width = std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
    const int height = std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
    return width > 0 && height > 0 ? width * height : 0;
}

}  // namespace

std::vector<ScreenArea> x11_monitors(Display* display, int screen) {
    const ScreenArea whole{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
    std::vector<ScreenArea> found = randr_monitors(display, screen);
    // Xinerama heads where they tell more: on servers whose RandR sees one
    // output across them all, or no RandR 1.5. (Xinerama spans a single X
    // screen; with several, its heads are not this screen's.)
    if (ScreenCount(display) == 1) {
        std::vector<ScreenArea> heads = xinerama_heads(display);
        if (heads.size() > found.size()) found = std::move(heads);
    }
    // Only what lies on the screen: a monitor set larger than the screen,
    // or beside it, must not carry the window off it.
    std::vector<ScreenArea> out;
    for (const ScreenArea& m : found) {
        const int left = std::max(m.x, 0), top = std::max(m.y, 0);
        const int right = std::min(m.x + m.width, whole.width), bottom = std::min(m.y + m.height, whole.height);
        if (right > left && bottom > top) out.push_back(ScreenArea{left, top, right - left, bottom - top});
    }
    if (out.empty()) out.push_back(whole);
    return out;
}

ScreenArea x11_monitor_of(const std::vector<ScreenArea>& monitors, const ScreenArea& window) {
    const ScreenArea* best = &monitors.front();
    for (const ScreenArea& m : monitors)
        if (overlap(m, window) > overlap(*best, window)) best = &m;
    return *best;
}
