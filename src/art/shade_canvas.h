// The shaded-surface renderer: shapes write heights and unit normals into a
// floating-point canvas, then one shading pass lights the canvas with a
// point light above the target's top-left corner and writes the colours.
//
// Used only while the artwork and the window icon are built at start-up,
// never during play. Every value that reaches the picture goes through the
// same rounding steps (32-bit floats stored, doubles in between, halves
// rounded to even), so the pictures are the same on every machine.
#pragma once
#include <cstdint>
#include <memory>

struct DrawTarget;

// One more column and row than the 400 x 600 window picture.
constexpr int CANVAS_WIDTH = 401;   // x = 0..400
constexpr int CANVAS_HEIGHT = 601;  // y = 0..600

// The point light, in canvas units, relative to the target's top-left corner.
constexpr double LIGHT_X = 0.0;
constexpr double LIGHT_Y = 0.0;
constexpr double LIGHT_Z = 50.0;
// How far the light term moves each channel away from its base value.
constexpr double CHANNEL_GAIN_RED = 128.0;
constexpr double CHANNEL_GAIN_GREEN = 128.0;
constexpr double CHANNEL_GAIN_BLUE = 128.0;

// Height 0 means "no surface here": such an element is never shaded.
struct CanvasElement {
    float height;
    float nx;
    float ny;
    float nz;
};

struct ShadeCanvas {
    // CANVAS_WIDTH * CANVAS_HEIGHT elements, column-major: (x, y) at x * 601 + y.
    std::unique_ptr<CanvasElement[]> elements;
    // A box of columns 0..399 and rows 0..599 outside which the canvas holds
    // the cleared state: the shapes widen it, the clears empty it. The fast
    // clear resets only this box and the fast shading looks for heights only
    // there (and on column 400 and row 600), so write elements through the
    // shapes, or widen the box. Inclusive bounds; empty when left > right.
    int dirty_left = 0;
    int dirty_top = 0;
    int dirty_right = CANVAS_WIDTH - 2;
    int dirty_bottom = CANVAS_HEIGHT - 2;

    CanvasElement& at(int x, int y) { return elements[x * CANVAS_HEIGHT + y]; }
    const CanvasElement& at(int x, int y) const { return elements[x * CANVAS_HEIGHT + y]; }
};

// A canvas of its own (for tools and tests, and the window icon built
// alone): zero-filled like the game's, or already in the cleared state,
// which saves the first clear.
enum class CanvasStart { Zeros, Cleared };
std::unique_ptr<ShadeCanvas> make_shade_canvas(CanvasStart start = CanvasStart::Zeros);

// The process-wide canvas: created once at start-up by the game, before the
// artwork; the window icon is drawn on it next, and then it is freed: its
// 3.9 MB serve nothing in play. Without it the operations below do nothing.
ShadeCanvas* create_shade_canvas();
ShadeCanvas* process_canvas();
void free_shade_canvas();

// The shapes keep each corner's profile (some 400 KB in all) for the next
// shape of the same radius; freeing the process-wide canvas forgets them.
void forget_corner_profiles();

// --- operations on a given canvas ------------------------------------------

// Elements x = 0..399, y = 0..599 become flat and empty (height 0, normal
// (0, 0, 1)); column 400 and row 600 keep what they hold.
void clear_canvas(ShadeCanvas& canvas);
// Same result as clear_canvas, resetting only the box that shapes wrote
// since the last clear.
void clear_canvas_fast(ShadeCanvas& canvas);

// A raised slab over x..x+w by y..y+h (both ends included), corners rounded
// to radius, a quarter-round bevel of width bevel along the outline and a
// flat top at height bevel. Needs 2 * radius <= w, h and 1 <= bevel <= radius.
void render_slab(ShadeCanvas& canvas, int x, int y, int w, int h, int radius, int bevel);
// A recessed rim along the inside of the same outline; the inside is left as
// it is.
void render_hole(ShadeCanvas& canvas, int x, int y, int w, int h, int radius, int bevel);

// Lights elements x = 0..w, y = 0..h with a non-zero height and writes each
// one with put_pixel into the open drawing pass: the reference, one pow per
// squared term, a square root and three divisions per pixel.
void shade_canvas_plain(const ShadeCanvas& canvas, int w, int h, uint32_t colour, int offset);
// The same pixels, written straight into the target's memory; elements
// outside the target are skipped.
void shade_canvas_into(const ShadeCanvas& canvas, const DrawTarget& target, int w, int h, uint32_t colour, int offset);

// --- the same on the process-wide canvas -------------------------------------

void clear_canvas();
void render_slab(int x, int y, int w, int h, int radius, int bevel);
void render_hole(int x, int y, int w, int h, int radius, int bevel);
// Plain shading with put_pixel into the current drawing pass.
void shade_canvas(int w, int h, uint32_t colour, int offset);

// --- bevel frames around (x, y)-(x + w, y + h), drawn with lines ------------

// White top and left, black bottom and right; leaves black current.
void draw_raised_frame(int x, int y, int w, int h);
// Black top and left, white bottom and right; leaves white current, which
// the column numbers rely on.
void draw_sunken_frame(int x, int y, int w, int h);
// A raised frame with a small raised rivet inside each corner.
void draw_riveted_frame(int x, int y, int w, int h);
