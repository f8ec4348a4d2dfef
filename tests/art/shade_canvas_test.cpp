#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <tuple>

#include "art/artwork.h"
#include "art_fixture.h"

namespace {

constexpr uint32_t BACKGROUND = pack_colour(160, 160, 255);
constexpr uint32_t BOARD = pack_colour(0, 130, 178);

// The renderer's two ways of shading must agree on every value below.
class ShadeTest : public ArtTest, public ::testing::WithParamInterface<ShadeMethod> {
protected:
    ShadeCanvas& canvas = *create_shade_canvas();

    void shade(DrawTarget* target, int w, int h, uint32_t colour, int offset) {
        if (GetParam() == ShadeMethod::Plain)
            shade_canvas_plain(canvas, w, h, colour, offset);
        else
            shade_canvas_into(canvas, *target, w, h, colour, offset);
    }
    void clear() {
        if (GetParam() == ShadeMethod::Plain)
            clear_canvas(canvas);
        else
            clear_canvas_fast(canvas);
    }

    // A 41 x 41 disc of the given colour on black, as sprite 3.
    Picture disc(uint32_t colour, int offset = 0) {
        DrawTarget* target = open_sprite(3, 41, 41);
        clear();
        render_slab(canvas, 0, 0, 40, 40, 20, 6);
        shade(target, 40, 40, colour, offset);
        end_drawing();
        return sprite_picture(3);
    }

