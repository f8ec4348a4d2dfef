#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <ostream>
#include <vector>

#include "game/game_state.h"
#include "rules/evaluation.h"
#include "rules/search.h"
#include "test_boards.h"

namespace {

// One computer move through the game record, as the turn sequence makes it.
MoveAnalysis computer_move(const Board& board, int level, int count_before, int game_over = 0) {
    game = GameState{};
    game.game_board = board;
    game.current_level = level;
    game.computer_move_count = static_cast<int8_t>(count_before);
    game.game_over = game_over;
    return analyse_computer_move();
}

struct ReplyCase {
    const char* what;
    std::vector<int> moves;  // columns 0 to 6, the human first
    int level;
    int count_before;
    std::optional<std::array<int32_t, BOARD_COLUMNS>> values;
    int column;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.what; }

class ComputerReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(ComputerReply, CandidateValuesAndChosenColumn) {
    const ReplyCase& c = GetParam();
    Board board{};
    for (size_t i = 0; i < c.moves.size(); ++i)
        drop_disc(&board, i % 2 ? CELL_CPU : CELL_HUMAN, c.moves[i]);

    const MoveAnalysis analysis = computer_move(board, c.level, c.count_before);
    if (c.values) {
        for (int column = 0; column < BOARD_COLUMNS; ++column) {
            EXPECT_EQ(analysis.kind[column], CANDIDATE_VALUE) << "column " << column;
            EXPECT_EQ(analysis.value[column], (*c.values)[column]) << "column " << column;
        }
    }
    EXPECT_EQ(analysis.column, c.column);
    EXPECT_EQ(game.computer_move_count, c.count_before + 1);
    EXPECT_EQ(std::memcmp(&game.game_board, &board, sizeof board), 0) << "the search wrote the game board";

    game = GameState{};
    game.game_board = board;
    game.current_level = c.level;
    game.computer_move_count = static_cast<int8_t>(c.count_before);
    EXPECT_EQ(choose_computer_move(), c.column);
}

using Values = std::array<int32_t, BOARD_COLUMNS>;
const std::vector<int> CENTRE_FIGHT = {3, 3, 2, 2, 3, 4, 3};

INSTANTIATE_TEST_SUITE_P(
    Search, ComputerReply,
    testing::Values(
        ReplyCase{"moyen_after_column5", {5}, LEVEL_MOYEN, 0, Values{-27, -24, -20, -18, -18, -20, -25}, 4},
        ReplyCase{
            "novice_first_move_after_column5", {5}, LEVEL_NOVICE, 0, Values{-27, -24, -20, -18, -18, -20, -25}, 4},
        ReplyCase{"moyen_after_column1", {1}, LEVEL_MOYEN, 0, Values{-25, -20, -18, -18, -20, -24, -27}, 3},
        ReplyCase{
            "novice_first_move_after_column1", {1}, LEVEL_NOVICE, 0, Values{-25, -20, -18, -18, -20, -24, -27}, 3},
        ReplyCase{"maitre_after_column3", {3}, LEVEL_MAITRE, 0, Values{-9, -7, -3, 0, -3, -7, -9}, 3},
        ReplyCase{"maitre_after_column0", {0}, LEVEL_MAITRE, 0, Values{9, 9, 3, 10, 3, 9, 6}, 3},
        ReplyCase{"novice_fourth_move_at_depth2", CENTRE_FIGHT, LEVEL_NOVICE, 3,
                  Values{-22, -23, -3, -4, -11, -25, -25}, 2},
        ReplyCase{"moyen_same_position", CENTRE_FIGHT, LEVEL_MOYEN, 3, std::nullopt, 3},
        ReplyCase{"novice_third_move_still_at_depth3", CENTRE_FIGHT, LEVEL_NOVICE, 2, std::nullopt, 3},
        // The human threatens row 5 at column 3: every other candidate is lost at once.
        ReplyCase{"block_the_only_threat", {0, 0, 1, 1, 2}, LEVEL_MOYEN, 2, std::nullopt, 3},
        // An open three in row 5 can be blocked on one side only: all candidates are -100
        // and the highest column wins the tie.
        ReplyCase{"lost_anyway_plays_highest",
                  {1, 1, 2, 2, 3},
                  LEVEL_MAITRE,
                  2,
                  Values{-100, -100, -100, -100, -100, -100, -100},
                  6}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.what); });

