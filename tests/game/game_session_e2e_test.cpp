// The real game as a guest of the desktop's session, with no session bus
// and D-Bus's X launcher installed, as on a bare X session or a forwarded
// display: the screen saver comes on while the game idles, and once it
// ends nothing of its own is left on the display, window or process.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <sys/wait.h>

#include "testing/desktop_session.h"
#include "game_e2e_fixture.h"

namespace {

using namespace game_e2e;

TEST(GameInTheSession, TheScreenSaverComesOnWhileItIdlesAndNothingOfItsOwnOutlivesIt) {
    const std::unique_ptr<e2e::XvfbSession> x = e2e::XvfbSession::start(1280, 1024);
    ASSERT_TRUE(x);
    e2e::ChildProcess::Options options;
    options.set_env = {{"SDL_AUDIODRIVER", "dummy"}};
    options.unset_env = {"DBUS_SESSION_BUS_ADDRESS"};
    e2e::ChildProcess game = x->spawn({COLONNADE4_PATH}, options);
    const auto id = x->wait_for_window("Colonnade4");
    ASSERT_TRUE(id && e2e::wait_until([&] { return x->window_viewable(*id); }));
    const e2e::Rect window = x->window_geometry(*id).value_or(e2e::Rect{});
    ASSERT_TRUE(
        e2e::wait_until([&] { return x->pixel(window.x + 360, window.y + 225) == expected_art().at(360, 225); }));

    e2e::set_screen_saver_timeout(*x, 1);
    EXPECT_TRUE(e2e::wait_until([&] { return e2e::screen_saver_on(*x); })) << "the screen saver never came on";

    x->tap_key(XK_Escape);
    const std::optional<int> status = game.wait_exit();
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_TRUE(e2e::wait_until([&] { return x->top_level_windows().empty(); }))
        << x->top_level_windows().size() << " windows left on the display";
    std::string left;
    for (const pid_t pid : e2e::processes_on_display(x->display_name()))
        left += std::to_string(pid) + " " + e2e::command_line(pid) + "\n";
    EXPECT_EQ(left, "") << "processes left on the display";
}

}  // namespace
