// Fonts and text: faces found with fontconfig, glyphs rasterised with
// FreeType, anti-aliased coverage blended into the draw target.
//
// Resolved faces and rasterised glyphs are kept for the whole process: the
// board view loads the same font on every redraw, and tests start many
// games in one process, so a font load must cost a look-up, not a file
// read. Font handles are what load_font and create_font_ex hand out; they
// come and go, the glyphs stay.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/drawing.h"
#include "platform/platform_internal.h"

namespace {

// The display the fonts are measured for: 96 dots per inch.
constexpr int DISPLAY_DPI = 96;
constexpr int POINTS_PER_INCH = 72;
constexpr int WEIGHT_NORMAL = 400;
constexpr int WEIGHT_BOLD = 700;
// Weights from this one up want a bold face (or an emboldened outline).
constexpr int WEIGHT_WANTS_BOLD = 600;
// The system font: a plain bold sans face with a 16-pixel cell.
constexpr int SYSTEM_FONT_CELL = 16;
constexpr uint32_t TEXT_BACKGROUND = 0x00FFFFFFu;  // stored white
// Text the face must cover to be accepted: a symbol or dingbat face that
// happens to carry a requested name is never used for letters.
constexpr const char32_t* LATIN_PROBE = U"AZaz09é%!";
// The size the probe text is drawn at to see that a face leaves ink.
constexpr int PROBE_PIXELS = 24;
// Slant of a synthesised italic, as FreeType's own oblique (about 12 degrees).
constexpr FT_Fixed OBLIQUE_SHEAR = 0x0366A;

// ----------------------------------------------------------------------------
// Faces

// A face's cell (the ascent and descent of its OS/2 table's usWinAscent and
// usWinDescent) in its design units. A face
// drawn to another's widths rarely shares its cell too, and the artwork
// places its texts by their cells: a substitute takes the cell of the face
// it stands in for, so its baselines land where that face's would.
struct Cell {
    long ascent, descent, units;
};
constexpr Cell TIMES_NEW_ROMAN_CELL{1825, 443, 2048};
constexpr Cell ARIAL_CELL{1854, 434, 2048};
constexpr Cell ARIAL_NARROW_CELL{1888, 431, 2048};

struct ResolvedFace {
    std::string file;
    int index = 0;
    std::string family;
    bool embolden = false;       // the file is lighter than the weight asked for
    bool oblique = false;        // the file is upright but italic was asked for
    const Cell* cell = nullptr;  // the cell it is given, or none: the file's own
};

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

struct FaceStore {
    bool ready = false;
    bool failed = false;
    bool lookup_closed = false;  // fontconfig let go by close_font_files
    FT_Library library = nullptr;
    std::map<std::string, ResolvedFace> resolved;             // by family|weight|italic
    std::map<std::string, std::unique_ptr<SizedFace>> sized;  // by file|index|size|synthesis
};

FaceStore store;
// Reading fontconfig's configuration takes milliseconds; it runs beside the
// start-up (see prepare_fonts_early) and start_face_store waits for it.
std::future<void> preparation;

void open_face_store() {
    if (!FcInit() || FT_Init_FreeType(&store.library) != 0) {
        store.failed = true;
        return;
    }
    store.ready = true;
}

bool start_face_store() {
    if (preparation.valid()) preparation.get();
    if (!store.ready && !store.failed) open_face_store();
    return store.ready;
}

bool same_name(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

bool is_generic_family(const std::string& family) {
    return family == "serif" || family == "sans-serif" || family == "sans" || family == "monospace";
}

struct Candidate {
    const char* family;
    int min_weight;    // a substitute for a heavy face is asked for bold
    const Cell* cell;  // the cell it is given, or none: its own
};

// The faces tried for a requested family, in order: the face itself, then
// the free faces drawn to its letter widths, so that every text keeps the
// length the artwork places it for, then fontconfig's own choice for the
// generic family. A face of other widths pushes the title's "4" onto its
// neighbour and cuts the banners short. Each substitute takes the cell of
// the face it stands in for.
std::vector<Candidate> candidates_for(const std::string& family) {
    const Cell* times = &TIMES_NEW_ROMAN_CELL;
    const Cell* arial = &ARIAL_CELL;
    const Cell* narrow = &ARIAL_NARROW_CELL;
    if (same_name(family, "Times New Roman"))
        return {{"Times New Roman", 0, nullptr},
                {"Liberation Serif", 0, times},
                {"Tinos", 0, times},
                {"Nimbus Roman", 0, times},
                {"Nimbus Roman No9 L", 0, times},
                {"TeX Gyre Termes", 0, times},
                {"serif", 0, times}};
    if (same_name(family, "Arial"))
        return {{"Arial", 0, nullptr},     {"Liberation Sans", 0, arial}, {"Arimo", 0, arial},
                {"Nimbus Sans", 0, arial}, {"Nimbus Sans L", 0, arial},   {"TeX Gyre Heros", 0, arial},
                {"sans-serif", 0, arial}};
    // No free face shares Impact's widths. The narrow bold sans faces come
    // closest; they share each other's widths and are given one cell, so
    // either writes the column numbers alike. Then a condensed bold sans.
    if (same_name(family, "Impact"))
        return {{"Impact", 0, nullptr},
                {"Liberation Sans Narrow", WEIGHT_BOLD, narrow},
                {"Nimbus Sans Narrow", WEIGHT_BOLD, narrow},
                {"DejaVu Sans Condensed", WEIGHT_BOLD, nullptr},
                {"sans-serif", WEIGHT_BOLD, nullptr}};
    return {{family.c_str(), 0, nullptr}, {"sans-serif", 0, nullptr}};
}

// A face whose outlines are damaged opens, claims its characters and names
// its glyphs, yet draws nothing: every probe character must leave ink.
bool draws_probe_text(FT_Face face) {
    if (FT_Set_Pixel_Sizes(face, 0, PROBE_PIXELS) != 0) return false;
    for (const char32_t* c = LATIN_PROBE; *c != 0; ++c) {
        if (FT_Load_Char(face, FT_ULong(*c), FT_LOAD_RENDER | FT_LOAD_NO_BITMAP) != 0) return false;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        bool ink = false;
        for (unsigned row = 0; row < bitmap.rows && !ink; ++row)
            for (unsigned col = 0; col < bitmap.width && !ink; ++col)
                ink = bitmap.buffer[ptrdiff_t(row) * bitmap.pitch + ptrdiff_t(col)] != 0;
        if (!ink) return false;
    }
    return true;
}

// Said once per file: the player learns why a font other than the usual
// one writes the texts.
void say_face_draws_nothing(const char* file) {
    static std::set<std::string> told;
    if (told.insert(file).second)
        std::fprintf(stderr, "colonnade4: the font file %s draws no letters; another font is used\n", file);
}

// A symbol face can map the Latin letters to its own signs (its "A" an
// Alpha or a dingbat), and fontconfig then counts them as Latin: the
// glyph's own name tells, in the faces that name their glyphs. A face that
// cannot be opened or draws nothing is passed over in the same way.
bool writes_latin_letters(const char* file, int index) {
    FT_Face face = nullptr;
    if (FT_New_Face(store.library, file, index, &face) != 0) return false;
    bool latin = true;
    if (FT_HAS_GLYPH_NAMES(face)) {
        char name[16] = "";
        const FT_UInt glyph = FT_Get_Char_Index(face, 'A');
        latin = glyph != 0 && FT_Get_Glyph_Name(face, glyph, name, sizeof name) == 0 && std::strcmp(name, "A") == 0;
    }
    if (latin && !draws_probe_text(face)) {
        say_face_draws_nothing(file);
        latin = false;
    }
    FT_Done_Face(face);
    return latin;
}

bool covers_latin(FcPattern* match) {
    FcCharSet* charset = nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) != FcResultMatch ||
        FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch)
        return false;
    for (const char32_t* c = LATIN_PROBE; *c != 0; ++c)
        if (!FcCharSetHasChar(charset, FcChar32(*c))) return false;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    return writes_latin_letters(reinterpret_cast<const char*>(file), index);
}

