// The event loop through the headless backend: hover, presses and keys, as
// the pointer and the keyboard reach the game.
#include "game_fixture.h"

#include "game/hot_zones.h"
#include "rules/search.h"

namespace {

TEST_F(GameTest, HoverEntersButtonsLightsThemAndLeavesThroughTheGaps) {
    start();
    ASSERT_TRUE(run_script());
    const HeadlessLog& log = headless_log();

    headless_move(NOVICE_X, NOVICE_Y);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_NOVICE);
    EXPECT_EQ(log.cursor, CURSOR_HAND);
    EXPECT_EQ(shown_rgb(40, 100), (Rgb{80, 80, 255})) << "bright look";

    headless_move(80, 111);  // the gap between "Novice" and "Moyen"
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_NONE);
    EXPECT_EQ(log.cursor, CURSOR_ARROW);
    EXPECT_EQ(shown_rgb(40, 100), (Rgb{80, 80, 208})) << "dim look again";

    // Straight from "Maître" up into "Moyen": Moyen comes earlier in the
    // list, so it is entered only on the next move.
    headless_move(MAITRE_X, MAITRE_Y);
    headless_move(MOYEN_X, MOYEN_Y);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_NONE);
    headless_move(MOYEN_X, MOYEN_Y + 1);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_MOYEN);

    // Straight from "Moyen" down to the board: the board comes later, so it
    // is entered in the same move.
    headless_move(200, 400);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_BOARD);
    EXPECT_EQ(log.cursor, CURSOR_HAND);

    // Outside the window: in no zone.
    headless_move(-5, 300);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_NONE);
}

TEST_F(GameTest, CloseCrossTurnsRedWhileHovered) {
    start();
    ASSERT_TRUE(run_script());
    headless_move(360, 37);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.hover_zone, ZONE_CLOSE);
    EXPECT_EQ(shown_rgb(360, 37), (Rgb{192, 32, 32}));
    headless_move(300, 37);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(shown_rgb(360, 37), (Rgb{32, 32, 32}));
    EXPECT_EQ(headless_log().cursor, CURSOR_ARROW);
}

TEST_F(GameTest, PressActsOnTheLastHoverNotOnWhereThePointerIs) {
    start();
    // The pointer is over "Moyen" but no move has entered it: the press drags.
    headless_set_pointer(MOYEN_X, MOYEN_Y);
    headless_press();
    ASSERT_TRUE(run_script());
    EXPECT_EQ(headless_log().drag_count, 1);
    EXPECT_EQ(game.game_over, 1);

    // A press on a zone never drags; outside every zone it does.
    headless_click(MOYEN_X, MOYEN_Y);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(headless_log().drag_count, 1);
    EXPECT_EQ(game.current_level, LEVEL_MOYEN);
    EXPECT_EQ(game.game_over, 0);
    headless_click(200, 20);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(headless_log().drag_count, 2);
}

TEST_F(GameTest, BoardPressUsesThePointersXWhenHandled) {
    start(1001);
    press_level(MAITRE_X, MAITRE_Y);
    headless_move(60, 400);  // the board is hovered over column 0
    ASSERT_TRUE(run_script());
    // Where the pointer is when the press is handled; no move event comes
    // in between, so the board stays the hovered zone.
    const struct {
        int x;
        int column;  // -1: no disc
    } presses[] = {
        {345, 6},   // (345 - 30) / 50
        {29, 0},    // (29 - 30) / 50 truncates to 0
        {380, -1},  // (380 - 30) / 50 = 7: no column
        {-20, -1},  // outside the window x reads -1: no column either
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.x);
        const int humans = discs_on_board(CELL_HUMAN), cpus = discs_on_board(CELL_CPU);
        const int landing_row = p.column >= 0 ? count_free_cells(&game.game_board, p.column) - 1 : 0;
        headless_set_pointer(p.x, 400);
        headless_press();
        ASSERT_TRUE(run_script());
        if (p.column < 0) {
            EXPECT_EQ(discs_on_board(CELL_HUMAN), humans);
            EXPECT_EQ(discs_on_board(CELL_CPU), cpus);
        } else {
            EXPECT_EQ(game.game_board.cells[cell_index(p.column, landing_row)], CELL_HUMAN);
            EXPECT_EQ(discs_on_board(CELL_CPU), cpus + 1) << "the computer replied";
        }
    }
}

