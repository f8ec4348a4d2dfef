// The artwork's texts on machines with other fonts. The sprites tool builds
// the artwork as the game does, each time under a private fontconfig
// configuration that offers only some font folders; its texts are the
// pixels that differ from the build without any font, and they must stand
// where the Liberation faces (drawn to the widths of the faces the artwork
// names) put them.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "art/sprite_ids.h"
#include "support/picture.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> LIBERATION = {"/usr/share/fonts/truetype/liberation",
                                             "/usr/share/fonts/truetype/liberation2"};
const std::string DEJAVU = "/usr/share/fonts/truetype/dejavu";
const std::string URW_OPENTYPE = "/usr/share/fonts/opentype/urw-base35";
const std::string URW_TYPE1 = "/usr/share/fonts/type1/urw-base35";
// URW's two symbol faces, which write no Latin letters.
const std::vector<std::string> URW_SYMBOL_FILES = {URW_OPENTYPE + "/StandardSymbolsPS.otf",
                                                   URW_OPENTYPE + "/D050000L.otf"};

struct Build {
    int status = -1;
    std::map<SpriteId, Picture> sprites;
    std::vector<std::string> error_lines;
};

Picture read_png(const fs::path& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return picture;
    picture.width = int(image.width);
    picture.height = int(image.height);
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        picture.pixels.push_back(::rgb(rgb[i], rgb[i + 1], rgb[i + 2]));
    return picture;
}

// The artwork built by the sprites tool with only these font folders.
Build build_with_fonts(const std::string& name, const std::vector<std::string>& font_dirs) {
    const fs::path dir = fs::temp_directory_path() / ("colonnade4-fonts-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream conf(dir / "fonts.conf");
    conf << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig>\n";
    for (const std::string& font_dir : font_dirs)
        conf << "  <dir>" << font_dir << "</dir>\n";
    conf << "  <cachedir>" << (dir / "cache").string() << "</cachedir>\n</fontconfig>\n";
    conf.close();

    Build build;
    const std::string command = "FONTCONFIG_FILE=" + (dir / "fonts.conf").string() + " " + SPRITES_TOOL_PATH + " " +
                                (dir / "out").string() + " 2>" + (dir / "errors").string();
    build.status = std::system(command.c_str());
    for (SpriteId id : ARTWORK_SPRITES) {
        char file[32];
        std::snprintf(file, sizeof file, "sprite-%02d.png", id);
        build.sprites[id] = read_png(dir / "out" / file);
    }
    std::ifstream errors(dir / "errors");
    for (std::string line; std::getline(errors, line);)
        build.error_lines.push_back(line);
    fs::remove_all(dir);
    return build;
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive; right < 0 when empty
    int width() const { return right - left + 1; }
};

// Where a picture differs from the same picture without text, inside a
// part (x, y, w, h) of it.
Box text_box(const Picture& with, const Picture& without, int x, int y, int w, int h) {
    Box b;
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col)
            if (with.at(col, row) != without.at(col, row)) {
                b.left = std::min(b.left, col);
                b.right = std::max(b.right, col);
                b.top = std::min(b.top, row);
                b.bottom = std::max(b.bottom, row);
            }
    return b;
}

// The artwork's texts, by the sprite and the part of it they are drawn in.
struct Text {
    const char* what;
    SpriteId sprite;
    int x, y, w, h;
};
const Text TEXTS[] = {
    {"title and its 4", SPRITE_BACKDROP, 60, 0, 280, 65},
    {"Scores", SPRITE_BACKDROP, 170, 80, 170, 25},
    {"Humain", SPRITE_BACKDROP, 150, 118, 95, 20},
    {"CPU", SPRITE_BACKDROP, 150, 138, 95, 20},
    {"Nul", SPRITE_BACKDROP, 150, 158, 95, 20},
    {"column numbers", SPRITE_BACKDROP, 25, 552, 350, 40},
    {"credit running up the bevel", SPRITE_BACKDROP, 1, 250, 20, 295},
    {"Novice in the window", SPRITE_BACKDROP, 27, 77, 106, 36},
    {"Moyen in the window", SPRITE_BACKDROP, 27, 112, 106, 36},
    {"Maître in the window", SPRITE_BACKDROP, 27, 147, 106, 36},
    {"Novice", SPRITE_NOVICE_NORMAL, 0, 0, 106, 36},
    {"Novice lit", SPRITE_NOVICE_HOVER, 0, 0, 106, 36},
    {"Moyen", SPRITE_MOYEN_NORMAL, 0, 0, 106, 36},
    {"Moyen lit", SPRITE_MOYEN_HOVER, 0, 0, 106, 36},
    {"Maître", SPRITE_MAITRE_NORMAL, 0, 0, 106, 36},
    {"Maître lit", SPRITE_MAITRE_HOVER, 0, 0, 106, 36},
    {"A toi de jouer !", SPRITE_BANNER_YOUR_TURN, 0, 0, 250, 50},
    {"Tu as gagné !", SPRITE_BANNER_WON, 0, 0, 250, 50},
    {"Tu as perdu !", SPRITE_BANNER_LOST, 0, 0, 250, 50},
    {"Match nul !", SPRITE_BANNER_DRAW, 0, 0, 250, 50},
};

