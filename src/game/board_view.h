// Everything drawn during play, always onto the screen's back buffer.
// These operations draw but do not present, except where they say so.
#pragma once

// The whole view from the backdrop and the game state; no present.
void redraw_board_view();
// Slides the disc along the top, then lets it fall into column; every
// frame is a full redraw, a present and a 50 ms pause.
void animate_drop(int sprite, int column, int rows_below);
// The blinking status banner; called on every timer tick.
void on_timer_tick();
// The close cross, red when highlighted is 1, dark when 0; no present.
void draw_close_button(int highlighted);
