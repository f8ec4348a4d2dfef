// Running a game: who opens, one move of either side, the sequence that
// follows every human move, win and draw detection, scores and tunes.
//
// Everything here runs inside the handling of one event of the main loop;
// the human can act again only once the whole sequence has finished.
#pragma once
#include <cstdint>

// Starts a new game at game.current_level, set by the caller just before.
void new_game();
// One disc of player (CELL_HUMAN or CELL_CPU) into column 0..6, which has room.
void play_move(int column, int player);
// The human's win and draw checks, the computer's reply and its checks.
void finish_human_turn();
// 1 and records winning_line when player has four in a line, else 0.
int find_winning_line(int player);
void set_winning_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
int is_board_full();
