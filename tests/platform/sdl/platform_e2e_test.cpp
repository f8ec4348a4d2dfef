// The real backend's window and input, driven from outside as a person
// would on a private X server: its place and shape, pointer, keys, drag,
// timer, pointer shape and icon.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "probe_fixture.h"

namespace {

using namespace probe_e2e;

TEST_F(PlatformProbe, WindowIsCentredBorderlessAndShowsThePictureInItsRoundedShape) {
    EXPECT_EQ(geometry(), CENTRED_WINDOW);
    expect_picture_at(CENTRED_WINDOW, "centred_window.ppm");
}

TEST_F(PlatformProbe, ShapeIsTheRoundRectangleRowByRow) {
    std::vector<int> left(600, -1), right(600, -1);
    for (const Rect& r : x_->window_shape(window_))
        for (int y = r.y; y < r.y + r.height; ++y) {
            ASSERT_GE(y, 0);
            ASSERT_LT(y, 600);
            EXPECT_EQ(left[size_t(y)], -1) << "row " << y << " covered twice";
            left[size_t(y)] = r.x;
            right[size_t(y)] = r.x + r.width;
        }
    for (int y = 0; y <= game_outline::LAST_ROW; ++y) {
        EXPECT_EQ(left[size_t(y)], game_outline::inset(y)) << "row " << y;
        EXPECT_EQ(right[size_t(y)], game_outline::RIGHT_END - game_outline::inset(y)) << "row " << y;
    }
    EXPECT_EQ(left[599], -1) << "the bottom row is outside the shape";
}

TEST_F(PlatformProbe, ReapplyingTheShapeOnRepaintRaisesNoFurtherRepaint) {
    // Anything queued behind the first repaint arrives before this key.
    x_->tap_key(XK_z);
    ASSERT_TRUE(next_event(0x0100)) << probe_.transcript();
    const auto& lines = probe_.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "paint drag=0"), 1) << probe_.transcript();
}

TEST_F(PlatformProbe, PointerMovesAndPressesArriveWithTheirClientPosition) {
    move_to_client(150, 300);  // inside the zone: presses there do not drag
    // The window may still be reporting the pointer's arrival at its first
    // place; the move shows in a move event read where the pointer now is.
    EXPECT_TRUE(probe_.wait_for_line([](const std::string& l) {
        const std::optional<ProbeEvent> e = parse_event(l);
        return e && e->code == 0x0200 && e->x == 150 && e->y == 300;
    })) << probe_.transcript();

    x_->press_button();
    std::optional<ProbeEvent> e = next_event(0x0201);
    ASSERT_TRUE(e) << probe_.transcript();
    EXPECT_EQ(e->x, 150);
    EXPECT_EQ(e->y, 300);
    x_->release_button();
    ASSERT_TRUE(next_event(0x0202)) << probe_.transcript();
    EXPECT_EQ(probe_.transcript().find("drag begin"), std::string::npos);
    EXPECT_EQ(geometry(), CENTRED_WINDOW);
}

