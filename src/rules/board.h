// The 7 x 6 board and its rules.
#pragma once
#include <cstdint>

constexpr int BOARD_COLUMNS = 7;
constexpr int BOARD_ROWS = 6;
constexpr int BOARD_CELLS = BOARD_COLUMNS * BOARD_ROWS;

// Cell values. 1 and 10 are part of the rules: the sum of a line of four
// tells how many discs of each side it holds (h + 10 k).
constexpr int8_t CELL_EMPTY = 0;
constexpr int8_t CELL_HUMAN = 1;
constexpr int8_t CELL_CPU = 10;

// Column-major, row 0 at the top: cell (column, row) is cells[column * 6 + row].
struct Board {
    int8_t cells[BOARD_CELLS];
};

constexpr int cell_index(int column, int row) { return column * BOARD_ROWS + row; }

Board* copy_board(Board* destination, const Board* source);
int count_free_cells(const Board* board, int column);
int drop_disc(Board* board, int value, int column);
int has_four_in_row(const Board* board, int player);
