#include "art/shade_canvas.h"

#include <algorithm>
#include <cmath>

#include "platform/drawing.h"

namespace {

constexpr CanvasElement CLEARED = {0.0f, 0.0f, 0.0f, 1.0f};
// Rows and columns that clear_canvas resets: the picture, not its extra
// column 400 and row 600.
constexpr int CLEAR_WIDTH = CANVAS_WIDTH - 1;
constexpr int CLEAR_HEIGHT = CANVAS_HEIGHT - 1;

std::unique_ptr<ShadeCanvas> the_canvas;

void mark_clean(ShadeCanvas& canvas) {
    canvas.dirty_left = 0;
    canvas.dirty_top = 0;
    canvas.dirty_right = -1;
    canvas.dirty_bottom = -1;
}

int clamp_channel(double v) {
    if (v > 255.0) return 255;
    if (v < 0.0) return 0;
    return int(v);
}

}  // namespace

std::unique_ptr<ShadeCanvas> make_shade_canvas(CanvasStart start) {
    auto canvas = std::make_unique<ShadeCanvas>();
    const size_t count = size_t(CANVAS_WIDTH) * CANVAS_HEIGHT;
    if (start == CanvasStart::Zeros) {
        canvas->elements = std::make_unique<CanvasElement[]>(count);
    } else {
        canvas->elements = std::make_unique_for_overwrite<CanvasElement[]>(count);
        std::fill_n(canvas->elements.get(), count, CLEARED);
        mark_clean(*canvas);
    }
    return canvas;
}

ShadeCanvas* create_shade_canvas() {
    if (!the_canvas) the_canvas = make_shade_canvas();
    return the_canvas.get();
}

ShadeCanvas* process_canvas() { return the_canvas.get(); }

void free_shade_canvas() {
    the_canvas.reset();
    forget_corner_profiles();
}

void clear_canvas(ShadeCanvas& canvas) {
    for (int x = 0; x < CLEAR_WIDTH; ++x)
        std::fill_n(&canvas.at(x, 0), CLEAR_HEIGHT, CLEARED);
    mark_clean(canvas);
}

void clear_canvas_fast(ShadeCanvas& canvas) {
    if (canvas.dirty_left <= canvas.dirty_right) {
        const int rows = canvas.dirty_bottom - canvas.dirty_top + 1;
        for (int x = canvas.dirty_left; x <= canvas.dirty_right; ++x)
            std::fill_n(&canvas.at(x, canvas.dirty_top), rows, CLEARED);
    }
    mark_clean(canvas);
}

void shade_canvas_plain(const ShadeCanvas& canvas, int w, int h, uint32_t colour, int offset) {
    const int base_red = colour_red(colour) + offset;
    const int base_green = colour_green(colour) + offset;
    const int base_blue = colour_blue(colour) + offset;
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x) {
            const CanvasElement& e = canvas.at(x, y);
            if (e.height == 0.0f) continue;
            const float vx = float(x - LIGHT_X);
            const float vy = float(y - LIGHT_Y);
            const float vz = float(double(e.height) - LIGHT_Z);
            const float px = float(std::pow(double(vx), 2.0));
            const float py = float(std::pow(double(vy), 2.0));
            const float pz = float(std::pow(double(vz), 2.0));
            const float d = float(std::sqrt(double(px) + double(py) + double(pz)));
            const float ux = float((x - LIGHT_X) / double(d));
            const float uy = float((y - LIGHT_Y) / double(d));
            const float uz = float((double(e.height) - LIGHT_Z) / double(d));
            const float light = float(-(double(e.nx) * ux + double(e.ny) * uy + double(e.nz) * uz));
            const int red = clamp_channel(std::nearbyint(double(light) * CHANNEL_GAIN_RED + base_red));
            const int green = clamp_channel(std::nearbyint(double(light) * CHANNEL_GAIN_GREEN + base_green));
            const int blue = clamp_channel(std::nearbyint(double(light) * CHANNEL_GAIN_BLUE + base_blue));
            put_pixel(x, y, pack_colour(red, green, blue));
        }
}

void clear_canvas() {
    if (the_canvas) clear_canvas(*the_canvas);
}

void render_slab(int x, int y, int w, int h, int radius, int bevel) {
    if (the_canvas) render_slab(*the_canvas, x, y, w, h, radius, bevel);
}

void render_hole(int x, int y, int w, int h, int radius, int bevel) {
    if (the_canvas) render_hole(*the_canvas, x, y, w, h, radius, bevel);
}

void shade_canvas(int w, int h, uint32_t colour, int offset) {
    if (the_canvas) shade_canvas_plain(*the_canvas, w, h, colour, offset);
}

namespace {
constexpr uint32_t WHITE = pack_colour(255, 255, 255);
constexpr uint32_t BLACK = pack_colour(0, 0, 0);
constexpr int RIVET_SIZE = 3;
constexpr int RIVET_INSET = 4;
constexpr int RIVET_FAR_INSET = 7;  // from the far edge: inset plus rivet size

// The end point of a line is not drawn, so the right side is one pixel
// longer to close the corner.
void draw_bevel_frame(int x, int y, int w, int h, uint32_t top_left, uint32_t bottom_right) {
    draw_line_coloured(x, y, w, 0, top_left);
    draw_line(x, y, 0, h);
    draw_line_coloured(x, y + h, w, 0, bottom_right);
    draw_line(x + w, y, 0, h + 1);
}
}  // namespace

void draw_raised_frame(int x, int y, int w, int h) { draw_bevel_frame(x, y, w, h, WHITE, BLACK); }

void draw_sunken_frame(int x, int y, int w, int h) { draw_bevel_frame(x, y, w, h, BLACK, WHITE); }

void draw_riveted_frame(int x, int y, int w, int h) {
    draw_raised_frame(x, y, w, h);
    draw_raised_frame(x + RIVET_INSET, y + RIVET_INSET, RIVET_SIZE, RIVET_SIZE);
    draw_raised_frame(x + RIVET_INSET, y + h - RIVET_FAR_INSET, RIVET_SIZE, RIVET_SIZE);
    draw_raised_frame(x + w - RIVET_FAR_INSET, y + RIVET_INSET, RIVET_SIZE, RIVET_SIZE);
    draw_raised_frame(x + w - RIVET_FAR_INSET, y + h - RIVET_FAR_INSET, RIVET_SIZE, RIVET_SIZE);
}
