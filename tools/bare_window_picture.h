// The picture colonnade4-bare-window draws, shared with the game bench that
// waits for it: a software-drawn gradient, different in every region, so
// that a few pixels tell the whole frame has arrived.
#pragma once
#include <cstdint>

#include "game/game_window.h"

namespace bare_window {

constexpr int WIDTH = WINDOW_WIDTH;
constexpr int HEIGHT = WINDOW_HEIGHT;

// 0x00RRGGBB; never the bench's root colour (blue is at least 0x40).
constexpr uint32_t pixel(int x, int y) {
    return uint32_t(x * 255 / (WIDTH - 1)) << 16 | uint32_t(y * 255 / (HEIGHT - 1)) << 8 |
           uint32_t(0x40 + (x + y) % 0xC0);
}

}  // namespace bare_window
