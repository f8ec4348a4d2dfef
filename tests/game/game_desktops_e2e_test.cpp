// The real game on the desktops a player may have, each on a private Xvfb:
// none at all, openbox, openbox with picom compositing, and weston and sway
// nested in the Xvfb with their Xwayland. On each, the game's rounded
// corners show what lies behind the window, a drag moves the window by the
// pointer's travel, and the box about the missing sound opens centred over
// the game and Return closes it.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdlib>

#include "game_e2e_fixture.h"
#include "testing/nested_desktop.h"

namespace {

using namespace game_e2e;
using e2e::NestedDesktop;

// The box's frame may add a title bar above it: its middle then lies that
// much below the frame's, which is what is centred.
constexpr int BOX_TITLE_ALLOWANCE = 32;
// A window manager that does not say how wide its frame is (weston's) gets
// the box's place as that of the frame's inside, off by its border.
constexpr int BOX_BORDER_ALLOWANCE = 8;
// A compositor may darken what lies behind a window with its shadow.
constexpr int SHADOW_ALLOWANCE = 16;

TEST(GameOnEachDesktop, CornersShowWhatLiesBehindADragMovesTheWindowAndTheBoxOpensOverTheGame) {
    struct Setup {
        const char* name;
        NestedDesktop::Kind kind;
    };
    const Setup setups[] = {
        {"no window manager", NestedDesktop::Kind::NoWindowManager},
        {"openbox", NestedDesktop::Kind::Openbox},
        {"openbox with picom", NestedDesktop::Kind::OpenboxPicom},
        {"weston with Xwayland", NestedDesktop::Kind::Weston},
        {"sway with Xwayland", NestedDesktop::Kind::Sway},
    };
    const ExpectedArt& art = expected_art();
    for (const Setup& setup : setups) {
        SCOPED_TRACE(setup.name);
        std::string why_not;
        const std::unique_ptr<NestedDesktop> desktop = NestedDesktop::start(setup.kind, 1280, 1024, &why_not);
        if (!desktop) {
            if (setup.kind == NestedDesktop::Kind::Sway) {
                std::printf("[ SKIPPED  ] %s: %s\n", setup.name, why_not.c_str());
                continue;
            }
            ADD_FAILURE() << why_not;
            continue;
        }
        e2e::XvfbSession& screen = desktop->screen();
        e2e::XvfbSession& programs = desktop->programs();
        // Without a sound card the game opens its box at once.
        e2e::ChildProcess::Options options;
        options.set_env = {{"SDL_AUDIODRIVER", "alsa"}, {"ALSA_CONFIG_PATH", "/dev/null"}};
        options.unset_env = {"DBUS_SESSION_BUS_ADDRESS"};
        options.merge_stderr = true;
        e2e::ChildProcess game = desktop->spawn({COLONNADE4_PATH}, options);
        const auto window = programs.wait_for_window("Colonnade4");
        const auto box = programs.wait_for_window("Problème", e2e::Millis{30000});
        if (!window || !box || !e2e::wait_until([&] { return programs.window_viewable(*box); })) {
            while (game.read_line(e2e::Millis{200})) {}
            ADD_FAILURE() << (window ? "" : "no game window; ") << (box ? "" : "no box; ")
                          << (game.running() ? "the game runs; " : "the game has ended; ") << game.transcript();
            continue;
        }
        e2e::Rect g = programs.window_geometry(*window).value_or(e2e::Rect{});
        // Centred over the game, give or take a title bar above it, once the
        // window manager has put it where it goes; holding the keyboard.
        e2e::Rect b;
        EXPECT_TRUE(e2e::wait_until([&] {
            b = programs.window_geometry(*box).value_or(e2e::Rect{});
            const int dx = b.x + b.width / 2 - (g.x + g.width / 2), dy = b.y + b.height / 2 - (g.y + g.height / 2);
            return std::abs(dx) <= BOX_BORDER_ALLOWANCE && dy >= -2 && dy <= BOX_TITLE_ALLOWANCE;
        })) << "box at "
            << b.x << ", " << b.y << " for the game's " << g.x << ", " << g.y;
        EXPECT_TRUE(e2e::wait_until([&] { return programs.input_focus() == *box; })) << "the box has no keyboard";
        screen.tap_key(XK_Return);
        EXPECT_TRUE(e2e::wait_until([&] { return !programs.find_window("Problème"); })) << "Return left the box up";

        // The top-left corner, cut by the outline, shows the backdrop (give
        // or take a compositor's shadow under the window), beside the picture.
        EXPECT_TRUE(e2e::wait_until([&] { return screen.pixel(g.x + 360, g.y + 225) == art.at(360, 225); }))
            << "no picture";
        const auto behind = [&] {
            const uint32_t p = screen.pixel(g.x + 1, g.y + 1);
            for (int shift = 0; shift <= 16; shift += 8)
                if (std::abs(int(p >> shift & 0xFF) - int(NestedDesktop::BACKDROP >> shift & 0xFF)) > SHADOW_ALLOWANCE)
                    return false;
            return true;
        };
        EXPECT_TRUE(e2e::wait_until(behind)) << "the corner shows " << std::hex << screen.pixel(g.x + 1, g.y + 1);

        // The game is back in its loop (the box drops what came before it
        // returned): "Moyen" lights up under the pointer.
        // The window may have followed the pointer a last time as the game
        // saw the release: it is found again each time.
        const auto hover_moyen = [&] {
            return e2e::wait_until([&] {
                g = programs.window_geometry(*window).value_or(e2e::Rect{});
                desktop->move_pointer(g.x + 80, g.y + 130);
                screen.move_pointer(g.x + 81, g.y + 131);
                return screen.pixel(g.x + 40, g.y + 135) == art.moyen_hover[23 * 106 + 13];
            });
        };
        ASSERT_TRUE(hover_moyen()) << "the game does not answer the pointer";

        // Pressed outside every active area and held, the window follows the
        // pointer step by step; once released, the game plays on.
        desktop->move_pointer(g.x + 199, g.y + 19);
        screen.move_pointer(g.x + 200, g.y + 20);
        screen.press_button();
        // Sway grips the window where the pointer is when the game's request
        // comes, which a test's pointer has left already: there, the window
        // follows the pointer's travel from the first step on.
        const bool gripped_where_pressed = setup.kind != NestedDesktop::Kind::Sway;
        const e2e::Rect pressed = g;
        e2e::Rect from = g;  // where the window is with the pointer back at the press
        for (int step = 1; step <= 4; ++step) {
            // The pointer goes on moving, as a hand does: window managers
            // move the window as the pointer moves.
            const int px = pressed.x + 200 + 30 * step, py = pressed.y + 20 + 21 * step;
            const bool exact = gripped_where_pressed || step > 1;
            EXPECT_TRUE(e2e::wait_until([&] {
                screen.move_pointer(px + 1, py);
                screen.move_pointer(px, py);
                g = programs.window_geometry(*window).value_or(e2e::Rect{});
                return exact ? g.x == from.x + 30 * step && g.y == from.y + 21 * step : g.x != from.x || g.y != from.y;
            })) << "step "
                << step << ": window at " << g.x << ", " << g.y << " from " << from.x << ", " << from.y;
            if (!exact) from = e2e::Rect{g.x - 30 * step, g.y - 21 * step, g.width, g.height};
        }
        screen.release_button();
        if (!hover_moyen()) {
            const std::string path = ::testing::TempDir() + "colonnade4-desktop.ppm";
            screen.screenshot().save_ppm(path);
            ADD_FAILURE() << "the game is not back in its loop; screen in " << path;
        }
        screen.click(g.x + 81, g.y + 131);
        EXPECT_TRUE(
            e2e::wait_until([&] { return screen.pixel(g.x + 50, g.y + 225) == HUMAN_DISC_CENTRE; }, e2e::Millis{30000}))
            << "\"Moyen\" started no game";
    }
}

}  // namespace
