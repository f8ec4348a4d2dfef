// The event loop through the headless backend: start-up, the ways out and
// the repaint.
#include "game_fixture.h"

#include "game/hot_zones.h"
#include "platform/record_list.h"
#include "sound/midi.h"

namespace {

// A device that looks at the game at the moment MIDI is opened.
struct OrderProbe final : MidiDevice {
    bool opened = false;
    bool window_visible = false, window_shown = false, artwork_built = false, presented = false, icon_set = false;
    int zones = 0;
    int32_t game_over = -1;
    bool open() override {
        opened = true;
        window_visible = headless_log().window_visible;
        window_shown = headless_log().show_count > 0;
        int w = 0, h = 0;
        artwork_built = sprite_pixels(SPRITE_BANNER_DRAW, &w, &h) != nullptr;
        presented = headless_log().present_count > 0;
        icon_set = !headless_log().icon_sizes.empty();
        zones = list_count(hot_zones);
        game_over = game.game_over;
        return true;
    }
    bool send(uint32_t) override { return true; }
};

TEST_F(GameTest, StartUpShowsThePictureThenOpensMidiThenSetsTheIconAndWaitsForALevel) {
    // Outlives the game: shut-down closes the device.
    static OrderProbe probe;
    probe = OrderProbe{};
    headless_reset();
    ASSERT_TRUE(start_game(headless_backend(), &probe));
    ASSERT_TRUE(probe.opened);
    EXPECT_TRUE(probe.window_visible);
    EXPECT_TRUE(probe.window_shown) << "show_window comes before MIDI, so its box stands over the window";
    EXPECT_TRUE(probe.artwork_built);
    EXPECT_EQ(probe.zones, 5);
    EXPECT_TRUE(probe.presented) << "the first picture is on the screen before the sound device opens";
    EXPECT_FALSE(probe.icon_set) << "the icon comes after the sound device";
    EXPECT_EQ(probe.game_over, 0) << "game_over is set after MIDI";

    const HeadlessLog& log = headless_log();
    EXPECT_EQ(log.title, "Colonnade4");
    EXPECT_EQ(log.window_width, 400);
    EXPECT_EQ(log.window_height, 600);
    EXPECT_EQ(log.window_x, (HEADLESS_SCREEN_WIDTH - 400) / 2);
    EXPECT_EQ(log.window_y, (HEADLESS_SCREEN_HEIGHT - 600) / 2);
    EXPECT_EQ(log.timer_period_ms, 50);
    EXPECT_EQ(log.icon_sizes, (std::vector<int>{16, 32, 48, 64, 128}));
    EXPECT_EQ(log.threads_at_screen_start, 1) << "the display's start may fork: no other thread may run then";
    EXPECT_EQ(game.game_over, 1);
    EXPECT_EQ(game.hover_zone, ZONE_NONE);
    EXPECT_EQ(game.current_level, 0);
    EXPECT_EQ(game.banner_step, 10);

    // The first repaint applied the rounded shape and showed the view.
    ASSERT_TRUE(run_script());
    EXPECT_EQ(log.shape_count, 1);
    EXPECT_EQ(log.shape_corner_width, 100);
    EXPECT_EQ(log.shape_corner_height, 100);
    int w = 0, h = 0;
    const uint32_t* backdrop = sprite_pixels(SPRITE_BACKDROP, &w, &h);
    for (int y = 0; y < 600; y += 3)
        for (int x = 0; x < 400; x += 3) {
            const bool score_texts = x >= 250 && y >= 115 && y < 190;
            if (!score_texts) {
                ASSERT_EQ(shown_rgb(x, y), rgb_at(backdrop, w, x, y)) << x << "," << y;
            }
        }
    EXPECT_EQ(shown_rgb(360, 225), (Rgb{41, 171, 219})) << "the flat board beside the message area";
    EXPECT_EQ(shown_rgb(50, 225), shown_rgb(49, 224)) << "no turn disc before a level";
}

TEST_F(GameTest, StartUpSendsTheInstrumentsAfterTheOpen) {
    start();
    const std::vector<uint32_t> expected = {0x00C0, 0x0CC0, 0x0BC1, 0x37C2};
    EXPECT_EQ(midi.delivered_words(), expected);
}

TEST_F(GameTest, BoardIgnoresKeysAndClicksUntilALevelIsChosen) {
    start();
    headless_key(KEY_DIGIT_1 + 3);
    headless_key(KEY_NUMPAD_1 + 2);
    headless_click(200, 400);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN) + discs_on_board(CELL_CPU), 0);
    EXPECT_EQ(midi.messages.size(), 4u);
}

TEST_F(GameTest, NoScreenEndsSilentlyWithExitCodeZero) {
    headless_reset();
    headless_fail_screen(true);
    EXPECT_EQ(run_game(headless_backend(), &midi), 0);
    EXPECT_FALSE(headless_log().window_open);
    EXPECT_TRUE(headless_log().message_boxes.empty());
    EXPECT_EQ(midi.open_calls, 0);
}

TEST_F(GameTest, EveryWayOutEndsWithExitCodeZero) {
    // Escape, whatever the state of the game.
    headless_reset();
    headless_click(MOYEN_X, MOYEN_Y);
    headless_key(KEY_ESCAPE);
    headless_key(KEY_DIGIT_1);  // never reached
    EXPECT_EQ(run_game(headless_backend(), &midi), 0);
    EXPECT_TRUE(headless_log().shut_down);
    EXPECT_EQ(headless_log().script_ends, 0);
    EXPECT_EQ(headless_log().steps_left, 1);

    // The close cross, once the pointer has entered it.
    headless_reset();
    headless_click(360, 37);
    headless_key(KEY_DIGIT_1);
    EXPECT_EQ(run_game(headless_backend(), &midi), 0);
    EXPECT_EQ(headless_log().steps_left, 1);

    // A close request from the window manager.
    headless_reset();
    headless_close();
    headless_key(KEY_DIGIT_1);
    EXPECT_EQ(run_game(headless_backend(), &midi), 0);
    EXPECT_EQ(headless_log().steps_left, 1);
}

TEST_F(GameTest, MissingSoundDeviceShowsOneBoxAndTheGamePlaysSilently) {
    midi.fail_open = true;
    start();
    press_level(MOYEN_X, MOYEN_Y);
    for (int k = 0; k < 6; ++k)
        headless_key(KEY_DIGIT_1 + k);
    ASSERT_TRUE(run_script());
    ASSERT_EQ(headless_log().message_boxes.size(), 1u);
    EXPECT_EQ(headless_log().message_boxes[0].caption, "Problème");
    EXPECT_EQ(headless_log().message_boxes[0].text, "Impossible d'ouvrir le périphérique MIDI");
    EXPECT_TRUE(midi.messages.empty());
    EXPECT_GT(discs_on_board(CELL_HUMAN), 0);
}

TEST_F(GameTest, RepaintRedrawsTheViewWithoutTheBanner) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    headless_idle_ms(1000);  // the banner blinks
    ASSERT_TRUE(run_script());
    const int shapes = headless_log().shape_count;
    headless_event(EV_PAINT);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(headless_log().shape_count, shapes + 1);
    int w = 0, h = 0;
    const uint32_t* backdrop = sprite_pixels(SPRITE_BACKDROP, &w, &h);
    for (int y = 200; y < 250; y += 7)
        for (int x = 100; x < 350; x += 7)
            EXPECT_EQ(shown_rgb(x, y), rgb_at(backdrop, w, x, y)) << x << "," << y;
}

}  // namespace