TEST(Search, BlockingCandidateIsTheOnlyOneAboveALoss) {
    const Board board = board_from_moves({0, 0, 1, 1, 2});
    const MoveAnalysis analysis = computer_move(board, LEVEL_MOYEN, 2);
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        ASSERT_EQ(analysis.kind[column], CANDIDATE_VALUE);
        if (column == 3)
            EXPECT_GT(analysis.value[column], -SCORE_WIN);
        else
            EXPECT_EQ(analysis.value[column], -SCORE_WIN) << "column " << column;
    }
}

// "Novice" searches like "Moyen" for its first three chosen moves of a game.
TEST(Search, NoviceMatchesMoyenForItsFirstThreeMoves) {
    for (const std::vector<int>& moves : {std::vector<int>{3}, std::vector<int>{6}, CENTRE_FIGHT}) {
        Board board{};
        for (size_t i = 0; i < moves.size(); ++i)
            drop_disc(&board, i % 2 ? CELL_CPU : CELL_HUMAN, moves[i]);
        for (int count_before = 0; count_before <= 3; ++count_before) {
            const MoveAnalysis novice = computer_move(board, LEVEL_NOVICE, count_before);
            const MoveAnalysis moyen = computer_move(board, LEVEL_MOYEN, count_before);
            const MoveAnalysis depth2 = analyse_board(&board, 2);
            const MoveAnalysis& expected = count_before < 3 ? moyen : depth2;
            EXPECT_EQ(novice.depth, count_before < 3 ? 3 : 2);
            EXPECT_EQ(novice.column, expected.column) << "count " << count_before;
            for (int column = 0; column < BOARD_COLUMNS; ++column)
                EXPECT_EQ(novice.value[column], expected.value[column]) << "count " << count_before;
        }
    }
}

TEST(Search, LowestOfTwoWinningColumnsIsPlayed) {
    const Board board = board_from_rows({".......", ".......", ".......", ".......", "...H...", ".CCC.HH"});
    const MoveAnalysis analysis = computer_move(board, LEVEL_MAITRE, 2);
    EXPECT_EQ(analysis.column, 0);
    EXPECT_EQ(analysis.kind[0], CANDIDATE_WIN);
    for (int column = 1; column < BOARD_COLUMNS; ++column)
        EXPECT_EQ(analysis.kind[column], CANDIDATE_UNTRIED) << "the search went on after a win";
}

// Full except the top of column 3; no line of four for either side, whoever fills it.
const std::array<std::string, BOARD_ROWS> ONE_CELL_LEFT = {"HHC.CHC", "CHCHCCC", "CHHCHHH",
                                                           "HCCCHCC", "HHCCCHH", "CHHHCCH"};

TEST(Search, LastColumnIsPlayedWithoutSearchAndStillCounts) {
    const Board board = board_from_rows(ONE_CELL_LEFT);
    for (int level : {LEVEL_NOVICE, LEVEL_MOYEN, LEVEL_MAITRE}) {
        game = GameState{};
        game.game_board = board;
        game.current_level = level;
        game.computer_move_count = 5;
        SearchCounts counts{1, 1};
        const MoveAnalysis analysis = analyse_computer_move(&counts);
        EXPECT_EQ(analysis.column, 3);
        EXPECT_EQ(analysis.kind[3], CANDIDATE_ONLY);
        EXPECT_EQ(counts.calls, 0) << "searched a forced move";
        EXPECT_EQ(game.computer_move_count, 6);
    }
}

TEST(Search, GameOverAnswersZeroAndLeavesTheCount) {
    // Column 0 is full: the answer is 0 all the same, as no search runs.
    const Board board = board_from_moves({0, 0, 0, 0, 0, 0, 3});
    const MoveAnalysis analysis = computer_move(board, LEVEL_MAITRE, 4, 1);
    EXPECT_EQ(analysis.column, 0);
    EXPECT_EQ(game.computer_move_count, 4);
    game.game_over = 1;
    EXPECT_EQ(choose_computer_move(), 0);
    EXPECT_EQ(game.computer_move_count, 4);
}

