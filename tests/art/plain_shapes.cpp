#include "plain_shapes.h"

#include <cmath>

namespace {

void flat_top(CanvasElement& e, int bevel) { e = {float(bevel), 0.0f, 0.0f, 1.0f}; }

// The four quarter-disc blocks in their order: top-left, bottom-right,
// top-right, bottom-left; rows outer, columns inner.
template <typename Visit>
void corner_pass(ShadeCanvas& canvas, int x, int y, int w, int h, int r, Visit visit) {
    struct Block {
        int j0, i0, ox, oy;
    };
    const Block blocks[] = {{0, 0, 0, 0}, {r, r, w - 2 * r, h - 2 * r}, {0, r, w - 2 * r, 0}, {r, 0, 0, h - 2 * r}};
    for (const Block& b : blocks)
        for (int j = b.j0; j <= b.j0 + r; ++j)
            for (int i = b.i0; i <= b.i0 + r; ++i) {
                const int dx = i - r, dy = j - r;
                const float d = float(std::sqrt(double(dx * dx + dy * dy)));
                visit(canvas.at(x + i + b.ox, y + j + b.oy), dx, dy, d);
            }
}

void bevel_element(CanvasElement& e, double nx_numerator, double ny_numerator, float d, int l, int bevel) {
    // l = 0 is flat (and d may be 0 there when the bevel is the radius).
    e.nx = l == 0 ? 0.0f : float(nx_numerator / (double(bevel) * double(d)));
    e.ny = l == 0 ? 0.0f : float(ny_numerator / (double(bevel) * double(d)));
    e.nz = float(std::sqrt(double(bevel * bevel - l * l)) / double(bevel));
    e.height = float(double(e.nz) * double(bevel));
}

void side_copies(ShadeCanvas& c, int x, int y, int w, int h, int r, int b, bool flat_fill) {
    for (int j = r; j <= h - r; ++j) {
        for (int i = 0; i <= b; ++i) {
            c.at(x + i, y + j) = c.at(x + i, y + r);
            c.at(x + w - b + i, y + j) = c.at(x + w - b + i, y + r);
        }
        if (flat_fill)
            for (int i = b; i <= w - b; ++i)
                flat_top(c.at(x + i, y + j), b);
    }
    for (int i = r; i <= w - r; ++i)
        for (int j = 0; j <= b; ++j) {
            c.at(x + i, y + j) = c.at(x + r, y + j);
            c.at(x + i, y + h - b + j) = c.at(x + r, y + h - b + j);
        }
}

}  // namespace

void plain_render_slab(ShadeCanvas& c, int x, int y, int w, int h, int r, int b) {
    const int rin = r - b;
    corner_pass(c, x, y, w, h, r, [&](CanvasElement& e, int dx, int dy, float d) {
        if (rin <= d && d <= r) {
            const int l = int(std::nearbyint(double(d) - rin));
            bevel_element(e, double(dx * l), double(dy * l), d, l, b);
        } else if (d < rin) {
            flat_top(e, b);
        }
    });
    side_copies(c, x, y, w, h, r, b, true);
    for (int i = r; i <= w - r; ++i) {
        for (int j = b; j <= r; ++j)
            flat_top(c.at(x + i, y + j), b);
        for (int j = h - r; j <= h - b; ++j)
            flat_top(c.at(x + i, y + j), b);
    }
}

void plain_render_hole(ShadeCanvas& c, int x, int y, int w, int h, int r, int b) {
    const int rh = r - b + 1;
    corner_pass(c, x, y, w, h, r, [&](CanvasElement& e, int dx, int dy, float d) {
        if (rh < d && d <= r) {
            const int l = int(std::nearbyint(double(r) - double(d)));
            bevel_element(e, double(-dx * l), double(-dy * l), d, l, b);
        }
    });
    side_copies(c, x, y, w, h, r, b, false);
}