TEST_F(GameTest, DigitRowAndKeypadPlayTheSameColumn) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    const int humans = discs_on_board(CELL_HUMAN);
    headless_key(KEY_DIGIT_1 + 3);
    headless_key(KEY_NUMPAD_1 + 3);
    headless_key(0x38);  // "8": no column
    headless_key(0x60);  // keypad 0
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN), humans + 2);
    EXPECT_EQ(count_free_cells(&game.game_board, 3) <= 4, true);
    int in_column_3 = 0;
    for (int row = 0; row < BOARD_ROWS; ++row)
        in_column_3 += game.game_board.cells[cell_index(3, row)] == CELL_HUMAN;
    EXPECT_EQ(in_column_3, 2);
}

TEST_F(GameTest, KeyForAFullColumnDoesNothing) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    set_board({"hchchc", "", "c"});
    game.turn_marker = CELL_HUMAN;
    const size_t words = midi.messages.size();
    const int presents = headless_log().present_count;
    headless_key(KEY_DIGIT_1);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(midi.messages.size(), words);
    EXPECT_EQ(headless_log().present_count, presents);
    EXPECT_EQ(discs_on_board(CELL_HUMAN), 3);
}

TEST_F(GameTest, DoubleClickOnTheBoardPlaysOneDisc) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    const int humans = discs_on_board(CELL_HUMAN);
    headless_move(200, 400);
    headless_double_click();
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN), humans + 1);
}

TEST_F(GameTest, KeyPressedWhileTheComputerRepliesIsPlayedAfterIt) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    const int humans = discs_on_board(CELL_HUMAN);
    const uint64_t now_ms = headless_log().clock_us / 1000;
    headless_key(KEY_DIGIT_1);
    // Pressed while the first disc is still falling.
    headless_at_ms(now_ms + 120, [] { headless_key(KEY_DIGIT_1 + 6); });
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN), humans + 2);
    EXPECT_EQ(game.game_board.cells[cell_index(6, 5)], CELL_HUMAN);
}

TEST_F(GameTest, KeyPressedDuringAWinningReplyIsIgnoredOnceTheGameHasEnded) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    // The computer completes column 0 on its reply, whatever the human plays.
    set_board({"ccc", "", "", "", "", "h", "hh"});
    game.turn_marker = CELL_HUMAN;
    const uint64_t now_ms = headless_log().clock_us / 1000;
    headless_key(KEY_DIGIT_1 + 4);
    headless_at_ms(now_ms + 400, [] { headless_key(KEY_DIGIT_1 + 3); });  // during the animations
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.cpu_won, 1);
    EXPECT_EQ(discs_on_board(CELL_HUMAN), 4) << "only the move before the reply";
    EXPECT_EQ(count_free_cells(&game.game_board, 3), 6);
}

TEST_F(GameTest, HeldDigitKeyPlaysTheColumnAgainOnEveryRepeat) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    const int humans = discs_on_board(CELL_HUMAN);
    for (int repeat = 0; repeat < 3; ++repeat)
        headless_key(KEY_DIGIT_1 + 5);
    ASSERT_TRUE(run_script());
    int in_column_5 = 0;
    for (int row = 0; row < BOARD_ROWS; ++row)
        in_column_5 += game.game_board.cells[cell_index(5, row)] == CELL_HUMAN;
    EXPECT_EQ(discs_on_board(CELL_HUMAN), humans + 3);
    EXPECT_EQ(in_column_5, 3);
}

}  // namespace