bool has_family(FcPattern* match, const std::string& family, std::string* found) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (i == 0) *found = reinterpret_cast<const char*>(name);
        if (same_name(reinterpret_cast<const char*>(name), family)) {
            *found = reinterpret_cast<const char*>(name);
            return true;
        }
    }
    return false;
}

// fontconfig's pick for a candidate, or none: for a named family its best
// match when that is the family (or, should that face be unusable, the
// family's next one); for a generic family the first face of
// its own order of preference that writes Latin text, so that a symbol
// face ranked first is passed over. The caller destroys the pick.
FcPattern* pick_face(FcPattern* pattern, const char* family) {
    FcResult result = FcResultNoMatch;
    const bool generic = is_generic_family(family);
    if (!generic) {
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        std::string found;
        const bool of_family = match != nullptr && has_family(match, family, &found);
        if (of_family && covers_latin(match)) return match;
        if (match != nullptr) FcPatternDestroy(match);
        // The family's best face is unusable (a damaged copy ranked first):
        // its next face that writes, as fontconfig orders them.
        if (!of_family) return nullptr;
    }
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    FcPattern* pick = nullptr;
    std::string found;
    for (int i = 0; sorted != nullptr && i < sorted->nfont && pick == nullptr; ++i)
        if ((generic || has_family(sorted->fonts[i], family, &found)) && covers_latin(sorted->fonts[i]))
            pick = FcFontRenderPrepare(nullptr, pattern, sorted->fonts[i]);
    if (sorted != nullptr) FcFontSetDestroy(sorted);
    return pick;
}

