// The one process-wide record of the state of play.
//
// Every field is zero when the program starts. Each field has one writer
// (named in its comment); everybody else only reads it.
#pragma once
#include <cstdint>
#include "rules/board.h"

struct GameState {
    // --- the position -----------------------------------------------------
    Board game_board;  // the game in progress; written by the turn sequence (drop_disc, new_game)

    // --- level and turn ---------------------------------------------------
    int32_t current_level;  // 0 none yet, 2 "Novice", 3 "Moyen", 4 "Maître"; written by the level buttons
    int32_t game_over;      // non-zero while no game is in progress; start-up, then the turn sequence
    int8_t turn_marker;     // whose turn the view shows: 0, CELL_HUMAN or CELL_CPU; turn sequence
    int8_t next_starter;    // who opens the next game: 0 undecided, CELL_HUMAN or CELL_CPU; turn sequence

    // --- outcome of the game just finished (at most one is 1) --------------
    int8_t human_won;
    int8_t cpu_won;
    int8_t game_drawn;

    int8_t computer_move_count;  // searches in this game; reset by new_game, raised by choose_computer_move

    // --- scores since start-up; each grows by exactly 1 per finished game ---
    int32_t human_wins;
    int32_t cpu_wins;
    int32_t draw_count;

    // Window-pixel centres of the first and fourth disc of the last line found.
    int32_t winning_line[4];  // x1, y1, x2, y2; written by find_winning_line

    // --- display state ----------------------------------------------------
    int32_t hover_zone;    // hot zone under the pointer, or ZONE_NONE; the hover update
    int32_t banner_alpha;  // opacity of the blinking banner; the timer tick
    int8_t banner_step;    // +10 or -10 per tick; start-up, then the timer tick
};

// Zero-filled before anything else runs (static storage).
extern GameState game;
