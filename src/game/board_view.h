// Everything drawn during play, always onto the screen's back buffer.
// These operations draw but do not present, except where they say so.
#pragma once
#include <array>
#include <string>

// The whole view from the backdrop and the game state; no present.
void redraw_board_view();
// Slides the disc along the top, then lets it fall into column; every
// frame is a full redraw, a present and a 50 ms pause.
void animate_drop(int sprite, int column, int rows_below);
// The blinking status banner; called on every timer tick.
void on_timer_tick();
// The close cross, red when highlighted is 1, dark when 0; no present.
void draw_close_button(int highlighted);

// The six texts of the score panel: the three counts ("Humain", "CPU",
// "Nul") and then their three percentages, each followed by " %".
std::array<std::string, 6> score_panel_texts();
