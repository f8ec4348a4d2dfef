#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <utility>

#include "platform_fixture.h"

namespace {

constexpr uint32_t WHITE = pack_colour(255, 255, 255);

class DrawingTest : public PlatformTest {
protected:
    // Sprite 1, 60 x 60, black, open for drawing.
    void SetUp() override {
        PlatformTest::SetUp();
        ASSERT_TRUE(create_sprite(1, 60, 60));
        ASSERT_NE(begin_drawing(sprite_draw_target(1)), nullptr);
    }
    // The pixels that are not black.
    static std::set<std::pair<int, int>> ink(const Picture& p) {
        std::set<std::pair<int, int>> lit;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                if (p.at(x, y) != 0) lit.insert({x, y});
        return lit;
    }
    static Picture finished() {
        end_drawing();
        return sprite_picture(1);
    }
};

TEST_F(DrawingTest, ThinLineLeavesOutItsEndPoint) {
    set_colour(255, 0, 0);
    draw_line(10, 10, 5, 0);
    const Picture p = finished();
    for (int x = 10; x <= 14; ++x)
        EXPECT_TRUE(pixel_is(p, x, 10, rgb(255, 0, 0)));
    EXPECT_TRUE(pixel_is(p, 15, 10, 0));
    EXPECT_TRUE(pixel_is(p, 9, 10, 0));
    EXPECT_EQ(ink(p).size(), 5u);
}

TEST_F(DrawingTest, ThinLinesFollowTheIntegerRasteriser) {
    // Lines whose ideal path never passes half-way between two pixels, so
    // each step lands on the pixel nearest the true line.
    const struct {
        int x, y, dx, dy;
    } lines[] = {{5, 5, 7, 3}, {40, 40, -7, -3}, {5, 30, 3, 7}, {50, 10, -3, 7}, {10, 50, 14, -6}, {3, 3, 4, 4}};
    end_drawing();
    for (const auto& l : lines) {
        begin_drawing(sprite_draw_target(1));
        draw_box(0, 0, 60, 60, 0);
        set_colour(0, 255, 0);
        draw_line(l.x, l.y, l.dx, l.dy);
        const Picture p = finished();
        std::set<std::pair<int, int>> expected;
        const int steps = std::max(std::abs(l.dx), std::abs(l.dy));
        for (int k = 0; k < steps; ++k)
            expected.insert(
                {l.x + int(std::lround(double(k) * l.dx / steps)), l.y + int(std::lround(double(k) * l.dy / steps))});
        EXPECT_EQ(ink(p), expected) << "line from (" << l.x << ", " << l.y << ") by (" << l.dx << ", " << l.dy << ")";
    }
}

TEST_F(DrawingTest, LineToSetsItsEndPixelInTheCurrentColour) {
    set_colour(255, 0, 0);
    set_pen(1, pack_colour(0, 0, 255));
    draw_line_to(10, 10, 15, 10);
    const Picture p = finished();
    for (int x = 10; x <= 14; ++x)
        EXPECT_TRUE(pixel_is(p, x, 10, rgb(0, 0, 255)));
    EXPECT_TRUE(pixel_is(p, 15, 10, rgb(255, 0, 0)));
}

TEST_F(DrawingTest, CurrentColourOutlivesThePassButPenAndTextColourDoNot) {
    set_colour(200, 10, 10);
    end_drawing();
    begin_drawing(sprite_draw_target(1));
    draw_box(0, 0, 60, 60, pack_colour(255, 255, 255));
    end_drawing();
    begin_drawing(sprite_draw_target(1));
    draw_line(0, 5, 10, 0);  // the fresh pass's pen is black, 1 pixel
    end_drawing();
    begin_drawing(sprite_draw_target(1));
    set_pen(1, pack_colour(0, 255, 0));
    draw_line_to(0, 20, 10, 20);
    const Picture p = finished();
    EXPECT_TRUE(pixel_is(p, 4, 5, 0));
    EXPECT_TRUE(pixel_is(p, 5, 20, rgb(0, 255, 0)));
    EXPECT_TRUE(pixel_is(p, 10, 20, rgb(255, 255, 255))) << "draw_box's colour is the current one now";
}

TEST_F(DrawingTest, ColourSettersMakeTheirColourCurrent) {
    const uint32_t colour = pack_colour(200, 40, 10);
    const struct {
        const char* name;
        void (*apply)(uint32_t colour);
        bool draws_at_40_50;
    } setters[] = {
        {"set_colour", [](uint32_t c) { set_colour(colour_red(c), colour_green(c), colour_blue(c)); }, false},
        {"draw_line_coloured", [](uint32_t c) { draw_line_coloured(40, 50, 5, 0, c); }, true},
        {"draw_box", [](uint32_t c) { draw_box(40, 50, 1, 1, c); }, true},
    };
    end_drawing();
    for (const auto& setter : setters) {
        ASSERT_TRUE(create_sprite(1, 60, 60));
        begin_drawing(sprite_draw_target(1));
        set_pen(10, pack_colour(0, 255, 0));
        setter.apply(colour);
        draw_line(5, 10, 10, 0);  // with the 1-pixel pen of that colour, not the wide one
        set_pen(1, pack_colour(0, 0, 255));
        draw_line_to(5, 20, 15, 20);  // ends in the current colour
        set_draw_mode(DM_TRANSPARENT);
        set_text_pos(5, 30);
        draw_text("H");  // in the text colour
        const Picture p = finished();
        EXPECT_TRUE(pixel_is(p, 40, 50, setter.draws_at_40_50 ? rgb(200, 40, 10) : 0)) << setter.name;
        EXPECT_TRUE(pixel_is(p, 10, 10, rgb(200, 40, 10))) << setter.name;
        EXPECT_TRUE(pixel_is(p, 10, 12, 0)) << setter.name;
        EXPECT_TRUE(pixel_is(p, 15, 20, rgb(200, 40, 10))) << setter.name;
        EXPECT_GT(std::count(p.pixels.begin() + 30 * 60, p.pixels.end(), rgb(200, 40, 10)), 10)
            << setter.name << ": the letter's stems are in the colour";
    }
}

TEST_F(DrawingTest, EachPassStartsWithBlackPenOpaqueTextAndNoModes) {
    constexpr uint32_t grey = pack_colour(100, 150, 200);
    draw_box(0, 0, 60, 60, grey);
    end_drawing();
    // A pass that changes everything it can...
    begin_drawing(sprite_draw_target(1));
    set_draw_mode(DM_TRANSPARENT | DM_INVERT | DM_HOLLOW);
    set_colour(255, 0, 0);
    set_pen(10, pack_colour(0, 255, 0));
    select_font(load_font("Times New Roman", 30, FS_BOLD));
    set_text_pos(30, 30);
    end_drawing();
    // ...and the next one, which starts from the defaults.
    begin_drawing(sprite_draw_target(1));
    draw_text("x");                                  // system font, black on its white cell, at (0, 0)
    draw_line(5, 40, 10, 0);                         // black 1-pixel pen, not inverting
    draw_box(20, 50, 4, 4, pack_colour(0, 0, 255));  // filled
    const Picture p = finished();
    EXPECT_TRUE(pixel_is(p, 0, 0, rgb(255, 255, 255)));
    EXPECT_TRUE(pixel_is(p, 0, 15, rgb(255, 255, 255))) << "the system font's 16-pixel cell";
    EXPECT_TRUE(pixel_is(p, 0, 16, rgb(100, 150, 200)));
    int ink = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint32_t v = p.at(x, y);
            if (v == rgb(100, 150, 200)) continue;  // right of the cell
            ink += v != rgb(255, 255, 255);
            EXPECT_TRUE((v >> 16 & 0xFF) == (v & 0xFF)) << "grey text ink at (" << x << ", " << y << ")";
        }
    EXPECT_GT(ink, 5);
    EXPECT_TRUE(pixel_is(p, 10, 40, 0));
    EXPECT_TRUE(pixel_is(p, 10, 39, rgb(100, 150, 200)));
    EXPECT_TRUE(pixel_is(p, 10, 41, rgb(100, 150, 200)));
    EXPECT_TRUE(pixel_is(p, 21, 51, rgb(0, 0, 255)));
}