// Double clicks as the desktop judges them: the second press of button 1
// within 500 ms and 4 pixels (on each axis) of the first, by the server's
// time and place of each press, whenever the program reads them.
TEST_F(PlatformProbe, PressesPairIntoDoubleClicksByTheirTimeAndPlace) {
    constexpr int DOWN = 0x0201, DOUBLE = 0x0203;
    struct Press {
        int dx = 0, dy = 0;
        Millis gap{0};
        bool sent = false;  // XSendEvent: stamped 0, no server time
    };
    struct Case {
        const char* name;
        std::vector<Press> presses;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {"two quick presses at one place", {{}, {}}, {DOWN, DOUBLE}},
        {"the second 4 pixels off on each axis", {{}, {4, -4}}, {DOWN, DOUBLE}},
        {"the second 5 pixels off", {{}, {5, 0}}, {DOWN, DOWN}},
        {"the second 5 pixels below", {{}, {0, 5}}, {DOWN, DOWN}},
        {"the second 600 ms later", {{}, {0, 0, Millis{600}}}, {DOWN, DOWN}},
        {"three quick presses", {{}, {}, {}}, {DOWN, DOUBLE, DOWN}},
        {"four quick presses", {{}, {}, {}, {}}, {DOWN, DOUBLE, DOWN, DOUBLE}},
        {"two quick presses without a server time", {{0, 0, {}, true}, {0, 0, {}, true}}, {DOWN, DOWN}},
        {"a press without a server time, then two quick ones", {{0, 0, {}, true}, {}, {}}, {DOWN, DOWN, DOUBLE}},
    };
    // Each case at a place of its own in the zone (presses elsewhere drag),
    // too far from the last for any pair across two cases.
    int base_x = CENTRED_WINDOW.x + 110;
    const int base_y = CENTRED_WINDOW.y + 300;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<e2e::XvfbSession::Click> clicks;
        for (const Press& p : c.presses)
            clicks.push_back({base_x + p.dx, base_y + p.dy, p.gap, p.sent ? window_ : 0});
        base_x += 20;
        const size_t from = probe_.lines().size();
        x_->clicks(clicks);
        // Key "z" afterwards marks the end: every press came before it.
        x_->tap_key(XK_z);
        ASSERT_TRUE(next_event(0x0100)) << probe_.transcript();
        std::vector<int> codes;
        for (size_t i = from; i < probe_.lines().size(); ++i) {
            const std::optional<ProbeEvent> e = parse_event(probe_.lines()[i]);
            if (e && (e->code == DOWN || e->code == DOUBLE)) codes.push_back(e->code);
        }
        EXPECT_EQ(codes, c.codes) << probe_.transcript();
    }
    EXPECT_EQ(probe_.transcript().find("drag begin"), std::string::npos);
}

TEST_F(PlatformProbe, KeysArriveAsTheirKeyCodes) {
    struct Case {
        e2e::KeySymbol key;
        bool num_lock;
        long code;
    };
    const Case cases[] = {
        {XK_1, false, 0x31},
        {XK_4, false, 0x34},
        {XK_7, false, 0x37},
        {XK_1, true, 0x31},
        {XK_KP_1, true, 0x61},
        {XK_KP_4, true, 0x64},
        {XK_KP_7, true, 0x67},
        // Without Num Lock the keypad keys are cursor keys (here End, Left,
        // Home), nothing the game would play.
        {XK_KP_1, false, 0x23},
        {XK_KP_4, false, 0x25},
        {XK_KP_7, false, 0x24},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(x_->set_num_lock(c.num_lock));
        x_->tap_key(c.key);
        const std::optional<ProbeEvent> down = next_event(0x0100);
        ASSERT_TRUE(down) << probe_.transcript();
        EXPECT_EQ(down->key, c.code) << "keysym " << std::hex << c.key << " num lock " << c.num_lock;
        const std::optional<ProbeEvent> up = next_event(0x0101);
        ASSERT_TRUE(up) << probe_.transcript();
        EXPECT_EQ(up->key, c.code);
    }
}

TEST_F(PlatformProbe, KeypadDigitsWithNumLockQueuedBehindALockChangeKeepTheirOwnState) {
    // All typed before the probe reads any of them: each key is reported with
    // the Num Lock state it was pressed with.
    x_->tap_keypad_digit(4);
    x_->set_num_lock(false);
    x_->tap_key(XK_KP_4);
    x_->tap_keypad_digit(4);
    long codes[3] = {};
    for (long& code : codes) {
        const std::optional<ProbeEvent> e = next_event(0x0100);
        ASSERT_TRUE(e) << probe_.transcript();
        code = e->key;
    }
    EXPECT_EQ(codes[0], 0x64);
    EXPECT_EQ(codes[1], 0x25);
    EXPECT_EQ(codes[2], 0x64);
}

TEST_F(PlatformProbe, HoldingAKeyRepeatsKeyDown) {
    x_->key_down(XK_5);
    int downs = 0;
    const bool repeated = probe_
                              .wait_for_line([&](const std::string& l) {
                                  const std::optional<ProbeEvent> e = parse_event(l);
                                  if (e && e->code == 0x0100 && e->key == 0x35) ++downs;
                                  return downs >= 3;
                              })
                              .has_value();
    x_->key_up(XK_5);
    EXPECT_TRUE(repeated) << probe_.transcript();
    ASSERT_TRUE(next_event(0x0101));
}

