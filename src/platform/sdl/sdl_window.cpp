// The game's one window: placement, visibility, rounded shape, pointer
// shape and the live pointer position (the icon is in sdl_icon.cpp).
#include <SDL_syswm.h>
#include <X11/XKBlib.h>
#include <X11/Xresource.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sdl/sdl_state.h"
#include "platform/window.h"
#include "platform/sdl/window_scale.h"
#include "platform/sdl/window_shape.h"

namespace {

// The X resource Xft.dpi, through which GNOME, KDE and Xfce tell X programs
// the desktop's scale; empty when it is not set.
std::string xft_dpi_resource(Display* display) {
    std::string value;
    if (const char* resources = XResourceManagerString(display)) {
        XrmInitialize();
        if (XrmDatabase database = XrmGetStringDatabase(resources)) {
            char* type = nullptr;
            XrmValue found{};
            if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &found) && found.addr)
                value.assign(found.addr, strnlen(found.addr, found.size));
            XrmDestroyDatabase(database);
        }
    }
    return value;
}

// What the window's making needs to know of the server before SDL makes it,
// asked on a connection of its own: SDL's is not reachable before a window
// exists.
struct ServerForWindow {
    std::string dpi;     // the desktop's Xft.dpi
    std::string visual;  // a visual with alpha for SDL's hint, or empty
};

ServerForWindow prepare_server_for_window() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return {};
    // SDL writes the borderless hint only when the server already knows its
    // name, which it does not until some window manager has run; a window
    // manager started (or restarted) after the game would then frame it.
    // Named here, the name outlives this connection as SDL's stays open.
    XInternAtom(display, "_MOTIF_WM_HINTS", False);
    ServerForWindow server{xft_dpi_resource(display), alpha_visual_for_compositor(display)};
    XCloseDisplay(display);
    return server;
}

// The window, on the visual with alpha when there is one to ask for; on
// the default visual when SDL cannot make it on that one.
SDL_Window* create_window(const ServerForWindow& server, const char* title, int x, int y, int width, int height) {
    const Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
    if (!server.visual.empty()) {
        SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, server.visual.c_str());
        SDL_Window* window = SDL_CreateWindow(title, x, y, width, height, flags);
        SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, nullptr);
        if (window) return window;
    }
    return SDL_CreateWindow(title, x, y, width, height, flags);
}

}  // namespace

intptr_t sdl_picture_position(int x, int y) {
    const int scale = sdl_state().scale;
    return packed_position(picture_coordinate(x, scale), picture_coordinate(y, scale));
}

bool sdl_open_window(int x, int y, int width, int height, bool centred, const char* title) {
    SdlState& s = sdl_state();
    if (!s.video_ready || s.window || width <= 0 || height <= 0) return false;

    const ServerForWindow server = prepare_server_for_window();
    // Made first, hidden, wherever SDL likes: which X screen SDL puts it on
    // is known only once it is there, and its size and place follow from
    // that screen's monitors.
    SDL_Window* window = create_window(server, title ? title : "", centred ? SDL_WINDOWPOS_UNDEFINED : x,
                                       centred ? SDL_WINDOWPOS_UNDEFINED : y, width, height);
    if (!window) {
        sdl_cannot_show("the window could not be made");
        return false;
    }

    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        sdl_cannot_show("the window is not an X window");
        SDL_DestroyWindow(window);
        return false;
    }
    s.window = window;
    s.x_display = info.info.x11.display;
    s.x_window = info.info.x11.window;

    // On one monitor, the primary one (else the first), never across the
    // seam between two: as large as the desktop's scale makes it and the
    // monitor allows; a window larger than the monitor starts at its corner.
    XWindowAttributes attributes{};
    int screen = DefaultScreen(s.x_display);
    if (XGetWindowAttributes(s.x_display, s.x_window, &attributes)) screen = XScreenNumberOfScreen(attributes.screen);
    s.alpha_visual = attributes.depth == 32;
    const ScreenArea monitor = x11_monitors(s.x_display, screen).front();
    s.scale = window_scale(std::getenv("GDK_SCALE"), server.dpi.c_str(), width, height, monitor.width, monitor.height);
    const int shown_width = width * s.scale, shown_height = height * s.scale;
    if (s.scale != 1) SDL_SetWindowSize(window, shown_width, shown_height);
    if (centred) {
        const int want_x = monitor.x + centred_origin(monitor.width, shown_width);
        const int want_y = monitor.y + centred_origin(monitor.height, shown_height);
        int at_x = 0, at_y = 0;
        SDL_GetWindowPosition(window, &at_x, &at_y);
        if (at_x != want_x || at_y != want_y) SDL_SetWindowPosition(window, want_x, want_y);
    }

    s.num_lock_mask = XkbKeysymToModifiers(s.x_display, XK_Num_Lock);
    s.shape_applied = false;
    // The window starts with the standard arrow, not whatever the root shows.
    sdl_set_cursor(CURSOR_ARROW);
    return true;
}

