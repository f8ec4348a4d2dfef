// The real game in a real window on a private Xvfb, driven the way a person
// drives it and checked by screenshot pixels. The expected pictures come
// from the same artwork built headless in this process. What the game's
// end-to-end tests share: its colours, its expected pictures and the
// fixture that starts it.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "art/artwork.h"
#include "art/shade_canvas.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "testing/headless_artwork.h"
#include "testing/xvfb_session.h"

namespace game_e2e {

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

inline const ExpectedArt& expected_art() {
    static const ExpectedArt art;
    return art;
}

// For a game outside the fixture, its window's top-left corner at (wx, wy):
// its picture shows, and "Moyen", once hovered and pressed, starts a game
// with the human to move.
inline bool shows_picture_then_starts_moyen(e2e::XvfbSession& x, int wx, int wy) {
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

}  // namespace game_e2e
