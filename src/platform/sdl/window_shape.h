// The rounded outline of the game's window, row by row.
//
// Pure arithmetic, kept apart from the X calls that apply it so that the
// exact outline can be checked without a display.
#pragma once
#include <vector>

// The pixels x = left .. right - 1 of one row.
struct RowSpan {
    int left = 0;
    int right = 0;
};

// The round rectangle (0, 0)-(width, height) with corner ellipses of
// corner_width x corner_height, as the game's outline is drawn: it stops
// one pixel short of the right and bottom edges
// (so a 400 x 600 window keeps x 0..398 and y 0..598), and each corner is the
// integer outline of the ellipse of that size. Element y is the span of row y;
// rows below the last element are not covered.
std::vector<RowSpan> round_rect_rows(int width, int height, int corner_width, int corner_height);
