// fontconfig's pick for each face the game asks for, checked with FreeType
// to write Latin letters: a symbol face carrying a requested name, or a
// damaged copy of the right one, never writes the texts.
#include "platform/font_matching.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <set>

#include "platform/platform_internal.h"

namespace {

// Weights from this one up want a bold face (or an emboldened outline).
constexpr int WEIGHT_WANTS_BOLD = 600;
// Text the face must cover to be accepted: a symbol or dingbat face that
// happens to carry a requested name is never used for letters.
constexpr const char32_t* LATIN_PROBE = U"AZaz09é%!";
// The size the probe text is drawn at to see that a face leaves ink.
constexpr int PROBE_PIXELS = 24;

struct FaceStore {
    bool ready = false;
    bool failed = false;
    bool lookup_closed = false;  // fontconfig let go by close_face_lookup
    FT_Library library = nullptr;
    std::map<std::string, ResolvedFace> resolved;  // by family|weight|italic
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
        if (same_family_name(reinterpret_cast<const char*>(name), family)) {
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
bool try_family(const FaceCandidate& candidate, int weight, bool italic, ResolvedFace* out) {
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

}  // namespace

bool start_face_store() {
    if (preparation.valid()) preparation.get();
    if (!store.ready && !store.failed) open_face_store();
    return store.ready;
}

FT_Library face_library() { return store.library; }

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
        for (const FaceCandidate& candidate : candidates_for(family))
            if (try_family(candidate, weight, italic, &face)) break;
        if (face.file.empty()) say_no_font(family);
        found = store.resolved.emplace(key, face).first;
    }
    return found->second.file.empty() ? nullptr : &found->second;
}

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

void close_face_lookup() {
    if (preparation.valid()) preparation.get();
    if (store.ready && !store.lookup_closed) {
        FcFini();
        store.lookup_closed = true;
    }
}
