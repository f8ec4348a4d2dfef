#include "platform_fixture.h"

namespace {

// Blend weight written out from its definition.
int weight(int i, int j) { return i * 256 / (65280 / (j + 1)); }

int blend_channel(int s, int d, int a) { return std::min(255, weight(s, a) + weight(d, 256 - a)); }

uint32_t blend_pixel(uint32_t s, uint32_t d, int a) {
    return uint32_t(blend_channel(s >> 16 & 0xFF, d >> 16 & 0xFF, a)) << 16 |
           uint32_t(blend_channel(s >> 8 & 0xFF, d >> 8 & 0xFF, a)) << 8 |
           uint32_t(blend_channel(s & 0xFF, d & 0xFF, a));
}

// A 400 x 600 sprite where every pixel differs from its neighbours.
void patterned_sprite(SpriteId id) {
    ASSERT_TRUE(create_sprite(id, 400, 600));
    ASSERT_NE(begin_drawing(sprite_draw_target(id)), nullptr);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 400; ++x)
            put_pixel(x, y, pack_colour(x & 0xFF, y & 0xFF, (x * 7 + y * 3) & 0xFF));
    end_drawing();
}

using ScreenTest = PlatformTest;

TEST_F(ScreenTest, AttachedScreenIsBlackAndShowsTheWindow) {
    const Picture screen = screen_picture();
    EXPECT_EQ(differing_pixels(screen, Picture{std::vector<uint32_t>(400 * 600, 0), 400, 600}), 0);
    EXPECT_TRUE(headless_log().window_visible);
}

TEST_F(ScreenTest, PutPixelStoresRedAndBlueExchanged) {
    ASSERT_TRUE(create_sprite(1, 4, 4));
    begin_drawing(sprite_draw_target(1));
    put_pixel(2, 1, pack_colour(0x11, 0x22, 0x33));
    end_drawing();
    EXPECT_TRUE(pixel_is(sprite_picture(1), 2, 1, 0x00112233u));
}

TEST_F(ScreenTest, GrabbedBannerAreaBlitsBackUnchanged) {
    patterned_sprite(1);
    set_blit_target(1);
    ASSERT_TRUE(grab_sprite(5, 100, 200, 250, 50));
    ASSERT_TRUE(grab_sprite(20, 0, 0, 400, 600));  // a copy of sprite 1
    set_blit_target(SCREEN_TARGET);
    const Picture grabbed = sprite_picture(5);
    ASSERT_EQ(grabbed.width, 250);
    ASSERT_EQ(grabbed.height, 50);
    const Picture source = sprite_picture(1);
    EXPECT_TRUE(pixel_is(grabbed, 0, 0, source.at(100, 200)));
    EXPECT_TRUE(pixel_is(grabbed, 249, 49, source.at(349, 249)));

    set_blit_target(20);
    blit_sprite(5, 100, 200);
    EXPECT_EQ(differing_pixels(sprite_picture(20), source), 0);
}

TEST_F(ScreenTest, AllBlackSpriteIsInvisibleKeyedAndABlackBoxPlain) {
    patterned_sprite(1);
    ASSERT_TRUE(create_sprite(3, 41, 41));
    set_blit_target(1);
    const Picture before = sprite_picture(1);
    blit_sprite_keyed(3, 30, 255);
    EXPECT_EQ(differing_pixels(sprite_picture(1), before), 0);

    blit_sprite(3, 30, 255);
    const Picture after = sprite_picture(1);
    int changed = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 400; ++x) {
            const bool inside = x >= 30 && x < 71 && y >= 255 && y < 296;
            if (inside)
                ASSERT_TRUE(pixel_is(after, x, y, 0));
            else
                ASSERT_TRUE(pixel_is(after, x, y, before.at(x, y)));
            changed += after.at(x, y) != before.at(x, y);
        }
    EXPECT_GT(changed, 41 * 41 / 2);
}