// The title's "4" is green with dark copies around it: its ink is the
// green and what lies within two pixels of it, the word's ink the rest.
// Its foot tucks under the word's last letter by design.
bool green_near(const Picture& p, int x, int y) {
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const int px = std::clamp(x + dx, 0, p.width - 1), py = std::clamp(y + dy, 0, p.height - 1);
            const uint32_t v = p.at(px, py);
            if (((v >> 8) & 0xFF) > 200 && ((v >> 16) & 0xFF) < 80) return true;
        }
    return false;
}

struct Title {
    int word_right = -1, four_left = 1 << 30, four_right = -1;
};

Title title_of(const Picture& with, const Picture& without) {
    Title t;
    for (int y = 0; y < 65; ++y)
        for (int x = 60; x < 340; ++x) {
            if (with.at(x, y) == without.at(x, y)) continue;
            if (green_near(with, x, y)) {
                t.four_left = std::min(t.four_left, x);
                t.four_right = std::max(t.four_right, x);
            } else {
                t.word_right = std::max(t.word_right, x);
            }
        }
    return t;
}

class ArtworkFonts : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const std::string& dir : {LIBERATION[0], LIBERATION[1], DEJAVU, URW_OPENTYPE, URW_TYPE1})
            ASSERT_TRUE(fs::is_directory(dir)) << dir << " missing: scripts/install-deps.sh installs it";
        std::vector<std::string> liberation = LIBERATION;
        liberation.push_back(DEJAVU);
        reference = new Build(build_with_fonts("liberation", liberation));
        none = new Build(build_with_fonts("none", {}));
    }
    static void TearDownTestSuite() {
        delete reference;
        delete none;
    }
    static Build* reference;
    static Build* none;
};
Build* ArtworkFonts::reference = nullptr;
Build* ArtworkFonts::none = nullptr;

TEST_F(ArtworkFonts, UrwFacesWriteEveryTextAsWideAndWhereLiberationDoes) {
    const struct {
        const char* name;
        std::vector<std::string> dirs;
    } machines[] = {{"urw-opentype", {URW_OPENTYPE, DEJAVU}}, {"urw-type1", {URW_TYPE1, DEJAVU}}};
    for (const auto& machine : machines) {
        SCOPED_TRACE(machine.name);
        const Build urw = build_with_fonts(machine.name, machine.dirs);
        ASSERT_EQ(urw.status, 0);
        EXPECT_TRUE(urw.error_lines.empty()) << urw.error_lines.front();
        for (const Text& text : TEXTS) {
            SCOPED_TRACE(text.what);
            const Picture& blank = none->sprites[text.sprite];
            const Box want = text_box(reference->sprites[text.sprite], blank, text.x, text.y, text.w, text.h);
            const Box got = text_box(urw.sprites.at(text.sprite), blank, text.x, text.y, text.w, text.h);
            ASSERT_GE(want.right, 0) << "Liberation writes it";
            ASSERT_GE(got.right, 0) << "written at all";
            EXPECT_NEAR(got.width(), want.width(), 2);
            EXPECT_NEAR(got.left, want.left, 2);
            EXPECT_NEAR(got.top, want.top, 2);
            EXPECT_NEAR(got.bottom, want.bottom, 2);
        }
        const Title want = title_of(reference->sprites[SPRITE_BACKDROP], none->sprites[SPRITE_BACKDROP]);
        const Title got = title_of(urw.sprites.at(SPRITE_BACKDROP), none->sprites[SPRITE_BACKDROP]);
        EXPECT_LT(got.word_right, (got.four_left + got.four_right) / 2) << "the word ends under the 4's foot";
        EXPECT_NEAR(got.word_right, want.word_right, 2);
        EXPECT_NEAR(got.four_left, want.four_left, 2);
    }
}

