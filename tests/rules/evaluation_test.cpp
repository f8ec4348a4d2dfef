#include <gtest/gtest.h>

#include <random>

#include "rules/evaluation.h"
#include "rules/lines.h"
#include "test_boards.h"

namespace {

// Lines of four through each cell, row 0 at the top.
constexpr int LINES_THROUGH[BOARD_ROWS][BOARD_COLUMNS] = {
    {3, 4, 5, 7, 5, 4, 3},    {4, 6, 8, 10, 8, 6, 4}, {5, 8, 11, 13, 11, 8, 5},
    {5, 8, 11, 13, 11, 8, 5}, {4, 6, 8, 10, 8, 6, 4}, {3, 4, 5, 7, 5, 4, 3},
};

TEST(Evaluation, EmptyBoardScores69ForEitherSide) {
    const Board board{};
    EXPECT_EQ(evaluate_board(&board, CELL_HUMAN), 69);
    EXPECT_EQ(evaluate_board(&board, CELL_CPU), 69);
}

TEST(Evaluation, SingleComputerDiscAtTheBottom) {
    struct Case {
        int column, cpu, human;
    };
    for (const Case& c : {Case{3, 83, 62}, Case{0, 75, 66}, Case{1, 77, 65}}) {
        const Board board = board_from_moves({c.column}, CELL_CPU);
        EXPECT_EQ(evaluate_board(&board, CELL_CPU), c.cpu) << "column " << c.column;
        EXPECT_EQ(evaluate_board(&board, CELL_HUMAN), c.human) << "column " << c.column;
    }
}

// A lone disc on a cell of w lines gives its owner 69 + 2w and the opponent 69 - w.
TEST(Evaluation, LoneDiscFollowsTheLinesThroughItsCell) {
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        for (int row = 0; row < BOARD_ROWS; ++row)
            for (int owner : {CELL_HUMAN, CELL_CPU}) {
                const int opponent = owner == CELL_HUMAN ? CELL_CPU : CELL_HUMAN;
                const int w = LINES_THROUGH[row][column];
                Board board{};
                board.cells[cell_index(column, row)] = static_cast<int8_t>(owner);
                EXPECT_EQ(evaluate_board(&board, owner), 69 + 2 * w) << column << "," << row;
                EXPECT_EQ(evaluate_board(&board, opponent), 69 - w) << column << "," << row;
            }
}

// The search's own line tables must agree with the evaluation's windows.
TEST(Evaluation, LineTablesMatchTheBoardGeometry) {
    int total = 0;
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        for (int row = 0; row < BOARD_ROWS; ++row) {
            const int cell = cell_index(column, row);
            EXPECT_EQ(LINES.count_through[cell], LINES_THROUGH[row][column]) << column << "," << row;
            for (int i = 0; i < LINES.count_through[cell]; ++i) {
                const int line = LINES.through[cell][i];
                int hits = 0;
                for (int k = 0; k < 4; ++k)
                    hits += LINES.cells[line][k] == cell;
                EXPECT_EQ(hits, 1) << "line " << line << " does not hold cell " << cell;
            }
            total += LINES.count_through[cell];
        }
    EXPECT_EQ(total, 4 * LINE_COUNT);
}

TEST(ScoreWindow, CountsOwnDiscsUntilAnOpponentDisc) {
    struct Case {
        const char* what;
        std::array<std::string, BOARD_ROWS> rows;
        int player, column, row, column_step, row_step, expected;
    };
    const std::array<std::string, BOARD_ROWS> row5_three = {".......", ".......", ".......",
                                                            ".......", ".......", ".HHH..."};
    const std::array<std::string, BOARD_ROWS> row5_blocked = {".......", ".......", ".......",
                                                              ".......", ".......", ".HHHC.."};
    const std::array<std::string, BOARD_ROWS> opponent_first = {".......", ".......", ".......",
                                                                ".......", ".......", "CHHH..."};
    const std::array<std::string, BOARD_ROWS> mixed_diagonal = {".......", ".......", "...C...",
                                                                "..C....", ".H.....", "C......"};
    const Case cases[] = {
        {"three and an empty cell", row5_three, CELL_HUMAN, 1, 5, 1, 0, 7},
        {"same window, fourth cell taken", row5_blocked, CELL_HUMAN, 1, 5, 1, 0, 0},
        {"opponent in the first cell", opponent_first, CELL_HUMAN, 0, 5, 1, 0, 0},
        {"window seen by the other side", row5_three, CELL_CPU, 1, 5, 1, 0, 0},
        {"empty window", row5_three, CELL_CPU, 3, 0, 0, 1, 1},
        {"rising diagonal, one human disc", mixed_diagonal, CELL_CPU, 0, 5, 1, -1, 0},
        {"rising diagonal for the human", mixed_diagonal, CELL_HUMAN, 0, 5, 1, -1, 0},
        {"falling diagonal, one computer disc", mixed_diagonal, CELL_CPU, 1, 0, 1, 1, 3},
        {"rising diagonal, two computer discs", mixed_diagonal, CELL_CPU, 2, 3, 1, -1, 5},
        {"vertical, one computer disc", mixed_diagonal, CELL_CPU, 3, 0, 0, 1, 3},
        {"falling diagonal running off the bottom", mixed_diagonal, CELL_CPU, 2, 3, 1, 1, 0},
    };
    for (const Case& c : cases) {
        const Board board = board_from_rows(c.rows);
        EXPECT_EQ(score_window(&board, c.player, c.column, c.row, c.column_step, c.row_step), c.expected) << c.what;
    }
}

// Windows that leave the board score 0 whatever the board holds.
TEST(ScoreWindow, WindowsOffTheBoardScoreNothing) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 50; ++trial) {
        Board board{};
        for (int8_t& cell : board.cells)
            cell = static_cast<int8_t>(std::array<int, 3>{CELL_EMPTY, CELL_HUMAN, CELL_CPU}[random() % 3]);
        for (int player : {CELL_HUMAN, CELL_CPU})
            for (int row = 0; row < BOARD_ROWS; ++row) {
                EXPECT_EQ(score_window(&board, player, 4, row, 1, 0), 0);
                EXPECT_EQ(score_window(&board, player, 6, row, 1, 1), 0);
            }
        for (int player : {CELL_HUMAN, CELL_CPU})
            for (int column = 0; column < BOARD_COLUMNS; ++column) {
                EXPECT_EQ(score_window(&board, player, column, 0, 1, -1), 0);
                EXPECT_EQ(score_window(&board, player, column, 3, 0, 1), 0);
            }
    }
}

}  // namespace