TEST_F(ScreenTest, KeyedBlitSkipsOnlyBlackPixels) {
    solid_sprite(1, 10, 10, pack_colour(9, 9, 9));
    ASSERT_TRUE(create_sprite(3, 3, 1));
    begin_drawing(sprite_draw_target(3));
    put_pixel(0, 0, pack_colour(200, 0, 0));
    put_pixel(2, 0, pack_colour(0, 0, 1));  // dark, but not black
    end_drawing();
    set_blit_target(1);
    blit_sprite_keyed(3, 4, 4);
    const Picture p = sprite_picture(1);
    EXPECT_TRUE(pixel_is(p, 4, 4, rgb(200, 0, 0)));
    EXPECT_TRUE(pixel_is(p, 5, 4, rgb(9, 9, 9)));
    EXPECT_TRUE(pixel_is(p, 6, 4, rgb(0, 0, 1)));
}

TEST_F(ScreenTest, BlendFollowsTheWeightTable) {
    const uint32_t source = rgb(200, 100, 250), target = rgb(10, 255, 120);
    // Opacity as given, and as the blend must treat it.
    const struct {
        int given, used;
    } opacities[] = {{0, 1}, {1, 1}, {100, 100}, {128, 128}, {250, 250}, {255, 255}, {400, 255}};
    for (const auto& o : opacities) {
        solid_sprite(1, 8, 8, pack_colour(10, 255, 120));
        ASSERT_TRUE(create_sprite(12, 2, 1));
        begin_drawing(sprite_draw_target(12));
        put_pixel(0, 0, pack_colour(200, 100, 250));  // pixel 1 stays black
        end_drawing();
        set_blit_target(1);
        blend_sprite(12, 3, 3, o.given);
        const Picture p = sprite_picture(1);
        EXPECT_TRUE(pixel_is(p, 3, 3, blend_pixel(source, target, o.used))) << "opacity " << o.given;
        EXPECT_TRUE(pixel_is(p, 4, 3, target)) << "black source pixels never change the target";
    }
    // At full opacity the sprite dominates; at the lowest the target does.
    EXPECT_EQ(blend_pixel(source, target, 255), rgb(200, 102, 250));
    EXPECT_EQ(blend_pixel(source, target, 1), rgb(11, 255, 121));
    // Two bright channels add up past 255 (129 + 129) and stop there.
    solid_sprite(1, 2, 2, pack_colour(255, 255, 255));
    solid_sprite(12, 1, 1, pack_colour(255, 255, 255));
    set_blit_target(1);
    blend_sprite(12, 0, 0, 128);
    EXPECT_TRUE(pixel_is(sprite_picture(1), 0, 0, rgb(255, 255, 255)));
    EXPECT_TRUE(pixel_is(sprite_picture(1), 1, 0, rgb(255, 255, 255)));
}

TEST_F(ScreenTest, BlitsAreClippedAtEveryEdge) {
    // A 10 x 10 sprite whose pixel (i, j) is (i + 1, j + 1, 7).
    ASSERT_TRUE(create_sprite(3, 10, 10));
    begin_drawing(sprite_draw_target(3));
    for (int j = 0; j < 10; ++j)
        for (int i = 0; i < 10; ++i)
            put_pixel(i, j, pack_colour(i + 1, j + 1, 7));
    end_drawing();

    const struct {
        int x, y;
        int drawn;  // pixels of the sprite that land on the 400 x 600 screen
    } cases[] = {{0, 0, 100}, {-3, 5, 70},  {-9, 0, 10}, {-10, 0, 0}, {395, 0, 50}, {399, 0, 10},
                 {400, 0, 0}, {0, 595, 50}, {0, 600, 0}, {0, -10, 0}, {-5, -5, 25}, {395, 595, 25}};
    for (const auto& c : cases) {
        ASSERT_NE(begin_drawing(screen_draw_target()), nullptr);
        draw_box(0, 0, 400, 600, pack_colour(0, 0, 0));
        end_drawing();
        set_blit_target(SCREEN_TARGET);
        blit_sprite(3, c.x, c.y);
        const Picture p = screen_picture();
        int drawn = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 400; ++x) {
                if (p.at(x, y) == 0) continue;
                ++drawn;
                // Each drawn pixel is the sprite's pixel that belongs there.
                ASSERT_TRUE(pixel_is(p, x, y, rgb(x - c.x + 1, y - c.y + 1, 7))) << "blit at " << c.x << ", " << c.y;
            }
        EXPECT_EQ(drawn, c.drawn) << "blit at " << c.x << ", " << c.y;
    }
}

