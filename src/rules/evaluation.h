// Static score of a board for one side: every line of four the opponent has
// not blocked counts, the more so the more of the side's discs it holds.
// Only the search uses it, as evaluate(CELL_CPU) - evaluate(CELL_HUMAN).
#pragma once
#include "rules/board.h"

// 0 when the window runs off the board or holds an opponent disc, otherwise
// 2 x (player's discs) + 1. Steps are -1, 0 or +1; the start cell must lie on
// the board (only the last cell is bound-checked).
int score_window(const Board* board, int player, int column, int row, int column_step, int row_step);

// Sum of score_window over every start cell and the four directions: each of
// the 69 lines of four is scored once. 69 on the empty board.
int evaluate_board(const Board* board, int player);
