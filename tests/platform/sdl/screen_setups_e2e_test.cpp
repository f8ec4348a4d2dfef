// The real backend on the screens and displays a desktop may have, and at
// its edges: a late error at exit, and no display at all.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "probe_fixture.h"

namespace {

using namespace probe_e2e;

// SDL wakes its event loop by an event sent to the window, which may race
// the window's closing at exit: the server's BadWindow then comes while the
// platform shuts down, and must not turn a clean exit into a failure. Only
// that error is let pass, and only from the closing on; any other still
// ends the program, as Xlib does.
TEST(PlatformExit, OnlyALateBadWindowFromASentEventLeavesTheExitClean) {
    struct Case {
        const char* request;
        const char* when;
        int status;
    };
    const Case cases[] = {{"send", "after", 0}, {"map", "after", 1}, {"send", "before", 1}};
    const std::unique_ptr<XvfbSession> x = XvfbSession::start(SCREEN_WIDTH, SCREEN_HEIGHT);
    ASSERT_TRUE(x);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.request) + " " + c.when);
        ChildProcess::Options options;
        options.merge_stderr = true;
        ChildProcess probe = x->spawn({PLATFORM_PROBE_PATH, "x-error", c.request, c.when}, options);
        ASSERT_TRUE(probe.wait_for_line_starting("paint")) << probe.transcript();
        x->tap_key(XK_Escape);
        const std::optional<int> status = probe.wait_exit();
        ASSERT_TRUE(status) << probe.transcript();
        while (probe.read_line(Millis{100})) {}
        ASSERT_TRUE(WIFEXITED(*status)) << probe.transcript();
        EXPECT_EQ(WEXITSTATUS(*status), c.status) << probe.transcript();
        const std::string said = probe.transcript();
        EXPECT_EQ(said.find("ended") != std::string::npos, c.status == 0) << said;
        EXPECT_EQ(said.find("X Error of failed request:  BadWindow") != std::string::npos, c.status != 0) << said;
    }
}

