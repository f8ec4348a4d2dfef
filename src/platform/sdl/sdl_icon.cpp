// The window's icon in all its sizes. SDL sets a single size; the window
// manager's property takes any number, one after the other, so it is written
// here on SDL's own X connection.
#include <X11/Xatom.h>

#include <vector>

#include "platform/sdl/sdl_state.h"
#include "platform/window.h"

void sdl_set_icon(const IconPicture* pictures, int count) {
    SdlState& s = sdl_state();
    if (!s.window || !s.x_display) return;
    // Each picture: its width, its height, then its pixels as ARGB, each in
    // a long as Xlib wants 32-bit property items handed over.
    std::vector<unsigned long> items;
    for (int i = 0; i < count; ++i) {
        const IconPicture& p = pictures[i];
        items.push_back((unsigned long)p.width);
        items.push_back((unsigned long)p.height);
        for (int k = 0; k < p.width * p.height; ++k) {
            // Black is the transparent colour of every picture of the game.
            const uint32_t rgb = p.pixels[k] & 0x00FFFFFFu;
            items.push_back(rgb == 0 ? 0ul : (unsigned long)(0xFF000000u | rgb));
        }
    }
    const Atom icon = XInternAtom(s.x_display, "_NET_WM_ICON", False);
    XChangeProperty(s.x_display, s.x_window, icon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(items.data()), int(items.size()));
    XFlush(s.x_display);
}
