// The event loop through the headless backend: games one after another,
// who opens each, a level chosen mid-game, and a whole game to its result.
#include "game_fixture.h"

#include <array>

#include "platform/random.h"
#include "rules/search.h"

namespace {

TEST_F(GameTest, LevelPressMidGameStartsAfreshAndKeepsTheScores) {
    start();
    press_level(MOYEN_X, MOYEN_Y);
    headless_key(KEY_DIGIT_1 + 2);
    ASSERT_TRUE(run_script());
    game.human_wins = 3, game.cpu_wins = 2, game.draw_count = 1;
    headless_move(MAITRE_X, MAITRE_Y);
    headless_press();
    ASSERT_TRUE(run_script());
    EXPECT_EQ(game.current_level, LEVEL_MAITRE);
    EXPECT_EQ(game.game_over, 0);
    EXPECT_LE(discs_on_board(CELL_HUMAN) + discs_on_board(CELL_CPU), 1);
    EXPECT_EQ(game.human_wins, 3);
    EXPECT_EQ(game.cpu_wins, 2);
    EXPECT_EQ(game.draw_count, 1);
}

TEST_F(GameTest, OpenerIsDrawnOnceThenAlternatesWhateverTheResults) {
    for (uint64_t seed_ms : {1000u, 1001u, 1002u, 1003u}) {
        start(seed_ms);
        std::vector<int8_t> openers;
        for (int round = 0; round < 4; ++round) {
            press_level(NOVICE_X, NOVICE_Y);
            headless_move(200, 20);  // leave the button, so the next press re-enters it
            openers.push_back(discs_on_board(CELL_CPU) == 1 ? CELL_CPU : CELL_HUMAN);
            // Play the game out (or not at all in round 1): the result must not matter.
            for (int move = 0; round != 1 && move < 30 && game.game_over == 0; ++move) {
                for (int c = 0; c < BOARD_COLUMNS; ++c) {
                    if (count_free_cells(&game.game_board, c) > 0) {
                        headless_key(KEY_DIGIT_1 + c);
                        break;
                    }
                }
                ASSERT_TRUE(run_script());
            }
            if (round != 1) {
                EXPECT_EQ(game.game_over, 1);
            }
        }
        for (int round = 1; round < 4; ++round)
            EXPECT_NE(openers[round], openers[round - 1]) << "seed " << seed_ms << " round " << round;
        EXPECT_EQ(game.human_wins + game.cpu_wins + game.draw_count, 3);
        shut_down_game();
    }
}

// The first game's opener: the computer opens exactly when the number
// drawn from 0 to 100 is below 50. The clock at start-up seeds the draw;
// these clocks give the draws at both ends and on both sides of 50 (at
// 1210 ms the 50 lies just under half way, where a draw from 0 to 99
// would give 49).
TEST_F(GameTest, FirstOpenerIsTheComputerExactlyWhenTheDrawIsBelowFifty) {
    const struct {
        uint64_t clock_ms;
        int32_t drawn;
        int8_t opener;
    } cases[] = {{1074, 0, CELL_CPU}, {1191, 49, CELL_CPU}, {1077, 50, CELL_HUMAN},
                   {1210, 50, CELL_HUMAN}, {1112, 100, CELL_HUMAN}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "clock " << c.clock_ms << " ms, drawn " << c.drawn);
        seed_random(uint32_t(c.clock_ms));
        ASSERT_EQ(random_upto(100), c.drawn) << "the table's draw";
        start(c.clock_ms);
        press_level(NOVICE_X, NOVICE_Y);
        EXPECT_EQ(discs_on_board(CELL_CPU), c.opener == CELL_CPU ? 1 : 0);
        EXPECT_EQ(discs_on_board(CELL_HUMAN), 0);
        if (c.opener == CELL_CPU) {
            EXPECT_EQ(game.game_board.cells[cell_index(3, 5)], CELL_CPU);
        }
        EXPECT_EQ(game.turn_marker, CELL_HUMAN);
        EXPECT_EQ(game.next_starter, c.opener == CELL_CPU ? CELL_HUMAN : CELL_CPU) << "the next game's opener";
        shut_down_game();
    }
}