void sdl_show_window() {
    SdlState& s = sdl_state();
    if (!s.window) return;
    // Showing also activates the window, so that the keys reach it without
    // a click first.
    SDL_ShowWindow(s.window);
    SDL_RaiseWindow(s.window);
    SDL_SetWindowInputFocus(s.window);
}

void sdl_set_shape(int width, int height, int corner_width, int corner_height) {
    SdlState& s = sdl_state();
    if (!s.window) return;
    // The game reapplies its shape on every repaint; setting it again on the
    // X server would only cost a round of work (and, on some servers, another
    // exposure), so an outline already in place is left alone.
    if (s.shape_applied && s.shape_width == width && s.shape_height == height && s.shape_corner_width == corner_width &&
        s.shape_corner_height == corner_height)
        return;

    // The picture's outline, each of its pixels a scale x scale block.
    const std::vector<RowSpan> rows = round_rect_rows(width, height, corner_width, corner_height);
    const int k = s.scale;
    std::vector<XRectangle> rects;
    rects.reserve(rows.size());
    for (size_t y = 0; y < rows.size(); ++y) {
        const RowSpan& span = rows[y];
        if (span.right <= span.left) continue;
        rects.push_back(XRectangle{short(span.left * k), short(int(y) * k),
                                   (unsigned short)((span.right - span.left) * k), (unsigned short)k});
    }
    // The bounding shape alone: the X server then sends presses outside it to
    // whatever lies below, so the cut corners are neither seen nor clickable.
    XShapeCombineRectangles(s.x_display, s.x_window, ShapeBounding, 0, 0, rects.data(), int(rects.size()), ShapeSet,
                            YXBanded);
    XFlush(s.x_display);
    s.outline = rows;
    // Under a compositor the corners are also made transparent, for those
    // that draw the window's whole rectangle.
    if (s.alpha_visual) {
        SDL_Surface* surface = SDL_GetWindowSurface(s.window);
        if (surface && (!SDL_MUSTLOCK(surface) || SDL_LockSurface(surface) == 0)) {
            clear_outside_outline(surface, rows, k, 0, surface->h / k);
            if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
            SDL_UpdateWindowSurface(s.window);
        }
    }

    s.shape_applied = true;
    s.shape_width = width;
    s.shape_height = height;
    s.shape_corner_width = corner_width;
    s.shape_corner_height = corner_height;
}

void sdl_set_cursor(int shape) {
    SdlState& s = sdl_state();
    if (!s.video_ready) return;
    SDL_Cursor*& cursor = shape == CURSOR_HAND ? s.hand : s.arrow;
    if (!cursor)
        cursor = SDL_CreateSystemCursor(shape == CURSOR_HAND ? SDL_SYSTEM_CURSOR_HAND : SDL_SYSTEM_CURSOR_ARROW);
    if (cursor) SDL_SetCursor(cursor);
}

bool sdl_pointer(int* x, int* y) {
    SdlState& s = sdl_state();
    if (!s.window) return false;
    // Asked of the X server each time: SDL's own idea of the pointer follows
    // its event queue, which lags behind (and misses synthetic input).
    ::Window root = 0, child = 0;
    int root_x = 0, root_y = 0, win_x = 0, win_y = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(s.x_display, s.x_window, &root, &child, &root_x, &root_y, &win_x, &win_y, &mask))
        return false;  // the pointer is on another screen
    *x = picture_coordinate(win_x, s.scale);
    *y = picture_coordinate(win_y, s.scale);
    return true;
}

void sdl_close_window() {
    SdlState& s = sdl_state();
    if (s.arrow) SDL_FreeCursor(s.arrow);
    if (s.hand) SDL_FreeCursor(s.hand);
    s.arrow = s.hand = nullptr;
    x11_release_frame();
    if (s.window) SDL_DestroyWindow(s.window);
    s.window = nullptr;
    s.scale = 1;
    s.x_display = nullptr;
    s.x_window = 0;
    s.shape_applied = false;
    s.alpha_visual = false;
    s.outline.clear();
}
