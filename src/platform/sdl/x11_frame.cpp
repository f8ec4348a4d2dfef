// The game's picture drawn through Xlib, for the TrueColor displays SDL has
// no surface for: those of 10-bit channels (30-bit deep colour). Each
// picture pixel is rounded to the visual's channels, so that it reads back
// as on 24 bits to within the display's own step. The displays SDL does
// draw on keep SDL's faster path.
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/sdl/sdl_state.h"
#include "platform/sdl/x11_pixels.h"

namespace {

struct Frame {
    XImage* image = nullptr;  // the whole window, in the visual's pixels
    GC gc = nullptr;
    std::optional<VisualPixels> to_visual;
};
Frame frame;

bool prepare(const SdlState& s) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(s.x_display, s.x_window, &attributes)) return false;
    // SDL gives its window a DirectColor visual where there is one, with a
    // colour map that passes each channel through as it is: TrueColor all
    // the same.
    const Visual* visual = attributes.visual;
    if (visual == nullptr || (visual->c_class != TrueColor && visual->c_class != DirectColor) ||
        attributes.depth < 15 || attributes.depth > 32)
        return false;
    frame.to_visual.emplace(*visual);
    // Four bytes a pixel hold every depth up to 32 bits.
    char* data = static_cast<char*>(std::calloc(size_t(attributes.width) * size_t(attributes.height), 4));
    if (data == nullptr) return false;
    frame.image = XCreateImage(s.x_display, attributes.visual, unsigned(attributes.depth), ZPixmap, 0, data,
                               unsigned(attributes.width), unsigned(attributes.height), 32, 0);
    if (frame.image == nullptr) {
        std::free(data);
        return false;
    }
    frame.gc = XCreateGC(s.x_display, s.x_window, 0, nullptr);
    return true;
}

}  // namespace

bool x11_show_frame(const uint32_t* pixels, int width, int left, int top, int right, int bottom) {
    const SdlState& s = sdl_state();
    if (frame.image == nullptr && !prepare(s)) return false;
    const int k = s.scale;
    right = std::min(right, frame.image->width / k);
    bottom = std::min(bottom, frame.image->height / k);
    if (right <= left || bottom <= top) return true;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const unsigned long value = (*frame.to_visual)(pixels[size_t(y) * size_t(width) + size_t(x)]);
            for (int dy = 0; dy < k; ++dy)
                for (int dx = 0; dx < k; ++dx)
                    XPutPixel(frame.image, x * k + dx, y * k + dy, value);
        }
    XPutImage(s.x_display, s.x_window, frame.gc, frame.image, left * k, top * k, left * k, top * k,
              unsigned((right - left) * k), unsigned((bottom - top) * k));
    XFlush(s.x_display);
    return true;
}

bool x11_frame_ready() { return frame.image != nullptr; }

void x11_release_frame() {
    const SdlState& s = sdl_state();
    if (frame.image != nullptr) XDestroyImage(frame.image);  // frees its pixels too
    if (frame.gc != nullptr && s.x_display != nullptr) XFreeGC(s.x_display, frame.gc);
    frame = Frame{};
}
