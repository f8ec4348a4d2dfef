// The real game in a real window on a private Xvfb, driven the way a person
// drives it and checked by screenshot pixels: its window, its icon, its
// play by presses and keys, double clicks, and its ways out.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <string>
#include <vector>

#include "game/hot_zones.h"
#include "platform/window.h"
#include "support/game_outline.h"
#include "game_e2e_fixture.h"

namespace {

using namespace game_e2e;

TEST_F(GameE2E, WindowIsCentredRoundedAndShowsTheBoardWithoutBannerOrTurnDisc) {
    EXPECT_EQ(window.width, 400);
    EXPECT_EQ(window.height, 600);
    EXPECT_EQ(window.x, 1280 / 2 - 200);
    EXPECT_EQ(window.y, 1024 / 2 - 300);
    // Outside the rounded corners the root shows; inside, the backdrop.
    EXPECT_EQ(pixel(0, 0), ROOT_COLOUR);
    EXPECT_EQ(pixel(398, 598), ROOT_COLOUR);
    EXPECT_EQ(pixel(0, 300), 0xA0A0FFu) << "column 0 is never shaded";
    const e2e::Image shot = x->screenshot({window.x, window.y, 400, 600});
    int differing = 0;
    for (int y = 50; y < 550; ++y)
        for (int wx = 0; wx < 399; ++wx) {
            const bool score_texts = wx >= 250 && y >= 115 && y < 190;
            if (!score_texts && shot.at(wx, y) != expected_art().at(wx, y)) ++differing;
        }
    EXPECT_EQ(differing, 0) << dump("backdrop");
    // No turn disc and no banner before a level is chosen.
    EXPECT_EQ(pixel(50, 225), expected_art().at(50, 225));
    EXPECT_EQ(pixel(225, 225), expected_art().at(225, 225));
}

TEST_F(GameE2E, AsksForNoFrameEvenBeforeAnyWindowManagerHasRun) {
    // No window manager runs here; one started later must still leave the
    // window unframed, which it learns from this hint alone.
    const auto id = x->find_window("Colonnade4");
    ASSERT_TRUE(id);
    const std::vector<unsigned long> hints = x->window_cardinals(*id, "_MOTIF_WM_HINTS");
    ASSERT_GE(hints.size(), 3u) << "no borderless hint on the window";
    EXPECT_TRUE(hints[0] & 2u) << "the hint's decorations field is in use";
    EXPECT_EQ(hints[2], 0u) << "no decorations";
}

TEST_F(GameE2E, IconOffersFiveSizesWithTransparentCornersAndAnOpaqueMiddle) {
    const auto id = x->find_window("Colonnade4");
    ASSERT_TRUE(id);
    std::vector<unsigned long> icon;
    ASSERT_TRUE(e2e::wait_until([&] { return !(icon = x->window_cardinals(*id, "_NET_WM_ICON")).empty(); }));
    // The property is width, height, then width * height ARGB pixels, again
    // for each size.
    std::vector<int> sizes;
    for (size_t at = 0; at + 2 <= icon.size();) {
        const size_t w = icon[at], h = icon[at + 1];
        ASSERT_EQ(w, h);
        ASSERT_LE(at + 2 + w * h, icon.size());
        const auto argb = [&](size_t px, size_t py) { return icon[at + 2 + py * w + px] & 0xFFFFFFFFu; };
        EXPECT_EQ(argb(0, 0), 0u) << "size " << w << ": the corner shows what is behind";
        EXPECT_EQ(argb(w / 2, h / 2) >> 24, 0xFFu) << "size " << w << ": the middle is opaque";
        sizes.push_back(int(w));
        at += 2 + w * h;
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 64, 128}));
}

