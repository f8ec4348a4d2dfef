// The real game on a high-resolution screen.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <string>
#include <vector>

#include "support/game_outline.h"
#include "game_e2e_fixture.h"

namespace {

using namespace game_e2e;

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
