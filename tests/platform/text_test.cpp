#include <algorithm>
#include <string>

#include "platform_fixture.h"

namespace {

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive; right < 0 when empty
    bool empty() const { return right < 0; }
};

Box ink_box(const Picture& p, uint32_t background = 0) {
    Box b;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y) != background) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

class TextTest : public PlatformTest {
protected:
    // Draws text in white, transparent, at (x, y) in a fresh w x h sprite.
    static Picture text_picture(FontHandle font, const char* text, int x, int y, int w = 200, int h = 80) {
        EXPECT_TRUE(create_sprite(30, w, h));
        begin_drawing(sprite_draw_target(30));
        set_draw_mode(DM_TRANSPARENT);
        set_colour(255, 255, 255);
        select_font(font);
        set_text_pos(x, y);
        draw_text(text);
        end_drawing();
        return sprite_picture(30);
    }
};

TEST_F(TextTest, PointSizesBecomeCharacterHeightsAt96Dpi) {
    const struct {
        const char* face;
        int points, style, pixels;
    } sizes[] = {{"Impact", 14, 0, 19},
                 {"Times New Roman", 18, FS_BOLD, 24},
                 {"Times New Roman", 30, 0, 40},
                 {"Times New Roman", 34, FS_ITALIC, 45},
                 {"Times New Roman", 14, FS_BOLD, 19}};
    for (const auto& s : sizes) {
        const FontHandle font = load_font(s.face, s.points, s.style);
        FontInfo info;
        ASSERT_TRUE(font_info(font, &info)) << s.face << " " << s.points;
        EXPECT_EQ(info.em_height, s.pixels) << s.face << " " << s.points << " pt";
        // The cell adds the face's leading: taller than the em, not by much.
        EXPECT_GT(info.ascent + info.descent, s.pixels);
        EXPECT_LT(info.ascent + info.descent, s.pixels * 13 / 10);
    }
    // A capital of 30 pt Times stands about two thirds of the em high.
    const Box h = ink_box(text_picture(load_font("Times New Roman", 30, 0), "H", 10, 10));
    EXPECT_NEAR(h.bottom - h.top + 1, 27, 2);
}

TEST_F(TextTest, FacesResolveToLetterFaces) {
    FontInfo times, impact;
    ASSERT_TRUE(font_info(load_font("Times New Roman", 14, 0), &times));
    EXPECT_TRUE(times.family == "Times New Roman" || times.family == "Liberation Serif") << times.family;
    ASSERT_TRUE(font_info(load_font("Impact", 14, 0), &impact));
    EXPECT_TRUE(impact.family == "Impact" || impact.family == "Liberation Sans Narrow") << impact.family;
    // Its digits stand on the baseline at about the height of capitals.
    const Box digits = ink_box(text_picture(load_font("Impact", 14, 0), "1234567", 10, 10));
    ASSERT_FALSE(digits.empty());
    EXPECT_GE(digits.bottom - digits.top + 1, impact.em_height * 55 / 100);
    EXPECT_LE(digits.bottom - digits.top + 1, impact.em_height);
    EXPECT_EQ(digits.bottom, 10 + impact.ascent - 1);
    // An unknown face still writes letters.
    FontInfo unknown;
    ASSERT_TRUE(font_info(load_font("No Such Face 123", 14, 0), &unknown));
    EXPECT_FALSE(ink_box(text_picture(load_font("No Such Face 123", 14, 0), "Maître", 0, 0)).empty());
}

TEST_F(TextTest, TextIsDrawnInTheTextColour) {
    solid_sprite(30, 200, 60, pack_colour(0, 0, 0));
    begin_drawing(sprite_draw_target(30));
    set_draw_mode(DM_TRANSPARENT);
    select_font(load_font("Times New Roman", 30, FS_BOLD));
    set_colour(200, 40, 10);
    set_text_pos(5, 5);
    draw_text("HIL");
    end_drawing();
    const Picture p = sprite_picture(30);
    int solid = 0, other = 0;
    for (uint32_t v : p.pixels) {
        if (v == 0) continue;
        if (v == rgb(200, 40, 10)) ++solid;
        // Anti-aliased edges are the colour faded towards the black below.
        const int r = v >> 16 & 0xFF, g = v >> 8 & 0xFF, b = v & 0xFF;
        if (!(r >= g && g >= b && r <= 200 && std::abs(r * 40 - g * 200) <= 200 * 2)) ++other;
    }
    EXPECT_GT(solid, 100) << "the stems are fully covered";
    EXPECT_EQ(other, 0) << "no pixel of another colour";
}

