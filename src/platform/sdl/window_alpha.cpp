// The window's corners under a compositor: transparent pixels.
//
// Some compositors (weston's, sway's, through Xwayland) draw a window's
// whole rectangle and never read its Shape, so the cut corners would show
// as black squares. Where a compositing manager runs, the window is put on
// a 32-bit visual whose pixels carry an alpha channel: opaque inside the
// outline, transparent outside it, exactly where the Shape cuts (one bit,
// no smoothing). The Shape stays for desktops without compositing, where
// the 24-bit default visual keeps SDL's plain path.
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/sdl/sdl_state.h"

std::string alpha_visual_for_compositor(Display* display) {
    // A second screen's visuals are not the first's, and SDL may put the
    // window on either: one screen only.
    if (ScreenCount(display) != 1) return {};
    const int screen = DefaultScreen(display);
    const std::string manager = "_NET_WM_CM_S" + std::to_string(screen);
    if (XGetSelectionOwner(display, XInternAtom(display, manager.c_str(), False)) == None) return {};
    XVisualInfo info{};
    if (!XMatchVisualInfo(display, screen, 32, TrueColor, &info) || info.red_mask != 0xFF0000 ||
        info.green_mask != 0x00FF00 || info.blue_mask != 0x0000FF)
        return {};
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(info.visualid));
    return id;
}

void clear_outside_outline(SDL_Surface* surface, const std::vector<RowSpan>& outline, int scale, int top, int bottom) {
    if (surface->format->BytesPerPixel != 4) return;
    auto* target = static_cast<uint8_t*>(surface->pixels);
    const int width = surface->w / scale;
    for (int y = top; y < bottom; ++y) {
        // Rows past the outline's last one are outside it altogether.
        const RowSpan span = size_t(y) < outline.size() ? outline[size_t(y)] : RowSpan{0, 0};
        for (int k = 0; k < scale; ++k) {
            auto* row = reinterpret_cast<uint32_t*>(target + (y * scale + k) * surface->pitch);
            std::memset(row, 0, size_t(std::max(0, span.left) * scale) * 4);
            if (span.right < width) std::memset(row + span.right * scale, 0, size_t((width - span.right) * scale) * 4);
        }
    }
}