    // The board of the window picture: slab, 42 holes, 3 button wells.
    void board_shapes() {
        clear();
        render_slab(canvas, 0, 0, 400, 600, 50, 20);
        for (int col = 0; col < 7; ++col)
            for (int row = 0; row < 6; ++row)
                render_hole(canvas, 25 + 50 * col, 250 + 50 * row, 50, 50, 25, 7);
        for (int y : {77, 112, 147})
            render_hole(canvas, 27, y, 106, 36, 18, 5);
    }
    Picture board() {
        DrawTarget* target = open_sprite(1, 400, 600, BACKGROUND);
        board_shapes();
        shade(target, 400, 600, BOARD, 32);
        end_drawing();
        return sprite_picture(1);
    }
};

INSTANTIATE_TEST_SUITE_P(Methods, ShadeTest, ::testing::Values(ShadeMethod::Plain, ShadeMethod::Fast),
                         [](const auto& info) { return info.param == ShadeMethod::Plain ? "Plain" : "Fast"; });

TEST_P(ShadeTest, ClearedCanvasWritesNoPixel) {
    DrawTarget* target = open_sprite(1, 400, 600, pack_colour(1, 2, 3));
    render_slab(canvas, 0, 0, 400, 600, 50, 20);  // cleared away below
    clear();
    shade(target, 400, 600, BOARD, 32);
    end_drawing();
    const Picture p = sprite_picture(1);
    EXPECT_EQ(differing_pixels(p, Picture{std::vector<uint32_t>(400 * 600, rgb(1, 2, 3)), 400, 600}), 0);
}

struct DiscCase {
    uint32_t colour;
    uint32_t centre, left, right;  // (20, 20), (1, 20), (39, 20)
};

TEST_P(ShadeTest, DiscPixels) {
    const DiscCase cases[] = {
        {pack_colour(150, 100, 0), rgb(255, 208, 108), rgb(217, 167, 67), rgb(137, 87, 0)},
        {pack_colour(150, 0, 0), rgb(255, 108, 108), rgb(217, 67, 67), rgb(137, 0, 0)},
    };
    for (const DiscCase& c : cases) {
        SCOPED_TRACE(describe(rgb(colour_red(c.colour), colour_green(c.colour), colour_blue(c.colour))));
        const Picture p = disc(c.colour);
        EXPECT_TRUE(pixel_is(p, 20, 20, c.centre));
        EXPECT_TRUE(pixel_is(p, 1, 20, c.left));
        EXPECT_TRUE(pixel_is(p, 39, 20, c.right));
        // Height 0 on the outer rim, and nothing outside the rounded corner.
        for (auto [x, y] : {std::pair{0, 20}, {20, 0}, {40, 20}, {20, 40}, {0, 0}})
            EXPECT_TRUE(pixel_is(p, x, y, 0));
    }
}

TEST_P(ShadeTest, BoardAndHolePixels) {
    const Picture p = board();
    EXPECT_TRUE(pixel_is(p, 200, 100, rgb(49, 179, 227)));  // flat top
    EXPECT_TRUE(pixel_is(p, 1, 300, rgb(38, 168, 216)));    // left bevel, facing the light
    EXPECT_TRUE(pixel_is(p, 399, 300, rgb(0, 69, 117)));    // right bevel, facing away
    EXPECT_TRUE(pixel_is(p, 35, 260, rgb(0, 122, 170)));    // upper-left rim, dark
    EXPECT_TRUE(pixel_is(p, 65, 290, rgb(109, 239, 255)));  // lower-right rim, bright
    EXPECT_TRUE(pixel_is(p, 50, 275, rgb(46, 176, 224)));   // the hole's centre: the flat board
    const uint32_t background = rgb(160, 160, 255);
    for (int y = 0; y < 600; ++y)
        ASSERT_TRUE(pixel_is(p, 0, y, background));
    for (int x = 0; x < 400; ++x)
        ASSERT_TRUE(pixel_is(p, x, 0, background));
    // Column 399 and row 599 belong to the bevel, outside the corners.
    EXPECT_NE(p.at(399, 300), background);
    EXPECT_NE(p.at(200, 599), background);
}

TEST_P(ShadeTest, ChannelsSaturateInsteadOfWrapping) {
    // Every lit pixel of a white disc pushed up by 300 is white; a black one
    // pushed down by 300 leaves the sprite black.
    const Picture bright = disc(pack_colour(255, 255, 255), 300);
    const Picture dark = disc(pack_colour(0, 0, 0), -300);
    int lit = 0;
    for (size_t i = 0; i < bright.pixels.size(); ++i) {
        if (bright.pixels[i] != 0) {
            ++lit;
            ASSERT_EQ(bright.pixels[i], rgb(255, 255, 255)) << "pixel " << i % 41 << ", " << i / 41;
        }
        ASSERT_EQ(dark.pixels[i], 0u) << "pixel " << i % 41 << ", " << i / 41;
    }
    EXPECT_GT(lit, 1000);
    // Saturated channels beside one that is not: the offset moves every
    // channel by the same whole amount.
    const Picture mixed = disc(pack_colour(250, 128, 0), 60);
    EXPECT_TRUE(pixel_is(mixed, 20, 20, rgb(255, 255, 168)));
    EXPECT_TRUE(pixel_is(mixed, 39, 20, rgb(255, 175, 47)));
}

TEST_P(ShadeTest, PlainAndFastShadingAgreeOnTheWholeBoard) {
    // The other method on the same canvas, pixel for pixel.
    board_shapes();
    for (auto [colour, offset] :
         {std::pair{BOARD, 32}, {pack_colour(0, 0, 178), -40}, {pack_colour(255, 3, 90), 120}}) {
        DrawTarget* target = open_sprite(1, 400, 600, BACKGROUND);
        shade(target, 400, 600, colour, offset);
        end_drawing();
        const Picture mine = sprite_picture(1);
        target = open_sprite(1, 400, 600, BACKGROUND);
        if (GetParam() == ShadeMethod::Plain)
            shade_canvas_into(canvas, *target, 400, 600, colour, offset);
        else
            shade_canvas_plain(canvas, 400, 600, colour, offset);
        end_drawing();
        EXPECT_EQ(differing_pixels(mine, sprite_picture(1)), 0) << "offset " << offset;
    }
}

// The fast path squares stored floats with one multiplication where the
// reference calls pow: the same whenever the square of a float is exact in
// double, which it always is (24 + 24 bits < 53).
TEST(SquareTest, PowOfAStoredFloatIsItsProduct) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> heights(-700.0f, 700.0f);
    for (int n = 0; n < 200000; ++n) {
        const float v = heights(random);
        ASSERT_EQ(float(std::pow(double(v), 2.0)), v * v) << v;
    }
}

// --- the shapes, read from the canvas ---------------------------------------

