// The game's search against the plain minimax, on random positions: the same
// candidate values, the same column, the same amount of work.

#include <gtest/gtest.h>

#include <ostream>
#include <random>

#include "game/game_state.h"
#include "plain_search.h"
#include "rules/search.h"

namespace {

// How the random positions are made.
enum class Owners {
    Alternating,  // a real game: human and computer in turn
    Lopsided,     // three discs in four for one side: leaf values far past +-100
};

// A disc count for a random position; one in four near a full board.
int random_disc_count(std::mt19937& random) {
    return random() % 4 == 0 ? BOARD_CELLS - 8 + static_cast<int>(random() % 9)
                             : static_cast<int>(random() % BOARD_CELLS);
}

// Plays `discs` random moves. Most moves avoid completing a line so that
// crowded boards come up; when one does complete a line the position stops
// there, so boards that already hold a line are tried as well.
Board random_position(std::mt19937& random, int discs, Owners owners) {
    Board board{};
    int side = random() % 4 == 0 ? CELL_CPU : CELL_HUMAN;
    const int favoured = random() % 2 ? CELL_CPU : CELL_HUMAN;
    const int other = favoured == CELL_CPU ? CELL_HUMAN : CELL_CPU;
    for (int move = 0; move < discs; ++move) {
        if (owners == Owners::Lopsided) side = random() % 4 ? favoured : other;
        int quiet[BOARD_COLUMNS], open[BOARD_COLUMNS];
        int quiet_count = 0, open_count = 0;
        for (int column = 0; column < BOARD_COLUMNS; ++column) {
            Board copy = board;
            if (!drop_disc(&copy, side, column)) continue;
            open[open_count++] = column;
            if (!has_four_in_row(&copy, side)) quiet[quiet_count++] = column;
        }
        if (open_count == 0) break;
        const bool may_complete = quiet_count == 0 || random() % 64 == 0;
        const int column = may_complete ? open[random() % open_count] : quiet[random() % quiet_count];
        drop_disc(&board, side, column);
        if (has_four_in_row(&board, side)) break;
        side = side == CELL_HUMAN ? CELL_CPU : CELL_HUMAN;
    }
    return board;
}

// The quirks the random positions must have reached for the comparison to mean much.
struct Coverage {
    int winning_candidate = 0;
    int lost_candidate = 0;     // -100
    int filled_with_depth = 0;  // +-101
    int line_on_board = 0;
    int forced_column = 0;
    int full_column = 0;
};

void note(const Board& board, const MoveAnalysis& analysis, Coverage* coverage) {
    coverage->line_on_board += has_four_in_row(&board, CELL_HUMAN) || has_four_in_row(&board, CELL_CPU);
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        const int32_t value = analysis.value[column];
        coverage->winning_candidate += analysis.kind[column] == CANDIDATE_WIN;
        coverage->forced_column += analysis.kind[column] == CANDIDATE_ONLY;
        coverage->full_column += analysis.kind[column] == CANDIDATE_FULL;
        if (analysis.kind[column] != CANDIDATE_VALUE) continue;
        coverage->lost_candidate += value == -SCORE_WIN;
        coverage->filled_with_depth += value == SCORE_LIMIT || value == -SCORE_LIMIT;
    }
}

void expect_same_move(const Board& board, int level, int count_before, Coverage* coverage) {
    GameState state{};
    state.game_board = board;
    state.current_level = level;
    state.computer_move_count = static_cast<int8_t>(count_before);
    SearchCounts plain_counts{};
    const MoveAnalysis expected = plain_choose_computer_move(&state, &plain_counts);

    game = GameState{};
    game.game_board = board;
    game.current_level = level;
    game.computer_move_count = static_cast<int8_t>(count_before);
    SearchCounts counts{};
    const MoveAnalysis actual = analyse_computer_move(&counts);

    SCOPED_TRACE(testing::Message() << "level " << level << " count " << count_before);
    ASSERT_EQ(actual.column, expected.column);
    ASSERT_EQ(actual.depth, expected.depth);
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        ASSERT_EQ(int{actual.kind[column]}, int{expected.kind[column]}) << "column " << column;
        if (expected.kind[column] == CANDIDATE_VALUE) {
            ASSERT_EQ(actual.value[column], expected.value[column]) << "column " << column;
        }
    }
    ASSERT_EQ(counts.calls, plain_counts.calls);
    ASSERT_EQ(counts.leaves, plain_counts.leaves);
    ASSERT_EQ(game.computer_move_count, state.computer_move_count);
    note(board, expected, coverage);
}

