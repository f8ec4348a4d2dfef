// The real game where the desktop lacks something: a sound device, fonts,
// a display, or colours it can draw in.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/pulse_server.h"
#include "game_e2e_fixture.h"

namespace {

using namespace game_e2e;

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
    const std::vector<std::pair<std::string, std::string>> no_synthesiser = {{"SDL_AUDIODRIVER", "dummy"},
                                                                             {"LD_LIBRARY_PATH", broken_library_dir}};
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

}  // namespace
