#include <cstring>
#include <map>

#include "art/artwork.h"
#include "art_fixture.h"
#include "platform/record_list.h"

namespace {

constexpr uint32_t BACKGROUND = rgb(160, 160, 255);

class ArtworkTest : public ArtTest {
protected:
    void SetUp() override {
        ArtTest::SetUp();
        build_artwork();
    }
};

TEST_F(ArtworkTest, EverySpriteHasItsSize) {
    struct Size {
        SpriteId id;
        int width, height;
    };
    const Size sizes[] = {{1, 400, 600}, {3, 41, 41},   {4, 41, 41},   {5, 250, 50},  {6, 106, 36},
                          {7, 106, 36},  {8, 106, 36},  {9, 106, 36},  {10, 106, 36}, {11, 106, 36},
                          {12, 250, 50}, {13, 250, 50}, {14, 250, 50}, {15, 250, 50}};
    for (const Size& s : sizes) {
        int w = 0, h = 0;
        ASSERT_NE(sprite_pixels(s.id, &w, &h), nullptr) << "sprite " << s.id;
        EXPECT_EQ(w, s.width) << "sprite " << s.id;
        EXPECT_EQ(h, s.height) << "sprite " << s.id;
    }
    EXPECT_EQ(sprite_pixels(0, nullptr, nullptr), nullptr);
    EXPECT_EQ(sprite_pixels(2, nullptr, nullptr), nullptr);
}

TEST_F(ArtworkTest, DiscsKeepBlackAroundThem) {
    const Picture human = sprite_picture(SPRITE_DISC_HUMAN);
    const Picture cpu = sprite_picture(SPRITE_DISC_CPU);
    EXPECT_TRUE(pixel_is(human, 20, 20, rgb(255, 208, 108)));
    EXPECT_TRUE(pixel_is(cpu, 20, 20, rgb(255, 108, 108)));
    for (const Picture* p : {&human, &cpu})
        for (auto [x, y] : {std::pair{0, 20}, {20, 0}, {40, 20}, {20, 40}, {0, 0}, {40, 40}})
            EXPECT_TRUE(pixel_is(*p, x, y, 0));
}

TEST_F(ArtworkTest, NoviceButtonBrightAndDim) {
    const Picture bright = sprite_picture(SPRITE_NOVICE_HOVER);
    const Picture dim = sprite_picture(SPRITE_NOVICE_NORMAL);
    const Picture backdrop = sprite_picture(SPRITE_BACKDROP);
    // Flat top left of the label: window (40, 100), sprite (13, 23).
    EXPECT_TRUE(pixel_is(bright, 13, 23, rgb(80, 80, 255)));
    EXPECT_TRUE(pixel_is(dim, 13, 23, rgb(80, 80, 208)));
    EXPECT_TRUE(pixel_is(backdrop, 40, 100, rgb(80, 80, 208)));
    // Bevel: window (129, 95), sprite (102, 18).
    EXPECT_TRUE(pixel_is(bright, 102, 18, rgb(0, 0, 147)));
    EXPECT_TRUE(pixel_is(dim, 102, 18, rgb(0, 0, 97)));
}

TEST_F(ArtworkTest, BackdropEdgesAndCorners) {
    const Picture p = sprite_picture(SPRITE_BACKDROP);
    for (int y = 0; y < 600; ++y)
        ASSERT_TRUE(pixel_is(p, 0, y, BACKGROUND));
    for (int x = 0; x < 400; ++x)
        ASSERT_TRUE(pixel_is(p, x, 0, BACKGROUND));
    for (auto [x, y] : {std::pair{5, 5}, {394, 5}, {5, 594}, {394, 594}})
        EXPECT_TRUE(pixel_is(p, x, y, BACKGROUND));
    // Column 399 and row 599 are the slab's bevel, shaded.
    for (int y = 60; y < 540; ++y)
        ASSERT_NE(p.at(399, y), BACKGROUND) << "y " << y;
    for (int x = 60; x < 340; ++x)
        ASSERT_NE(p.at(x, 599), BACKGROUND) << "x " << x;
    EXPECT_TRUE(pixel_is(p, 399, 300, rgb(0, 69, 117)));
    EXPECT_TRUE(pixel_is(p, 65, 290, rgb(109, 239, 255)));  // a hole's bright rim, past the frames
}

TEST_F(ArtworkTest, ColumnNumbersAreWhite) {
    const Picture p = sprite_picture(SPRITE_BACKDROP);
    for (int col = 0; col < 7; ++col) {
        int white = 0, other_text_colours = 0;
        for (int y = 556; y < 585; ++y)
            for (int x = 46 + 50 * col; x < 62 + 50 * col; ++x) {
                const uint32_t v = p.at(x, y);
                white += v == rgb(255, 255, 255);
                other_text_colours += v == rgb(250, 250, 250) || v == rgb(50, 50, 50) || v == rgb(200, 250, 200);
            }
        EXPECT_GT(white, 5) << "column " << col + 1;
        EXPECT_EQ(other_text_colours, 0) << "column " << col + 1;
    }
}

TEST_F(ArtworkTest, DimButtonsAreTheBackdropsOwnPixels) {
    const Picture backdrop = sprite_picture(SPRITE_BACKDROP);
    struct Place {
        SpriteId normal, hover;
        int x, y;
    };
    for (const Place& b : {Place{6, 7, 27, 77}, Place{8, 9, 27, 112}, Place{10, 11, 27, 147}}) {
        const Picture normal = sprite_picture(b.normal);
        EXPECT_EQ(differing_pixels(normal, backdrop.part(b.x, b.y, 106, 36)), 0) << "sprite " << b.normal;
        // The two looks share the well's edge and differ on the button.
        const Picture hover = sprite_picture(b.hover);
        EXPECT_GT(differing_pixels(normal, hover), 1000) << "sprite " << b.hover;
        for (int y = 0; y < 36; ++y)
            ASSERT_EQ(normal.at(0, y), hover.at(0, y));
        for (int x = 0; x < 106; ++x)
            ASSERT_EQ(normal.at(x, 0), hover.at(x, 0));
    }
}

TEST_F(ArtworkTest, BannersComeFromTheMessageArea) {
    const Picture back = sprite_picture(SPRITE_BANNER_BACK);
    EXPECT_EQ(differing_pixels(back, sprite_picture(SPRITE_BACKDROP).part(100, 200, 250, 50)), 0);
    for (SpriteId id : {12, 13, 14, 15}) {
        const Picture banner = sprite_picture(id);
        int black = 0, ink = 0, board = 0;
        for (int i = 0; i < int(banner.pixels.size()); ++i) {
            black += banner.pixels[i] == 0;
            ink += banner.pixels[i] == rgb(10, 10, 10);
            board += banner.pixels[i] == back.pixels[i];
        }
        EXPECT_EQ(black, 0) << "sprite " << id;  // all of it takes part in the blend
        EXPECT_GT(ink, 100) << "sprite " << id;
        EXPECT_GT(board, 250 * 50 / 2) << "sprite " << id;
    }
}

TEST_F(ArtworkTest, LevelZonesAreRegisteredInOrder) {
    struct Zone {
        int32_t id, left, top, right, bottom;
    };
    const Zone expected[] = {{16, 30, 80, 130, 110}, {17, 30, 115, 130, 145}, {18, 30, 150, 130, 180}};
    list_rewind(hot_zones);
    for (const Zone& z : expected) {
        const auto* zone = static_cast<const HotZone*>(list_next(hot_zones));
        ASSERT_NE(zone, nullptr);
        EXPECT_EQ(zone->id, z.id);
        EXPECT_EQ(zone->left, z.left);
        EXPECT_EQ(zone->top, z.top);
        EXPECT_EQ(zone->right, z.right);
        EXPECT_EQ(zone->bottom, z.bottom);
    }
    EXPECT_EQ(list_next(hot_zones), nullptr);
}

TEST_F(ArtworkTest, LeavesNoDrawingPassOpenAndBlitsToTheScreen) {
    // Drawing with no pass of its own must reach no sprite.
    std::map<SpriteId, Picture> before;
    for (SpriteId id : ARTWORK_SPRITES)
        before[id] = sprite_picture(id);
    draw_box(0, 0, 400, 600, pack_colour(1, 2, 3));
    put_pixel(20, 20, pack_colour(1, 2, 3));
    for (SpriteId id : ARTWORK_SPRITES)
        EXPECT_EQ(differing_pixels(sprite_picture(id), before.at(id)), 0) << "sprite " << id;
    blit_sprite(SPRITE_DISC_CPU, 0, 0);
    ASSERT_NE(screen_pixels(), nullptr);
    EXPECT_EQ(screen_pixels()[20 * 400 + 20], rgb(255, 108, 108));
}

TEST_F(ArtworkTest, CanvasIsLeftHoldingTheDimButtonSlabs) {
    // What the last picture left: the board slab's outer column 400 and
    // row 600, which clearing never touches, and the three button slabs.
    auto expected = make_shade_canvas();
    clear_canvas(*expected);
    render_slab(*expected, 0, 0, 400, 600, 50, 20);
    clear_canvas(*expected);
    for (int y : {80, 115, 150})
        render_slab(*expected, 30, y, 100, 30, 15, 6);
    const ShadeCanvas* canvas = process_canvas();
    ASSERT_NE(canvas, nullptr);
    for (int x = 0; x < CANVAS_WIDTH; ++x)
        for (int y = 0; y < CANVAS_HEIGHT; ++y)
            ASSERT_EQ(std::memcmp(&canvas->at(x, y), &expected->at(x, y), sizeof(CanvasElement)), 0)
                << "element (" << x << ", " << y << ")";
}

// --- the whole set, against the reference and against itself ------------------

class ArtworkBuildTest : public ArtTest {
protected:
    std::map<SpriteId, Picture> build(const ArtworkOptions& options) {
        build_artwork(options);
        std::map<SpriteId, Picture> set;
        for (SpriteId id : ARTWORK_SPRITES)
            set[id] = sprite_picture(id);
        // Start again as the game does, with a fresh platform.
        TearDown();
        SetUp();
        return set;
    }
};

TEST_F(ArtworkBuildTest, FastBuildEqualsThePlainBuild) {
    const auto fast = build(ArtworkOptions{ShadeMethod::Fast, true});
    const auto plain = build(ArtworkOptions{ShadeMethod::Plain, true});
    for (SpriteId id : ARTWORK_SPRITES) {
        EXPECT_FALSE(fast.at(id).pixels.empty()) << "sprite " << id;
        const int differing = differing_pixels(fast.at(id), plain.at(id));
        EXPECT_EQ(differing, 0) << "sprite " << id << " differs; fast build dumped to "
                                << (differing ? dump_picture(fast.at(id), "fast-" + std::to_string(id)) : "");
    }
}

// FNV-1a over the stored pixels.
uint64_t checksum(const Picture& p, bool (*skip)(int x, int y) = nullptr) {
    uint64_t h = 14695981039346656037ull;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            if (skip && skip(x, y)) continue;
            for (int shift = 0; shift < 32; shift += 8) {
                h ^= (p.at(x, y) >> shift) & 0xFF;
                h *= 1099511628211ull;
            }
        }
    return h;
}

