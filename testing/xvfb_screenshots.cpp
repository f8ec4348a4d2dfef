// What the screen shows: parts of it read back as 0x00RRGGBB, whatever the
// server's depth, and written out for failure reports.
#include "testing/xvfb_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>

namespace e2e {

bool Image::save_ppm(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (uint32_t p : pixels) {
        const unsigned char rgb[3] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
        std::fwrite(rgb, 1, 3, f);
    }
    return std::fclose(f) == 0;
}

Image XvfbSession::screenshot() { return screenshot(Rect{0, 0, width_, height_}); }

Image XvfbSession::screenshot(const Rect& area) {
    Image image;
    const int x0 = std::max(0, area.x), y0 = std::max(0, area.y);
    const int x1 = std::min(width_, area.x + area.width), y1 = std::min(height_, area.y + area.height);
    if (x1 <= x0 || y1 <= y0) return image;
    XImage* shot = XGetImage(display_, DefaultRootWindow(display_), x0, y0, unsigned(x1 - x0), unsigned(y1 - y0),
                             AllPlanes, ZPixmap);
    if (!shot) return image;
    image.x = x0;
    image.y = y0;
    image.width = x1 - x0;
    image.height = y1 - y0;
    image.pixels.resize(size_t(image.width) * size_t(image.height));
    struct Channel {
        int shift = 0;
        unsigned long bits = 0;
        explicit Channel(unsigned long mask) {
            if (mask == 0) return;
            while (((mask >> shift) & 1u) == 0)
                ++shift;
            bits = mask >> shift;
        }
        uint32_t of(unsigned long pixel) const { return bits ? uint32_t((pixel >> shift & bits) * 255u / bits) : 0u; }
    };
    const Channel red(shot->red_mask), green(shot->green_mask), blue(shot->blue_mask);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const unsigned long p = XGetPixel(shot, x, y);
            image.pixels[size_t(y) * size_t(image.width) + size_t(x)] =
                (red.of(p) << 16) | (green.of(p) << 8) | blue.of(p);
        }
    }
    XDestroyImage(shot);
    return image;
}

uint32_t XvfbSession::pixel(int x, int y) {
    const Image one = screenshot(Rect{x, y, 1, 1});
    return one.pixels.empty() ? 0u : one.pixels[0];
}

}  // namespace e2e
