// Text on the draw target: a line of UTF-8 laid out in glyphs of a sized
// face (glyph_cache.h), in any of the four directions, with its background
// cell and its lines, in the drawing pass's colour. The platform's own plain
// text, for the message box, goes through the same glyphs.
#include <cstdint>
#include <vector>

#include "platform/drawing.h"
#include "platform/font_handles.h"
#include "platform/font_matching.h"
#include "platform/platform_internal.h"
#include "platform/target_pixels.h"
#include "platform/utf8.h"

namespace {

constexpr uint32_t TEXT_BACKGROUND = 0x00FFFFFFu;  // stored white

// Maps a pixel of horizontal text (u to the right, v down, from the cell's
// top-left corner) onto the target for the font's direction, rotating about
// the text position.
struct TextPlacement {
    int x, y;
    int quarter_turns;
    void map(int u, int v, int* tx, int* ty) const {
        switch (quarter_turns) {
        case 1:
            *tx = x + v;
            *ty = y - 1 - u;
            break;
        case 2:
            *tx = x - 1 - u;
            *ty = y - 1 - v;
            break;
        case 3:
            *tx = x - 1 - v;
            *ty = y + u;
            break;
        default:
            *tx = x + u;
            *ty = y + v;
            break;
        }
    }
};

void fill_cell_rect(DrawTarget* target, const TextPlacement& at, int u0, int v0, int width, int height,
                    uint32_t stored) {
    for (int v = v0; v < v0 + height; ++v)
        for (int u = u0; u < u0 + width; ++u) {
            int tx, ty;
            at.map(u, v, &tx, &ty);
            cover_pixel(*target, tx, ty, stored, 255);
        }
}

// The glyphs of a UTF-8 line, and its width along the text direction.
std::vector<const Glyph*> glyph_run(SizedFace& face, const char* text, int* total) {
    std::vector<const Glyph*> glyphs;
    *total = 0;
    for (const unsigned char* s = reinterpret_cast<const unsigned char*>(text); *s != 0;) {
        const Glyph& g = glyph_of(face, next_code_point(s));
        glyphs.push_back(&g);
        *total += g.advance;
    }
    return glyphs;
}

void blit_glyph_run(DrawTarget* target, const TextPlacement& at, const SizedFace& face,
                    const std::vector<const Glyph*>& glyphs, uint32_t stored) {
    int pen = 0;
    for (const Glyph* g : glyphs) {
        const int u0 = pen + g->left, v0 = face.ascent - g->top;
        for (int row = 0; row < g->height; ++row)
            for (int col = 0; col < g->width; ++col) {
                int tx, ty;
                at.map(u0 + col, v0 + row, &tx, &ty);
                cover_pixel(*target, tx, ty, stored, g->coverage[size_t(row) * size_t(g->width) + size_t(col)]);
            }
        pen += g->advance;
    }
}

// The platform's own plain face (see measure_plain_text).
SizedFace* plain_face(int em_pixels, bool bold) {
    if (em_pixels <= 0 || !start_face_store()) return nullptr;
    const ResolvedFace* resolved = resolve_face("sans-serif", bold ? WEIGHT_BOLD : WEIGHT_NORMAL, false);
    return resolved != nullptr ? sized_face(*resolved, SizeBy::Em, em_pixels) : nullptr;
}

}  // namespace

void set_text_pos(int x, int y) {
    if (DrawingPass* pass = open_drawing_pass()) {
        pass->x = x;
        pass->y = y;
    }
}

void draw_text(const char* text) {
    DrawingPass* pass = open_drawing_pass();
    if (pass == nullptr || text == nullptr || *text == 0) return;
    Font* font = font_of(pass->font);
    if (font == nullptr || font->face == nullptr) return;
    SizedFace& face = *font->face;

    int total = 0;
    const std::vector<const Glyph*> glyphs = glyph_run(face, text, &total);
    DrawTarget* target = pass->target;
    const TextPlacement at{pass->x, pass->y, font->quarter_turns};
    const int cell = face.ascent + face.descent;
    const uint32_t stored = stored_pixel(pass->text_colour);
    if ((pass->mode & DM_TRANSPARENT) == 0) fill_cell_rect(target, at, 0, 0, total, cell, TEXT_BACKGROUND);
    blit_glyph_run(target, at, face, glyphs, stored);
    if (font->underline)
        fill_cell_rect(target, at, 0, face.ascent + face.underline_position, total, face.underline_thickness, stored);
    if (font->strikeout)
        fill_cell_rect(target, at, 0, face.ascent - face.em / 3, total, face.underline_thickness, stored);

    // The cursor moves along with the text.
    switch (font->quarter_turns) {
    case 1: pass->y -= total; break;
    case 2: pass->x -= total; break;
    case 3: pass->y += total; break;
    default: pass->x += total; break;
    }
}

bool measure_plain_text(const char* text, int em_pixels, bool bold, PlainTextSize* size) {
    SizedFace* face = plain_face(em_pixels, bold);
    if (face == nullptr || text == nullptr) return false;
    glyph_run(*face, text, &size->width);
    size->ascent = face->ascent;
    size->descent = face->descent;
    return true;
}

void draw_plain_text(DrawTarget* target, int x, int y, const char* text, int em_pixels, bool bold,
                     uint32_t stored_colour) {
    SizedFace* face = plain_face(em_pixels, bold);
    if (face == nullptr || target == nullptr || target->pixels == nullptr || text == nullptr) return;
    int total = 0;
    blit_glyph_run(target, TextPlacement{x, y, 0}, *face, glyph_run(*face, text, &total), stored_colour);
}
