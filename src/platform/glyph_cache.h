// Faces opened at a size, and the glyphs each has rasterised: kept for the
// whole process, so that a font the board view loads on every redraw costs
// a look-up, not a file read.
#pragma once
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/font_matching.h"

// FreeType is told 72 dots per inch, where a point is a pixel.
constexpr int POINTS_PER_INCH = 72;

// How a size is asked for: by the em (character height, leading left out)
// or by the whole cell (ascent + descent).
enum class SizeBy { Em, Cell };

struct Glyph {
    std::vector<uint8_t> coverage;  // rows of width bytes
    int width = 0, height = 0;
    int left = 0, top = 0;  // bitmap corner relative to the pen on the baseline
    int advance = 0;        // whole pixels
};

struct SizedFace {
    FT_Face face = nullptr;
    ResolvedFace resolved;
    int em = 0;                   // pixels
    long em64 = 0;                // 1/64 pixels, as asked of FreeType: to open the face again
    int ascent = 0, descent = 0;  // pixels; the cell is ascent + descent high
    int underline_position = 0;   // pixels below the baseline
    int underline_thickness = 1;
    std::unordered_map<char32_t, Glyph> glyphs;
};

// The face at that size, or none when its file cannot be opened or sized.
SizedFace* sized_face(const ResolvedFace& resolved, SizeBy by, int pixels);
// A character's glyph; one the face lacks or cannot draw is an empty one.
const Glyph& glyph_of(SizedFace& sized, char32_t code);
// Closes every face's file once start-up has drawn its texts; the glyphs
// drawn stay, and a face opens again for a glyph it has not drawn.
void close_sized_faces();
