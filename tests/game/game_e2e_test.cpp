// The real game in a real window on a private Xvfb, driven the way a person
// drives it and checked by screenshot pixels. The expected pictures come
// from the same artwork built headless in this process.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "art/artwork.h"
#include "art/shade_canvas.h"
#include "game/hot_zones.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "support/game_outline.h"
#include "testing/headless_artwork.h"
#include "testing/pulse_server.h"
#include "testing/xvfb_session.h"

namespace {

constexpr uint32_t ROOT_COLOUR = 0x204060;
constexpr uint32_t HUMAN_DISC_CENTRE = 0xFFD06C;  // (255, 208, 108)
constexpr uint32_t CPU_DISC_CENTRE = 0xFF6C6C;    // (255, 108, 108)

// The game's pictures, built once by the headless backend.
struct ExpectedArt {
    std::vector<uint32_t> backdrop;     // 400 x 600
    std::vector<uint32_t> moyen_hover;  // 106 x 36
    ExpectedArt() {
        e2e::build_headless_artwork();
        int w = 0, h = 0;
        const uint32_t* pixels = sprite_pixels(SPRITE_BACKDROP, &w, &h);
        backdrop.assign(pixels, pixels + size_t(w) * size_t(h));
        pixels = sprite_pixels(SPRITE_MOYEN_HOVER, &w, &h);
        moyen_hover.assign(pixels, pixels + size_t(w) * size_t(h));
        e2e::release_headless_artwork();
    }
    uint32_t at(int x, int y) const { return backdrop[size_t(y) * 400 + size_t(x)]; }
};

const ExpectedArt& expected_art() {
    static const ExpectedArt art;
    return art;
}

// For a game outside the fixture, its window's top-left corner at (wx, wy):
// its picture shows, and "Moyen", once hovered and pressed, starts a game
// with the human to move.
bool shows_picture_then_starts_moyen(e2e::XvfbSession& x, int wx, int wy) {
    const ExpectedArt& art = expected_art();
    if (!e2e::wait_until([&] { return x.pixel(wx + 360, wy + 225) == art.at(360, 225); })) return false;
    x.move_pointer(wx + 80, wy + 130);
    x.move_pointer(wx + 81, wy + 131);
    if (!e2e::wait_until([&] { return x.pixel(wx + 40, wy + 135) == art.moyen_hover[23 * 106 + 13]; })) return false;
    x.click(wx + 81, wy + 131);
    return e2e::wait_until([&] { return x.pixel(wx + 50, wy + 225) == HUMAN_DISC_CENTRE; });
}

class GameE2E : public ::testing::Test {
protected:
    std::unique_ptr<e2e::XvfbSession> x;
    e2e::ChildProcess game;
    e2e::Rect window;
    unsigned long root_cursor = 0;

    void SetUp() override {
        x = e2e::XvfbSession::start(1280, 1024);
        ASSERT_TRUE(x) << "Xvfb could not be started";
        x->set_root_colour(ROOT_COLOUR);
        x->move_pointer(5, 5);
        root_cursor = x->cursor_serial();
        // Test machines have no sound card; SDL's dummy output stands in
        // for one, so the game opens its synthesiser as on a desktop.
        e2e::ChildProcess::Options options;
        options.set_env = {{"SDL_AUDIODRIVER", "dummy"}};
        game = x->spawn({COLONNADE4_PATH}, options);
        ASSERT_TRUE(game.started());
        const auto id = x->wait_for_window("Colonnade4");
        ASSERT_TRUE(id) << "no game window";
        ASSERT_TRUE(e2e::wait_until([&] { return x->window_viewable(*id); }));
        const auto geometry = x->window_geometry(*id);
        ASSERT_TRUE(geometry);
        window = *geometry;
        // The first picture: the flat board beside the message area.
        ASSERT_TRUE(wait_for_pixel(360, 225, expected_art().at(360, 225))) << dump("first-picture");
    }

