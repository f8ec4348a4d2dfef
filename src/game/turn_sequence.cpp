#include "game/turn_sequence.h"

#include "art/artwork.h"
#include "game/board_view.h"
#include "game/game_state.h"
#include "platform/screen.h"
#include "rules/board.h"
#include "rules/search.h"
#include "sound/tunes.h"
#include "platform/random.h"

namespace {

// The computer's opening disc goes into the middle column without a search.
constexpr int OPENING_COLUMN = 3;

// random_upto(100) is uniform over 0..100: the computer opens in 50 of 101.
constexpr int32_t OPENER_DRAW_RANGE = 100;
constexpr int32_t OPENER_CPU_BELOW = 50;

// Window-pixel centre of the disc in cell (column, row).
constexpr int32_t disc_centre_x(int column) { return disc_left(column) + DISC_HALF; }
constexpr int32_t disc_centre_y(int row) { return disc_top(row) + DISC_HALF; }

int line_sum(int c0, int r0, int dc, int dr) {
    int sum = 0;
    for (int k = 0; k < 4; ++k)
        sum += game.game_board.cells[cell_index(c0 + k * dc, r0 + k * dr)];
    return sum;
}

// Checks the line starting at (c, r) with step (dc, dr); on a match records
// the centres of its first and fourth disc.
bool record_if_line(int player, int c, int r, int dc, int dr) {
    if (line_sum(c, r, dc, dr) != 4 * player) return false;
    set_winning_line(disc_centre_x(c), disc_centre_y(r), disc_centre_x(c + 3 * dc), disc_centre_y(r + 3 * dr));
    return true;
}

void show_final_board() {
    redraw_board_view();
    present_frame();
}

// A line of four: the outcome flag, the score, the final board, the tune.
void end_in_win(int8_t& won, int32_t& wins, void (*tune)()) {
    won = 1;
    game.turn_marker = 0;
    wins += 1;
    show_final_board();
    tune();
}

void end_in_draw() {
    game.game_over = 1;
    game.turn_marker = 0;
    game.game_drawn = 1;
    game.draw_count += 1;
    show_final_board();
    play_draw_tune();
}

// The checks after a disc of player has landed: a line of four, tested
// first so that a last disc completing one wins, then a full board. When
// neither ends the game, the view shows the new disc and whose turn it is.
bool game_ended_by(int player) {
    game.game_over = find_winning_line(player);
    if (game.game_over != 0) {
        if (player == CELL_HUMAN)
            end_in_win(game.human_won, game.human_wins, play_human_win_tune);
        else
            end_in_win(game.cpu_won, game.cpu_wins, play_cpu_win_tune);
        return true;
    }
    if (is_board_full()) {
        end_in_draw();
        return true;
    }
    redraw_board_view();
    present_frame();
    return false;
}

}  // namespace

void new_game() {
    for (int8_t& cell : game.game_board.cells)
        cell = CELL_EMPTY;
    game.game_over = 0;
    game.computer_move_count = 0;
    game.human_won = 0;
    game.cpu_won = 0;
    game.game_drawn = 0;

    if (game.next_starter == 0)
        game.next_starter = random_upto(OPENER_DRAW_RANGE) < OPENER_CPU_BELOW ? CELL_CPU : CELL_HUMAN;

    if (game.next_starter == CELL_CPU) {
        play_move(OPENING_COLUMN, CELL_CPU);
        game.next_starter = CELL_HUMAN;
    } else {
        game.next_starter = CELL_CPU;
        game.turn_marker = CELL_HUMAN;
    }
    redraw_board_view();
    present_frame();
}

void play_move(int column, int player) {
    game.turn_marker = 0;
    const int landing_row = count_free_cells(&game.game_board, column) - 1;
    const int rows_below = BOARD_ROWS - 1 - landing_row;
    if (player == CELL_HUMAN) {
        animate_drop(SPRITE_DISC_HUMAN, column, rows_below);
        game.turn_marker = CELL_CPU;
    } else {
        animate_drop(SPRITE_DISC_CPU, column, rows_below);
        game.turn_marker = CELL_HUMAN;
    }
    drop_disc(&game.game_board, player, column);
    play_disc_click();
    redraw_board_view();
    blit_sprite_keyed(game.turn_marker == CELL_HUMAN ? SPRITE_DISC_HUMAN : SPRITE_DISC_CPU, TURN_DISC_X, TURN_DISC_Y);
    present_frame();
}

void finish_human_turn() {
    if (game_ended_by(CELL_HUMAN)) return;
    play_move(choose_computer_move(), CELL_CPU);
    game_ended_by(CELL_CPU);
}

int find_winning_line(int player) {
    // The scan order decides which line is drawn when a disc completes two.
    for (int i = 0; i <= 3; ++i)  // horizontal
        for (int j = 0; j <= 5; ++j)
            if (record_if_line(player, i, j, 1, 0)) return 1;
    for (int i = 0; i <= 6; ++i)  // vertical
        for (int j = 0; j <= 2; ++j)
            if (record_if_line(player, i, j, 0, 1)) return 1;
    for (int i = 0; i <= 3; ++i)  // diagonal down to the right
        for (int j = 0; j <= 2; ++j)
            if (record_if_line(player, i, j, 1, 1)) return 1;
    for (int i = 0; i <= 3; ++i)  // diagonal up to the right, bottom row first
        for (int j = 5; j >= 3; --j)
            if (record_if_line(player, i, j, 1, -1)) return 1;
    return 0;
}

void set_winning_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    game.winning_line[0] = x1;
    game.winning_line[1] = y1;
    game.winning_line[2] = x2;
    game.winning_line[3] = y2;
}

int is_board_full() {
    int full_columns = 0;
    for (int column = 0; column < BOARD_COLUMNS; ++column)
        if (game.game_board.cells[cell_index(column, 0)] > 0) ++full_columns;
    return full_columns == BOARD_COLUMNS ? 1 : 0;
}
