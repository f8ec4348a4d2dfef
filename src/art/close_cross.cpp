#include "art/close_cross.h"

namespace {

constexpr int CROSS_PEN = 4;
constexpr uint32_t CROSS_LIGHT = pack_colour(240, 240, 240);

struct Stroke {
    int x, y, dx, dy;
};
constexpr Stroke LIGHT_STROKES[] = {{352, 28, 20, 20}, {351, 48, 20, -20}};
constexpr Stroke TOP_STROKES[] = {{350, 27, 20, 20}, {350, 47, 20, -20}};

}  // namespace

void draw_close_cross(uint32_t top_colour) {
    set_pen(CROSS_PEN, CROSS_LIGHT);
    for (const Stroke& s : LIGHT_STROKES)
        draw_line(s.x, s.y, s.dx, s.dy);
    set_pen(CROSS_PEN, top_colour);
    for (const Stroke& s : TOP_STROKES)
        draw_line(s.x, s.y, s.dx, s.dy);
}
