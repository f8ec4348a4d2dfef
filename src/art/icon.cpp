#include "art/icon.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "art/close_cross.h"
#include "art/palette.h"
#include "art/shade_canvas.h"
#include "game/game_window.h"
#include "platform/drawing.h"
#include "platform/screen.h"

namespace {

// The icon is drawn large (about RENDER_SIZE pixels, a whole multiple of
// the size asked for, at least twice it) and then averaged down, block by
// block.
constexpr int RENDER_SIZE = 256;
constexpr int MIN_SUPERSAMPLING = 2;
constexpr int MAX_ICON_SIZE = CANVAS_HEIGHT - 1;
// Below these sizes the game's 7 x 6 board turns to mush: a 4 x 4 board
// with two buttons, and at the smallest sizes a 3 x 3 board with one,
// keep the same picture readable.
constexpr int FULL_LAYOUT_MIN_SIZE = 64;
constexpr int COMPACT_LAYOUT_MIN_SIZE = 24;
// From this size the buttons and the panel carry bars where their texts are,
// and the close cross shows.
constexpr int DETAIL_MIN_SIZE = 64;

// The game window's proportions and looks, in window units.
constexpr double BOARD_RADIUS = 50.0;
constexpr double BOARD_BEVEL = 20.0;
// At the smallest sizes the game's corner radius rounds to a pixel or so
// and the outline looks square: keep it at least this many icon pixels.
constexpr double MIN_CORNER_PIXELS = 2.0;
constexpr double HOLE_RIM_PER_PITCH = 7.0 / 50.0;
constexpr double DISC_BEVEL_PER_RADIUS = 6.0 / 20.0;
constexpr uint32_t LINE_COLOUR = pack_colour(0, 255, 0);
constexpr double LINE_WIDTH_PER_PITCH = 10.0 / 50.0;
constexpr double LINE_MIN_WIDTH = 0.8;  // icon pixels: shows at 16 without hiding the discs
constexpr double BUTTON_X = 30.0;
constexpr double BUTTON_WIDTH = 100.0;
constexpr double BUTTON_RADIUS_PER_HEIGHT = 0.5;
constexpr double BUTTON_BEVEL_PER_HEIGHT = 0.2;
constexpr double WELL_MARGIN = 3.0;
constexpr double WELL_RIM_PER_HEIGHT = 5.0 / 36.0;
constexpr uint32_t LIGHT_EDGE = pack_colour(255, 255, 255);
constexpr uint32_t DARK_EDGE = pack_colour(16, 16, 16);  // never black: black is transparent here
constexpr double CROSS_WIDTH = 5.0;

struct Rect {
    double x, y, w, h;
};
constexpr Rect PANEL = {140, 70, 230, 120};
constexpr Rect STRIP = {170, 80, 170, 25};
constexpr Rect PANEL_TEXTS[] = {{225, 86, 70, 12}, {160, 125, 60, 9}, {160, 145, 40, 9}, {160, 165, 35, 9},
                                {250, 125, 20, 9}, {250, 145, 20, 9}, {250, 165, 20, 9}};
constexpr double CROSS[] = {350, 27, 370, 47};

struct Disc {
    int column, row;
    bool cpu;
};

struct IconLayout {
    int columns, rows;
    double hole_left, hole_top, hole_pitch;
    int buttons;
    double button_top, button_step, button_height;
    const Disc* discs;
    int disc_count;
    int line_from, line_to;  // indexes into discs: the ends of the winning line
    double disc_radius_per_pitch;
};

// A game the human has just won with a rising diagonal (row 0 at the top).
constexpr Disc FULL_DISCS[] = {
    {1, 5, false}, {2, 4, false}, {3, 3, false}, {4, 2, false}, {0, 5, true},  {1, 4, true}, {2, 5, true},
    {3, 5, false}, {3, 4, true},  {3, 2, true},  {4, 5, true},  {4, 4, false}, {4, 3, true}, {5, 5, false},
};
constexpr Disc COMPACT_DISCS[] = {
    {0, 3, false}, {1, 2, false}, {2, 1, false}, {3, 0, false}, {1, 3, true},
    {2, 3, false}, {2, 2, true},  {3, 3, true},  {3, 2, false}, {3, 1, true},
};

constexpr Disc TINY_DISCS[] = {
    {0, 2, false}, {1, 1, false}, {2, 0, false}, {1, 2, true}, {2, 2, true}, {2, 1, true},
};

constexpr IconLayout FULL_LAYOUT = {7, 6, 25,         250, 50, 3, 80, 35, 30, FULL_DISCS, int(std::size(FULL_DISCS)),
                                    0, 3, 20.0 / 50.0};
constexpr IconLayout COMPACT_LAYOUT = {
    4, 4, 25, 225, 87.5, 2, 75, 65, 50, COMPACT_DISCS, int(std::size(COMPACT_DISCS)), 0, 3, 0.42};
constexpr IconLayout TINY_LAYOUT = {3, 3, 25,  225, 350.0 / 3.0, 1, 80, 0, 70, TINY_DISCS, int(std::size(TINY_DISCS)),
                                    0, 2, 0.46};

// The large picture being drawn: stored pixels, 0 where nothing is.
struct Picture {
    int size;
    double scale;    // picture pixels per window unit, and vertically
    double scale_x;  // horizontally: the window is a whole number of icon pixels wide
    int window_left;
    int window_width;
    std::vector<uint32_t> pixels;
    ShadeCanvas* canvas;