TEST_F(DrawingTest, WidePensAreCentredWithRoundEnds) {
    set_pen(4, pack_colour(0, 255, 0));
    draw_line(10, 20, 20, 0);
    set_pen(5, pack_colour(0, 255, 0));
    draw_line(45, 10, 0, 20);
    const Picture p = finished();
    const uint32_t green = rgb(0, 255, 0);
    // A 4-pixel horizontal stroke covers 4 rows: an even width leans half a
    // pixel up; a 5-pixel vertical one is centred on its column.
    for (int y = 18; y <= 21; ++y)
        EXPECT_TRUE(pixel_is(p, 20, y, green));
    EXPECT_TRUE(pixel_is(p, 20, 17, 0));
    EXPECT_TRUE(pixel_is(p, 20, 22, 0));
    for (int x = 43; x <= 47; ++x)
        EXPECT_TRUE(pixel_is(p, x, 20, green));
    EXPECT_TRUE(pixel_is(p, 42, 20, 0));
    EXPECT_TRUE(pixel_is(p, 48, 20, 0));
    // Round ends reach past both end points on the axis but not into the
    // corners that a square end would fill.
    EXPECT_TRUE(pixel_is(p, 8, 20, green));
    EXPECT_TRUE(pixel_is(p, 31, 20, green));
    EXPECT_TRUE(pixel_is(p, 7, 20, 0));
    EXPECT_TRUE(pixel_is(p, 32, 20, 0));
    EXPECT_TRUE(pixel_is(p, 8, 18, 0));
    EXPECT_TRUE(pixel_is(p, 31, 21, 0));
    EXPECT_TRUE(pixel_is(p, 45, 8, green));
    EXPECT_TRUE(pixel_is(p, 45, 7, 0));
    EXPECT_TRUE(pixel_is(p, 43, 8, 0));
}