    uint32_t pixel(int wx, int wy) { return x->pixel(window.x + wx, window.y + wy); }
    bool wait_for_pixel(int wx, int wy, uint32_t rgb) {
        return e2e::wait_until([&] { return pixel(wx, wy) == rgb; });
    }
    std::string dump(const std::string& name) {
        const std::string path = ::testing::TempDir() + "colonnade4-" + name + ".ppm";
        x->screenshot().save_ppm(path);
        return "screenshot saved to " + path;
    }
    int discs_on_board(uint32_t centre, int first_column = 0, int last_column = 6) {
        int n = 0;
        for (int column = first_column; column <= last_column; ++column)
            for (int row = 0; row < 6; ++row)
                n += pixel(50 + 50 * column, 275 + 50 * row) == centre;
        return n;
    }
    int cpu_discs_on_board() { return discs_on_board(CPU_DISC_CENTRE); }
    // The game is at rest with these discs on the board and the human to
    // move; waited for with room for a loaded machine.
    bool wait_for_rest(int human, int cpu) {
        return e2e::wait_until(
            [&] {
                return pixel(50, 225) == HUMAN_DISC_CENTRE && discs_on_board(HUMAN_DISC_CENTRE) == human &&
                       cpu_discs_on_board() == cpu;
            },
            e2e::Millis{30000});
    }
    // Hover updates come from pointer moves, which must reach the game
    // before the press does.
    void point_at(int wx, int wy) {
        x->move_pointer(window.x + wx - 1, window.y + wy - 1);
        x->move_pointer(window.x + wx, window.y + wy);
    }
    void start_moyen_game() {
        // The arrow over the window outside every zone, the hand over "Moyen".
        x->move_pointer(window.x + 200, window.y + 20);
        x->move_pointer(window.x + 201, window.y + 21);
        unsigned long arrow = 0;
        ASSERT_TRUE(e2e::wait_until([&] {
            arrow = x->cursor_serial();
            return arrow != root_cursor;
        }));
        x->move_pointer(window.x + 80, window.y + 130);
        x->move_pointer(window.x + 81, window.y + 131);
        ASSERT_TRUE(wait_for_pixel(40, 135, expected_art().moyen_hover[23 * 106 + 13])) << dump("hover");
        EXPECT_TRUE(e2e::wait_until([&] { return x->cursor_serial() != arrow && x->cursor_serial() != root_cursor; }))
            << "no hand over the button";
        x->press_button();
        x->release_button();
        // The human is to move: the turn disc stands above column 0.
        ASSERT_TRUE(wait_for_pixel(50, 225, HUMAN_DISC_CENTRE)) << dump("turn-disc");
    }
};

TEST_F(GameE2E, WindowIsCentredRoundedAndShowsTheBoardWithoutBannerOrTurnDisc) {
    EXPECT_EQ(window.width, 400);
    EXPECT_EQ(window.height, 600);
    EXPECT_EQ(window.x, 1280 / 2 - 200);
    EXPECT_EQ(window.y, 1024 / 2 - 300);
    // Outside the rounded corners the root shows; inside, the backdrop.
    EXPECT_EQ(pixel(0, 0), ROOT_COLOUR);
    EXPECT_EQ(pixel(398, 598), ROOT_COLOUR);
    EXPECT_EQ(pixel(0, 300), 0xA0A0FFu) << "column 0 is never shaded";
    const e2e::Image shot = x->screenshot({window.x, window.y, 400, 600});
    int differing = 0;
    for (int y = 50; y < 550; ++y)
        for (int wx = 0; wx < 399; ++wx) {
            const bool score_texts = wx >= 250 && y >= 115 && y < 190;
            if (!score_texts && shot.at(wx, y) != expected_art().at(wx, y)) ++differing;
        }
    EXPECT_EQ(differing, 0) << dump("backdrop");
    // No turn disc and no banner before a level is chosen.
    EXPECT_EQ(pixel(50, 225), expected_art().at(50, 225));
    EXPECT_EQ(pixel(225, 225), expected_art().at(225, 225));
}

TEST_F(GameE2E, AsksForNoFrameEvenBeforeAnyWindowManagerHasRun) {
    // No window manager runs here; one started later must still leave the
    // window unframed, which it learns from this hint alone.
    const auto id = x->find_window("Colonnade4");
    ASSERT_TRUE(id);
    const std::vector<unsigned long> hints = x->window_cardinals(*id, "_MOTIF_WM_HINTS");
    ASSERT_GE(hints.size(), 3u) << "no borderless hint on the window";
    EXPECT_TRUE(hints[0] & 2u) << "the hint's decorations field is in use";
    EXPECT_EQ(hints[2], 0u) << "no decorations";
}

TEST_F(GameE2E, IconOffersFiveSizesWithTransparentCornersAndAnOpaqueMiddle) {
    const auto id = x->find_window("Colonnade4");
    ASSERT_TRUE(id);
    std::vector<unsigned long> icon;
    ASSERT_TRUE(e2e::wait_until([&] { return !(icon = x->window_cardinals(*id, "_NET_WM_ICON")).empty(); }));
    // The property is width, height, then width * height ARGB pixels, again
    // for each size.
    std::vector<int> sizes;
    for (size_t at = 0; at + 2 <= icon.size();) {
        const size_t w = icon[at], h = icon[at + 1];
        ASSERT_EQ(w, h);
        ASSERT_LE(at + 2 + w * h, icon.size());
        const auto argb = [&](size_t px, size_t py) { return icon[at + 2 + py * w + px] & 0xFFFFFFFFu; };
        EXPECT_EQ(argb(0, 0), 0u) << "size " << w << ": the corner shows what is behind";
        EXPECT_EQ(argb(w / 2, h / 2) >> 24, 0xFFu) << "size " << w << ": the middle is opaque";
        sizes.push_back(int(w));
        at += 2 + w * h;
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 64, 128}));
}

