#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "art/icon.h"
#include "art/shade_canvas.h"

namespace {

int red(uint32_t v) { return int(v >> 16 & 0xFF); }
int green(uint32_t v) { return int(v >> 8 & 0xFF); }
int blue(uint32_t v) { return int(v & 0xFF); }

struct Census {
    int transparent = 0, board = 0, red_disc = 0, yellow_disc = 0, line = 0, button = 0;
};

// Rough colour classes, wide enough for the shading and the averaging.
Census count(const std::vector<uint32_t>& icon) {
    Census c;
    for (uint32_t v : icon) {
        if (v == 0) {
            ++c.transparent;
            continue;
        }
        const int r = red(v), g = green(v), b = blue(v);
        if (r < 90 && g > 120 && b > 150) ++c.board;
        if (r > 180 && g < 130 && b < 130) ++c.red_disc;
        if (r > 180 && g > 140 && b < 130) ++c.yellow_disc;
        if (g > 180 && r < 100 && b < 100) ++c.line;
        if (b > 120 && r < 130 && g < 130 && b > r + 60) ++c.button;
    }
    return c;
}

TEST(IconTest, EverySizeShowsTheWindowInMiniature) {
    for (int size : ICON_SIZES) {
        SCOPED_TRACE("size " + std::to_string(size));
        std::vector<uint32_t> icon;
        build_window_icon(size, icon);
        ASSERT_EQ(icon.size(), size_t(size) * size);
        const Census c = count(icon);
        // The window is two thirds as wide as it is tall: a third of the
        // square, the margins and the rounded corners, is transparent.
        EXPECT_GT(c.transparent, size * size / 4);
        EXPECT_LT(c.transparent, size * size / 2);
        EXPECT_GT(c.board, size * size / 8);
        EXPECT_GT(c.red_disc, 0);
        EXPECT_GT(c.yellow_disc, 0);
        EXPECT_GT(c.line, 0);
        EXPECT_GT(c.button, 0);
    }
}

TEST(IconTest, OutlineIsRoundedAndTheMarginsTransparent) {
    for (int size : ICON_SIZES) {
        SCOPED_TRACE("size " + std::to_string(size));
        std::vector<uint32_t> icon;
        build_window_icon(size, icon);
        auto at = [&](int x, int y) { return icon[size_t(y) * size + x]; };
        // Find the window's columns on the middle row.
        int left = 0, right = size - 1;
        while (left < size && at(left, size / 2) == 0)
            ++left;
        while (right >= 0 && at(right, size / 2) == 0)
            --right;
        ASSERT_LT(left, right);
        for (int y = 0; y < size; ++y) {
            ASSERT_EQ(at(0, y), 0u);
            ASSERT_EQ(at(size - 1, y), 0u);
        }
        // Corners of the window's box are cut; the middle of each edge is not.
        EXPECT_EQ(at(left, 0), 0u);
        EXPECT_EQ(at(right, 0), 0u);
        EXPECT_EQ(at(left, size - 1), 0u);
        EXPECT_EQ(at(right, size - 1), 0u);
        EXPECT_NE(at((left + right) / 2, 0), 0u);
        EXPECT_NE(at((left + right) / 2, size - 1), 0u);
        EXPECT_NE(at(left, size / 2), 0u);
    }
}

TEST(IconTest, SameIconEveryTime) {
    std::vector<uint32_t> a, b;
    build_window_icon(32, a);
    build_window_icon(32, b);
    EXPECT_EQ(a, b);
}

TEST(IconTest, ACanvasTheArtworkUsedGivesTheSameIconsAsAFreshOne) {
    // What the artwork leaves: the window slab's column 400 and row 600,
    // which clearing never touches, and three button slabs.
    auto used = make_shade_canvas();
    render_slab(*used, 0, 0, 400, 600, 50, 20);
    clear_canvas(*used);
    for (int y : {80, 115, 150})
        render_slab(*used, 30, y, 100, 30, 15, 6);
    for (int size : {16, 32, 48, 64, 128}) {
        SCOPED_TRACE(size);
        std::vector<uint32_t> alone, shared;
        build_window_icon(size, alone);
        build_window_icon(size, shared, used.get());
        EXPECT_EQ(shared, alone);
    }
}

TEST(IconTest, SizesOutOfRangeGiveNothing) {
    std::vector<uint32_t> icon(5, 1u);
    build_window_icon(0, icon);
    EXPECT_TRUE(icon.empty());
    build_window_icon(4096, icon);
    EXPECT_TRUE(icon.empty());
}

}  // namespace