class ShapeTest : public ::testing::Test {
protected:
    std::unique_ptr<ShadeCanvas> owned = make_shade_canvas();
    ShadeCanvas& canvas = *owned;
    void SetUp() override { clear_canvas(canvas); }
};

TEST_F(ShapeTest, HoleRimFacts) {
    render_slab(canvas, 0, 0, 400, 600, 50, 20);
    render_hole(canvas, 25, 250, 50, 50, 25, 7);
    const CanvasElement rim_line = canvas.at(50, 250);  // distance 25: l = 0
    EXPECT_EQ(rim_line.height, 7.0f);
    EXPECT_EQ(std::tie(rim_line.nx, rim_line.ny, rim_line.nz), std::make_tuple(0.0f, 0.0f, 1.0f));
    const CanvasElement inside = canvas.at(31, 275);  // distance 19 = R - B + 1: the board's flat top
    EXPECT_EQ(inside.height, 20.0f);
    EXPECT_EQ(std::tie(inside.nx, inside.ny, inside.nz), std::make_tuple(0.0f, 0.0f, 1.0f));
    const CanvasElement deepest = canvas.at(30, 275);  // distance 20, l = 5, leaning inwards (+x)
    EXPECT_FLOAT_EQ(deepest.nx, 5.0f / 7.0f);
    EXPECT_EQ(deepest.ny, 0.0f);
    EXPECT_FLOAT_EQ(deepest.nz, std::sqrt(24.0f) / 7.0f);
    EXPECT_FLOAT_EQ(deepest.height, std::sqrt(24.0f));
}

TEST_F(ShapeTest, StraightBevelsHaveOneNormalPerPixelOfWidth) {
    for (int bevel : {6, 20}) {
        clear_canvas(canvas);
        render_slab(canvas, 0, 0, 400, 600, 50, bevel);
        std::set<std::tuple<float, float, float>> left, top;
        for (int i = 0; i <= bevel; ++i) {
            const CanvasElement& l = canvas.at(i, 300);
            const CanvasElement& t = canvas.at(200, i);
            left.insert({l.nx, l.ny, l.nz});
            top.insert({t.nx, t.ny, t.nz});
        }
        EXPECT_EQ(int(left.size()), bevel + 1);
        EXPECT_EQ(int(top.size()), bevel + 1);
        // The outermost ring is never shaded; the first flat pixel is the top.
        EXPECT_EQ(canvas.at(0, 300).height, 0.0f);
        EXPECT_EQ(canvas.at(bevel, 300).height, float(bevel));
        EXPECT_EQ(canvas.at(bevel, 300).nz, 1.0f);
    }
}

TEST_F(ShapeTest, SlabWhoseBevelIsItsRadiusHasAFlatCentre) {
    // The centre sits at distance 0 of every corner; its normal must not
    // come from 0 / 0.
    render_slab(canvas, 0, 0, 20, 20, 10, 10);
    for (int x = 0; x <= 20; ++x)
        for (int y = 0; y <= 20; ++y) {
            const CanvasElement& e = canvas.at(x, y);
            ASSERT_TRUE(std::isfinite(e.height) && std::isfinite(e.nx) && std::isfinite(e.ny) && std::isfinite(e.nz))
                << x << ", " << y;
        }
    const CanvasElement& centre = canvas.at(10, 10);
    EXPECT_EQ(centre.height, 10.0f);
    EXPECT_EQ(std::tie(centre.nx, centre.ny, centre.nz), std::make_tuple(0.0f, 0.0f, 1.0f));
}