TEST_F(GameE2E, LevelPressStartsAGameAndADigitKeyDropsAHumanDiscAndTheComputerReplies) {
    start_moyen_game();
    const int cpu_before = cpu_discs_on_board();
    // Column 0 ("1") is empty whoever opened.
    x->tap_key(XK_1);
    ASSERT_TRUE(wait_for_pixel(50, 525, HUMAN_DISC_CENTRE)) << dump("human-disc");
    ASSERT_TRUE(e2e::wait_until([&] { return cpu_discs_on_board() == cpu_before + 1; })) << dump("cpu-disc");
    // The turn comes back to the human.
    ASSERT_TRUE(wait_for_pixel(50, 225, HUMAN_DISC_CENTRE)) << dump("turn-back");

    // The keypad plays the same way: keypad 7 drops into column 6.
    x->tap_keypad_digit(7);
    ASSERT_TRUE(e2e::wait_until([&] {
        for (int row = 5; row >= 0; --row)
            if (pixel(350, 275 + 50 * row) == HUMAN_DISC_CENTRE) return true;
        return false;
    })) << dump("keypad-disc");
}

// Double clicks are judged by when and where the presses happened, not by
// when the game, busy with a disc or a search, gets round to reading them.
// A second press 150 ms after the first comes while the game is already
// busy with what the first one started.
constexpr e2e::Millis QUICK_SECOND_PRESS{150};
constexpr int COLUMN_3_X = 200, BOARD_Y = 400, NOVICE_X = 80, NOVICE_Y = 95;

TEST_F(GameE2E, DoubleClickOnAColumnPlaysOneDisc) {
    start_moyen_game();
    const int cpu_before = cpu_discs_on_board();
    point_at(COLUMN_3_X, BOARD_Y);
    x->click_after(e2e::Millis{0});
    x->click_after(QUICK_SECOND_PRESS);
    // Key "1" afterwards marks the end: everything before it has been handled.
    x->tap_key(XK_1);
    ASSERT_TRUE(wait_for_rest(2, cpu_before + 2)) << dump("double-click-column");
    EXPECT_EQ(discs_on_board(HUMAN_DISC_CENTRE, 3, 3), 1) << dump("double-click-column");
}

TEST_F(GameE2E, TwoPressesASecondApartQueuedWhileBusyPlayTwoMoves) {
    start_moyen_game();
    const int cpu_before = cpu_discs_on_board();
    point_at(COLUMN_3_X, BOARD_Y);
    game.stop();
    x->click_after(e2e::Millis{0});
    x->click_after(e2e::Millis{1000});
    game.resume();
    ASSERT_TRUE(wait_for_rest(2, cpu_before + 2)) << dump("two-presses");
    EXPECT_EQ(discs_on_board(HUMAN_DISC_CENTRE, 3, 3), 2) << dump("two-presses");
}

TEST_F(GameE2E, DoubleClickOnALevelWhileTheOpeningDiscFallsStartsOneGame) {
    start_moyen_game();
    // Openers alternate: make the next game the computer's to open.
    if (cpu_discs_on_board() != 0) {
        x->click(window.x + 81, window.y + 131);
        ASSERT_TRUE(wait_for_rest(0, 0)) << dump("human-opens");
    }
    point_at(NOVICE_X, NOVICE_Y);
    x->click_after(e2e::Millis{0});
    x->click_after(QUICK_SECOND_PRESS);
    x->tap_key(XK_1);
    // One game, opened by the computer; a second would be the human's to
    // open and leave one computer disc after key "1".
    ASSERT_TRUE(wait_for_rest(1, 2)) << dump("double-click-level");
}

