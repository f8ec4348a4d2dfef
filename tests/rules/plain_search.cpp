#include "plain_search.h"

#include "rules/evaluation.h"

int32_t plain_search_value(const Board* board, int depth, int side, SearchCounts* counts) {
    ++counts->calls;
    if (depth == 0) {
        ++counts->leaves;
        return evaluate_board(board, CELL_CPU) - evaluate_board(board, CELL_HUMAN);
    }
    Board copy;
    if (side == CELL_HUMAN) {
        int32_t best = SCORE_LIMIT;
        for (int column = 0; column < BOARD_COLUMNS; ++column) {
            if (!drop_disc(copy_board(&copy, board), CELL_HUMAN, column)) continue;
            if (has_four_in_row(&copy, CELL_HUMAN)) return -SCORE_WIN;
            const int32_t value = plain_search_value(&copy, depth - 1, CELL_CPU, counts);
            if (value < best) best = value;
        }
        return best;
    }
    int32_t best = -SCORE_LIMIT;
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        if (!drop_disc(copy_board(&copy, board), CELL_CPU, column)) continue;
        if (has_four_in_row(&copy, CELL_CPU)) return SCORE_WIN;
        const int32_t value = plain_search_value(&copy, depth - 1, CELL_HUMAN, counts);
        if (value > best) best = value;
    }
    return best;
}

MoveAnalysis plain_choose_computer_move(GameState* state, SearchCounts* counts) {
    MoveAnalysis analysis{};
    if (state->game_over != 0) {
        analysis.column = 0;
        return analysis;
    }
    state->computer_move_count = static_cast<int8_t>(state->computer_move_count + 1);

    int open_columns = 0;
    int open_column = -1;
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        if (state->game_board.cells[cell_index(column, 0)] == CELL_EMPTY) {
            ++open_columns;
            open_column = column;
        }
    const int depth = state->current_level == 2 && state->computer_move_count < 4 ? 3 : state->current_level;
    analysis.depth = depth;
    if (open_columns == 1) {
        for (int column = 0; column < BOARD_COLUMNS; ++column)
            analysis.kind[column] = column == open_column ? CANDIDATE_ONLY : CANDIDATE_FULL;
        analysis.column = open_column;
        return analysis;
    }

    analysis.column = -1;
    int32_t best_value = -SCORE_LIMIT;
    Board copy;
    for (int column = 0; column < BOARD_COLUMNS; ++column) {
        if (!drop_disc(copy_board(&copy, &state->game_board), CELL_CPU, column)) {
            analysis.kind[column] = CANDIDATE_FULL;
            continue;
        }
        if (has_four_in_row(&copy, CELL_CPU)) {
            analysis.kind[column] = CANDIDATE_WIN;
            analysis.column = column;
            return analysis;
        }
        const int32_t value = plain_search_value(&copy, depth, CELL_HUMAN, counts);
        analysis.kind[column] = CANDIDATE_VALUE;
        analysis.value[column] = value;
        if (value >= best_value) {
            best_value = value;
            analysis.column = column;
        }
    }
    return analysis;
}
