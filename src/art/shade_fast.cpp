// The fast shading pass: the same pixels as shade_canvas_plain, bit for bit,
// in a fraction of the time.
//
// What keeps it the same:
// - the squares of x and y are whole numbers below 2^24, exact as floats,
//   and the square of a float is exact in double, so pow(v, 2.0) stored is
//   the float product v * v;
// - the general path does every other step (the sum and root in double,
//   each quotient in double then stored, the light term, the rounding of
//   halves to even) with the same operations in the same order;
// - the flat path (below) only takes elements for which float arithmetic
//   gives the same stored values;
// - elements are visited column by column, the canvas's own order; each
//   pixel depends on its own element only, so the order cannot show.
// What makes it fast: the loops have no branches, so the compiler
// vectorises them (and builds an AVX2 copy, chosen at start-up where the
// processor has it; IEEE operations give the same results at any width);
// only the rows that hold a surface are visited (the canvas's dirty box);
// and the pixels are written straight into the target's memory.
// This file is built without errno for the maths functions, so that the
// square root becomes one instruction; the values are the same.
#include <algorithm>
#include <cmath>

#include "art/shade_canvas.h"
#include "platform/drawing.h"

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define WITH_AVX2_COPY __attribute__((target_clones("avx2", "default")))
#else
#define WITH_AVX2_COPY
#endif

