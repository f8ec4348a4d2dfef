// The window icon: a miniature of the game window (the blue board with red
// and yellow discs crossed by a green winning line, the dark-blue level
// buttons at the top left, the score panel at the top right), rendered at
// start-up with the shaded-surface renderer; there is no image file.
#pragma once
#include <cstdint>
#include <vector>

// The sizes the icon is designed for; any size from 8 to 512 works.
constexpr int ICON_SIZES[] = {16, 32, 48, 64, 128, 256};

// Fills pixels with size * size stored pixels 0x00RRGGBB, row by row, for
// set_window_icon: black is transparent (outside the rounded window outline
// and beside the window, which is narrower than it is tall); every other
// pixel is opaque and never black. Needs no platform: it draws into memory
// of its own, on the given canvas (whatever it holds: each part clears what
// it uses) or, without one, on a canvas of its own.
struct ShadeCanvas;
void build_window_icon(int size, std::vector<uint32_t>& pixels, ShadeCanvas* canvas = nullptr);