// The close cross is drawn with a 4-pixel pen, whose round ends are the
// platform's own business.
bool close_cross(int x, int y) { return x >= 344 && x <= 378 && y >= 21 && y <= 54; }

TEST_F(ArtworkBuildTest, SpritesWithoutTextMatchTheirChecksums) {
    // Everything but the glyphs is fixed to the pixel: shading, boxes,
    // frames and lines. A change here is a change of the pictures.
    const std::map<SpriteId, uint64_t> golden = {
        {1, 0x72692834afd6055bull},  {3, 0x8de848bfef263dacull},  {4, 0x08233f81093ad4e4ull},
        {5, 0x326a1000603062b6ull},  {6, 0xa3c3c40f3b2558daull},  {7, 0x9dfdb220a997aa66ull},
        {8, 0x1f5274144ea87f8aull},  {9, 0x3fe5167603e05634ull},  {10, 0xfb1ec5c22e4ff731ull},
        {11, 0xb56cb6f4b0334af1ull}, {12, 0x326a1000603062b6ull}, {13, 0x326a1000603062b6ull},
        {14, 0x326a1000603062b6ull}, {15, 0x326a1000603062b6ull},
    };
    const auto set = build(ArtworkOptions{ShadeMethod::Fast, false});
    for (SpriteId id : ARTWORK_SPRITES) {
        const uint64_t sum = checksum(set.at(id), id == SPRITE_BACKDROP ? close_cross : nullptr);
        EXPECT_EQ(sum, golden.at(id)) << "sprite " << id << " checksum 0x" << std::hex << sum;
    }
}

}  // namespace
