// The window-move loop started by a press outside every active area.
//
// Our own loop rather than the window manager's: there may be no window
// manager at all, and a borderless window offers it no title bar to grab.
// The pointer and the button are read from the X server, which knows them
// now, whatever SDL's queue holds.
#include "platform/sdl/sdl_state.h"

namespace {

// How often the pointer is followed: fast enough to look attached to it.
constexpr int DRAG_POLL_MS = 8;

struct PointerNow {
    int x = 0, y = 0;   // on the root window
    bool held = false;  // left button down
};

bool read_pointer(const SdlState& s, PointerNow* out) {
    ::Window root = 0, child = 0;
    int win_x = 0, win_y = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(s.x_display, s.x_window, &root, &child, &out->x, &out->y, &win_x, &win_y, &mask)) return false;
    out->held = (mask & Button1Mask) != 0;
    return true;
}

bool window_origin(const SdlState& s, int* x, int* y) {
    ::Window child = 0;
    return XTranslateCoordinates(s.x_display, s.x_window, DefaultRootWindow(s.x_display), 0, 0, x, y, &child);
}

}  // namespace

void sdl_begin_drag() {
    SdlState& s = sdl_state();
    if (!s.window) return;
    PointerNow start;
    int origin_x = 0, origin_y = 0;
    if (!read_pointer(s, &start) || !start.held || !window_origin(s, &origin_x, &origin_y)) return;
    // The grip is where the button went down, not where the pointer has got
    // to by the time the game handles the press: the window moves by exactly
    // the pointer's travel since the press, and the point pressed stays
    // under the pointer.
    if (s.press_known) {
        start.x = origin_x + s.press_x;
        start.y = origin_y + s.press_y;
    }
    int placed_x = origin_x, placed_y = origin_y;
    PointerNow now = start;
    for (;;) {
        if (!read_pointer(s, &now)) break;
        const int x = origin_x + now.x - start.x;
        const int y = origin_y + now.y - start.y;
        if (x != placed_x || y != placed_y) {
            XMoveWindow(s.x_display, s.x_window, x, y);
            XFlush(s.x_display);
            placed_x = x;
            placed_y = y;
        }
        if (!now.held) break;
        sdl_pump_modal(DRAG_POLL_MS);
    }
    // The release that ended the loop belongs to the loop, like the presses,
    // moves and keys that came during it.
    XSync(s.x_display, False);
    sdl_pump_modal(0);
}
