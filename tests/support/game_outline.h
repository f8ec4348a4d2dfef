// The outline of the game's 400 x 600 window, a round rectangle with
// 100 x 100 corner ellipses: it keeps x 0..398 and y 0..598, and the rows of
// its corners start this far in.
#pragma once

namespace game_outline {

constexpr int LAST_ROW = 598;
constexpr int RIGHT_END = 399;  // first column outside

// Rows 0..49 of the top corners; row 598 - y of the bottom corners has the
// inset of row y.
constexpr int CORNER_INSETS[50] = {43, 38, 34, 32, 29, 27, 25, 24, 22, 21, 20, 18, 17, 16, 15, 14, 13,
                                   12, 11, 11, 10, 9,  8,  8,  7,  6,  6,  5,  5,  4,  4,  4,  3,  3,
                                   2,  2,  2,  2,  1,  1,  1,  1,  1,  0,  0,  0,  0,  0,  0,  0};

constexpr int inset(int y) {
    if (y < 50) return CORNER_INSETS[y];
    if (LAST_ROW - y < 50) return CORNER_INSETS[LAST_ROW - y];
    return 0;
}

constexpr bool covers(int x, int y) { return y >= 0 && y <= LAST_ROW && x >= inset(y) && x < RIGHT_END - inset(y); }

}  // namespace game_outline
