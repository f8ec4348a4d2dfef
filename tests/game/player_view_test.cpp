// What reaches the player, through the event loop: at the end of each kind
// of game the banner on screen, the score panel's texts in their places and
// the MIDI words with their times; and the zones and keys start-up wires.
#include "game_fixture.h"

#include <array>
#include <cstdlib>
#include <utility>

#include "game/hot_zones.h"
#include "platform/record_list.h"
#include "testing/score_panel.h"

namespace {

constexpr uint32_t note_word(int status, int key) { return 0x7F0000u | uint32_t(status) | uint32_t(key) << 8; }
constexpr int RANDOM_KEY = -1;  // the computer's tune: any key from 80 to 100

// The score panel: the six texts and the rows around them.
constexpr int PANEL_LEFT = 200, PANEL_TOP = 110, PANEL_BOTTOM = 200;

std::vector<uint32_t> panel_of(const uint32_t* pixels) {
    std::vector<uint32_t> panel;
    for (int y = PANEL_TOP; y < PANEL_BOTTOM; ++y)
        panel.insert(panel.end(), pixels + y * WINDOW_WIDTH + PANEL_LEFT, pixels + (y + 1) * WINDOW_WIDTH);
    return panel;
}

std::vector<uint32_t> expected_panel(const std::array<std::string, 6>& texts) {
    draw_expected_score_panel(texts);
    return panel_of(screen_pixels());
}

// Pixels of the message area farther than 8 in a channel from the banner.
int off_banner_pixels(SpriteId banner) {
    int w = 0, h = 0;
    const uint32_t* sprite = sprite_pixels(banner, &w, &h);
    int off = 0;
    for (int y = 0; y < MESSAGE_AREA_HEIGHT; ++y)
        for (int x = 0; x < MESSAGE_AREA_WIDTH; ++x) {
            const Rgb shown = shown_rgb(MESSAGE_AREA_X + x, MESSAGE_AREA_Y + y), want = rgb_at(sprite, w, x, y);
            off += std::abs(shown.r - want.r) > 8 || std::abs(shown.g - want.g) > 8 || std::abs(shown.b - want.b) > 8;
        }
    return off;
}

struct Ending {
    const char* name;
    std::vector<std::string> board;  // bottom-up, before the human's last disc
    int column;                      // the human's last disc
    int frames;                      // its fall: column + landing row + 2
    int cpu_frames;                  // the computer's reply, 0 when there is none
    SpriteId banner;
    std::array<std::string, 6> panel;  // counts, then truncated percentages
    int channel;
    std::vector<int> keys;
    int first_pause_ms, pause_step_ms;
};

TEST_F(GameTest, EachEndingShowsItsBannerItsScoresAndPlaysItsTune) {
    const std::vector<int> random11(11, RANDOM_KEY);
    // One ending to a row.
    // clang-format off
    const Ending endings[] = {
        {"human wins", {"c", "c", "h", "h", "h", "", "c"}, 5, 12, 0, SPRITE_BANNER_WON,
         {"1", "0", "0", "100 %", "0 %", "0 %"}, 2, {74, 74, 74}, 200, 0},
        {"human wins again", {"c", "c", "h", "h", "h", "", "c"}, 5, 12, 0, SPRITE_BANNER_WON,
         {"2", "0", "0", "100 %", "0 %", "0 %"}, 2, {74, 74, 74}, 200, 0},
        {"computer wins", {"ccc", "", "", "", "", "h", "hh"}, 4, 11, 4, SPRITE_BANNER_LOST,
         {"2", "1", "0", "66 %", "33 %", "0 %"}, 1, random11, 200, -10},
        {"draw", draw_board_leaving({6}), 6, 8, 0, SPRITE_BANNER_DRAW,
         {"2", "1", "1", "50 %", "25 %", "25 %"}, 2, {64, 65, 66, 67, 68, 69}, 200, 0},
    };
    // clang-format on
    start();
    press_level(MOYEN_X, MOYEN_Y);
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.name);
        set_board(ending.board);
        game.game_over = game.human_won = game.cpu_won = game.game_drawn = 0;
        game.turn_marker = CELL_HUMAN;
        game.banner_alpha = 250;  // the tick after the tune shows the banner at full strength
        game.banner_step = -10;
        std::vector<std::pair<uint32_t, std::vector<uint32_t>>> shown;  // time and panel of each present
        headless_on_present(
            [&](const uint32_t* pixels, int, int) { shown.emplace_back(tick_count_ms(), panel_of(pixels)); });
        const size_t first = midi.messages.size();
        headless_key(KEY_DIGIT_1 + ending.column);
        ASSERT_TRUE(run_script());
        headless_on_present(nullptr);