TEST_F(TextTest, OpaqueTextPaintsItsCellWhiteFirst) {
    const FontHandle font = load_font("Times New Roman", 14, FS_BOLD);
    FontInfo info;
    ASSERT_TRUE(font_info(font, &info));
    ASSERT_TRUE(create_sprite(30, 200, 60));
    begin_drawing(sprite_draw_target(30));
    select_font(font);
    set_colour(0, 0, 0);
    set_text_pos(10, 20);
    draw_text("Nul");
    end_drawing();
    const Box cell = ink_box(sprite_picture(30));
    EXPECT_EQ(cell.left, 10);
    EXPECT_EQ(cell.top, 20);
    EXPECT_EQ(cell.bottom, 20 + info.ascent + info.descent - 1);
    EXPECT_TRUE(pixel_is(sprite_picture(30), 10, 20, rgb(255, 255, 255)));
}

TEST_F(TextTest, SecondTextContinuesOnTheSameLine) {
    const FontHandle font = load_font("Times New Roman", 14, FS_BOLD);
    const Picture whole = text_picture(font, "Humain 33 %", 5, 5);
    ASSERT_TRUE(create_sprite(30, 200, 80));
    begin_drawing(sprite_draw_target(30));
    set_draw_mode(DM_TRANSPARENT);
    set_colour(255, 255, 255);
    select_font(load_font("Times New Roman", 14, FS_BOLD));
    set_text_pos(5, 5);
    draw_text("Humain ");
    draw_text("");
    draw_text("33");
    draw_text(" %");
    end_drawing();
    EXPECT_EQ(differing_pixels(sprite_picture(30), whole), 0);
    const Box box = ink_box(whole);
    EXPECT_GT(box.right - box.left, 60) << "the pieces stand side by side";
}

TEST_F(TextTest, UpwardTextIsTheHorizontalTextTurned) {
    const FontHandle flat = create_font_ex("Times New Roman", 16, 700, 0);
    const FontHandle up = create_font_ex("Times New Roman", 16, 700, 900);
    FontInfo info;
    ASSERT_TRUE(font_info(up, &info));
    EXPECT_EQ(info.ascent + info.descent, 16) << "the cell height includes the leading";
    EXPECT_EQ(info.quarter_turns, 1);

    const Picture h = text_picture(flat, "Colonnade4", 0, 0, 120, 16);
    const Picture v = text_picture(up, "Colonnade4", 2, 118, 20, 120);
    // Pixel (u, v) of the flat text lands at (2 + v, 118 - 1 - u).
    int ink = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 117; ++x) {
            ASSERT_TRUE(pixel_is(v, 2 + y, 117 - x, h.at(x, y)));
            ink += h.at(x, y) != 0;
        }
    EXPECT_GT(ink, 100);
    release_font(flat);
    release_font(up);
    EXPECT_FALSE(font_info(up, nullptr));
}

TEST_F(TextTest, LoadingAgainReplacesTheSlotFont) {
    const FontHandle first = load_font("Times New Roman", 30, 0);
    ASSERT_TRUE(font_info(first, nullptr));
    const FontHandle second = load_font("Times New Roman", 30, FS_BOLD);
    EXPECT_NE(first, second);
    EXPECT_FALSE(font_info(first, nullptr));
    EXPECT_TRUE(font_info(second, nullptr));
    // A font made by create_font_ex lives beside the slot until released.
    const FontHandle extra = create_font_ex("Times New Roman", 16, 700, 900);
    load_font("Impact", 14, 0);
    EXPECT_TRUE(font_info(extra, nullptr));
    EXPECT_FALSE(font_info(second, nullptr));
    // Shut-down releases every font.
    shutdown_platform();
    EXPECT_FALSE(font_info(extra, nullptr));
    SetUp();
}

TEST_F(TextTest, SystemFontWritesPlainText) {
    const Box box = ink_box(text_picture(SYSTEM_FONT, "Scores", 3, 3));
    ASSERT_FALSE(box.empty());
    EXPECT_GE(box.top, 3);
    EXPECT_LT(box.bottom, 3 + 16);
}

// Once start-up has written its texts the font files and fontconfig are
// let go: a glyph not drawn before and a family not asked for before are
// opened and looked up again.
TEST_F(TextTest, NewGlyphsAndFamiliesStillWriteAfterTheFontFilesAreLetGo) {
    const Box zero = ink_box(text_picture(load_font("Times New Roman", 23, FS_BOLD), "0", 10, 10));
    ASSERT_FALSE(zero.empty());
    return_free_memory();
    const Box eight = ink_box(text_picture(load_font("Times New Roman", 23, FS_BOLD), "8", 10, 10));
    ASSERT_FALSE(eight.empty()) << "a glyph first drawn after start-up";
    EXPECT_NEAR(eight.bottom - eight.top, zero.bottom - zero.top, 2) << "digits stand equally high";
    const FontHandle family = load_font("Arial", 23, FS_BOLD | FS_ITALIC);
    ASSERT_TRUE(font_info(family, nullptr)) << "a family first asked for after start-up";
    EXPECT_FALSE(ink_box(text_picture(family, "8", 10, 10)).empty());
}

}  // namespace
