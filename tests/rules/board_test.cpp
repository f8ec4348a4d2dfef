#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

#include "test_boards.h"

namespace {

TEST(Board, ColumnFillsBottomUpAndRefusesASeventhDisc) {
    Board board{};
    EXPECT_EQ(count_free_cells(&board, 2), 6);
    for (int disc = 1; disc <= 6; ++disc) {
        ASSERT_EQ(drop_disc(&board, disc % 2 ? CELL_HUMAN : CELL_CPU, 2), 1);
        EXPECT_EQ(count_free_cells(&board, 2), 6 - disc);
        // Disc n lands in row 6 - n: the first at the bottom, the sixth at the top.
        EXPECT_EQ(board.cells[2 * 6 + (6 - disc)], disc % 2 ? CELL_HUMAN : CELL_CPU);
    }
    Board before;
    copy_board(&before, &board);
    EXPECT_EQ(drop_disc(&board, CELL_HUMAN, 2), 0);
    EXPECT_EQ(std::memcmp(&before, &board, sizeof board), 0);
    // Neighbouring columns are untouched.
    EXPECT_EQ(count_free_cells(&board, 1), 6);
    EXPECT_EQ(count_free_cells(&board, 3), 6);
}

TEST(Board, FreeCellsCountsEveryEmptyCellEvenOnAnUnstackedColumn) {
    Board board{};
    board.cells[cell_index(4, 0)] = CELL_CPU;  // a disc hanging in the top row
    EXPECT_EQ(count_free_cells(&board, 4), 5);
    ASSERT_EQ(drop_disc(&board, CELL_HUMAN, 4), 1);
    EXPECT_EQ(board.cells[cell_index(4, 4)], CELL_HUMAN);
    EXPECT_EQ(board.cells[cell_index(4, 5)], CELL_EMPTY);
}

TEST(Board, CopyReturnsTheDestinationWithAllCells) {
    Board source = board_from_moves({0, 6, 3, 3, 2});
    Board destination;
    std::memset(&destination, 0x55, sizeof destination);
    EXPECT_EQ(copy_board(&destination, &source), &destination);
    EXPECT_EQ(std::memcmp(&source, &destination, sizeof source), 0);
}

struct FourCase {
    const char* name;
    std::array<std::string, BOARD_ROWS> rows;
    int human;  // has_four_in_row for CELL_HUMAN
    int cpu;    // and for CELL_CPU
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FourCase& c, std::ostream* out) { *out << c.name; }

class FourInRow : public testing::TestWithParam<FourCase> {};

TEST_P(FourInRow, FindsExactlyTheFoursOfEachSide) {
    const Board board = board_from_rows(GetParam().rows);
    EXPECT_EQ(has_four_in_row(&board, CELL_HUMAN), GetParam().human);
    EXPECT_EQ(has_four_in_row(&board, CELL_CPU), GetParam().cpu);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FourInRow,
    testing::Values(
        FourCase{"empty", {".......", ".......", ".......", ".......", ".......", "......."}, 0, 0},
        FourCase{"human_row5_columns3to6", {".......", ".......", ".......", ".......", ".......", "...HHHH"}, 1, 0},
        FourCase{"cpu_vertical_column6", {".......", ".......", "......C", "......C", "......C", "......C"}, 0, 1},
        FourCase{"top_row_horizontal", {"CCCC...", "HHHC...", "HHCH...", "CHHC...", "HCHC...", "HCCC..."}, 0, 1},
        FourCase{"vertical_reaching_row0", {"H......", "H......", "H......", "H......", "C......", "C......"}, 1, 0},
        FourCase{"rising_from_corner", {".......", ".......", "...H...", "..HC...", ".HCC...", "HCCH..."}, 1, 0},
        FourCase{"falling_to_right_edge", {"...C...", "...HC..", "...HHC.", "...HHHC", "...CHCC", "...CCHC"}, 0, 1},
        FourCase{"falling_from_top_left", {"C......", "HC.....", "HHC....", "CHHC...", "HCHC...", "HCCC..."}, 0, 1},
        FourCase{"rising_to_top_right", {"......H", ".....HH", "....HCC", "...HCCH", "...CHHC", "...HCCH"}, 1, 0},
        FourCase{"three_and_a_gap", {".......", ".......", ".......", ".......", ".......", "HHH.CC."}, 0, 0},
        FourCase{"three_and_an_opponent", {".......", ".......", ".......", ".......", ".......", "HHHC..."}, 0, 0},
        FourCase{"three_cpu_and_a_human", {".......", ".......", "C......", "C......", "C......", "H......"}, 0, 0},
        FourCase{"five_in_a_row", {".......", ".......", ".......", ".......", "CCC.C..", "HHHHH.."}, 1, 0},
        FourCase{"both_sides", {".......", ".......", "C......", "C......", "C.....H", "CHHHH.."}, 1, 1},
        FourCase{"broken_diagonal", {".......", ".......", "...H...", "..HC...", ".CCC...", "HCCH..."}, 0, 0}),
    [](const testing::TestParamInfo<FourCase>& info) { return std::string(info.param.name); });

// Every one of the 69 lines, alone on the board, is a four for its owner;
// any cell of it taken by the opponent makes it nothing for either.
TEST(FourInRow, EachOfThe69LinesCounts) {
    struct Family {
        int column_step, row_step, first_row, last_row, last_column;
    };
    const Family families[] = {{1, 0, 0, 5, 3}, {0, 1, 0, 2, 6}, {1, 1, 0, 2, 3}, {1, -1, 3, 5, 3}};
    int lines = 0;
    for (const Family& family : families)
        for (int column = 0; column <= family.last_column; ++column)
            for (int row = family.first_row; row <= family.last_row; ++row) {
                for (int owner : {CELL_HUMAN, CELL_CPU}) {
                    const int opponent = owner == CELL_HUMAN ? CELL_CPU : CELL_HUMAN;
                    Board board{};
                    for (int k = 0; k < 4; ++k)
                        board.cells[cell_index(column + k * family.column_step, row + k * family.row_step)] =
                            static_cast<int8_t>(owner);
                    EXPECT_EQ(has_four_in_row(&board, owner), 1) << "line at " << column << "," << row;
                    EXPECT_EQ(has_four_in_row(&board, opponent), 0);
                    board.cells[cell_index(column + 2 * family.column_step, row + 2 * family.row_step)] =
                        static_cast<int8_t>(opponent);
                    EXPECT_EQ(has_four_in_row(&board, owner), 0);
                    EXPECT_EQ(has_four_in_row(&board, opponent), 0);
                }
                ++lines;
            }
    EXPECT_EQ(lines, 69);
}

}  // namespace
