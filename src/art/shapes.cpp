// The shapes: raised slabs and recessed rims on the canvas.
//
// A rounded outline is four quarter discs joined by straight sides. The
// quarter discs all follow one profile, a function of the offset (dx, dy)
// from the corner's centre, so it is worked out once per radius, bevel and
// kind and kept: the 42 holes of the board share one. The straight sides
// copy the profile across from the middle row and column, so they carry
// exactly the corner's quantisation.
//
// Within each step the elements are written column by column (the canvas's
// own order). Wherever two writes of a step land on the same element they
// write the same value, or the flat top wins as it does when the steps are
// read row by row; the shapes come out the same element for element.
#include <algorithm>
#include <cmath>
#include <vector>

#include "art/shade_canvas.h"

namespace {

constexpr CanvasElement EMPTY_SLOT = {0.0f, 0.0f, 0.0f, 0.0f};
constexpr int PROFILES_KEPT = 8;

CanvasElement flat_top(int bevel) { return {float(bevel), 0.0f, 0.0f, 1.0f}; }

// The quarter-round bevel: the normal leans by l / B along (dx, dy) / d
// (outwards for a slab, inwards for a rim) and the height falls with it.
CanvasElement bevel_element(int sign, int dx, int dy, float d, int l, int bevel) {
    CanvasElement e;
    // At l = 0 the element is flat; testing it also keeps the centre of a
    // slab whose bevel equals its radius (d = 0) from dividing 0 by 0.
    const double lean = double(bevel) * double(d);
    e.nx = l == 0 ? 0.0f : float(double(sign * dx * l) / lean);
    e.ny = l == 0 ? 0.0f : float(double(sign * dy * l) / lean);
    e.nz = float(std::sqrt(double(bevel * bevel - l * l)) / double(bevel));
    e.height = float(double(e.nz) * double(bevel));
    return e;
}

enum class Kind { Slab, Hole };

// The corner profile over offsets (i, j) = 0..2R, column-major; `written`
// tells which offsets the shape writes at all.
struct CornerProfile {
    int radius = -1;
    int bevel = -1;
    Kind kind = Kind::Slab;
    std::vector<CanvasElement> value;
    std::vector<char> written;
};

void work_out(CornerProfile& p, int radius, int bevel, Kind kind) {
    const int side = 2 * radius + 1;
    p.radius = radius;
    p.bevel = bevel;
    p.kind = kind;
    p.value.assign(size_t(side) * side, EMPTY_SLOT);
    p.written.assign(size_t(side) * side, 0);
    const int slab_inner = radius - bevel;      // the slab's bevel starts here
    const int hole_inner = radius - bevel + 1;  // the rim lies strictly outside this
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            const int dx = i - radius;
            const int dy = j - radius;
            const float d = float(std::sqrt(double(dx * dx + dy * dy)));
            const size_t k = size_t(i) * side + j;
            if (kind == Kind::Slab) {
                if (slab_inner <= d && d <= radius) {
                    const int l = int(std::nearbyint(double(d) - slab_inner));
                    p.value[k] = bevel_element(+1, dx, dy, d, l, bevel);
                    p.written[k] = 1;
                } else if (d < slab_inner) {
                    p.value[k] = flat_top(bevel);
                    p.written[k] = 1;
                }
            } else if (hole_inner < d && d <= radius) {
                const int l = int(std::nearbyint(double(radius) - double(d)));
                p.value[k] = bevel_element(-1, dx, dy, d, l, bevel);
                p.written[k] = 1;
            }
        }
}

// Kept while the artwork is made; freed with the process-wide canvas.
CornerProfile kept[PROFILES_KEPT];
int next_slot = 0;

const CornerProfile& corner_profile(int radius, int bevel, Kind kind) {
    for (const CornerProfile& p : kept)
        if (p.radius == radius && p.bevel == bevel && p.kind == kind) return p;
    CornerProfile& p = kept[next_slot];
    next_slot = (next_slot + 1) % PROFILES_KEPT;
    work_out(p, radius, bevel, kind);
    return p;
}