struct LevelRun {
    const char* name;
    int level;
    int min_count, max_count;  // computer_move_count before the move
    int positions;
    Owners owners;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LevelRun& c, std::ostream* out) { *out << c.name; }

class SameAsPlainSearch : public testing::TestWithParam<LevelRun> {};

TEST_P(SameAsPlainSearch, OnRandomPositions) {
    const LevelRun& run = GetParam();
    std::mt19937 random(1234 + run.level * 10 + run.min_count);
    Coverage coverage;
    for (int i = 0; i < run.positions; ++i) {
        const Board board = random_position(random, random_disc_count(random), run.owners);
        const int count = run.min_count + static_cast<int>(random() % (run.max_count - run.min_count + 1));
        expect_same_move(board, run.level, count, &coverage);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(coverage.winning_candidate, 0);
    EXPECT_GT(coverage.lost_candidate, 0);
    EXPECT_GT(coverage.line_on_board, 0);
    EXPECT_GT(coverage.forced_column, 0);
    EXPECT_GT(coverage.full_column, 0);
    // Lopsided boards hold a line long before they fill up.
    if (run.owners == Owners::Alternating) {
        EXPECT_GT(coverage.filled_with_depth, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Search, SameAsPlainSearch,
    testing::Values(LevelRun{"novice_opening_depth3", LEVEL_NOVICE, 0, 2, 1500, Owners::Alternating},
                    LevelRun{"novice_later_depth2", LEVEL_NOVICE, 3, 12, 3000, Owners::Alternating},
                    LevelRun{"moyen", LEVEL_MOYEN, 0, 12, 1500, Owners::Alternating},
                    LevelRun{"maitre", LEVEL_MAITRE, 0, 12, 500, Owners::Alternating},
                    LevelRun{"novice_lopsided", LEVEL_NOVICE, 3, 12, 2000, Owners::Lopsided},
                    LevelRun{"moyen_lopsided", LEVEL_MOYEN, 0, 12, 1000, Owners::Lopsided}),
    [](const testing::TestParamInfo<LevelRun>& info) { return std::string(info.param.name); });

// search_value on its own, with either side to move and every depth.
TEST(SameAsPlainSearch, SearchValueForBothSides) {
    std::mt19937 random(99);
    int above_win = 0;
    for (int i = 0; i < 3000; ++i) {
        const Owners owners = i % 3 == 0 ? Owners::Lopsided : Owners::Alternating;
        const Board board = random_position(random, random_disc_count(random), owners);
        const int depth = i % 50 == 0 ? 4 : static_cast<int>(random() % 4);
        const int side = random() % 2 ? CELL_HUMAN : CELL_CPU;
        SearchCounts plain_counts{}, counts{};
        const int32_t expected = plain_search_value(&board, depth, side, &plain_counts);
        ASSERT_EQ(search_value(&board, depth, side, &counts), expected) << "depth " << depth << " side " << side;
        ASSERT_EQ(search_value(&board, depth, side), expected);
        ASSERT_EQ(counts.calls, plain_counts.calls);
        ASSERT_EQ(counts.leaves, plain_counts.leaves);
        // A computer node starts at -101, so a value above +100 is a leaf
        // value that went through its comparison unchanged.
        above_win += depth > 0 && side == CELL_CPU && expected > SCORE_WIN;
    }
    EXPECT_GT(above_win, 0);
}

}  // namespace