TEST(Search, NoColumnWithRoomGivesMinusOne) {
    Board board = board_from_rows(ONE_CELL_LEFT);
    drop_disc(&board, CELL_CPU, 3);
    EXPECT_EQ(analyse_board(&board, 3).column, -1);
}

// Filling the board with depth left is worth the node's start value: more
// than a win when the computer fills it, less than a loss when the human does.
TEST(Search, BoardFilledWithDepthLeft) {
    const Board board = board_from_rows(ONE_CELL_LEFT);
    struct Case {
        int side, depth, expected;
    };
    Board filled_by_cpu = board, filled_by_human = board;
    drop_disc(&filled_by_cpu, CELL_CPU, 3);
    drop_disc(&filled_by_human, CELL_HUMAN, 3);
    const int cpu_leaf = evaluate_board(&filled_by_cpu, CELL_CPU) - evaluate_board(&filled_by_cpu, CELL_HUMAN);
    const int human_leaf = evaluate_board(&filled_by_human, CELL_CPU) - evaluate_board(&filled_by_human, CELL_HUMAN);
    const Case cases[] = {
        {CELL_CPU, 2, SCORE_LIMIT},    {CELL_CPU, 4, SCORE_LIMIT}, {CELL_HUMAN, 2, -SCORE_LIMIT},
        {CELL_HUMAN, 3, -SCORE_LIMIT}, {CELL_CPU, 1, cpu_leaf},  // a full board reached with no depth left is evaluated
        {CELL_HUMAN, 1, human_leaf},
    };
    for (const Case& c : cases)
        EXPECT_EQ(search_value(&board, c.depth, c.side), c.expected) << "side " << c.side << " depth " << c.depth;
    EXPECT_EQ(search_value(&filled_by_cpu, 1, CELL_HUMAN), SCORE_LIMIT);
    EXPECT_EQ(search_value(&filled_by_cpu, 1, CELL_CPU), -SCORE_LIMIT);
    EXPECT_NE(cpu_leaf, SCORE_LIMIT);
}

// Leaf values are not confined to -100..100 and are compared unchanged: here
// the computer's best quiet move is worth more than a win would be, and the
// same board with the colours swapped is worse for the human than a loss.
TEST(Search, LeafValuesPastAWinAreComparedUnchanged) {
    const std::array<std::string, BOARD_ROWS> rows = {".......", ".......", "......C", "H.C...C", "CHCC.CH", "CCHC.HC"};
    std::array<std::string, BOARD_ROWS> swapped = rows;
    for (std::string& row : swapped)
        for (char& c : row)
            c = c == 'H' ? 'C' : c == 'C' ? 'H' : c;

    const Board board = board_from_rows(rows);
    int best_leaf = -SCORE_LIMIT;
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        Board child = board;
        if (!drop_disc(&child, CELL_CPU, column)) continue;
        ASSERT_EQ(has_four_in_row(&child, CELL_CPU), 0);
        best_leaf = std::max(best_leaf, evaluate_board(&child, CELL_CPU) - evaluate_board(&child, CELL_HUMAN));
    }
    ASSERT_GT(best_leaf, SCORE_WIN);
    EXPECT_EQ(search_value(&board, 1, CELL_CPU), best_leaf);
    const Board mirror = board_from_rows(swapped);
    EXPECT_EQ(search_value(&mirror, 1, CELL_HUMAN), -best_leaf);
}

// A completed line is worth exactly 100 however deep it lies.
TEST(Search, LinesAreWorthTheSameAtEveryDepth) {
    // The computer holds three in column 6 and moves: a win at once.
    const Board threat = board_from_rows({".......", ".......", ".......", "......C", "HH....C", "HH....C"});
    for (int depth = 1; depth <= 4; ++depth)
        EXPECT_EQ(search_value(&threat, depth, CELL_CPU), SCORE_WIN) << depth;
    // The human to move completes column 6, whatever the columns tried before offer.
    const Board human_threat = board_from_rows({".......", ".......", ".......", "......H", "C.....H", "CC....H"});
    for (int depth = 1; depth <= 4; ++depth)
        EXPECT_EQ(search_value(&human_threat, depth, CELL_HUMAN), -SCORE_WIN) << depth;
}

}  // namespace