// The four quarter discs: top-left, bottom-right, top-right, bottom-left.
// Blocks share elements only when the shape is exactly 2R wide or high, and
// then at the same offset, so their order does not show.
void corner_pass(ShadeCanvas& canvas, int x, int y, int w, int h, const CornerProfile& p) {
    const int r = p.radius;
    const int side = 2 * r + 1;
    struct Block {
        int i0, j0, ox, oy;
    };
    const Block blocks[] = {{0, 0, 0, 0}, {r, r, w - 2 * r, h - 2 * r}, {r, 0, w - 2 * r, 0}, {0, r, 0, h - 2 * r}};
    for (const Block& b : blocks)
        for (int i = b.i0; i <= b.i0 + r; ++i) {
            CanvasElement* column = &canvas.at(x + i + b.ox, y + b.oy);
            const size_t k0 = size_t(i) * side;
            for (int j = b.j0; j <= b.j0 + r; ++j)
                if (p.written[k0 + j]) column[j] = p.value[k0 + j];
        }
}

// Rows y + R .. y + h - R of the columns x .. x + B and x + w - B .. x + w
// repeat the element each column holds on row y + R.
void copy_vertical_bevels(ShadeCanvas& canvas, int x, int y, int w, int h, int r, int b) {
    auto copy_down = [&](int column) {
        const CanvasElement source = canvas.at(column, y + r);
        std::fill(&canvas.at(column, y + r), &canvas.at(column, y + h - r) + 1, source);
    };
    for (int i = 0; i <= b; ++i) {
        copy_down(x + i);
        copy_down(x + w - b + i);
    }
}

// Columns x + R .. x + w - R repeat the top and bottom B + 1 elements of
// column x + R.
void copy_horizontal_bevels(ShadeCanvas& canvas, int x, int y, int w, int h, int r, int b) {
    const CanvasElement* top = &canvas.at(x + r, y);
    const CanvasElement* bottom = &canvas.at(x + r, y + h - b);
    for (int i = r + 1; i <= w - r; ++i) {
        std::copy(top, top + b + 1, &canvas.at(x + i, y));
        std::copy(bottom, bottom + b + 1, &canvas.at(x + i, y + h - b));
    }
}

void fill_flat(ShadeCanvas& canvas, int column, int first_row, int last_row, int bevel) {
    if (first_row > last_row) return;
    std::fill(&canvas.at(column, first_row), &canvas.at(column, last_row) + 1, flat_top(bevel));
}

// The shapes write only inside x..x+w, y..y+h; what they touch inside the
// cleared area must be reset by the next fast clear.
void mark_dirty(ShadeCanvas& canvas, int x, int y, int w, int h) {
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + w, CANVAS_WIDTH - 2);
    const int bottom = std::min(y + h, CANVAS_HEIGHT - 2);
    if (left > right || top > bottom) return;
    if (canvas.dirty_left > canvas.dirty_right) {
        canvas.dirty_left = left;
        canvas.dirty_top = top;
        canvas.dirty_right = right;
        canvas.dirty_bottom = bottom;
        return;
    }
    canvas.dirty_left = std::min(canvas.dirty_left, left);
    canvas.dirty_top = std::min(canvas.dirty_top, top);
    canvas.dirty_right = std::max(canvas.dirty_right, right);
    canvas.dirty_bottom = std::max(canvas.dirty_bottom, bottom);
}

}  // namespace

void render_slab(ShadeCanvas& canvas, int x, int y, int w, int h, int radius, int bevel) {
    corner_pass(canvas, x, y, w, h, corner_profile(radius, bevel, Kind::Slab));
    // The sides: bevel columns copied down, then the flat top between them,
    // which also covers the two copied columns next to it, as it does when
    // each row is copied and then filled.
    copy_vertical_bevels(canvas, x, y, w, h, radius, bevel);
    for (int i = bevel; i <= w - bevel; ++i)
        fill_flat(canvas, x + i, y + radius, y + h - radius, bevel);
    copy_horizontal_bevels(canvas, x, y, w, h, radius, bevel);
    for (int i = radius; i <= w - radius; ++i) {
        fill_flat(canvas, x + i, y + bevel, y + radius, bevel);
        fill_flat(canvas, x + i, y + h - radius, y + h - bevel, bevel);
    }
    mark_dirty(canvas, x, y, w, h);
}

void render_hole(ShadeCanvas& canvas, int x, int y, int w, int h, int radius, int bevel) {
    // No flat fill: inside the rim the canvas keeps what it held.
    corner_pass(canvas, x, y, w, h, corner_profile(radius, bevel, Kind::Hole));
    copy_vertical_bevels(canvas, x, y, w, h, radius, bevel);
    copy_horizontal_bevels(canvas, x, y, w, h, radius, bevel);
    mark_dirty(canvas, x, y, w, h);
}

void forget_corner_profiles() {
    for (CornerProfile& p : kept)
        p = CornerProfile{};
    next_slot = 0;
}
