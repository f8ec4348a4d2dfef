// The window's scale and the pointer's picture coordinates, without a display.
#include <gtest/gtest.h>

#include "platform/sdl/window_scale.h"

namespace {

TEST(WindowScale, FromTheDesktopsSettingsWithinTheScreen) {
    struct Case {
        const char* gdk_scale;
        const char* xft_dpi;
        int screen_width, screen_height;
        int scale;
    };
    const Case cases[] = {
        {nullptr, nullptr, 3840, 2160, 1},    // nothing said: 1x
        {nullptr, "96", 3840, 2160, 1},       //
        {nullptr, "191.9", 3840, 2160, 1},    // rounded down
        {nullptr, "192", 3840, 2160, 2},      //
        {nullptr, "288", 3840, 2160, 3},      // 1200 x 1800 fits
        {nullptr, "384", 3840, 2160, 3},      // 1600 x 2400 would not
        {nullptr, "192", 1280, 1024, 1},      // 800 x 1200 would not
        {nullptr, "192", 800, 1200, 2},       // exactly the screen
        {nullptr, "72", 3840, 2160, 1},       // below 1x is 1x
        {nullptr, "lots", 3840, 2160, 1},     //
        {"2", nullptr, 3840, 2160, 2},        // GDK_SCALE alone
        {"1", "192", 3840, 2160, 1},          // GDK_SCALE wins over Xft.dpi
        {"3", "96", 3840, 2160, 3},           //
        {"0", "192", 3840, 2160, 2},          // not a scale: Xft.dpi decides
        {"2x", "96", 3840, 2160, 1},          //
        {"", "192", 3840, 2160, 2},           //
        {"1000000", nullptr, 3840, 2160, 3},  // as large as the screen allows
    };
    for (const Case& c : cases)
        EXPECT_EQ(window_scale(c.gdk_scale, c.xft_dpi, 400, 600, c.screen_width, c.screen_height), c.scale)
            << (c.gdk_scale ? c.gdk_scale : "-") << " " << (c.xft_dpi ? c.xft_dpi : "-") << " " << c.screen_width << "x"
            << c.screen_height;
}

// A 400-pixel picture shown 800 pixels wide: the screen pixels 800 and 801
// just past the right edge are picture x 400, inside as at 1x; 802 is 401,
// outside; anything left of the window stays negative.
TEST(WindowScale, PointerInPicturePixels) {
    const int cases[][3] = {{0, 2, 0},     {1, 2, 0},     {799, 2, 399}, {800, 2, 400}, {801, 2, 400},
                            {802, 2, 401}, {-1, 2, -1},   {-2, 2, -1},   {-3, 2, -2},   {5, 3, 1},
                            {-1, 3, -1},   {400, 1, 400}, {-1, 1, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(picture_coordinate(c[0], c[1]), c[2]) << c[0] << " at scale " << c[1];
}

}  // namespace