namespace {

// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51
// to an integer, halves to even, under the default rounding mode: the same
// as nearbyint, without a library call. (Without -ffast-math the compiler
// may not fold the pair away.)
constexpr double ROUNDING_BIAS = 6755399441055744.0;

inline double round_half_even(double v) { return (v + ROUNDING_BIAS) - ROUNDING_BIAS; }

struct ShadeJob {
    const DrawTarget* target;
    double base_red;
    double base_green;
    double base_blue;
};

inline uint32_t channels(double light, const ShadeJob& job) {
    const double red = std::clamp(round_half_even(light * CHANNEL_GAIN_RED + job.base_red), 0.0, 255.0);
    const double green = std::clamp(round_half_even(light * CHANNEL_GAIN_GREEN + job.base_green), 0.0, 255.0);
    const double blue = std::clamp(round_half_even(light * CHANNEL_GAIN_BLUE + job.base_blue), 0.0, 255.0);
    return uint32_t(int(red)) << 16 | uint32_t(int(green)) << 8 | uint32_t(int(blue));
}

// Flat elements (normal (0, 0, 1), whole height) are most of every
// picture, and for them everything up to the light term is whole numbers
// below 2^24 or one correctly rounded float operation: the squares and
// their sum are exact in float, the root and the quotient rounded once to
// float equal the double results stored (a double holds more than twice a
// float's precision), and the light term is the quotient negated, the other
// two products being zero. So they take a float path, several at a time.
constexpr float FLAT_HEIGHT_LIMIT = 2048.0f;  // keeps the squared sum below 2^24

// Adding and subtracting 1.5 * 2^23 rounds a float of magnitude below 2^22
// to a whole number.
constexpr float WHOLE_BIAS = 12582912.0f;
inline bool is_whole(float v) { return v == (v + WHOLE_BIAS) - WHOLE_BIAS; }

struct Column {
    uint32_t flat_colour[CANVAS_HEIGHT];  // every row, as if it were flat
    char other[CANVAS_HEIGHT];            // the row is not flat: the general path
    // The general path's rows, gathered.
    int count;
    int row[CANVAS_HEIGHT];
    CanvasElement element[CANVAS_HEIGHT];
    uint32_t colour[CANVAS_HEIGHT];
};

// Every row y0..y1 of the column, empty ones included (their result is
// never used): no branch, so the compiler vectorises it.
WITH_AVX2_COPY void light_as_flat(const CanvasElement* column, int x, int y0, int y1, const ShadeJob& job, Column& c) {
    const float vx = float(x - LIGHT_X);
    const float px = vx * vx;
    const float light_y = float(LIGHT_Y);
    const float light_z = float(LIGHT_Z);
    for (int y = y0; y <= y1; ++y) {
        const CanvasElement& e = column[y];
        const float vy = float(y) - light_y;
        const float vz = e.height - light_z;
        const float d = std::sqrt(px + vy * vy + vz * vz);
        const float light = -(vz / d);
        c.flat_colour[y] = channels(double(light), job);
        // & rather than &&: no branch.
        const int flat = int(e.nz == 1.0f) & int(e.nx == 0.0f) & int(e.ny == 0.0f) &
                         int(std::fabs(e.height) <= FLAT_HEIGHT_LIMIT) & int(is_whole(e.height));
        c.other[y] = char(flat ^ 1);
    }
}

// The gathered rows, with every step of the reference in double.
WITH_AVX2_COPY void light_others(Column& c, int x, const ShadeJob& job) {
    const double across = x - LIGHT_X;
    const float vx = float(across);
    const double px = double(vx * vx);
    for (int k = 0; k < c.count; ++k) {
        const CanvasElement& e = c.element[k];
        const double down = c.row[k] - LIGHT_Y;
        const float vy = float(down);
        const double up = double(e.height) - LIGHT_Z;
        const float vz = float(up);
        const float d = float(std::sqrt(px + double(vy * vy) + double(vz * vz)));
        const float ux = float(across / double(d));
        const float uy = float(down / double(d));
        const float uz = float(up / double(d));
        const double light = float(-(double(e.nx) * ux + double(e.ny) * uy + double(e.nz) * uz));
        c.colour[k] = channels(light, job);
    }
}

// Rows y0..y1 of column x.
void shade_run(const ShadeCanvas& canvas, const ShadeJob& job, int x, int y0, int y1) {
    if (y0 > y1) return;
    static Column c;  // a few tens of kilobytes: kept off the stack
    const CanvasElement* column = &canvas.at(x, 0);
    uint32_t* pixel = job.target->pixels + x;
    const size_t pitch = size_t(job.target->pitch);
    light_as_flat(column, x, y0, y1, job, c);
    c.count = 0;
    for (int y = y0; y <= y1; ++y) {
        if (column[y].height == 0.0f) continue;
        if (c.other[y]) {
            c.row[c.count] = y;
            c.element[c.count] = column[y];
            ++c.count;
        } else {
            pixel[size_t(y) * pitch] = c.flat_colour[y];
        }
    }
    light_others(c, x, job);
    for (int k = 0; k < c.count; ++k)
        pixel[size_t(c.row[k]) * pitch] = c.colour[k];
}

}  // namespace

void shade_canvas_into(const ShadeCanvas& canvas, const DrawTarget& target, int w, int h, uint32_t colour, int offset) {
    if (!target.pixels) return;
    const ShadeJob job = {&target, double(colour_red(colour) + offset), double(colour_green(colour) + offset),
                          double(colour_blue(colour) + offset)};
    const int last_x = std::min({w, target.width - 1, CANVAS_WIDTH - 1});
    const int last_y = std::min({h, target.height - 1, CANVAS_HEIGHT - 1});
    // Since the last clear only the dirty box can hold heights, besides
    // column 400 and row 600, which clearing never touches.
    const int extra_column = CANVAS_WIDTH - 1;
    const int extra_row = CANVAS_HEIGHT - 1;
    const bool dirty = canvas.dirty_left <= canvas.dirty_right;
    for (int x = 0; x <= last_x; ++x) {
        if (x == extra_column) {
            shade_run(canvas, job, x, 0, last_y);
            continue;
        }
        if (dirty && x >= canvas.dirty_left && x <= canvas.dirty_right)
            shade_run(canvas, job, x, canvas.dirty_top, std::min(canvas.dirty_bottom, last_y));
        if (last_y == extra_row) shade_run(canvas, job, x, extra_row, extra_row);
    }
}