    int px(double units) const { return int(std::lround(units * scale)); }
    int px_x(double units) const { return int(std::lround(units * scale_x)); }
    // A drawing target over the window's own area: the light sits above
    // its top-left corner, as in the game.
    DrawTarget window_target() {
        DrawTarget t;
        t.pixels = pixels.data() + window_left;
        t.width = window_width;
        t.height = size;
        t.pitch = size;
        return t;
    }
    void put(int x, int y, uint32_t stored) {
        x += window_left;
        if (x < 0 || y < 0 || x >= size || y >= size) return;
        pixels[size_t(y) * size + x] = stored;
    }
    void fill(const Rect& r, uint32_t colour) {
        for (int y = px(r.y); y < px(r.y + r.h); ++y)
            for (int x = px_x(r.x); x < px_x(r.x + r.w); ++x)
                put(x, y, stored(colour));
    }
    static uint32_t stored(uint32_t colour) {
        return uint32_t(colour_red(colour)) << 16 | uint32_t(colour_green(colour)) << 8 | colour_blue(colour);
    }
};

// A flat box with a bevel edge of about one window unit.
void framed_box(Picture& p, const Rect& r, uint32_t colour, bool raised) {
    p.fill(r, colour);
    const double edge = std::max(1.0 / p.scale, 1.0);
    const uint32_t top_left = raised ? LIGHT_EDGE : DARK_EDGE;
    const uint32_t bottom_right = raised ? DARK_EDGE : LIGHT_EDGE;
    p.fill({r.x, r.y, r.w, edge}, top_left);
    p.fill({r.x, r.y, edge, r.h}, top_left);
    p.fill({r.x, r.y + r.h - edge, r.w, edge}, bottom_right);
    p.fill({r.x + r.w - edge, r.y, edge, r.h}, bottom_right);
}

// A stroke with round ends from (x1, y1) to (x2, y2), in picture pixels.
void stroke(Picture& p, double x1, double y1, double x2, double y2, double width, uint32_t colour) {
    const double half = width / 2.0;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double length2 = dx * dx + dy * dy;
    const int left = int(std::floor(std::min(x1, x2) - half));
    const int right = int(std::ceil(std::max(x1, x2) + half));
    const int top = int(std::floor(std::min(y1, y2) - half));
    const int bottom = int(std::ceil(std::max(y1, y2) + half));
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const double cx = x + 0.5;
            const double cy = y + 0.5;
            double t = length2 > 0 ? ((cx - x1) * dx + (cy - y1) * dy) / length2 : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            const double ex = cx - (x1 + t * dx);
            const double ey = cy - (y1 + t * dy);
            if (ex * ex + ey * ey <= half * half) p.put(x, y, Picture::stored(colour));
        }
}

struct HolePlace {
    int x, y, size;
};

HolePlace hole_place(const Picture& p, const IconLayout& layout, int column, int row) {
    const int radius = int(std::floor(layout.hole_pitch * p.scale / 2.0));
    const double centre_x = layout.hole_left + layout.hole_pitch * (column + 0.5);
    const double centre_y = layout.hole_top + layout.hole_pitch * (row + 0.5);
    return {p.px_x(centre_x) - radius, p.px(centre_y) - radius, 2 * radius};
}

