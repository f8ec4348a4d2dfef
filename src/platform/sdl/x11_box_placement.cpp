// Where the box goes: its frame centred over the game's window (the primary
// monitor without one), then pulled wholly onto the monitor that holds the
// most of the game.
#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

#include "platform/sdl/sdl_state.h"
#include "platform/sdl/x11_box.h"

// Returns the frame's top-left corner, where the box is asked to go.
void place_box(Display* d, ::Window game, int width, int height, int* x, int* y) {
    const std::vector<ScreenArea> monitors = x11_monitors(d, DefaultScreen(d));
    ScreenArea monitor = monitors.front();
    int centre_x = monitor.x + monitor.width / 2, centre_y = monitor.y + monitor.height / 2;
    XWindowAttributes attributes{};
    int game_x = 0, game_y = 0;
    ::Window child = 0;
    if (game != 0 && XGetWindowAttributes(d, game, &attributes) &&
        XTranslateCoordinates(d, game, DefaultRootWindow(d), 0, 0, &game_x, &game_y, &child)) {
        centre_x = game_x + attributes.width / 2;
        centre_y = game_y + attributes.height / 2;
        monitor = x11_monitor_of(monitors, ScreenArea{game_x, game_y, attributes.width, attributes.height});
    }
    *x = std::clamp(centre_x - width / 2, monitor.x, monitor.x + std::max(0, monitor.width - width));
    *y = std::clamp(centre_y - height / 2, monitor.y, monitor.y + std::max(0, monitor.height - height));
}

// A fixed size at a place of its own. The place is that of the frame's
// top-left corner (the default gravity), which is what window managers put
// there; the box has no frame without one.
void place_and_size(Box& b, ::Window game) {
    const FrameExtents frame = frame_extents(b);
    int x = 0, y = 0;
    place_box(b.display, game, b.picture.width + int(frame.left + frame.right),
              b.picture.height + int(frame.top + frame.bottom), &x, &y);
    // Asked again only when the frame changes it: some window managers
    // (weston's) take any such request as one to keep the window where
    // they like.
    if (x != b.x || y != b.y) XMoveWindow(b.display, b.window, x, y);
    XSizeHints size{};
    size.flags = USPosition | PPosition | PMinSize | PMaxSize;
    size.x = x;
    size.y = y;
    size.min_width = size.max_width = b.picture.width;
    size.min_height = size.max_height = b.picture.height;
    XSetWMNormalHints(b.display, b.window, &size);
}
