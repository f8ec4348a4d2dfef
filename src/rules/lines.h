// The 69 lines of four, and which of them pass through each cell, worked out
// at compile time. The fast search keeps one running sum per line instead of
// rescanning the board, and a drop only touches the lines through its cell.
#pragma once
#include <cstdint>
#include "rules/board.h"

constexpr int LINE_COUNT = 69;
// The centre cells of the two middle rows lie on 13 lines, the most of any cell.
constexpr int MAX_LINES_PER_CELL = 13;

struct LineTables {
    int8_t cells[LINE_COUNT][4];                      // cell indexes, k = 0 to 3
    int8_t count_through[BOARD_CELLS];                // how many lines pass through the cell
    int8_t through[BOARD_CELLS][MAX_LINES_PER_CELL];  // their numbers, in line order
};

constexpr LineTables build_line_tables() {
    LineTables tables{};
    int line = 0;
    auto add_line = [&](int column, int row, int column_step, int row_step) {
        for (int k = 0; k < 4; ++k) {
            const int cell = cell_index(column + k * column_step, row + k * row_step);
            tables.cells[line][k] = static_cast<int8_t>(cell);
            tables.through[cell][tables.count_through[cell]++] = static_cast<int8_t>(line);
        }
        ++line;
    };
    // Families in the order of the four-in-a-row test: horizontal, vertical,
    // falling diagonal (down to the right), rising diagonal (up to the right).
    for (int column = 0; column <= 3; ++column)
        for (int row = 0; row < BOARD_ROWS; ++row)
            add_line(column, row, 1, 0);
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        for (int row = 0; row <= 2; ++row)
            add_line(column, row, 0, 1);
    for (int column = 0; column <= 3; ++column)
        for (int row = 0; row <= 2; ++row)
            add_line(column, row, 1, 1);
    for (int column = 0; column <= 3; ++column)
        for (int row = 3; row < BOARD_ROWS; ++row)
            add_line(column, row, 1, -1);
    return tables;
}

inline constexpr LineTables LINES = build_line_tables();
