#include "rules/evaluation.h"

int score_window(const Board* board, int player, int column, int row, int column_step, int row_step) {
    const int last_column = column + 3 * column_step;
    const int last_row = row + 3 * row_step;
    if (last_column < 0 || last_column >= BOARD_COLUMNS || last_row < 0 || last_row >= BOARD_ROWS) return 0;

    const int opponent = player == CELL_HUMAN ? CELL_CPU : CELL_HUMAN;
    int count = 0;
    for (int k = 0; k < 4; ++k) {
        const int cell = board->cells[cell_index(column + k * column_step, row + k * row_step)];
        if (cell == opponent) return 0;
        if (cell == player) ++count;
    }
    return 2 * count + 1;
}

int evaluate_board(const Board* board, int player) {
    int sum = 0;
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        for (int row = 0; row < BOARD_ROWS; ++row) {
            sum += score_window(board, player, column, row, 1, 0);
            sum += score_window(board, player, column, row, 1, 1);
            sum += score_window(board, player, column, row, 0, 1);
            sum += score_window(board, player, column, row, 1, -1);
        }
    return sum;
}
