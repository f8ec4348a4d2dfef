// The window-move loop started by a press outside every active area.
//
// A window manager that offers to move windows (_NET_WM_MOVERESIZE, the
// request toolkits send for their own title bars) is handed the move: on
// Wayland desktops, through Xwayland, the compositor alone may move a
// window, and keeps it where it is whatever the window asks for itself.
// Without a window manager, or with one that does not offer it, our own
// loop moves the window with the pointer. Either way the call returns once
// the button is up, and what came meanwhile is served as the system's own
// move loop serves it. The pointer and the button are read from the X
// server, which knows them now, whatever SDL's queue holds.
#include "platform/sdl/sdl_state.h"
#include "platform/sdl/x11_window_manager.h"

namespace {

// How often the pointer is followed: fast enough to look attached to it.
constexpr int DRAG_POLL_MS = 8;
// _NET_WM_MOVERESIZE's direction for a move with the pointer, and its
// source for a request made on the user's behalf by an application.
constexpr long NET_WM_MOVERESIZE_MOVE = 8;
constexpr long SOURCE_APPLICATION = 1;

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

// The window manager moves the window from the point pressed on: it must
// have the pointer, so the grab the press gave us is let go first.
void hand_move_to_window_manager(const SdlState& s, const PointerNow& grip) {
    XUngrabPointer(s.x_display, CurrentTime);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = s.x_window;
    request.xclient.message_type = XInternAtom(s.x_display, "_NET_WM_MOVERESIZE", False);
    request.xclient.format = 32;
    request.xclient.data.l[0] = grip.x;
    request.xclient.data.l[1] = grip.y;
    request.xclient.data.l[2] = NET_WM_MOVERESIZE_MOVE;
    request.xclient.data.l[3] = Button1;
    request.xclient.data.l[4] = SOURCE_APPLICATION;
    XSendEvent(s.x_display, DefaultRootWindow(s.x_display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &request);
    XFlush(s.x_display);
}

void tell_sdl_of_release(const SdlState& s, const PointerNow& at) {
    int x = 0, y = 0;
    ::Window child = 0;
    XTranslateCoordinates(s.x_display, DefaultRootWindow(s.x_display), s.x_window, at.x, at.y, &x, &y, &child);
    XEvent release{};
    release.xbutton.type = ButtonRelease;
    release.xbutton.display = s.x_display;
    release.xbutton.window = s.x_window;
    release.xbutton.root = DefaultRootWindow(s.x_display);
    release.xbutton.x = x;
    release.xbutton.y = y;
    release.xbutton.x_root = at.x;
    release.xbutton.y_root = at.y;
    release.xbutton.state = Button1Mask;
    release.xbutton.button = Button1;
    release.xbutton.same_screen = True;
    XPutBackEvent(s.x_display, &release);
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
    const bool by_window_manager = window_manager_supports(s.x_display, "_NET_WM_MOVERESIZE");
    if (by_window_manager) hand_move_to_window_manager(s, start);
    int placed_x = origin_x, placed_y = origin_y;
    PointerNow now = start;
    for (;;) {
        if (!read_pointer(s, &now)) break;
        const int x = origin_x + now.x - start.x;
        const int y = origin_y + now.y - start.y;
        if (!by_window_manager && (x != placed_x || y != placed_y)) {
            XMoveWindow(s.x_display, s.x_window, x, y);
            XFlush(s.x_display);
            placed_x = x;
            placed_y = y;
        }
        if (!now.held) break;
        sdl_pump_modal(DRAG_POLL_MS);
    }
    // A window manager that moved the window took the release too: SDL, which
    // never saw it, would hold the button down and take the next press for
    // no press at all. It is told of it as if it had come.
    if (by_window_manager) tell_sdl_of_release(s, now);
    // The release that ended the loop belongs to the loop, like the presses,
    // moves and keys that came during it.
    XSync(s.x_display, False);
    sdl_pump_modal(0);
}
