// The real backend's message box over the probe's window: where it opens,
// how it closes, what the window behind it does, and what it leaves behind.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <signal.h>

#include "probe_fixture.h"

namespace {

using namespace probe_e2e;

TEST_F(ProbeWithBox, BoxIsCentredOverTheWindowOwnedByItAndWhollyOnScreen) {
    struct Case {
        const char* where;
        int x, y;
    };
    const Case cases[] = {
        {"centred", CENTRED_WINDOW.x, CENTRED_WINDOW.y},
        {"near the right edge", SCREEN_WIDTH - 120, 100},
        {"past the bottom left corner", -300, SCREEN_HEIGHT - 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        x_->move_window(window_, c.x, c.y);
        ASSERT_TRUE(e2e::wait_until([&] { return geometry().x == c.x && geometry().y == c.y; }));
        x_->move_pointer(std::clamp(c.x + 200, 5, SCREEN_WIDTH - 5), std::clamp(c.y + 300, 5, SCREEN_HEIGHT - 5));
        const size_t closed = count_lines(probe_, "box closed");
        const std::optional<XWindowId> box = open_box();
        ASSERT_TRUE(box) << probe_.transcript();
        const Rect g = x_->window_geometry(*box).value_or(Rect{});
        EXPECT_GE(g.x, 0);
        EXPECT_GE(g.y, 0);
        EXPECT_LE(g.x + g.width, SCREEN_WIDTH);
        EXPECT_LE(g.y + g.height, SCREEN_HEIGHT);
        EXPECT_NEAR(g.x, std::clamp(c.x + 200 - g.width / 2, 0, SCREEN_WIDTH - g.width), 2);
        EXPECT_NEAR(g.y, std::clamp(c.y + 300 - g.height / 2, 0, SCREEN_HEIGHT - g.height), 2);
        // What window managers read to keep it over its window and modal.
        EXPECT_EQ(x_->window_cardinals(*box, "WM_TRANSIENT_FOR"), std::vector<unsigned long>{window_});
        EXPECT_EQ(x_->window_cardinals(*box, "_NET_WM_WINDOW_TYPE"),
                  std::vector<unsigned long>{x_->atom("_NET_WM_WINDOW_TYPE_DIALOG")});
        const std::vector<unsigned long> state = x_->window_cardinals(*box, "_NET_WM_STATE");
        EXPECT_NE(std::find(state.begin(), state.end(), x_->atom("_NET_WM_STATE_MODAL")), state.end());
        x_->tap_key(XK_Return);
        ASSERT_TRUE(wait_until_closed(closed)) << probe_.transcript();
    }
}

TEST_F(ProbeWithBox, BoxClosesByItsKeysItsButtonAndTheWindowManager) {
    struct Way {
        const char* name;
        std::function<void(XWindowId)> close;
    };
    const auto key = [&](e2e::KeySymbol k) { return [this, k](XWindowId) { x_->tap_key(k); }; };
    const Way ways[] = {
        {"Return", key(XK_Return)},
        {"keypad Enter", key(XK_KP_Enter)},
        {"Space", key(XK_space)},
        {"Escape", key(XK_Escape)},
        {"a click on OK",
         [this](XWindowId box) {
             const auto [bx, by] = ok_button(box);
             x_->click(bx, by);
         }},
        {"the window manager", [this](XWindowId box) { x_->request_close(box); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const size_t closed = count_lines(probe_, "box closed");
        const std::optional<XWindowId> box = open_box();
        ASSERT_TRUE(box) << probe_.transcript();
        EXPECT_EQ(count_lines(probe_, "box closed"), closed) << "returned while the box is up";
        way.close(*box);
        ASSERT_TRUE(wait_until_closed(closed)) << probe_.transcript();
        move_to_client(200, 450);  // keys go where the pointer is once the box is gone
    }
    // The window takes keys again.
    x_->tap_key(XK_z);
    EXPECT_TRUE(next_event(0x0100)) << probe_.transcript();
    EXPECT_EQ(probe_.transcript().find("bye"), std::string::npos) << "Escape reached the window";
}

TEST_F(ProbeWithBox, BehindTheBoxTheWindowIsRepaintedDropsKeysAndPressesAndKeepsPointerMoves) {
    const std::optional<XWindowId> box = open_box();
    ASSERT_TRUE(box) << probe_.transcript();
    const size_t paints = count_lines(probe_, "paint drag=0");
    x_->expose(window_);
    EXPECT_TRUE(probe_.wait_for_line([&](const std::string&) { return count_lines(probe_, "paint drag=0") > paints; }))
        << "no repaint while the box is up";
    x_->focus_window(window_);
    x_->tap_key(XK_z);
    x_->click(CENTRED_WINDOW.x + 200, CENTRED_WINDOW.y + 450);  // outside the zone: it would drag
    move_to_client(210, 460);
    x_->focus_window(*box);
    x_->tap_key(XK_Return);
    ASSERT_TRUE(wait_until_closed(0)) << probe_.transcript();
    x_->tap_key(XK_y);  // the pointer is over the window: it gets this key
    ASSERT_TRUE(probe_.wait_for_line_starting("ev 0100 key 59")) << probe_.transcript();
    const auto& lines = probe_.lines();
    const auto closed = std::find(lines.begin(), lines.end(), "box closed");
    EXPECT_EQ(std::count_if(closed, lines.end(), [](const std::string& l) { return is_event(l, 0x0201); }), 0);
    EXPECT_EQ(
        std::count_if(closed, lines.end(), [](const std::string& l) { return l.rfind("ev 0100 key 5a", 0) == 0; }), 0);
    EXPECT_GT(std::count_if(closed, lines.end(), [](const std::string& l) { return is_event(l, 0x0200); }), 0)
        << "the hover is not brought up to date";
}

// Windows passing over the game's, as tooltips, menus and windows dragged
// across do on a desktop without a compositor: each time, all they hid
// comes back, the window's picture by its repaint, with the box up or the
// program asleep as while it waits.
TEST_F(ProbeWithBox, WhatACoverHidComesBackEveryTime) {
    struct Cover {
        const char* where;
        Rect area;  // from the window's top-left corner
    };
    const Cover covers[] = {
        {"over the rounded corner", {-10, -10, 120, 30}},
        {"over the whole window", {-10, -10, 420, 620}},
        {"inside the picture", {150, 250, 100, 100}},
    };
    constexpr uint32_t COVER_COLOUR = 0xFF00FF;  // nowhere in the picture
    const Rect around{CENTRED_WINDOW.x - 10, CENTRED_WINDOW.y - 10, probe::WIDTH + 20, probe::HEIGHT + 20};
    MessageBoxPicture box_picture = lay_out_message_box(probe::BOX_TEXT, 1);
    paint_message_box(&box_picture, OkLook::Rest);
    // Inside the window, clear of the box: no hover changes the box's look.
    move_to_client(200, 20);
    // While the program waits for events, while it sleeps (as through a
    // tune or between the frames of a drop: the probe's busy spell), and
    // with the box up.
    for (const char* when : {"waiting", "asleep", "box up"}) {
        SCOPED_TRACE(when);
        const bool box_up = std::string(when) == "box up", asleep = std::string(when) == "asleep";
        Rect box{};
        if (asleep) {
            x_->tap_key(XK_b);
            ASSERT_TRUE(probe_.wait_for_line_starting("busy start")) << probe_.transcript();
        }
        if (box_up) {
            const std::optional<XWindowId> id = open_box();
            ASSERT_TRUE(id) << probe_.transcript();
            box = x_->window_geometry(*id).value_or(Rect{});
            ASSERT_EQ(box.width, box_picture.width);
            ASSERT_EQ(box.height, box_picture.height);
        }
        const auto expected = [&](int sx, int sy) {
            if (probe::inside({box.x, box.y, box.width, box.height, 0, 0, 0}, sx, sy))
                return box_picture.pixels[size_t(sy - box.y) * size_t(box.width) + size_t(sx - box.x)];
            const int wx = sx - CENTRED_WINDOW.x, wy = sy - CENTRED_WINDOW.y;
            return game_outline::covers(wx, wy) ? probe::expected_rgb(wx, wy) : ROOT_COLOUR;
        };
        for (const Cover& c : covers) {
            SCOPED_TRACE(c.where);
            x_->cover({CENTRED_WINDOW.x + c.area.x, CENTRED_WINDOW.y + c.area.y, c.area.width, c.area.height},
                      COVER_COLOUR);
            Image shot;
            int wrong = 0;
            const bool back = e2e::wait_until([&] {
                shot = x_->screenshot(around);
                wrong = 0;
                for (int y = 0; y < shot.height; ++y)
                    for (int x = 0; x < shot.width; ++x)
                        wrong += shot.at(x, y) != expected(shot.x + x, shot.y + y);
                return wrong == 0;
            });
            if (!back) shot.save_ppm(::testing::TempDir() + "uncovered.ppm");
            ASSERT_TRUE(back) << wrong << " pixels wrong; shot saved to " << ::testing::TempDir() << "uncovered.ppm";
        }
        if (asleep) {
            move_to_client(150, 450);  // where the busy spell ends
            ASSERT_TRUE(probe_.wait_for_line_starting("busy done")) << probe_.transcript();
            move_to_client(200, 20);
        }
    }
}

// The game shows its box before its event loop when it has no sound; the
// window's picture is there behind the box all the same.
TEST(PlatformMessageBox, BoxAtStartLeavesTheWindowPainted) {
    const std::unique_ptr<XvfbSession> x = XvfbSession::start(SCREEN_WIDTH, SCREEN_HEIGHT);
    ASSERT_TRUE(x);
    x->set_root_colour(ROOT_COLOUR);
    ChildProcess probe = x->spawn({PLATFORM_PROBE_PATH, "box-at-start"});
    ASSERT_TRUE(probe.wait_for_line_starting("box open")) << probe.transcript();
    const std::optional<XWindowId> box = x->wait_for_window("Problème");
    ASSERT_TRUE(box);
    ASSERT_TRUE(e2e::wait_until([&] { return x->window_viewable(*box); }));
    // The three boxes at the top of the picture, well clear of the message box.
    const Rect at = CENTRED_WINDOW;
    for (const probe::Box& b : probe::BOXES) {
        if (b.y > 200) continue;
        const int px = at.x + b.x + b.width / 2, py = at.y + b.y + b.height / 2;
        const uint32_t want = uint32_t(b.red) << 16 | uint32_t(b.green) << 8 | uint32_t(b.blue);
        EXPECT_TRUE(e2e::wait_until([&] { return x->pixel(px, py) == want; }))
            << "screen pixel (" << px << ", " << py << ") is " << std::hex << x->pixel(px, py) << ", expected " << want;
    }
    x->focus_window(*box);
    x->tap_key(XK_Return);
    EXPECT_TRUE(probe.wait_for_line_starting("box closed")) << probe.transcript();
}

// On a high-resolution screen the box is as large as the window beside it:
// twice the size at twice the scale (give or take the font's hinting), and
// centred over the window all the same.
TEST(PlatformMessageBox, BoxFollowsTheDesktopScale) {
    Rect boxes[2];
    for (int scale = 1; scale <= 2; ++scale) {
        SCOPED_TRACE(scale);
        const std::unique_ptr<XvfbSession> x = XvfbSession::start(3840, 2160);
        ASSERT_TRUE(x);
        ChildProcess::Options options;
        options.set_env = {{"GDK_SCALE", std::to_string(scale)}};
        ChildProcess probe = x->spawn({PLATFORM_PROBE_PATH, "box-at-start"}, options);
        const std::optional<XWindowId> box = x->wait_for_window(BOX_TITLE);
        ASSERT_TRUE(box);
        ASSERT_TRUE(e2e::wait_until([&] { return x->window_viewable(*box); }));
        const Rect g = x->window_geometry(*box).value_or(Rect{});
        EXPECT_NEAR(g.x + g.width / 2, 3840 / 2, 2);
        EXPECT_NEAR(g.y + g.height / 2, 2160 / 2, 2);
        boxes[scale - 1] = g;
    }
    EXPECT_NEAR(boxes[1].width, 2 * boxes[0].width, 8);
    EXPECT_NEAR(boxes[1].height, 2 * boxes[0].height, 4);
}

// The box is a window of the program's own: killed with it up, the program
// leaves nothing on the screen (a helper process showing the box would).
TEST(PlatformMessageBox, SigtermWhileTheBoxIsUpLeavesNoWindowBehind) {
    const std::unique_ptr<XvfbSession> x = XvfbSession::start(SCREEN_WIDTH, SCREEN_HEIGHT);
    ASSERT_TRUE(x);
    ChildProcess probe = x->spawn({PLATFORM_PROBE_PATH, "box-at-start"});
    const std::optional<XWindowId> box = x->wait_for_window(BOX_TITLE);
    ASSERT_TRUE(box);
    ASSERT_TRUE(e2e::wait_until([&] { return x->window_viewable(*box); }));
    ::kill(probe.pid(), SIGTERM);
    const std::optional<int> status = probe.wait_exit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGTERM);
    EXPECT_TRUE(e2e::wait_until([&] { return x->top_level_windows().empty(); }))
        << x->top_level_windows().size() << " windows left";
}

}  // namespace
