#include "platform/sdl/window_scale.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

// Xft.dpi of a window at 1x.
constexpr double DPI_PER_SCALE = 96.0;
// Far beyond any screen; keeps a silly setting from overflowing the sizes.
constexpr int MAX_SCALE = 16;

// The desktop's own scale, or 0 when neither setting gives one.
int desktop_scale(const char* gdk_scale, const char* xft_dpi) {
    if (gdk_scale != nullptr && *gdk_scale != '\0') {
        char* end = nullptr;
        errno = 0;
        const long scale = std::strtol(gdk_scale, &end, 10);
        if (errno == 0 && *end == '\0' && scale >= 1) return int(std::min<long>(scale, MAX_SCALE));
    }
    if (xft_dpi != nullptr && *xft_dpi != '\0') {
        char* end = nullptr;
        const double dpi = std::strtod(xft_dpi, &end);
        if (end != xft_dpi && std::isfinite(dpi) && dpi >= DPI_PER_SCALE)
            return int(std::min(std::floor(dpi / DPI_PER_SCALE), double(MAX_SCALE)));
    }
    return 0;
}

}  // namespace

int window_scale(const char* gdk_scale, const char* xft_dpi, int picture_width, int picture_height, int screen_width,
                 int screen_height) {
    int scale = std::max(desktop_scale(gdk_scale, xft_dpi), 1);
    while (scale > 1 && (picture_width * scale > screen_width || picture_height * scale > screen_height))
        --scale;
    return scale;
}

int picture_coordinate(int window_coordinate, int scale) {
    if (scale <= 1) return window_coordinate;
    // Integer division truncates toward zero; a point left of the window
    // must not land on column 0.
    const int q = window_coordinate / scale;
    return window_coordinate % scale < 0 ? q - 1 : q;
}
