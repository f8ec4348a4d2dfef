#include "platform/font_handles.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform_internal.h"

namespace {

// The display the fonts are measured for: 96 dots per inch.
constexpr int DISPLAY_DPI = 96;
// The system font: a plain bold sans face with a 16-pixel cell.
constexpr int SYSTEM_FONT_CELL = 16;

std::vector<Font> fonts;         // handle h is fonts[h - 1]
FontHandle loaded_font = NO_FONT;  // the one font of load_font; the next call replaces it
Font system_font;

FontHandle new_font(const std::string& family, SizeBy by, int pixels, int weight, bool italic, int quarter_turns,
                    bool underline, bool strikeout) {
    if (pixels <= 0) return NO_FONT;
    if (!start_face_store()) {
        say_no_font(family);
        return NO_FONT;
    }
    const ResolvedFace* resolved = resolve_face(family, weight, italic);
    if (resolved == nullptr) return NO_FONT;
    SizedFace* face = sized_face(*resolved, by, pixels);
    if (face == nullptr) return NO_FONT;
    Font font;
    font.alive = true;
    font.face = face;
    font.quarter_turns = quarter_turns;
    font.underline = underline;
    font.strikeout = strikeout;
    // The board view loads its font on every redraw; handles of released
    // fonts are used again so the table stays small.
    for (size_t i = 0; i < fonts.size(); ++i)
        if (!fonts[i].alive) {
            fonts[i] = font;
            return FontHandle(i + 1);
        }
    fonts.push_back(font);
    return FontHandle(fonts.size());
}

}  // namespace

Font* font_of(FontHandle handle) {
    if (handle == SYSTEM_FONT) {
        if (system_font.face == nullptr && start_face_store())
            if (const ResolvedFace* resolved = resolve_face("sans-serif", WEIGHT_BOLD, false))
                system_font.face = sized_face(*resolved, SizeBy::Cell, SYSTEM_FONT_CELL);
        return system_font.face != nullptr ? &system_font : nullptr;
    }
    if (handle <= 0 || handle > int(fonts.size())) return nullptr;
    return &fonts[size_t(handle) - 1];
}

FontHandle load_font(const char* face, int size_pt, int style) {
    if (face == nullptr || size_pt <= 0) return NO_FONT;
    // The character height at the display's resolution, to the nearest pixel.
    const int em = int((long(size_pt) * DISPLAY_DPI + POINTS_PER_INCH / 2) / POINTS_PER_INCH);
    // Made before the old one goes, so the new font never takes over the
    // handle of the font it replaces.
    const FontHandle made =
        new_font(face, SizeBy::Em, em, (style & FS_BOLD) != 0 ? WEIGHT_BOLD : WEIGHT_NORMAL, (style & FS_ITALIC) != 0,
                 0, (style & FS_UNDERLINE) != 0, (style & FS_STRIKEOUT) != 0);
    release_font(loaded_font);
    loaded_font = made;
    return loaded_font;
}

FontHandle create_font_ex(const char* face, int cell_height, int weight, int angle) {
    if (face == nullptr) return NO_FONT;
    const SizeBy by = cell_height < 0 ? SizeBy::Em : SizeBy::Cell;
    const int pixels = cell_height == 0 ? SYSTEM_FONT_CELL : std::abs(cell_height);
    const int tenths = ((angle % 3600) + 3600) % 3600;
    const int quarter_turns = ((tenths + 450) / 900) % 4;  // the game only turns by whole quarters
    return new_font(face, by, pixels, weight > 0 ? weight : WEIGHT_NORMAL, false, quarter_turns, false, false);
}

void release_font(FontHandle font) {
    if (font <= 0 || font > int(fonts.size())) return;
    // A pass that still has the font selected keeps writing with it; the
    // glyphs belong to the process-wide store, so nothing dangles.
    fonts[size_t(font) - 1].alive = false;
    if (font == loaded_font) loaded_font = NO_FONT;
}

void select_font(FontHandle font) {
    DrawingPass* pass = open_drawing_pass();
    if (pass == nullptr) return;
    if (font == SYSTEM_FONT) {
        pass->font = SYSTEM_FONT;
        return;
    }
    const Font* f = font_of(font);
    if (f != nullptr && f->alive) pass->font = font;
}

bool font_info(FontHandle font, FontInfo* info) {
    const Font* f = font_of(font);
    if (f == nullptr || f->face == nullptr || (font != SYSTEM_FONT && !f->alive)) return false;
    if (info != nullptr) {
        info->family = f->face->resolved.family;
        info->em_height = f->face->em;
        info->ascent = f->face->ascent;
        info->descent = f->face->descent;
        info->quarter_turns = f->quarter_turns;
    }
    return true;
}

void shutdown_fonts() {
    fonts.clear();
    loaded_font = NO_FONT;
}

void close_font_files() {
    close_face_lookup();
    close_sized_faces();
}