TEST_F(DrawingTest, WideStrokesCoverTheirCapsule) {
    // A slanted stroke covers about the area of its capsule.
    set_pen(4, WHITE);
    draw_line(5, 5, 45, 17);
    const Picture slanted = sprite_picture(1);
    const double area = std::hypot(45.0, 17.0) * 4 + M_PI * 4;
    EXPECT_NEAR(double(ink(slanted).size()), area, area * 0.03);

    // The close cross's stroke, 4 pixels wide at 45 degrees: its centre
    // line is covered and it is symmetric about the diagonal.
    draw_box(0, 0, 60, 60, 0);
    set_pen(4, WHITE);
    draw_line(20, 20, 20, 20);
    const Picture p = finished();
    for (int k = 0; k <= 20; ++k)
        EXPECT_TRUE(pixel_is(p, 20 + k, 20 + k, rgb(255, 255, 255)));
    for (const auto& [x, y] : ink(p))
        EXPECT_NE(p.at(y, x), 0u) << "(" << y << ", " << x << ") mirrors a lit pixel";
    EXPECT_EQ(ink(p).count({17, 20}), 0u) << "no wider than the pen";
}

TEST_F(DrawingTest, LineMovesTheCurrentPositionForText) {
    // Sprite 1: a line, then text without a position; sprite 2: the same
    // with the position set to the line's end; sprite 3: the line alone.
    for (SpriteId id : {1, 2, 3}) {
        if (id != 1) {
            ASSERT_TRUE(create_sprite(id, 60, 60));
            begin_drawing(sprite_draw_target(id));
        }
        set_colour(255, 255, 255);
        set_draw_mode(DM_TRANSPARENT);
        draw_line(5, 5, 20, 30);
        if (id == 2) set_text_pos(25, 35);
        if (id != 3) draw_text("x");
        end_drawing();
    }
    EXPECT_EQ(differing_pixels(sprite_picture(1), sprite_picture(2)), 0);
    EXPECT_GT(differing_pixels(sprite_picture(1), sprite_picture(3)), 0) << "the text was drawn";
}

