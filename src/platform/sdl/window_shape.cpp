#include "platform/sdl/window_shape.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// How far the outline of an ew x eh ellipse lies inside its bounding box on
// each row, from its widest row (element 0) to its top or bottom row.
//
// This is the classic integer ellipse walk over pixel centres: it carries the
// error of the ellipse equation for the next diagonal pixel and steps
// sideways, vertically or both, whichever keeps that error smallest. Every
// vertical step starts a new row, and the sideways position at that moment is
// where the row's outline begins.
std::vector<int> corner_insets(int ew, int eh) {
    const int64_t a = ew - 1;  // diameters between the outermost pixel centres
    const int64_t b = eh - 1;
    const int64_t odd = b % 2;
    int64_t step_x = 4 * b * b * (1 - a);    // error change of the next sideways step
    int64_t step_y = 4 * a * a * (1 + odd);  // error change of the next vertical step
    int64_t error = step_x + step_y + a * a * odd;

    std::vector<int> inset(size_t(eh - eh / 2), 0);
    int x = 0;
    size_t row = 0;
    while (x <= ew / 2) {
        const int64_t doubled = 2 * error;
        if (doubled >= step_x) {
            ++x;
            step_x += 8 * b * b;
            error += step_x;
        }
        if (doubled <= step_y) {
            ++row;
            step_y += 8 * a * a;
            error += step_y;
            if (row < inset.size()) inset[row] = x;
        }
    }
    return inset;
}

}  // namespace

std::vector<RowSpan> round_rect_rows(int width, int height, int corner_width, int corner_height) {
    // The region ends one pixel short of the right and bottom edges.
    const int right = width - 1;
    const int bottom = height - 1;
    if (right <= 0 || bottom <= 0) return {};

    std::vector<RowSpan> rows(size_t(bottom), RowSpan{0, right});
    const int ew = std::min(right, std::abs(corner_width));
    const int eh = std::min(bottom, std::abs(corner_height));
    if (ew < 2 || eh < 2) return rows;

    const std::vector<int> inset = corner_insets(ew, eh);
    const int half = eh / 2;
    // The top corners hold the upper half of the ellipse, widest row last...
    for (int y = 0; y < half; ++y) {
        const int k = inset[size_t(eh - 1 - y - half)];
        rows[size_t(y)] = RowSpan{k, right - k};
    }
    // ...and the bottom corners the rows below its widest one.
    for (size_t j = 1; j < inset.size(); ++j) {
        const int y = bottom - eh + half + int(j);
        rows[size_t(y)] = RowSpan{inset[j], right - inset[j]};
    }
    return rows;
}
