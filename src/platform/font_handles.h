// The fonts the game makes and releases (load_font, create_font_ex): small
// handles onto the process-wide sized faces, each with its direction and
// its lines. Handles come and go; the faces and glyphs stay.
#pragma once
#include "platform/drawing.h"
#include "platform/glyph_cache.h"

struct Font {
    bool alive = false;
    SizedFace* face = nullptr;
    int quarter_turns = 0;  // text direction: 0 right, 1 up, 2 left, 3 down
    bool underline = false;
    bool strikeout = false;
};

// The font behind a handle, released ones included (a pass may still write
// with them); the system font is made on first use. None for a handle never
// made or a system font that cannot be had.
Font* font_of(FontHandle handle);