TEST_F(PlatformProbe, PointerOutsideTheClientAreaReadsMinusOne) {
    // The probe prints mouse_x and mouse_y for the key event that follows
    // each move; keys reach the window wherever the pointer is.
    struct Case {
        int cx, cy;
        int want_x, want_y;
    };
    const Case cases[] = {
        {400, 600, 400, 600},  // the right and bottom edges count as inside
        {0, 0, 0, 0},          // a cut corner is still the client area
        {401, 300, -1, -1},   {200, 601, -1, -1}, {-1, 300, -1, -1},
    };
    for (const Case& c : cases) {
        move_to_client(c.cx, c.cy);
        x_->tap_key(XK_z);
        const std::optional<ProbeEvent> e = next_event(0x0100);
        ASSERT_TRUE(e) << probe_.transcript();
        EXPECT_EQ(e->x, c.want_x) << "at " << c.cx << ", " << c.cy;
        EXPECT_EQ(e->y, c.want_y) << "at " << c.cx << ", " << c.cy;
    }
}

TEST_F(PlatformProbe, EscapeEndsTheProbeWithExitCodeZero) {
    x_->tap_key(XK_Escape);
    const std::optional<ProbeEvent> e = next_event(0x0100);
    ASSERT_TRUE(e) << probe_.transcript();
    EXPECT_EQ(e->key, 0x1B);
    EXPECT_TRUE(probe_.wait_for_line_starting("bye"));
    const std::optional<int> status = probe_.wait_exit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST_F(PlatformProbe, DragOutsideTheZoneMovesTheWindowByThePointersTravel) {
    const Rect start = geometry();
    move_to_client(60, 450);
    x_->press_button();
    ASSERT_TRUE(probe_.wait_for_line_starting("drag begin")) << probe_.transcript();
    // Partly off the screen and back: the part that was off must be painted
    // again, by the hook, while the drag goes on.
    // The pointer stays on the screen (it cannot leave it): at most 499 left.
    const int step_x[] = {-100, -300, -480, -300, 0, 37};
    const int step_y[] = {10, 20, 30, 30, 23, 23};
    for (size_t i = 0; i < std::size(step_x); ++i) {
        x_->move_pointer(start.x + 60 + step_x[i], start.y + 450 + step_y[i]);
        ASSERT_TRUE(e2e::wait_until([&] {
            const Rect g = geometry();
            return g.x == start.x + step_x[i] && g.y == start.y + step_y[i];
        })) << "step "
            << i << "\n"
            << probe_.transcript();
    }
    EXPECT_TRUE(probe_.wait_for_line_starting("paint drag=1")) << probe_.transcript();
    x_->release_button();
    ASSERT_TRUE(probe_.wait_for_line_starting("drag end")) << probe_.transcript();

    const Rect moved{start.x + 37, start.y + 23, 400, 600};
    EXPECT_EQ(geometry(), moved);
    expect_picture_at(moved, "dragged_window.ppm");
    // The probe listens again, and the release went with the drag.
    x_->tap_key(XK_z);
    ASSERT_TRUE(next_event(0x0100)) << probe_.transcript();
    for (const std::string& line : probe_.lines())
        EXPECT_FALSE(is_event(line, 0x0202)) << probe_.transcript();
}

TEST_F(PlatformProbe, CloseRequestIsReportedAndTheWindowStays) {
    x_->request_close(window_);
    ASSERT_TRUE(next_event(0x0010)) << probe_.transcript();
    EXPECT_TRUE(x_->window_viewable(window_));
    x_->tap_key(XK_z);
    EXPECT_TRUE(next_event(0x0100)) << probe_.transcript();
}

TEST_F(PlatformProbe, CloseRequestDuringADragIsReportedAfterIt) {
    const Rect start = geometry();
    move_to_client(60, 450);
    x_->press_button();
    ASSERT_TRUE(probe_.wait_for_line_starting("drag begin")) << probe_.transcript();
    // The window follows the pointer: the drag loop has the window now.
    x_->move_pointer(start.x + 70, start.y + 460);
    ASSERT_TRUE(e2e::wait_until([&] { return geometry().x == start.x + 10; })) << probe_.transcript();
    x_->request_close(window_);
    x_->release_button();
    ASSERT_TRUE(probe_.wait_for_line_starting("drag end")) << probe_.transcript();
    EXPECT_TRUE(next_event(0x0010)) << probe_.transcript();
    EXPECT_TRUE(x_->window_viewable(window_));
}

TEST_F(PlatformProbe, TimerTicksWaitBehindOtherEventsAndNeverPileUp) {
    ASSERT_TRUE(probe_.wait_for_line_starting("tick 1")) << probe_.transcript();
    x_->tap_key(XK_b);
    ASSERT_TRUE(probe_.wait_for_line_starting("busy start")) << probe_.transcript();
    // While the probe reads nothing: a key, then the pointer to the point
    // that ends the busy spell. Ticks fall due meanwhile.
    x_->tap_key(XK_x);
    move_to_client(150, 450);
    ASSERT_TRUE(probe_.wait_for_line_starting("busy done")) << probe_.transcript();

    // The tick that fell due first still comes after the key.
    std::optional<std::string> line;
    while ((line = probe_.read_line()) && line->rfind("ev 0100 key 58 ", 0) != 0)
        EXPECT_EQ(line->find("tick"), std::string::npos) << "a tick came before the waiting key";
    ASSERT_TRUE(line) << probe_.transcript();

    // A queue that kept every tick of the busy spell would hand over about
    // ten of them at once; with one pending tick at most, 100 ms after the
    // spell hold that one and the two that fall due meanwhile.
    int soon = 0, reported = 0;
    ASSERT_TRUE(probe_.wait_for_line([&](const std::string& l) {
        unsigned ms = 0;
        if (std::sscanf(l.c_str(), "tick-after-busy %u ms", &ms) != 1) return false;
        if (ms < 100) ++soon;
        return ++reported == 5;
    })) << probe_.transcript();
    EXPECT_GE(soon, 1);
    EXPECT_LE(soon, 3) << probe_.transcript();
}

TEST_F(PlatformProbe, PointerShapeChangesBetweenArrowAndHand) {
    // Over the root the X server shows its own pointer; over the window,
    // from the start, the arrow.
    move_to_client(200, 400);
    x_->tap_key(XK_z);
    ASSERT_TRUE(next_event(0x0100));
    const unsigned long start = x_->cursor_serial();
    move_to_client(-20, 400);
    const unsigned long root = x_->cursor_serial();
    EXPECT_NE(start, root);
    move_to_client(200, 400);

    x_->tap_key(XK_h);
    ASSERT_TRUE(probe_.wait_for_line_starting("cursor hand")) << probe_.transcript();
    EXPECT_TRUE(e2e::wait_until([&] { return x_->cursor_serial() != start && x_->cursor_serial() != root; }));
    x_->tap_key(XK_a);
    ASSERT_TRUE(probe_.wait_for_line_starting("cursor arrow")) << probe_.transcript();
    EXPECT_TRUE(e2e::wait_until([&] { return x_->cursor_serial() == start; }));
}

TEST_F(PlatformProbe, IconIsThePictureWithBlackTransparent) {
    std::vector<unsigned long> icon;
    ASSERT_TRUE(e2e::wait_until([&] { return (icon = x_->window_cardinals(window_, "_NET_WM_ICON")).size() >= 2; }));
    ASSERT_EQ(icon[0], 32u);
    ASSERT_EQ(icon[1], 32u);
    ASSERT_EQ(icon.size(), 2u + 32u * 32u);
    const auto argb = [&](int x, int y) { return icon[2 + size_t(y) * 32 + size_t(x)] & 0xFFFFFFFFu; };
    EXPECT_EQ(argb(16, 16), 0xFFFF0000u);  // the red disc, opaque
    EXPECT_EQ(argb(0, 0) >> 24, 0u);       // black around it, transparent
}

}  // namespace
