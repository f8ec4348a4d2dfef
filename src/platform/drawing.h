// The drawing pass: pixels, lines, boxes and text on one open DrawTarget.
#pragma once
#include <cstdint>
#include <string>
#include "screen.h"

using DrawingContext = DrawTarget*;
using FontHandle = int;
constexpr FontHandle NO_FONT = 0;
constexpr FontHandle SYSTEM_FONT = -1;

// Draw-mode flags.
constexpr int DM_TRANSPARENT = 0x1;  // text without its background cell
constexpr int DM_INVERT = 0x2;
constexpr int DM_HOLLOW = 0x4;

// Font styles.
constexpr int FS_UNDERLINE = 0x4;
constexpr int FS_STRIKEOUT = 0x8;
constexpr int FS_PROOF = 0x10;
constexpr int FS_BOLD = 0x100;
constexpr int FS_ITALIC = 0x200;

DrawingContext begin_drawing(DrawTarget* target);
void end_drawing();
void set_draw_mode(int flags);
void set_colour(int red, int green, int blue);
void set_pen(int width, uint32_t colour);

FontHandle load_font(const char* face, int size_pt, int style);
FontHandle create_font_ex(const char* face, int cell_height, int weight, int angle);
void release_font(FontHandle font);
// What a font turned out to be, for tests and tools; false for a font that
// does not exist (never made, released, or replaced in its slot).
struct FontInfo {
    std::string family;  // the face actually used
    int em_height = 0;   // pixels, internal leading left out
    int ascent = 0;      // pixels; the character cell is ascent + descent high
    int descent = 0;
    int quarter_turns = 0;  // text direction: 0 right, 1 up, 2 left, 3 down
};
bool font_info(FontHandle font, FontInfo* info);
void select_font(FontHandle font);
void set_text_pos(int x, int y);
void draw_text(const char* text);  // UTF-8

void draw_line(int x, int y, int dx, int dy);
void draw_line_coloured(int x, int y, int dx, int dy, uint32_t colour);
void draw_line_to(int x1, int y1, int x2, int y2);
void draw_box(int x, int y, int width, int height, uint32_t colour);
void put_pixel(int x, int y, uint32_t colour);

constexpr uint32_t pack_colour(int red, int green, int blue) {
    return uint32_t(red) + uint32_t(green) * 256u + uint32_t(blue) * 65536u;
}
constexpr int colour_red(uint32_t v) { return int(v & 0xFF); }
constexpr int colour_green(uint32_t v) { return int((v >> 8) & 0xFF); }
constexpr int colour_blue(uint32_t v) { return int((v >> 16) & 0xFF); }
std::string number_to_text(int32_t n);