TEST_F(ShapeTest, FastClearLeavesTheSameCanvasAsAFullClear) {
    auto other = make_shade_canvas();
    const size_t bytes = sizeof(CanvasElement) * CANVAS_WIDTH * CANVAS_HEIGHT;
    auto same = [&] { return std::memcmp(canvas.elements.get(), other->elements.get(), bytes) == 0; };
    // A fresh canvas is all zeros, not cleared: the first fast clear must
    // reset everything.
    auto fresh = make_shade_canvas();
    clear_canvas_fast(*fresh);
    EXPECT_EQ(std::memcmp(canvas.elements.get(), fresh->elements.get(), bytes), 0);

    clear_canvas(*other);
    for (auto* c : {&canvas, other.get()}) {
        render_slab(*c, 0, 0, 40, 40, 20, 6);
        render_hole(*c, 300, 500, 100, 100, 50, 9);  // reaches column 400 and row 600
    }
    clear_canvas_fast(canvas);
    clear_canvas(*other);
    EXPECT_TRUE(same());
    EXPECT_NE(canvas.at(400, 550).height, 0.0f);  // never cleared
    for (auto* c : {&canvas, other.get()})
        render_slab(*c, 30, 80, 100, 30, 15, 6);
    clear_canvas_fast(canvas);
    clear_canvas(*other);
    EXPECT_TRUE(same());
}

// --- bevel frames -------------------------------------------------------------

using FrameTest = ArtTest;

TEST_F(FrameTest, RaisedAndSunkenEdges) {
    const uint32_t grey = rgb(128, 128, 128), white = rgb(255, 255, 255), black = 0;
    struct Case {
        void (*frame)(int, int, int, int);
        uint32_t top_left, bottom_right;
    };
    for (const Case& c : {Case{draw_raised_frame, white, black}, Case{draw_sunken_frame, black, white}}) {
        open_sprite(1, 60, 60, pack_colour(128, 128, 128));
        c.frame(10, 10, 20, 15);
        end_drawing();
        const Picture p = sprite_picture(1);
        for (int x = 10; x < 30; ++x) {
            ASSERT_TRUE(pixel_is(p, x, 10, c.top_left));
            ASSERT_TRUE(pixel_is(p, x, 25, c.bottom_right));
        }
        for (int y = 10; y < 25; ++y)
            ASSERT_TRUE(pixel_is(p, 10, y, c.top_left));
        for (int y = 10; y <= 25; ++y)
            ASSERT_TRUE(pixel_is(p, 30, y, c.bottom_right));
        EXPECT_TRUE(pixel_is(p, 30, 26, grey));
        EXPECT_TRUE(pixel_is(p, 31, 10, grey));
        EXPECT_TRUE(pixel_is(p, 11, 11, grey));
    }
}

TEST_F(FrameTest, RivetsSitInsideEachCorner) {
    open_sprite(1, 300, 200, pack_colour(0, 140, 200));
    draw_riveted_frame(140, 70, 130, 100);
    end_drawing();
    const Picture p = sprite_picture(1);
    const uint32_t white = rgb(255, 255, 255);
    for (auto [x, y] : {std::pair{144, 74}, {144, 163}, {263, 74}, {263, 163}}) {
        EXPECT_TRUE(pixel_is(p, x, y, white));      // rivet's top-left
        EXPECT_TRUE(pixel_is(p, x + 3, y + 3, 0));  // rivet's bottom-right
        EXPECT_TRUE(pixel_is(p, x + 1, y + 1, rgb(0, 140, 200)));
    }
}

TEST_F(FrameTest, TextAfterAFrameTakesItsLastColour) {
    struct Case {
        void (*frame)(int, int, int, int);
        uint32_t text;
    };
    for (const Case& c : {Case{draw_sunken_frame, rgb(255, 255, 255)}, Case{draw_raised_frame, 0}}) {
        open_sprite(1, 400, 600, pack_colour(128, 128, 128));
        set_draw_mode(DM_TRANSPARENT);
        select_font(load_font("Impact", 14, 0));
        set_colour(250, 20, 20);
        c.frame(25, 250, 49, 300);
        set_text_pos(40, 300);
        draw_text("8");
        end_drawing();
        const Picture p = sprite_picture(1);
        int text_pixels = 0, others = 0;
        for (int y = 295; y < 340; ++y)
            for (int x = 30; x < 70; ++x) {
                const uint32_t v = p.at(x, y);
                if (v == c.text) ++text_pixels;
                if ((v >> 16 & 0xFF) != (v & 0xFF)) ++others;  // any trace of the red
            }
        EXPECT_GT(text_pixels, 10);
        EXPECT_EQ(others, 0);
    }
}

}  // namespace