TEST_F(GameE2E, LevelPressStartsAGameAndADigitKeyDropsAHumanDiscAndTheComputerReplies) {
    start_moyen_game();
    const int cpu_before = cpu_discs_on_board();
    // Column 0 ("1") is empty whoever opened.
    x->tap_key(XK_1);
    ASSERT_TRUE(wait_for_pixel(50, 525, HUMAN_DISC_CENTRE)) << dump("human-disc");
    ASSERT_TRUE(e2e::wait_until([&] { return cpu_discs_on_board() == cpu_before + 1; })) << dump("cpu-disc");
    // The turn comes back to the human.
    ASSERT_TRUE(wait_for_pixel(50, 225, HUMAN_DISC_CENTRE)) << dump("turn-back");

    // The keypad plays the same way: keypad 7 drops into column 6.
    x->tap_keypad_digit(7);
    ASSERT_TRUE(e2e::wait_until([&] {
        for (int row = 5; row >= 0; --row)
            if (pixel(350, 275 + 50 * row) == HUMAN_DISC_CENTRE) return true;
        return false;
    })) << dump("keypad-disc");
}

// Double clicks are judged by when and where the presses happened, not by
// when the game, busy with a disc or a search, gets round to reading them.
// A second press 150 ms after the first comes while the game is already
// busy with what the first one started.
constexpr e2e::Millis QUICK_SECOND_PRESS{150};
constexpr int COLUMN_3_X = 200, BOARD_Y = 400, NOVICE_X = 80, NOVICE_Y = 95;

TEST_F(GameE2E, DoubleClickOnAColumnPlaysOneDisc) {
    start_moyen_game();
    const int cpu_before = cpu_discs_on_board();
    point_at(COLUMN_3_X, BOARD_Y);
    x->click_after(e2e::Millis{0});
    x->click_after(QUICK_SECOND_PRESS);
    // Key "1" afterwards marks the end: everything before it has been handled.
    x->tap_key(XK_1);
    ASSERT_TRUE(wait_for_rest(2, cpu_before + 2)) << dump("double-click-column");
    EXPECT_EQ(discs_on_board(HUMAN_DISC_CENTRE, 3, 3), 1) << dump("double-click-column");
}

TEST_F(GameE2E, TwoPressesASecondApartQueuedWhileBusyPlayTwoMoves) {
    start_moyen_game();
    const int cpu_before = cpu_discs_on_board();
    point_at(COLUMN_3_X, BOARD_Y);
    game.stop();
    x->click_after(e2e::Millis{0});
    x->click_after(e2e::Millis{1000});
    game.resume();
    ASSERT_TRUE(wait_for_rest(2, cpu_before + 2)) << dump("two-presses");
    EXPECT_EQ(discs_on_board(HUMAN_DISC_CENTRE, 3, 3), 2) << dump("two-presses");
}

TEST_F(GameE2E, DoubleClickOnALevelWhileTheOpeningDiscFallsStartsOneGame) {
    start_moyen_game();
    // Openers alternate: make the next game the computer's to open.
    if (cpu_discs_on_board() != 0) {
        x->click(window.x + 81, window.y + 131);
        ASSERT_TRUE(wait_for_rest(0, 0)) << dump("human-opens");
    }
    point_at(NOVICE_X, NOVICE_Y);
    x->click_after(e2e::Millis{0});
    x->click_after(QUICK_SECOND_PRESS);
    x->tap_key(XK_1);
    // One game, opened by the computer; a second would be the human's to
    // open and leave one computer disc after key "1".
    ASSERT_TRUE(wait_for_rest(1, 2)) << dump("double-click-level");
}

TEST_F(GameE2E, EscapeEndsTheGameWithExitCodeZero) {
    start_moyen_game();
    x->tap_key(XK_Escape);
    const auto status = game.wait_exit(e2e::Millis{5000});
    ASSERT_TRUE(status) << "still running";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST_F(GameE2E, CloseCrossEndsTheGame) {
    x->move_pointer(window.x + 359, window.y + 36);
    x->move_pointer(window.x + 360, window.y + 37);
    ASSERT_TRUE(wait_for_pixel(360, 37, 0xC02020u)) << dump("red-cross");
    x->click(window.x + 360, window.y + 37);
    const auto status = game.wait_exit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

}  // namespace
