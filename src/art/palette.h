// The colours of the window picture. The artwork paints the window with
// them and the window icon, a miniature of the window, takes the same ones,
// so that the two always look alike. Included by those two only.
#pragma once
#include <cstdint>

#include "platform/drawing.h"

constexpr uint32_t HUMAN_DISC_COLOUR = pack_colour(150, 100, 0);
constexpr uint32_t CPU_DISC_COLOUR = pack_colour(150, 0, 0);
constexpr uint32_t BOARD_COLOUR = pack_colour(0, 130, 178);
// Lifts every channel of the board and of both button looks; the discs
// are shaded without it.
constexpr int SHADE_OFFSET = 32;

// A level button under the pointer, and at rest.
constexpr uint32_t BUTTON_BRIGHT = pack_colour(0, 0, 178);
constexpr uint32_t BUTTON_DIM = pack_colour(0, 0, 128);
// The labels on them; the bright one is also the score panel's.
constexpr uint32_t LABEL_BRIGHT = pack_colour(250, 250, 250);
constexpr uint32_t LABEL_DIM = pack_colour(200, 200, 200);

// The score panel and its title strip.
constexpr uint32_t PANEL_COLOUR = pack_colour(0, 140, 200);
constexpr uint32_t STRIP_COLOUR = pack_colour(0, 120, 160);