// A new game forgets the last one: the second game at "Novice", opened by
// the computer after a finished first game, plays move for move as the
// first game of a fresh start that the computer opens, the computer's
// replies (deeper for its first three searches at this level) included.
TEST_F(GameTest, SecondGameAfterAFinishedOnePlaysAsAFirstGame) {
    struct Step {
        std::array<int8_t, BOARD_CELLS> cells;
        int8_t turn_marker, human_won, cpu_won, game_drawn, computer_move_count;
        int32_t game_over;
        std::vector<uint32_t> board_pixels;  // what the player sees of the board
        bool operator==(const Step&) const = default;
    };
    auto snapshot = [] {
        Step step{};
        std::copy(std::begin(game.game_board.cells), std::end(game.game_board.cells), step.cells.begin());
        step.turn_marker = game.turn_marker, step.human_won = game.human_won, step.cpu_won = game.cpu_won;
        step.game_drawn = game.game_drawn, step.computer_move_count = game.computer_move_count;
        step.game_over = game.game_over;
        const HeadlessLog& log = headless_log();
        step.board_pixels.assign(log.last_frame.begin() + 250 * log.frame_width, log.last_frame.end());
        return step;
    };
    // The human takes the first column with room in this order, over and over.
    constexpr int ORDER[] = {2, 4, 6, 0, 1, 5, 3};
    auto play_out = [&](std::vector<Step>* steps) {
        for (int move = 0; move < 21 && game.game_over == 0; ++move) {
            int column = ORDER[move % 7];
            while (count_free_cells(&game.game_board, column) == 0)
                column = (column + 1) % BOARD_COLUMNS;
            headless_key(KEY_DIGIT_1 + column);
            ASSERT_TRUE(run_script());
            if (steps) steps->push_back(snapshot());
        }
        ASSERT_EQ(game.game_over, 1);
    };

    // A fresh start whose first game the computer opens (draw 49).
    std::vector<Step> first;
    start(1191);
    press_level(NOVICE_X, NOVICE_Y);
    ASSERT_EQ(discs_on_board(CELL_CPU), 1);
    first.push_back(snapshot());
    play_out(&first);
    shut_down_game();

    // The human opens the first game (draw 50), which ends one way or
    // another after at least four searches; then the second game.
    const struct {
        const char* ending;
        std::vector<std::string> last_position;  // set before the last key; none: played out
        int last_column;
    } endings[] = {{"computer win", {}, 0},
                   {"human win", {"h", "h", "h", "", "c", "c"}, 3},
                   {"draw", draw_board_leaving({6}), 6}};
    for (const auto& e : endings) {
        SCOPED_TRACE(e.ending);
        start(1077);
        press_level(NOVICE_X, NOVICE_Y);
        ASSERT_EQ(discs_on_board(CELL_CPU), 0);
        if (e.last_position.empty()) {
            play_out(nullptr);
        } else {
            for (int move = 0; move < 4; ++move) {
                headless_key(KEY_DIGIT_1 + move);
                ASSERT_TRUE(run_script());
            }
            ASSERT_EQ(game.game_over, 0);
            set_board(e.last_position);
            headless_key(KEY_DIGIT_1 + e.last_column);
            ASSERT_TRUE(run_script());
        }
        ASSERT_EQ(game.human_wins + game.cpu_wins + game.draw_count, 1);
        ASSERT_EQ(game.cpu_wins, e.ending[0] == 'c' ? 1 : 0);
        ASSERT_EQ(game.human_wins, e.ending[0] == 'h' ? 1 : 0);
        ASSERT_GE(game.computer_move_count, 4) << "the first game used up the deeper searches";
        headless_move(200, 20);
        press_level(NOVICE_X, NOVICE_Y);
        std::vector<Step> second = {snapshot()};
        play_out(&second);
        shut_down_game();

        ASSERT_EQ(second.size(), first.size());
        for (size_t k = 0; k < first.size(); ++k)
            EXPECT_TRUE(second[k] == first[k]) << "after human move " << k;
    }
}

TEST_F(GameTest, WholeGameThroughTheLoopEndsWithOneCountedResult) {
    start(4242);
    press_level(MAITRE_X, MAITRE_Y);
    // The human plays the leftmost column with room until the game ends.
    for (int move = 0; move < 30 && game.game_over == 0; ++move) {
        for (int c = 0; c < BOARD_COLUMNS; ++c)
            if (count_free_cells(&game.game_board, c) > 0) {
                headless_key(KEY_DIGIT_1 + c);
                break;
            }
        ASSERT_TRUE(run_script());
    }
    ASSERT_EQ(game.game_over, 1);
    EXPECT_EQ(game.human_won + game.cpu_won + game.game_drawn, 1);
    EXPECT_EQ(game.human_wins + game.cpu_wins + game.draw_count, 1);
    EXPECT_EQ(game.turn_marker, 0);
    // Keys after the end do nothing.
    const int discs = discs_on_board(CELL_HUMAN) + discs_on_board(CELL_CPU);
    headless_key(KEY_DIGIT_1 + 6);
    ASSERT_TRUE(run_script());
    EXPECT_EQ(discs_on_board(CELL_HUMAN) + discs_on_board(CELL_CPU), discs);
}

}  // namespace