void draw_board(Picture& p, const IconLayout& layout, int icon_size) {
    ShadeCanvas& canvas = *p.canvas;
    clear_canvas_fast(canvas);
    const double icon_pixel = double(p.size) / icon_size;
    const int radius = std::max(p.px(BOARD_RADIUS), int(std::lround(MIN_CORNER_PIXELS * icon_pixel)));
    const int bevel = std::clamp(p.px(BOARD_BEVEL), 1, radius);
    render_slab(canvas, 0, 0, p.window_width - 1, p.size - 1, radius, bevel);
    for (int column = 0; column < layout.columns; ++column)
        for (int row = 0; row < layout.rows; ++row) {
            const HolePlace hole = hole_place(p, layout, column, row);
            const int rim = std::clamp(p.px(layout.hole_pitch * HOLE_RIM_PER_PITCH), 1, hole.size / 2);
            render_hole(canvas, hole.x, hole.y, hole.size, hole.size, hole.size / 2, rim);
        }
    for (int b = 0; b < layout.buttons; ++b) {
        const double top = layout.button_top + layout.button_step * b - WELL_MARGIN;
        const int w = p.px_x(BUTTON_WIDTH + 2 * WELL_MARGIN);
        const int h = p.px(layout.button_height + 2 * WELL_MARGIN);
        const int well_radius = std::max(1, h / 2);
        const int rim = std::clamp(int(std::lround(h * WELL_RIM_PER_HEIGHT)), 1, well_radius);
        render_hole(canvas, p.px_x(BUTTON_X - WELL_MARGIN), p.px(top), w, h, well_radius, rim);
    }
    const DrawTarget target = p.window_target();
    shade_canvas_into(canvas, target, p.window_width - 1, p.size - 1, BOARD_COLOUR, SHADE_OFFSET);
}

void draw_buttons(Picture& p, const IconLayout& layout, bool details) {
    ShadeCanvas& canvas = *p.canvas;
    clear_canvas_fast(canvas);
    const int w = p.px_x(BUTTON_WIDTH);
    const int h = p.px(layout.button_height);
    const int radius = std::max(1, int(h * BUTTON_RADIUS_PER_HEIGHT));
    const int bevel = std::clamp(int(std::lround(h * BUTTON_BEVEL_PER_HEIGHT)), 1, radius);
    for (int b = 0; b < layout.buttons; ++b)
        render_slab(canvas, p.px_x(BUTTON_X), p.px(layout.button_top + layout.button_step * b), w, h, radius, bevel);
    const DrawTarget target = p.window_target();
    shade_canvas_into(canvas, target, p.window_width - 1, p.size - 1, BUTTON_DIM, SHADE_OFFSET);
    if (!details) return;
    // Where the labels are: a bar as long as a short word.
    for (int b = 0; b < layout.buttons; ++b) {
        const double top = layout.button_top + layout.button_step * b;
        p.fill({BUTTON_X + 22, top + layout.button_height * 0.35, 48, layout.button_height * 0.3}, LABEL_DIM);
    }
}

void draw_panel(Picture& p, bool details) {
    framed_box(p, PANEL, PANEL_COLOUR, true);
    framed_box(p, STRIP, STRIP_COLOUR, false);
    if (!details) return;
    for (const Rect& text : PANEL_TEXTS)
        p.fill(text, LABEL_BRIGHT);
    const double width = CROSS_WIDTH * p.scale;
    stroke(p, p.px_x(CROSS[0]), p.px(CROSS[1]), p.px_x(CROSS[2]), p.px(CROSS[3]), width, CROSS_DARK);
    stroke(p, p.px_x(CROSS[0]), p.px(CROSS[3]), p.px_x(CROSS[2]), p.px(CROSS[1]), width, CROSS_DARK);
}