// Whether some installed face carries the family's name: a far cheaper
// question than fontconfig's best match, which for a missing family is some
// other face, passed over all the same.
bool family_installed(const char* family) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* faces = FcFontList(nullptr, pattern, objects);
    const bool found = faces != nullptr && faces->nfont > 0;
    if (faces != nullptr) FcFontSetDestroy(faces);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

// The face fontconfig picks for a candidate at a weight and slant.
bool try_family(const Candidate& candidate, int weight, bool italic, ResolvedFace* out) {
    if (!is_generic_family(candidate.family) && !family_installed(candidate.family)) return false;
    const int wanted_weight = std::max(weight, candidate.min_weight);
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(candidate.family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(wanted_weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcPattern* match = pick_face(pattern, candidate.family);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;

    FcChar8* file = nullptr;
    const bool accepted = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (accepted) {
        int index = 0, matched_weight = FC_WEIGHT_REGULAR, matched_slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &matched_weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &matched_slant);
        has_family(match, candidate.family, &out->family);
        out->file = reinterpret_cast<const char*>(file);
        out->index = index;
        out->embolden = wanted_weight >= WEIGHT_WANTS_BOLD && matched_weight < FC_WEIGHT_DEMIBOLD;
        out->oblique = italic && matched_slant == FC_SLANT_ROMAN;
        out->cell = candidate.cell;
    }
    FcPatternDestroy(match);
    return accepted;
}

// Without any face the game still plays, its texts left blank; the player
// is told once, by the first face that could not be had.
void say_no_font(const std::string& family) {
    static std::once_flag said;
    std::call_once(said, [&family] {
        std::fprintf(stderr,
                     "colonnade4: no font found for \"%s\" nor any other that writes Latin letters; "
                     "the texts are left out\n",
                     family.c_str());
    });
}

// A face found missing stays missing: the board view asks for its font on
// every redraw, and the search for it must not run each time.
const ResolvedFace* resolve_face(const std::string& family, int weight, bool italic) {
    const std::string key = family + "|" + std::to_string(weight) + "|" + (italic ? "i" : "r");
    auto found = store.resolved.find(key);
    if (found == store.resolved.end()) {
        if (store.lookup_closed) store.lookup_closed = !FcInit();
        ResolvedFace face;
        for (const Candidate& candidate : candidates_for(family))
            if (try_family(candidate, weight, italic, &face)) break;
        if (face.file.empty()) say_no_font(family);
        found = store.resolved.emplace(key, face).first;
    }
    return found->second.file.empty() ? nullptr : &found->second;
}

int round_div(long numerator, long denominator) { return int(std::lround(double(numerator) / double(denominator))); }

// How a size is asked for: by the em (character height, leading left out)
// or by the whole cell (ascent + descent).
enum class SizeBy { Em, Cell };

SizedFace* sized_face(const ResolvedFace& resolved, SizeBy by, int pixels) {
    std::string key = resolved.file + "|" + std::to_string(resolved.index) + "|" + (by == SizeBy::Em ? "e" : "c") +
                      std::to_string(pixels) + "|" + (resolved.embolden ? "b" : "") + (resolved.oblique ? "o" : "");
    // A file given another face's cell is sized differently; the cells
    // differ in their ascents.
    if (resolved.cell != nullptr) key.append("|").append(std::to_string(resolved.cell->ascent));
    auto found = store.sized.find(key);
    if (found != store.sized.end()) return found->second.get();

    FT_Face face = nullptr;
    if (FT_New_Face(store.library, resolved.file.c_str(), resolved.index, &face) != 0) return nullptr;
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
    return store.sized.emplace(key, std::move(sized)).first->second.get();
}

// A face closed by close_font_files opens again for a glyph it has not
// drawn yet.
bool open_face(SizedFace& sized) {
    if (sized.face != nullptr) return true;
    FT_Face face = nullptr;
    if (FT_New_Face(store.library, sized.resolved.file.c_str(), sized.resolved.index, &face) != 0) return false;
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

// ----------------------------------------------------------------------------
// Font handles

struct Font {
    bool alive = false;
    SizedFace* face = nullptr;
    int quarter_turns = 0;  // text direction: 0 right, 1 up, 2 left, 3 down
    bool underline = false;
    bool strikeout = false;
};

std::vector<Font> fonts;         // handle h is fonts[h - 1]
FontHandle loaded_font = NO_FONT;  // the one font of load_font; the next call replaces it
Font system_font;

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

// ----------------------------------------------------------------------------
// Drawing

char32_t next_code_point(const unsigned char*& s) {
    const unsigned char lead = *s++;
    int extra = 0;
    char32_t code = lead;
    if (lead >= 0xF0 && lead < 0xF8) {
        extra = 3;
        code = lead & 0x07;
    } else if (lead >= 0xE0) {
        extra = 2;
        code = lead & 0x0F;
    } else if (lead >= 0xC0) {
        extra = 1;
        code = lead & 0x1F;
    } else if (lead >= 0x80) {
        return U'\uFFFD';  // a stray continuation byte
    }
    for (int i = 0; i < extra; ++i) {
        if ((*s & 0xC0) != 0x80) return U'\uFFFD';
        code = (code << 6) | (*s++ & 0x3F);
    }
    return code;
}

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

void cover_pixel(DrawTarget* target, int x, int y, uint32_t stored, int coverage) {
    if (coverage <= 0 || x < 0 || y < 0 || x >= target->width || y >= target->height) return;
    uint32_t& d = target->pixels[size_t(y) * size_t(target->pitch) + size_t(x)];
    if (coverage >= 255) {
        d = stored;
        return;
    }
    uint32_t mixed = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int s = int((stored >> shift) & 0xFF), t = int((d >> shift) & 0xFF);
        mixed |= uint32_t((s * coverage + t * (255 - coverage) + 127) / 255) << shift;
    }
    d = mixed;
}

void fill_cell_rect(DrawTarget* target, const TextPlacement& at, int u0, int v0, int width, int height,
                    uint32_t stored) {
    for (int v = v0; v < v0 + height; ++v)
        for (int u = u0; u < u0 + width; ++u) {
            int tx, ty;
            at.map(u, v, &tx, &ty);
            cover_pixel(target, tx, ty, stored, 255);
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
                cover_pixel(target, tx, ty, stored, g->coverage[size_t(row) * size_t(g->width) + size_t(col)]);
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

void prepare_fonts_early() {
    // The store is the helper's until someone waits for it: asked first, so
    // that a second start-up never reads the store while the helper writes.
    if (preparation.valid() || store.ready || store.failed) return;
    preparation = std::async(std::launch::async, [] {
        open_face_store();
        if (!store.ready) return;
        // The faces the artwork asks for first.
        resolve_face("Impact", WEIGHT_NORMAL, false);
        resolve_face("Times New Roman", WEIGHT_NORMAL, false);
        resolve_face("Times New Roman", WEIGHT_NORMAL, true);
        resolve_face("Times New Roman", WEIGHT_BOLD, false);
    });
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

void close_font_files() {
    if (preparation.valid()) preparation.get();
    for (auto& [key, sized] : store.sized)
        if (sized->face != nullptr) {
            FT_Done_Face(sized->face);
            sized->face = nullptr;
        }
    if (store.ready && !store.lookup_closed) {
        FcFini();
        store.lookup_closed = true;
    }
}

void shutdown_fonts() {
    fonts.clear();
    loaded_font = NO_FONT;
}
