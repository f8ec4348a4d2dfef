// What the platform core's own files share; nothing outside src/platform
// includes this header.
#pragma once
#include <cstdint>
#include "platform/backend.h"
#include "platform/drawing.h"
#include "platform/screen.h"

// The drawing pass of drawing.cpp, read by text.cpp and font_handles.cpp.
// Null when none is open.
struct DrawingPass {
    DrawTarget* target = nullptr;
    int mode = 0;              // DM_* flags
    uint32_t text_colour = 0;  // packed
    int x = 0;                 // the current position, shared by lines and text
    int y = 0;
    int pen_width = 1;
    uint32_t pen_colour = 0;  // packed
    FontHandle font = SYSTEM_FONT;
};
DrawingPass* open_drawing_pass();

// screen.cpp: the whole back buffer goes to the display at the next present.
void mark_screen_changed();
// screen.cpp: gives an open draw target back to its surface (end_drawing).
void release_draw_target(DrawTarget* target);
// Closes the drawing pass if it works on the given target (present_frame
// takes the back buffer away from a pass left open on it).
void end_drawing_on(const DrawTarget* target);

// font_matching.cpp: starts reading the font configuration on a helper
// thread, so that the first text of the artwork does not wait for it. The
// game itself stays on one thread: nothing else touches the fonts until it
// is done. Called by init_screen_system once the display has started,
// never before.
void prepare_fonts_early();
// font_handles.cpp: lets go of the font files and of fontconfig's configuration
// once start-up has drawn its texts; the glyphs drawn stay, and a face or a
// family asked for again is opened or looked up again. Called by
// return_free_memory.
void close_font_files();

// text.cpp: one line of UTF-8 text in the platform's own plain sans face,
// for the pictures the platform draws itself (the message box). These work
// outside the game's drawing pass and fonts, so a box shown in the middle of
// the game's drawing leaves both as they were. measure_plain_text is false
// when no face can be found; the text is then not drawn either.
struct PlainTextSize {
    int width = 0;
    int ascent = 0, descent = 0;  // the line's cell is ascent + descent high
};
bool measure_plain_text(const char* text, int em_pixels, bool bold, PlainTextSize* size);
// (x, y) is the top-left corner of the line's cell; the colour is stored.
void draw_plain_text(DrawTarget* target, int x, int y, const char* text, int em_pixels, bool bold,
                     uint32_t stored_colour);

// The parts of shutdown_platform, in the order it calls them.
void shutdown_screen();
void shutdown_drawing();
void shutdown_fonts();

// Stored pixel (0x00RRGGBB) of a packed colour (red in the low byte).
constexpr uint32_t stored_pixel(uint32_t packed) {
    return ((packed & 0xFFu) << 16) | (packed & 0xFF00u) | ((packed >> 16) & 0xFFu);
}