TEST_F(ScreenTest, MissingSpritesAndTargetsChangeNothing) {
    solid_sprite(1, 5, 5, pack_colour(1, 2, 3));
    set_blit_target(1);
    set_blit_target(42);  // no sprite 42: the target stays sprite 1
    solid_sprite(4, 2, 2, pack_colour(200, 200, 200));
    blit_sprite(4, 0, 0);
    EXPECT_TRUE(pixel_is(sprite_picture(1), 0, 0, rgb(200, 200, 200)));
    blit_sprite(42, 0, 0);
    blit_sprite_keyed(42, 0, 0);
    blend_sprite(42, 0, 0, 100);
    EXPECT_TRUE(pixel_is(sprite_picture(1), 0, 0, rgb(200, 200, 200)));
    EXPECT_EQ(sprite_draw_target(42), nullptr);
    EXPECT_EQ(sprite_pixels(42, nullptr, nullptr), nullptr);
}

TEST_F(ScreenTest, RemadeSpriteIsNewAndBlack) {
    solid_sprite(6, 4, 4, pack_colour(50, 60, 70));
    ASSERT_TRUE(create_sprite(6, 7, 3));
    const Picture p = sprite_picture(6);
    EXPECT_EQ(p.width, 7);
    EXPECT_EQ(p.height, 3);
    EXPECT_TRUE(pixel_is(p, 0, 0, 0));
    EXPECT_FALSE(create_sprite(7, 0, 5));
    EXPECT_FALSE(create_sprite(SCREEN_TARGET, 5, 5));
}

TEST_F(ScreenTest, OneSpriteAndTheBackBufferOpenAtATime) {
    ASSERT_TRUE(create_sprite(1, 10, 10));
    ASSERT_TRUE(create_sprite(2, 10, 10));
    DrawTarget* first = sprite_draw_target(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(sprite_draw_target(2), nullptr);
    DrawTarget* screen = screen_draw_target();
    ASSERT_NE(screen, nullptr) << "the back buffer opens beside a sprite";
    EXPECT_EQ(screen_draw_target(), nullptr);

    // The refused target opens no pass: the drawing that follows does nothing.
    begin_drawing(sprite_draw_target(2));
    draw_box(0, 0, 10, 10, pack_colour(255, 255, 255));
    EXPECT_TRUE(pixel_is(sprite_picture(2), 5, 5, 0));
    EXPECT_TRUE(pixel_is(sprite_picture(1), 5, 5, 0));

    // Ending a pass gives its target back.
    begin_drawing(first);
    end_drawing();
    EXPECT_NE(sprite_draw_target(2), nullptr);
}

TEST_F(ScreenTest, PresentIsPacedAndTakesTheBackBufferBack) {
    present_frame();
    const uint64_t first = headless_log().last_present_us;
    present_frame();
    const uint64_t second = headless_log().last_present_us;
    EXPECT_GT(second - first, 1000000u / 61) << "at most 61 presents a second";
    EXPECT_LT(second - first, 1000000u / 61 + 1000);
    delay_ms(100);
    present_frame();
    EXPECT_EQ(headless_log().last_present_us, second + 100000) << "no wait after a long pause";
    EXPECT_EQ(headless_log().present_count, 3);

    // A pass left open on the back buffer ends with the present.
    ASSERT_NE(begin_drawing(screen_draw_target()), nullptr);
    ASSERT_TRUE(create_sprite(2, 2, 2));
    set_blit_target(2);
    present_frame();
    draw_box(0, 0, 400, 600, pack_colour(255, 0, 0));
    EXPECT_TRUE(pixel_is(screen_picture(), 0, 0, 0));
    EXPECT_NE(screen_draw_target(), nullptr);
    // And the blit target is the back buffer again.
    solid_sprite(3, 1, 1, pack_colour(0, 0, 255));
    blit_sprite(3, 9, 9);
    EXPECT_TRUE(pixel_is(screen_picture(), 9, 9, rgb(0, 0, 255)));
    const Picture presented{headless_log().last_frame, 400, 600};
    EXPECT_TRUE(pixel_is(presented, 9, 9, 0)) << "the presented frame is a copy";
}

TEST(ScreenService, MissingDisplayRefusesTheScreen) {
    headless_reset();
    headless_fail_screen(true);
    init_platform(headless_backend());
    EXPECT_FALSE(init_screen_system());
    EXPECT_FALSE(create_sprite(1, 10, 10));
    shutdown_platform();
}

}  // namespace