// The screens a desktop may have, each with the box up at start: the window
// opens on one monitor (the primary, else the first), centred on it at that
// monitor's scale; on the screen SDL takes whatever screen DISPLAY names
// (SDL 2.26 takes the first), with the box over it there; on X whatever
// SDL_VIDEODRIVER says; and at any TrueColor depth, its picture within the
// display's step of its 24-bit colours.
TEST(PlatformScreenSetups, WindowAndBoxOnOneMonitorShowThePicture) {
    struct Setup {
        const char* name;
        int width, height, depth;
        std::vector<std::vector<std::string>> xrandr;  // run before the probe
        bool second_screen;                            // a screen 1, which DISPLAY names
        std::vector<std::pair<std::string, std::string>> env;
        Rect window;
        int step[3];  // how far red, green and blue may read from their 24-bit values
        int seam;     // x of a seam between monitors to drag the window over, or 0
    };
    constexpr Rect MIDDLE = {440, 212, 400, 600};  // of a 1280 x 1024 monitor
    // clang-format off
    const Setup setups[] = {
        {"two monitors, the second primary", 2048, 768, 24,
         {{"--setmonitor", "LEFT", "1024/271x768/203+0+0", "screen"},
          {"--setmonitor", "*RIGHT", "1024/271x768/203+1024+0", "none"}}, false, {}, {1024 + 312, 84, 400, 600}, {0, 0, 0},
         1024},
        // At twice the scale the window would fit on the screen, not on a monitor.
        {"two stacked monitors, neither primary", 1280, 2048, 24,
         {{"--setmonitor", "TOP", "1280/338x1024/270+0+0", "screen"},
          {"--setmonitor", "BOTTOM", "1280/338x1024/270+0+1024", "none"}}, false, {{"GDK_SCALE", "2"}}, MIDDLE, {0, 0, 0}, 0},
        {"DISPLAY naming the second screen", 1280, 1024, 24, {}, true, {}, MIDDLE, {0, 0, 0}, 0},
        {"SDL_VIDEODRIVER=wayland", 1280, 1024, 24, {}, false, {{"SDL_VIDEODRIVER", "wayland"}}, MIDDLE, {0, 0, 0}, 0},
        {"SDL_VIDEODRIVER=offscreen", 1280, 1024, 24, {}, false, {{"SDL_VIDEODRIVER", "offscreen"}}, MIDDLE, {0, 0, 0}, 0},
        {"SDL_VIDEODRIVER=dummy", 1280, 1024, 24, {}, false, {{"SDL_VIDEODRIVER", "dummy"}}, MIDDLE, {0, 0, 0}, 0},
        {"30-bit deep colour", 1280, 1024, 30, {}, false, {}, MIDDLE, {1, 1, 1}, 0},
        {"16-bit colour", 1280, 1024, 16, {}, false, {}, MIDDLE, {8, 4, 8}, 0},
    };
    // clang-format on
    for (const Setup& setup : setups) {
        SCOPED_TRACE(setup.name);
        const auto x = XvfbSession::start(
            setup.width, setup.height, setup.depth,
            setup.second_screen ? std::vector<std::string>{"-screen", "1", "1024x768x24"} : std::vector<std::string>{});
        ASSERT_TRUE(x);
        for (std::vector<std::string> command : setup.xrandr) {
            command.insert(command.begin(), "xrandr");
            const std::optional<int> status = x->spawn(command).wait_exit();
            ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << command[2];
        }
        ChildProcess::Options options{setup.env, {"GDK_SCALE", "SDL_VIDEODRIVER"}, true};
        if (setup.second_screen) options.set_env.emplace_back("DISPLAY", x->display_name() + ".1");
        ChildProcess probe = x->spawn({PLATFORM_PROBE_PATH, "box-at-start"}, options);
        const std::optional<XWindowId> box = x->wait_for_window(BOX_TITLE);
        const std::optional<XWindowId> window = x->find_window("Colonnade4");
        if (!box || !window || !e2e::wait_until([&] { return x->window_viewable(*box); })) {
            ADD_FAILURE() << "no window and box on the first screen; " << probe.transcript();
            continue;
        }
        EXPECT_EQ(x->window_geometry(*window), setup.window);
        const Rect b = x->window_geometry(*box).value_or(Rect{});
        EXPECT_NEAR(b.x + b.width / 2, setup.window.x + setup.window.width / 2, 2);
        EXPECT_NEAR(b.y + b.height / 2, setup.window.y + setup.window.height / 2, 2);

        // The picture in the outline, around the box.
        const auto near = [&](uint32_t got, uint32_t want) {
            for (int c = 0; c < 3; ++c)
                if (std::abs(int(got >> (16 - 8 * c) & 0xFF) - int(want >> (16 - 8 * c) & 0xFF)) > setup.step[c])
                    return false;
            return true;
        };
        char wrong[120] = "window not on screen";
        Image shot;
        const bool shown = e2e::wait_until([&] {
            shot = x->screenshot(setup.window);
            for (int py = 0; py < probe::HEIGHT && shot.height == probe::HEIGHT; ++py)
                for (int px = 0; px < probe::WIDTH && shot.width == probe::WIDTH; ++px) {
                    const int sx = shot.x + px, sy = shot.y + py;
                    const bool boxed = sx >= b.x && sx < b.x + b.width && sy >= b.y && sy < b.y + b.height;
                    if (game_outline::covers(px, py) && !boxed && !near(shot.at(px, py), probe::expected_rgb(px, py))) {
                        std::snprintf(wrong, sizeof wrong, "window pixel (%d, %d) is %06X, expected %06X", px, py,
                                      unsigned(shot.at(px, py)), unsigned(probe::expected_rgb(px, py)));
                        return false;
                    }
                }
            return shot.width == probe::WIDTH && shot.height == probe::HEIGHT;
        });
        if (!shown) shot.save_ppm(::testing::TempDir() + "screen_setup.ppm");
        EXPECT_TRUE(shown) << wrong << " (shot in " << ::testing::TempDir() << "screen_setup.ppm)";
        if (setup.seam == 0) continue;

        // Dragged wholly onto the other monitor, the one that is not the
        // primary: the box comes up there, over the window.
        x->request_close(*box);
        // Keys typed before the box has returned are dropped with it.
        ASSERT_TRUE(probe.wait_for_line_starting("box closed")) << probe.transcript();
        const Rect from = x->window_geometry(*window).value_or(Rect{});
        x->move_pointer(from.x + 200, from.y + 450);  // outside the probe's zone: a drag
        x->press_button();
        Rect moved;
        EXPECT_TRUE(e2e::wait_until([&] {
            x->move_pointer(from.x + 201 - setup.seam, from.y + 450);
            x->move_pointer(from.x + 200 - setup.seam, from.y + 450);
            moved = x->window_geometry(*window).value_or(Rect{});
            return moved.x == from.x - setup.seam;
        })) << "the window stays at "
            << moved.x;
        x->release_button();
        ASSERT_TRUE(probe.wait_for_line_starting("drag end")) << probe.transcript();
        x->focus_window(*window);
        x->tap_key(XK_m);
        const std::optional<XWindowId> again = x->wait_for_window(BOX_TITLE);
        ASSERT_TRUE(again && e2e::wait_until([&] { return x->window_viewable(*again); })) << probe.transcript();
        const Rect there = x->window_geometry(*again).value_or(Rect{});
        EXPECT_NEAR(there.x + there.width / 2, moved.x + moved.width / 2, 2);
        EXPECT_LE(there.x + there.width, setup.seam) << "the box is not on the window's monitor";
    }
}

// Without a display the program ends at once, silently, with exit code 0.
TEST(PlatformWithoutDisplay, EndsSilentlyWithExitCodeZero) {
    // A display number that no server answers on.
    int dead = 99;
    struct stat st {};
    while (stat(("/tmp/.X11-unix/X" + std::to_string(dead)).c_str(), &st) == 0)
        ++dead;
    std::string dead_display = ":";
    dead_display += std::to_string(dead);
    const std::vector<ChildProcess::Options> setups = {
        {{}, {"DISPLAY"}, true},
        {{{"DISPLAY", dead_display}}, {}, true},
        {{{"SDL_VIDEODRIVER", "dummy"}}, {"DISPLAY"}, true},
        {{{"SDL_VIDEODRIVER", "offscreen"}}, {"DISPLAY"}, true},
    };
    for (const ChildProcess::Options& options : setups) {
        ChildProcess probe = ChildProcess::start({PLATFORM_PROBE_PATH}, options);
        ASSERT_TRUE(probe.started());
        const std::optional<int> status = probe.wait_exit();
        ASSERT_TRUE(status);
        EXPECT_TRUE(WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), 0);
        EXPECT_FALSE(probe.read_line(Millis{0})) << probe.transcript();
    }
}

}  // namespace