TEST_F(GameE2E, EscapeEndsTheGameWithExitCodeZero) {
    start_moyen_game();
    x->tap_key(XK_Escape);
    const auto status = game.wait_exit(e2e::Millis{5000});
    ASSERT_TRUE(status) << "still running";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST_F(GameE2E, CloseCrossEndsTheGame) {
    x->move_pointer(window.x + 359, window.y + 36);
    x->move_pointer(window.x + 360, window.y + 37);
    ASSERT_TRUE(wait_for_pixel(360, 37, 0xC02020u)) << dump("red-cross");
    x->click(window.x + 360, window.y + 37);
    const auto status = game.wait_exit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

// The columns of a shot of the message box that carry ink in its upper
// half, where its words are (the button is below).
struct Ink {
    int first = -1, last = -1, columns = 0;
};

Ink words_ink(const e2e::Image& box) {
    const uint32_t face = box.at(3, 3);  // inside the frame, above the words
    Ink ink;
    for (int bx = 2; bx < box.width - 2; ++bx) {
        bool inked = false;
        for (int by = 2; by < box.height / 2; ++by)
            inked = inked || box.at(bx, by) != face;
        if (!inked) continue;
        if (ink.first < 0) ink.first = bx;
        ink.last = bx;
        ++ink.columns;
    }
    return ink;
}

// Without a sound device the game shows its one box, over its window and
// with its words whole, whatever fonts the X server has and whatever the
// locale: the box draws its words itself.
TEST(GameWithoutSound, ShowsTheOneBoxOverTheWindowWithItsWordsThenPlaysSilently) {
    // Built first, so that the pointer moves on right as the box closes.
    const ExpectedArt& art = expected_art();
    // ALSA with no device configured, as on a machine without a sound card.
    const std::vector<std::pair<std::string, std::string>> no_card = {{"SDL_AUDIODRIVER", "alsa"},
                                                                      {"ALSA_CONFIG_PATH", "/dev/null"}};
    // A sound card, but a synthesiser library that cannot be loaded: the
    // game learns it only once its picture is shown, and says why on stderr.
    const std::string broken_library_dir = ::testing::TempDir() + "c4-broken-library-" + std::to_string(getpid());
    std::filesystem::create_directories(broken_library_dir);
    std::ofstream(broken_library_dir + "/" + FLUIDSYNTH_SONAME) << "not a library";
    const std::vector<std::pair<std::string, std::string>> no_synthesiser = {
        {"SDL_AUDIODRIVER", "dummy"}, {"LD_LIBRARY_PATH", broken_library_dir}};
    struct Setup {
        const char* name;
        std::vector<std::string> server_args;
        std::vector<std::pair<std::string, std::string>> env;
        size_t stderr_lines;
    };
    const Setup setups[] = {
        {"as on a desktop", {}, no_card, 0},
        {"a server with only its built-in fonts", {"-fp", "built-ins"}, no_card, 0},
        {"the C locale", {}, {{"LC_ALL", "C"}, no_card[0], no_card[1]}, 0},
        {"no synthesiser library", {}, no_synthesiser, 1},
    };
    for (const Setup& setup : setups) {
        SCOPED_TRACE(setup.name);
        auto x = e2e::XvfbSession::start(1280, 1024, 24, setup.server_args);
        ASSERT_TRUE(x);
        e2e::ChildProcess::Options options;
        options.set_env = setup.env;
        options.merge_stderr = true;
        e2e::ChildProcess game = x->spawn({COLONNADE4_PATH}, options);
        const auto box = x->wait_for_window("Problème");
        ASSERT_TRUE(box) << "no box about the sound device";
        ASSERT_TRUE(e2e::wait_until([&] { return x->window_viewable(*box) && x->input_focus() == *box; }));
        const e2e::Rect at = x->window_geometry(*box).value_or(e2e::Rect{});
        const int wx = 1280 / 2 - 200, wy = 1024 / 2 - 300;
        EXPECT_NEAR(at.x + at.width / 2, wx + 200, 2);
        EXPECT_NEAR(at.y + at.height / 2, wy + 300, 2);
        // Above and below the box: the window was painted before the box came.
        EXPECT_EQ(x->pixel(wx + 200, wy + 40), art.at(200, 40)) << "the box came before the picture";
        EXPECT_EQ(x->pixel(wx + 200, wy + 560), art.at(200, 560)) << "the box came before the picture";
        // "Impossible d'ouvrir le périphérique MIDI" fills the box's width,
        // which is made for it: ink from margin to margin, all along.
        e2e::Image shot;
        Ink ink;
        const bool words = e2e::wait_until([&] {
            shot = x->screenshot(at);
            ink = words_ink(shot);
            return ink.first >= 0 && ink.first < at.width / 8 && ink.last > at.width - at.width / 8 &&
                   ink.columns > (ink.last - ink.first) * 3 / 5;
        });
        if (!words) shot.save_ppm(::testing::TempDir() + "colonnade4-box.ppm");
        EXPECT_TRUE(words) << "ink in columns " << ink.first << " to " << ink.last << " (" << ink.columns
                           << " of them) of a box " << at.width << " wide; shot in " << ::testing::TempDir();
        x->tap_key(XK_Return);
        ASSERT_TRUE(e2e::wait_until([&] { return !x->window_exists(*box) || !x->window_viewable(*box); }));
        // The game goes on: its picture shows, and a game can be started.
        ASSERT_TRUE(shows_picture_then_starts_moyen(*x, wx, wy));
        EXPECT_FALSE(x->find_window("Problème")) << "no second box";
        x->tap_key(XK_Escape);
        const auto status = game.wait_exit();
        ASSERT_TRUE(status);
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
        while (game.read_line(e2e::Millis{100})) {}
        EXPECT_EQ(game.lines().size(), setup.stderr_lines) << "the box says it all:\n" << game.transcript();
    }
    std::filesystem::remove_all(broken_library_dir);
}

// A sound server with no sink at all makes SDL's sound system crash as it
// starts; the game lives on, with its one box over its painted window.
TEST(GameWithoutSound, OnAServerWithoutAnySinkShowsTheOneBoxAndPlaysOn) {
    const auto pulse = e2e::PulseServer::start(false);
    if (!pulse) GTEST_SKIP() << e2e::PulseServer::why_not();
    const ExpectedArt& art = expected_art();
    auto x = e2e::XvfbSession::start(1280, 1024);
    ASSERT_TRUE(x);
    e2e::ChildProcess::Options options;
    options.set_env = pulse->client_env();
    options.unset_env = {"SDL_AUDIODRIVER"};
    e2e::ChildProcess game = x->spawn({COLONNADE4_PATH}, options);
    const auto box = x->wait_for_window("Problème");
    ASSERT_TRUE(box) << "no box about the sound device" << (game.running() ? "" : ": the game died");
    ASSERT_TRUE(e2e::wait_until([&] { return x->window_viewable(*box) && x->input_focus() == *box; }));
    const int wx = 1280 / 2 - 200, wy = 1024 / 2 - 300;
    EXPECT_EQ(x->pixel(wx + 200, wy + 40), art.at(200, 40)) << "the box came before the picture";
    x->tap_key(XK_Return);
    ASSERT_TRUE(e2e::wait_until([&] { return !x->window_exists(*box) || !x->window_viewable(*box); }));
    ASSERT_TRUE(shows_picture_then_starts_moyen(*x, wx, wy));
    EXPECT_FALSE(x->find_window("Problème")) << "no second box";
}

TEST(GameWithoutFonts, SaysSoOnceAndPlaysWithBlankTexts) {
    // A fontconfig set-up that offers no font folder at all.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("colonnade4-no-fonts-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "fonts.conf") << "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" << (dir / "cache").string()
                                      << "</cachedir></fontconfig>\n";
    auto x = e2e::XvfbSession::start(1280, 1024);
    ASSERT_TRUE(x);
    e2e::ChildProcess::Options options;
    options.set_env = {{"SDL_AUDIODRIVER", "dummy"}, {"FONTCONFIG_FILE", (dir / "fonts.conf").string()}};
    options.merge_stderr = true;
    e2e::ChildProcess game = x->spawn({COLONNADE4_PATH}, options);
    EXPECT_TRUE(game.wait_for_line_starting("colonnade4: no font found for \"")) << "the face is named";
    // The picture shows, a game starts and a key plays a move.
    const int wx = 1280 / 2 - 200, wy = 1024 / 2 - 300;
    ASSERT_TRUE(shows_picture_then_starts_moyen(*x, wx, wy));
    x->tap_key(XK_4);
    ASSERT_TRUE(e2e::wait_until([&] {
        for (int row = 0; row < 6; ++row)
            if (x->pixel(wx + 200, wy + 275 + 50 * row) == HUMAN_DISC_CENTRE) return true;
        return false;
    })) << "a disc in column 4";
    x->tap_key(XK_Escape);
    const auto status = game.wait_exit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_FALSE(game.read_line(e2e::Millis{100})) << "said once";
    std::filesystem::remove_all(dir);
}

TEST(GameWithoutDisplay, EndsSilentlyWithExitCodeZero) {
    e2e::ChildProcess::Options options;
    options.set_env = {{"DISPLAY", ":99999"}};
    options.merge_stderr = true;
    e2e::ChildProcess game = e2e::ChildProcess::start({COLONNADE4_PATH}, options);
    const auto status = game.wait_exit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_FALSE(game.read_line(e2e::Millis{100})) << "nothing is written";
}

// An 8-bit display: SDL has no surface for the window there. The game must
// not sit invisible taking clicks; it says why once and fails. Without
// sound, the box that would say so cannot show its words in a palette of
// colour indices either: it says them on standard error instead of sitting
// there blank.
TEST(GameOnADisplayItCannotDrawOn, SaysWhyOnceAndEndsWithAFailureCode) {
    struct Setup {
        const char* name;
        std::vector<std::pair<std::string, std::string>> env;
        std::vector<std::string> line_starts;
    };
    const std::string cannot_show = "colonnade4: cannot show the game's picture on this display: ";
    const Setup setups[] = {
        {"with sound", {{"SDL_AUDIODRIVER", "dummy"}}, {cannot_show}},
        {"without sound",
         {{"SDL_AUDIODRIVER", "alsa"}, {"ALSA_CONFIG_PATH", "/dev/null"}},
         {cannot_show, "Problème: Impossible d'ouvrir le périphérique MIDI"}},
    };
    for (const Setup& setup : setups) {
        SCOPED_TRACE(setup.name);
        auto x = e2e::XvfbSession::start(400, 600, 8);
        ASSERT_TRUE(x);
        e2e::ChildProcess::Options options;
        options.set_env = setup.env;
        options.merge_stderr = true;
        e2e::ChildProcess game = x->spawn({COLONNADE4_PATH}, options);
        const auto status = game.wait_exit();
        ASSERT_TRUE(status) << "still running with nothing to show";
        ASSERT_TRUE(WIFEXITED(*status));
        EXPECT_NE(WEXITSTATUS(*status), 0);
        while (game.read_line(e2e::Millis{100})) {}
        ASSERT_EQ(game.lines().size(), setup.line_starts.size()) << game.transcript();
        for (size_t i = 0; i < setup.line_starts.size(); ++i)
            EXPECT_EQ(game.lines()[i].rfind(setup.line_starts[i], 0), 0u) << game.lines()[i];
    }
}

// A high-resolution screen: 3840 x 2160 with the desktop's scale in the
// resource database, as GNOME, KDE and Xfce set it.
struct ScaledGame {
    std::unique_ptr<e2e::XvfbSession> x;
    e2e::ChildProcess game;
    e2e::Rect window;

    explicit ScaledGame(const char* dpi) {
        x = e2e::XvfbSession::start(3840, 2160);
        if (!x) return;
        x->set_root_colour(ROOT_COLOUR);
        x->set_resources(std::string("Xft.dpi:\t") + dpi + "\n");
        e2e::ChildProcess::Options options;
        options.set_env = {{"SDL_AUDIODRIVER", "dummy"}};
        options.unset_env = {"GDK_SCALE"};
        game = x->spawn({COLONNADE4_PATH}, options);
        const auto id = x->wait_for_window("Colonnade4");
        if (!id || !e2e::wait_until([&] { return x->window_viewable(*id); })) return;
        if (const auto geometry = x->window_geometry(*id)) window = *geometry;
    }
};

TEST(ScaledGame, At96DotsPerInchTheWindowKeepsItsSize) {
    ScaledGame g("96");
    ASSERT_TRUE(g.x);
    EXPECT_EQ(g.window, (e2e::Rect{3840 / 2 - 200, 2160 / 2 - 300, 400, 600}));
}

// At 192 dots per inch every picture pixel is a 2 x 2 block of its colour
// at 1x, the outline included; presses land where the picture shows them.
TEST(ScaledGame, At192DotsPerInchEveryPicturePixelIsATwoByTwoBlock) {
    const ExpectedArt& art = expected_art();
    ScaledGame g("192");
    ASSERT_TRUE(g.x);
    ASSERT_EQ(g.window, (e2e::Rect{3840 / 2 - 400, 2160 / 2 - 600, 800, 1200}));
    const auto block_is = [&](const e2e::Image& shot, int px, int py, uint32_t rgb) {
        return shot.at(2 * px, 2 * py) == rgb && shot.at(2 * px + 1, 2 * py) == rgb &&
               shot.at(2 * px, 2 * py + 1) == rgb && shot.at(2 * px + 1, 2 * py + 1) == rgb;
    };
    const auto dump = [&](const e2e::Image& shot) {
        const std::string path = ::testing::TempDir() + "colonnade4-scaled.ppm";
        shot.save_ppm(path);
        return "screenshot saved to " + path;
    };
    e2e::Image shot;
    ASSERT_TRUE(e2e::wait_until([&] {
        shot = g.x->screenshot(g.window);
        return block_is(shot, 360, 225, art.at(360, 225));
    })) << dump(shot);
    // The desktop outside the rounded outline; the backdrop inside it, but
    // for the title and footer rows and the score texts.
    int differing = 0;
    for (int py = 0; py < 600; ++py)
        for (int px = 0; px < 400; ++px) {
            const bool score_texts = px >= 250 && py >= 115 && py < 190;
            if (!game_outline::covers(px, py))
                differing += !block_is(shot, px, py, ROOT_COLOUR);
            else if (py >= 50 && py < 550 && !score_texts)
                differing += !block_is(shot, px, py, art.at(px, py));
        }
    EXPECT_EQ(differing, 0) << dump(shot);

    // "Moyen" at the scaled centre of its button starts a game: the turn
    // disc shows above column 0.
    const int wx = g.window.x, wy = g.window.y;
    g.x->move_pointer(wx + 2 * 80, wy + 2 * 130);
    g.x->move_pointer(wx + 2 * 80 + 1, wy + 2 * 130 + 1);
    ASSERT_TRUE(e2e::wait_until([&] {
        return g.x->pixel(wx + 2 * 40, wy + 2 * 135) == art.moyen_hover[23 * 106 + 13];
    })) << dump(g.x->screenshot(g.window));
    g.x->click(wx + 2 * 80 + 1, wy + 2 * 130 + 1);
    ASSERT_TRUE(e2e::wait_until([&] { return g.x->pixel(wx + 2 * 50, wy + 2 * 225) == HUMAN_DISC_CENTRE; }))
        << dump(g.x->screenshot(g.window));

    // A click on column 3 (picture x 205) drops the human's disc into it.
    const auto human_discs_in_column_3 = [&] {
        int n = 0;
        for (int row = 0; row < 6; ++row)
            n += g.x->pixel(wx + 2 * 200, wy + 2 * (275 + 50 * row)) == HUMAN_DISC_CENTRE;
        return n;
    };
    g.x->move_pointer(wx + 2 * 205, wy + 2 * 400);
    g.x->move_pointer(wx + 2 * 205 + 1, wy + 2 * 400 + 1);
    g.x->click(wx + 2 * 205 + 1, wy + 2 * 400 + 1);
    ASSERT_TRUE(e2e::wait_until([&] { return human_discs_in_column_3() == 1; })) << dump(g.x->screenshot(g.window));

    // A press on the title drags the window by the pointer's travel, in
    // screen pixels.
    const auto id = g.x->find_window("Colonnade4");
    ASSERT_TRUE(id);
    g.x->move_pointer(g.window.x + 400, g.window.y + 40);
    g.x->press_button();
    for (int step = 1; step <= 10; ++step)
        g.x->move_pointer(g.window.x + 400 + 10 * step, g.window.y + 40 + 6 * step);
    const e2e::Rect moved{g.window.x + 100, g.window.y + 60, 800, 1200};
    EXPECT_TRUE(e2e::wait_until([&] { return g.x->window_geometry(*id) == moved; }));
    g.x->release_button();
}

}  // namespace