// One disc of each colour is shaded in a small target of its own (the light
// above the disc's own corner, as for the game's disc sprites), then copied
// into every cell that holds one, black left out.
void draw_discs(Picture& p, const IconLayout& layout, int icon_size) {
    const int radius = std::max(1, p.px(layout.hole_pitch * layout.disc_radius_per_pitch));
    const int bevel = std::clamp(int(std::lround(radius * DISC_BEVEL_PER_RADIUS)), 1, radius);
    const int extent = 2 * radius;
    const int size = extent + 1;
    std::vector<uint32_t> looks[2];
    const uint32_t colours[2] = {HUMAN_DISC_COLOUR, CPU_DISC_COLOUR};
    for (int look = 0; look < 2; ++look) {
        looks[look].assign(size_t(size) * size, 0);
        DrawTarget t;
        t.pixels = looks[look].data();
        t.width = size;
        t.height = size;
        t.pitch = size;
        clear_canvas_fast(*p.canvas);
        render_slab(*p.canvas, 0, 0, extent, extent, radius, bevel);
        shade_canvas_into(*p.canvas, t, extent, extent, colours[look], 0);
    }
    double centres[2][2] = {};
    for (int i = 0; i < layout.disc_count; ++i) {
        const Disc& disc = layout.discs[i];
        const HolePlace hole = hole_place(p, layout, disc.column, disc.row);
        const int cx = hole.x + hole.size / 2;
        const int cy = hole.y + hole.size / 2;
        const std::vector<uint32_t>& look = looks[disc.cpu ? 1 : 0];
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                if (const uint32_t v = look[size_t(y) * size + x]) p.put(cx - radius + x, cy - radius + y, v);
        if (i == layout.line_from || i == layout.line_to) {
            centres[i == layout.line_to][0] = cx + 0.5;
            centres[i == layout.line_to][1] = cy + 0.5;
        }
    }
    const double pixel = double(p.size) / icon_size;
    const double width = std::max(layout.hole_pitch * LINE_WIDTH_PER_PITCH * p.scale, LINE_MIN_WIDTH * pixel);
    stroke(p, centres[0][0], centres[0][1], centres[1][0], centres[1][1], width, LINE_COLOUR);
}

// Each icon pixel is the mean of the drawn pixels of its block; a block less
// than half drawn is transparent, so the outline stays crisp.
void shrink(const Picture& p, int icon_size, std::vector<uint32_t>& out) {
    const int k = p.size / icon_size;
    out.assign(size_t(icon_size) * icon_size, 0);
    for (int fy = 0; fy < icon_size; ++fy)
        for (int fx = 0; fx < icon_size; ++fx) {
            int count = 0;
            int sums[3] = {0, 0, 0};
            for (int y = fy * k; y < fy * k + k; ++y)
                for (int x = fx * k; x < fx * k + k; ++x) {
                    const uint32_t v = p.pixels[size_t(y) * p.size + x];
                    if (v == 0) continue;
                    ++count;
                    sums[0] += int(v >> 16 & 0xFF);
                    sums[1] += int(v >> 8 & 0xFF);
                    sums[2] += int(v & 0xFF);
                }
            if (2 * count < k * k) continue;
            uint32_t mean = 0;
            for (int c = 0; c < 3; ++c)
                mean = mean << 8 | uint32_t((sums[c] + count / 2) / count);
            out[size_t(fy) * icon_size + fx] = mean != 0 ? mean : 0x010101u;
        }
}

}  // namespace

void build_window_icon(int size, std::vector<uint32_t>& pixels, ShadeCanvas* canvas) {
    pixels.clear();
    if (size < 1 || size > MAX_ICON_SIZE) return;
    const int k = std::max(MIN_SUPERSAMPLING, RENDER_SIZE / size);
    if (size * k > MAX_ICON_SIZE) return;
    std::unique_ptr<ShadeCanvas> own;
    if (canvas == nullptr) {
        own = make_shade_canvas(CanvasStart::Cleared);
        canvas = own.get();
    }
    Picture p;
    p.size = size * k;
    // The window's sides fall on whole icon pixels, with equal margins, so
    // that its outline stays sharp at the smallest sizes.
    const int margin = int(std::lround(size * (1.0 - double(WINDOW_WIDTH) / WINDOW_HEIGHT) / 2.0));
    p.scale = p.size / double(WINDOW_HEIGHT);
    p.window_width = (size - 2 * margin) * k;
    p.scale_x = p.window_width / double(WINDOW_WIDTH);
    p.window_left = margin * k;
    p.pixels.assign(size_t(p.size) * p.size, 0);
    p.canvas = canvas;

    const IconLayout& layout = size >= FULL_LAYOUT_MIN_SIZE      ? FULL_LAYOUT
                               : size >= COMPACT_LAYOUT_MIN_SIZE ? COMPACT_LAYOUT
                                                                 : TINY_LAYOUT;
    const bool details = size >= DETAIL_MIN_SIZE;
    draw_board(p, layout, size);
    draw_buttons(p, layout, details);
    draw_panel(p, details);
    draw_discs(p, layout, size);
    shrink(p, size, pixels);
}
