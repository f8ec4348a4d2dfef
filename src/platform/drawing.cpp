// The drawing pass: lines, boxes and pixels on one open draw target. Text
// (text.cpp, with its fonts in font_handles.cpp) shares the pass (colour,
// mode, current position).
#include "platform/drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/platform_internal.h"
#include "platform/target_pixels.h"

namespace {

constexpr uint32_t INVERT_MASK = 0x00FFFFFFu;

DrawingPass pass;
bool pass_open = false;
// The last value given to set_colour; unlike the pen and the text colour it
// outlives the pass (draw_line_to's end pixel uses it).
uint32_t current_colour = 0;

uint32_t* pixel_at(int x, int y) { return target_pixel(*pass.target, x, y); }

// Draws one pixel the way lines and boxes do: the colour, or inverted.
void paint(int x, int y, uint32_t stored) {
    uint32_t* p = pixel_at(x, y);
    if (p == nullptr) return;
    *p = (pass.mode & DM_INVERT) != 0 ? (*p ^ INVERT_MASK) : stored;
}

// The classic integer line: every pixel from the start towards the end
// point, the end point itself left out.
void thin_line(int x0, int y0, int x1, int y1, uint32_t stored) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        paint(x0, y0, stored);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

// A pen wider than one pixel covers the capsule around the segment: every
// pixel whose centre lies closer than width / 2 to it, which gives the line
// round ends. An odd width centres on the pixels of the thin line; an even
// one cannot, and leans half a pixel up and to the left.
void wide_line(int x0, int y0, int x1, int y1, int width, uint32_t stored) {
    const double radius = width / 2.0;
    const double offset = width % 2 == 0 ? 0.5 : 0.0;
    const double vx = x1 - x0, vy = y1 - y0;
    const double length2 = vx * vx + vy * vy;
    const int reach = int(std::ceil(radius)) + 1;
    const int left = std::max(std::min(x0, x1) - reach, 0);
    const int right = std::min(std::max(x0, x1) + reach, pass.target->width - 1);
    const int top = std::max(std::min(y0, y1) - reach, 0);
    const int bottom = std::min(std::max(y0, y1) + reach, pass.target->height - 1);
    for (int py = top; py <= bottom; ++py)
        for (int px = left; px <= right; ++px) {
            const double wx = px + offset - x0, wy = py + offset - y0;
            double t = length2 > 0 ? (wx * vx + wy * vy) / length2 : 0.0;
            t = std::clamp(t, 0.0, 1.0);
            const double ex = wx - t * vx, ey = wy - t * vy;
            if (ex * ex + ey * ey < radius * radius) paint(px, py, stored);
        }
}

void line_with_pen(int x0, int y0, int x1, int y1) {
    const uint32_t stored = stored_pixel(pass.pen_colour);
    if (pass.pen_width <= 1)
        thin_line(x0, y0, x1, y1, stored);
    else
        wide_line(x0, y0, x1, y1, pass.pen_width, stored);
    pass.x = x1;
    pass.y = y1;
}

}  // namespace

DrawingPass* open_drawing_pass() { return pass_open ? &pass : nullptr; }

DrawingContext begin_drawing(DrawTarget* target) {
    end_drawing();
    if (target == nullptr || target->pixels == nullptr) return nullptr;
    pass = DrawingPass{};
    pass.target = target;
    pass_open = true;
    return target;
}

void end_drawing() {
    if (!pass_open) return;
    release_draw_target(pass.target);
    pass = DrawingPass{};
    pass_open = false;
}

void end_drawing_on(const DrawTarget* target) {
    if (pass_open && pass.target == target) {
        pass = DrawingPass{};
        pass_open = false;
    }
}

void shutdown_drawing() {
    end_drawing();
    current_colour = 0;
}

void set_draw_mode(int flags) {
    if (pass_open) pass.mode = flags;
}

void set_colour(int red, int green, int blue) {
    current_colour = pack_colour(red, green, blue);
    if (!pass_open) return;
    pass.pen_width = 1;
    pass.pen_colour = current_colour;
    pass.text_colour = current_colour;
}

void set_pen(int width, uint32_t colour) {
    if (!pass_open) return;
    pass.pen_width = std::max(width, 1);
    pass.pen_colour = colour & 0xFFFFFFu;
}

void draw_line(int x, int y, int dx, int dy) {
    if (pass_open) line_with_pen(x, y, x + dx, y + dy);
}

void draw_line_coloured(int x, int y, int dx, int dy, uint32_t colour) {
    set_colour(colour_red(colour), colour_green(colour), colour_blue(colour));
    draw_line(x, y, dx, dy);
}

void draw_line_to(int x1, int y1, int x2, int y2) {
    if (!pass_open) return;
    line_with_pen(x1, y1, x2, y2);
    // The end pixel takes the last set_colour, whatever pen drew the line.
    if (uint32_t* p = pixel_at(x2, y2)) *p = stored_pixel(current_colour);
}

void draw_box(int x, int y, int width, int height, uint32_t colour) {
    set_colour(colour_red(colour), colour_green(colour), colour_blue(colour));
    if (!pass_open || width <= 0 || height <= 0) return;
    const uint32_t stored = stored_pixel(current_colour);
    const bool hollow = (pass.mode & DM_HOLLOW) != 0;
    if (!hollow && (pass.mode & DM_INVERT) == 0) {
        // The plain filled box, the backdrop's ground among them.
        fill_rect(*pass.target, x, y, width, height, stored);
        return;
    }
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
            const bool edge = row == 0 || col == 0 || row == height - 1 || col == width - 1;
            if (edge || !hollow) paint(x + col, y + row, stored);
        }
}

void put_pixel(int x, int y, uint32_t colour) {
    if (!pass_open) return;
    if (uint32_t* p = pixel_at(x, y)) *p = stored_pixel(colour);
}

std::string number_to_text(int32_t n) { return std::to_string(n); }
