#include "rules/board.h"

Board* copy_board(Board* destination, const Board* source) {
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        for (int row = 0; row < BOARD_ROWS; ++row)
            destination->cells[cell_index(column, row)] = source->cells[cell_index(column, row)];
    return destination;
}

// Every row is looked at, not just the top of the stack: the game flow asks
// this before each human move, and on a sound board both answers agree.
int count_free_cells(const Board* board, int column) {
    int free_cells = 0;
    for (int row = 0; row < BOARD_ROWS; ++row)
        if (board->cells[cell_index(column, row)] == CELL_EMPTY) ++free_cells;
    return free_cells;
}

int drop_disc(Board* board, int value, int column) {
    int free_cells = count_free_cells(board, column);
    if (free_cells == 0) return 0;
    board->cells[cell_index(column, free_cells - 1)] = static_cast<int8_t>(value);
    return 1;
}

namespace {

int line_sum(const Board* board, int column, int row, int column_step, int row_step) {
    int sum = 0;
    for (int k = 0; k < 4; ++k)
        sum += board->cells[cell_index(column + k * column_step, row + k * row_step)];
    return sum;
}

}  // namespace

// A line's sum is h + 10 k, so only four discs of one side reach 4 x player.
int has_four_in_row(const Board* board, int player) {
    const int target = 4 * player;
    for (int column = 0; column <= 3; ++column)
        for (int row = 0; row < BOARD_ROWS; ++row)
            if (line_sum(board, column, row, 1, 0) == target) return 1;
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        for (int row = 0; row <= 2; ++row)
            if (line_sum(board, column, row, 0, 1) == target) return 1;
    for (int column = 0; column <= 3; ++column)
        for (int row = 0; row <= 2; ++row)
            if (line_sum(board, column, row, 1, 1) == target) return 1;
    for (int column = 0; column <= 3; ++column)
        for (int row = 3; row < BOARD_ROWS; ++row)
            if (line_sum(board, column, row, 1, -1) == target) return 1;
    return 0;
}