        // The click of each disc once it has landed: the human's 50 ms after
        // each of its frames, the computer's after its own frames.
        const size_t clicks = ending.cpu_frames ? 4 : 2;
        const std::vector<RecordedMessage>& m = midi.messages;
        ASSERT_EQ(m.size(), first + clicks + 2 * ending.keys.size());
        for (size_t k = 0; k < clicks; ++k)
            EXPECT_EQ(m[first + k].word, k % 2 ? 0x7F4A90u : 0x7F4A80u);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(m[first].time_ms - shown.front().first, 50u * ending.frames);
        if (ending.cpu_frames) {
            EXPECT_GE(m[first + 2].time_ms - m[first].time_ms, 50u * ending.cpu_frames);
            EXPECT_LT(m[first + 2].time_ms - m[first].time_ms, 50u * ending.cpu_frames + 50);
        }
        // The tune: its notes and pauses, started once the final board is shown.
        const size_t tune = first + clicks;
        uint32_t at = m[tune].time_ms;
        for (size_t k = 0; k < ending.keys.size(); ++k) {
            int key = ending.keys[k];
            if (key == RANDOM_KEY) {
                key = int(m[tune + 2 * k].word >> 8 & 0xFF);
                EXPECT_TRUE(key >= 80 && key <= 100) << key;
            }
            EXPECT_EQ(m[tune + 2 * k].word, note_word(0x80 | ending.channel, key)) << "note " << k;
            EXPECT_EQ(m[tune + 2 * k + 1].word, note_word(0x90 | ending.channel, key)) << "note " << k;
            EXPECT_EQ(m[tune + 2 * k].time_ms, at) << "note " << k;
            at += ending.first_pause_ms + ending.pause_step_ms * int(k);
        }
        const std::vector<uint32_t> panel = expected_panel(ending.panel);
        size_t at_tune = 0;
        while (at_tune + 1 < shown.size() && shown[at_tune + 1].first <= m[tune].time_ms)
            ++at_tune;
        EXPECT_TRUE(shown[at_tune].second == panel) << "the scores are shown before the tune";
        EXPECT_TRUE(panel_of(headless_log().last_frame.data()) == panel);
        EXPECT_EQ(off_banner_pixels(ending.banner), 0);
    }
}

TEST_F(GameTest, StartUpRegistersTheFiveZonesInTheirOrder) {
    start();
    std::vector<std::array<int32_t, 5>> zones;
    list_rewind(hot_zones);
    while (const auto* z = static_cast<const HotZone*>(list_next(hot_zones)))
        zones.push_back({z->id, z->left, z->top, z->right, z->bottom});
    const std::vector<std::array<int32_t, 5>> expected = {
        {16, 30, 80, 130, 110}, {17, 30, 115, 130, 145}, {18, 30, 150, 130, 180},
        {20, 350, 27, 370, 47}, {19, 30, 255, 370, 555},
    };
    EXPECT_EQ(zones, expected);
}

TEST_F(GameTest, OnlyDigitsAndKeypadOneToSevenPlayAColumn) {
    start();
    press_level(NOVICE_X, NOVICE_Y);
    for (int32_t key = 0; key < 256; ++key) {
        if (key == KEY_ESCAPE) continue;
        int expected = -1;
        if (key >= 0x31 && key <= 0x37) expected = key - 0x31;
        if (key >= 0x61 && key <= 0x67) expected = key - 0x61;
        set_board({});
        game.turn_marker = CELL_HUMAN;
        headless_key(key);
        ASSERT_TRUE(run_script());
        int played = -1;
        for (int column = 0; column < BOARD_COLUMNS; ++column)
            if (game.game_board.cells[cell_index(column, BOARD_ROWS - 1)] == CELL_HUMAN) played = column;
        EXPECT_EQ(played, expected) << "key 0x" << std::hex << key;
    }
}

}  // namespace