TEST_F(DrawingTest, BoxesCoverExactlyTheirPixels) {
    draw_box(7, 9, 1, 1, pack_colour(1, 2, 3));
    const Picture one = sprite_picture(1);
    EXPECT_EQ(ink(one), (std::set<std::pair<int, int>>{{7, 9}}));
    EXPECT_TRUE(pixel_is(one, 7, 9, rgb(1, 2, 3)));

    draw_box(10, 10, 5, 3, WHITE);
    set_draw_mode(DM_HOLLOW);
    draw_box(30, 30, 5, 4, WHITE);
    const Picture p = finished();
    int filled = 0, hollow = 0;
    for (const auto& [x, y] : ink(p)) {
        filled += x >= 10 && x < 15 && y >= 10 && y < 13;
        hollow += x >= 30 && x < 35 && y >= 30 && y < 34;
    }
    EXPECT_EQ(filled, 15);
    EXPECT_EQ(hollow, 14) << "only the outline of a hollow box";
    EXPECT_TRUE(pixel_is(p, 32, 31, 0));
    EXPECT_EQ(ink(p).size(), 1u + 15u + 14u);
}

TEST_F(DrawingTest, FullWindowBoxFillsEveryPixel) {
    end_drawing();
    ASSERT_TRUE(create_sprite(1, 400, 600));
    begin_drawing(sprite_draw_target(1));
    draw_box(0, 0, 400, 600, pack_colour(160, 160, 255));
    const Picture p = finished();
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 400; ++x)
            ASSERT_TRUE(pixel_is(p, x, y, rgb(160, 160, 255)));
}

TEST_F(DrawingTest, InvertFlipsWhatLinesAndBoxesCover) {
    draw_box(0, 0, 60, 60, pack_colour(10, 100, 200));
    set_draw_mode(DM_INVERT);
    set_colour(255, 0, 0);
    draw_line(5, 5, 10, 0);
    draw_box(20, 20, 3, 3, WHITE);
    set_pen(4, WHITE);
    draw_line(40, 40, 10, 0);
    draw_line(40, 40, 10, 0);  // twice: back to the original
    const Picture p = finished();
    EXPECT_TRUE(pixel_is(p, 7, 5, rgb(245, 155, 55)));
    EXPECT_TRUE(pixel_is(p, 15, 5, rgb(10, 100, 200)));
    EXPECT_TRUE(pixel_is(p, 21, 21, rgb(245, 155, 55)));
    EXPECT_TRUE(pixel_is(p, 45, 40, rgb(10, 100, 200)));
}

TEST_F(DrawingTest, NothingIsDrawnWithoutAPass) {
    end_drawing();
    set_colour(255, 255, 255);
    put_pixel(1, 1, WHITE);
    draw_line(0, 0, 10, 10);
    draw_box(0, 0, 60, 60, WHITE);
    draw_text("x");
    begin_drawing(nullptr);
    draw_box(0, 0, 60, 60, WHITE);
    EXPECT_TRUE(ink(sprite_picture(1)).empty());
}

TEST(NumberToText, WritesTheDecimalValue) {
    const struct {
        int32_t n;
        const char* text;
    } cases[] = {{-7, "-7"}, {0, "0"}, {42, "42"}, {100, "100"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"}};
    for (const auto& c : cases)
        EXPECT_EQ(number_to_text(c.n), c.text);
}

}  // namespace
