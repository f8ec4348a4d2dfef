#include "platform/glyph_cache.h"

#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace {

// Slant of a synthesised italic, as FreeType's own oblique (about 12 degrees).
constexpr FT_Fixed OBLIQUE_SHEAR = 0x0366A;

std::map<std::string, std::unique_ptr<SizedFace>> sized_faces;  // by file|index|size|synthesis

int round_div(long numerator, long denominator) { return int(std::lround(double(numerator) / double(denominator))); }

}  // namespace

SizedFace* sized_face(const ResolvedFace& resolved, SizeBy by, int pixels) {
    std::string key = resolved.file + "|" + std::to_string(resolved.index) + "|" + (by == SizeBy::Em ? "e" : "c") +
                      std::to_string(pixels) + "|" + (resolved.embolden ? "b" : "") + (resolved.oblique ? "o" : "");
    // A file given another face's cell is sized differently; the cells
    // differ in their ascents.
    if (resolved.cell != nullptr) key.append("|").append(std::to_string(resolved.cell->ascent));
    auto found = sized_faces.find(key);
    if (found != sized_faces.end()) return found->second.get();

    FT_Face face = nullptr;
    if (FT_New_Face(face_library(), resolved.file.c_str(), resolved.index, &face) != 0) return nullptr;
    // The cell is the face's usWinAscent and usWinDescent when it has them:
    // the artwork places its texts by those.
    const long face_units = face->units_per_EM > 0 ? face->units_per_EM : 2048;
    long units = face_units, cell_ascent = face->ascender, cell_descent = -face->descender;
    if (const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
        cell_ascent = os2->usWinAscent;
        cell_descent = os2->usWinDescent;
    }
    if (resolved.cell != nullptr) {
        cell_ascent = resolved.cell->ascent;
        cell_descent = resolved.cell->descent;
        units = resolved.cell->units;
    }
    // The em in 1/64 pixels.
    const long em64 = by == SizeBy::Em ? long(pixels) * 64 : long(pixels) * 64 * units / (cell_ascent + cell_descent);
    if (em64 <= 0 || FT_Set_Char_Size(face, 0, em64, POINTS_PER_INCH, POINTS_PER_INCH) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto sized = std::make_unique<SizedFace>();
    sized->face = face;
    sized->resolved = resolved;
    sized->em = round_div(em64, 64);
    sized->em64 = em64;
    sized->ascent = round_div(cell_ascent * em64, units * 64);
    sized->descent = round_div(cell_descent * em64, units * 64);
    if (by == SizeBy::Cell) sized->descent = pixels - sized->ascent;  // the cell is exactly what was asked
    sized->underline_position = std::max(1, round_div(-long(face->underline_position) * em64, face_units * 64));
    sized->underline_thickness = std::max(1, round_div(long(face->underline_thickness) * em64, face_units * 64));
    return sized_faces.emplace(key, std::move(sized)).first->second.get();
}

// A face closed by close_sized_faces opens again for a glyph it has not
// drawn yet.
bool open_face(SizedFace& sized) {
    if (sized.face != nullptr) return true;
    FT_Face face = nullptr;
    if (FT_New_Face(face_library(), sized.resolved.file.c_str(), sized.resolved.index, &face) != 0) return false;
    if (FT_Set_Char_Size(face, 0, sized.em64, POINTS_PER_INCH, POINTS_PER_INCH) != 0) {
        FT_Done_Face(face);
        return false;
    }
    sized.face = face;
    return true;
}

const Glyph& glyph_of(SizedFace& sized, char32_t code) {
    auto found = sized.glyphs.find(code);
    if (found != sized.glyphs.end()) return found->second;
    Glyph& glyph = sized.glyphs[code];
    if (!open_face(sized)) return glyph;
    FT_Face face = sized.face;
    if (FT_Load_Char(face, FT_ULong(code), FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return glyph;
    FT_GlyphSlot slot = face->glyph;
    FT_Pos extra_advance = 0;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (sized.resolved.embolden) {
            // As much as FreeType's own emboldening: a 24th of the em.
            const FT_Pos strength = FT_Pos(sized.em) * 64 / 24;
            FT_Outline_EmboldenXY(&slot->outline, strength, 0);
            extra_advance = strength;
        }
        if (sized.resolved.oblique) {
            FT_Matrix shear = {0x10000, OBLIQUE_SHEAR, 0, 0x10000};
            FT_Outline_Transform(&slot->outline, &shear);
        }
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.width = int(bitmap.width);
    glyph.height = int(bitmap.rows);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advance = int((slot->advance.x + extra_advance + 32) >> 6);
    glyph.coverage.resize(size_t(glyph.width) * size_t(glyph.height));
    for (int row = 0; row < glyph.height; ++row)
        std::memcpy(&glyph.coverage[size_t(row) * size_t(glyph.width)], bitmap.buffer + ptrdiff_t(row) * bitmap.pitch,
                    size_t(glyph.width));
    return glyph;
}

void close_sized_faces() {
    for (auto& [key, sized] : sized_faces)
        if (sized->face != nullptr) {
            FT_Done_Face(sized->face);
            sized->face = nullptr;
        }
}