TEST_F(ArtworkFonts, WithoutALetterFaceTheArtworkLacksOnlyItsTextsAndSaysSoOnce) {
    // URW's two symbol faces alone: they carry no Latin letters.
    const fs::path symbols = fs::temp_directory_path() / ("colonnade4-symbols-" + std::to_string(::getpid()));
    fs::create_directories(symbols);
    for (const std::string& file : URW_SYMBOL_FILES)
        fs::copy_file(file, symbols / fs::path(file).filename(), fs::copy_options::overwrite_existing);
    const Build only_symbols = build_with_fonts("symbols", {symbols.string()});
    fs::remove_all(symbols);

    for (const Build* build : {const_cast<const Build*>(none), &only_symbols}) {
        SCOPED_TRACE(build == none ? "no font" : "symbol faces only");
        EXPECT_EQ(build->status, 0);
        ASSERT_EQ(build->error_lines.size(), 1u);
        EXPECT_TRUE(build->error_lines[0].starts_with("colonnade4: no font found for \"Impact\"") ||
                    build->error_lines[0].starts_with("colonnade4: no font found for \"Times New Roman\""))
            << build->error_lines[0];
        // Everything but the texts is drawn as with fonts.
        for (SpriteId id : ARTWORK_SPRITES) {
            const Picture& blank = build->sprites.at(id);
            const Picture& lettered = reference->sprites[id];
            ASSERT_EQ(blank.pixels.size(), lettered.pixels.size()) << "sprite " << id;
            for (int y = 0; y < blank.height; ++y)
                for (int x = 0; x < blank.width; ++x) {
                    if (blank.at(x, y) == lettered.at(x, y)) continue;
                    const bool in_a_text = std::any_of(std::begin(TEXTS), std::end(TEXTS), [&](const Text& t) {
                        return t.sprite == id && x >= t.x && x < t.x + t.w && y >= t.y && y < t.y + t.h;
                    });
                    ASSERT_TRUE(in_a_text) << "sprite " << id << " differs at (" << x << ", " << y << ")";
                }
        }
    }
    EXPECT_TRUE(only_symbols.sprites == none->sprites) << "no symbol is drawn for a letter";
}

// A copy of a font file whose glyph outlines are overwritten with noise:
// its names, character map and glyph names stay whole, so only drawing
// shows the damage.
void copy_with_scrambled_outlines(const fs::path& from, const fs::path& to) {
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    auto be = [&bytes](size_t at, int n) {
        uint32_t v = 0;
        for (int k = 0; k < n; ++k)
            v = v << 8 | uint8_t(bytes.at(at + size_t(k)));
        return v;
    };
    bool scrambled = false;
    for (uint32_t table = 0; table < be(4, 2); ++table) {
        const size_t record = 12 + 16 * size_t(table);
        if (bytes.compare(record, 4, "glyf") != 0) continue;
        uint32_t noise = 12345;
        for (size_t at = be(record + 8, 4); at < size_t(be(record + 8, 4)) + be(record + 12, 4); ++at) {
            noise = noise * 1103515245u + 12345u;
            bytes.at(at) = char(noise >> 16);
        }
        scrambled = true;
    }
    ASSERT_TRUE(scrambled) << from << " has no outlines table";
    std::ofstream(to, std::ios::binary) << bytes;
}

TEST_F(ArtworkFonts, FacesThatDrawNothingArePassedOverForTheFamilysWholeFaces) {
    // Damaged copies of the faces the artwork uses, found before the whole ones.
    const fs::path damaged = fs::temp_directory_path() / ("colonnade4-damaged-" + std::to_string(::getpid()));
    fs::create_directories(damaged);
    const std::vector<fs::path> copies = {
        LIBERATION[1] + "/LiberationSerif-Regular.ttf", LIBERATION[1] + "/LiberationSerif-Bold.ttf",
        LIBERATION[1] + "/LiberationSerif-Italic.ttf", LIBERATION[0] + "/LiberationSansNarrow-Bold.ttf"};
    for (const fs::path& file : copies)
        copy_with_scrambled_outlines(file, damaged / file.filename());
    const Build build = build_with_fonts("damaged", {damaged.string(), LIBERATION[0], LIBERATION[1], DEJAVU});
    fs::remove_all(damaged);

    EXPECT_EQ(build.status, 0);
    for (SpriteId id : ARTWORK_SPRITES)
        EXPECT_TRUE(build.sprites.at(id) == reference->sprites[id]) << "sprite " << id << " as with whole faces";
    // Each damaged file is named once.
    ASSERT_EQ(build.error_lines.size(), copies.size());
    for (const fs::path& file : copies) {
        const std::string named = (damaged / file.filename()).string() + " draws no letters";
        EXPECT_EQ(std::count_if(build.error_lines.begin(), build.error_lines.end(),
                                [&named](const std::string& line) { return line.find(named) != std::string::npos; }),
                  1)
            << named;
    }
}

}  // namespace
