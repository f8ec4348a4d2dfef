// The close cross in the window's top-right corner: a light pair of
// strokes, a pixel off, under a dark pair that turns red while the pointer
// rests on it. The backdrop holds the dark look; the game draws both looks
// again over it when the pointer enters and leaves.
#pragma once
#include <cstdint>

#include "platform/drawing.h"

constexpr uint32_t CROSS_DARK = pack_colour(32, 32, 32);
constexpr uint32_t CROSS_RED = pack_colour(192, 32, 32);

// Draws the cross with its upper pair in top_colour, into the open drawing pass.
void draw_close_cross(uint32_t top_colour);
