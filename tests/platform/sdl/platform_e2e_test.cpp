// The real backend under a private X server, driven from outside as a
// person would: the probe program opens the game's window, shows a known
// picture and reports what the platform hands it.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/message_box_picture.h"
#include "probe_picture.h"
#include "support/game_outline.h"
#include "testing/xvfb_session.h"

namespace {

using e2e::ChildProcess;
using e2e::Image;
using e2e::Millis;
using e2e::Rect;
using e2e::XvfbSession;
using e2e::XWindowId;

// Odd screen sizes, so that centring shows its integer halves:
// 1279 / 2 - 400 / 2 = 439 and 1023 / 2 - 600 / 2 = 211.
constexpr int SCREEN_WIDTH = 1279;
constexpr int SCREEN_HEIGHT = 1023;
constexpr Rect CENTRED_WINDOW = {439, 211, 400, 600};
// What shows where no window is; no pixel of the probe's picture is this.
constexpr uint32_t ROOT_COLOUR = 0x123456;

struct ProbeEvent {
    int code = 0;
    long key = 0;
    int x = 0, y = 0;
};

std::optional<ProbeEvent> parse_event(const std::string& line) {
    ProbeEvent e;
    if (std::sscanf(line.c_str(), "ev %x key %lx x %d y %d", &e.code, &e.key, &e.x, &e.y) != 4) return std::nullopt;
    return e;
}

bool is_event(const std::string& line, int code) {
    const std::optional<ProbeEvent> e = parse_event(line);
    return e && e->code == code;
}

// The first pixel of a shot of the window that is not what it should be:
// the probe's picture inside the game's outline, the root colour outside.
std::string first_wrong_pixel(const Image& shot) {
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const uint32_t want = game_outline::covers(x, y) ? probe::expected_rgb(x, y) : ROOT_COLOUR;
            if (shot.at(x, y) != want) {
                char text[120];
                std::snprintf(text, sizeof text, "window pixel (%d, %d) is %06X, expected %06X", x, y,
                              unsigned(shot.at(x, y)), unsigned(want));
                return text;
            }
        }
    return {};
}

class PlatformProbe : public ::testing::Test {
protected:
    void SetUp() override {
        x_ = XvfbSession::start(SCREEN_WIDTH, SCREEN_HEIGHT);
        ASSERT_TRUE(x_) << "Xvfb could not be started";
        x_->set_root_colour(ROOT_COLOUR);
        probe_ = x_->spawn({PLATFORM_PROBE_PATH});
        ASSERT_TRUE(probe_.wait_for_line_starting("ready")) << probe_.transcript();
        const std::optional<XWindowId> window = x_->wait_for_window("Colonnade4");
        ASSERT_TRUE(window) << "no window titled Colonnade4";
        window_ = *window;
        // The first repaint has run the hook: shape applied, picture shown.
        ASSERT_TRUE(probe_.wait_for_line_starting("paint")) << probe_.transcript();
    }

    Rect geometry() {
        const std::optional<Rect> g = x_->window_geometry(window_);
        return g ? *g : Rect{};
    }

    // Screen position of a client point.
    void move_to_client(int cx, int cy) {
        const Rect g = geometry();
        x_->move_pointer(g.x + cx, g.y + cy);
    }

    // The next event line with this code; lines before it are kept in the
    // transcript.
    std::optional<ProbeEvent> next_event(int code) {
        const std::optional<std::string> line =
            probe_.wait_for_line([code](const std::string& l) { return is_event(l, code); });
        if (!line) return std::nullopt;
        return parse_event(*line);
    }

    // Waits until the window shows the probe's picture in the game's outline;
    // on failure the shot is saved for a look.
    void expect_picture_at(const Rect& where, const char* dump_name) {
        std::string wrong;
        Image shot;
        const bool shown = e2e::wait_until([&] {
            shot = x_->screenshot(Rect{where.x, where.y, probe::WIDTH, probe::HEIGHT});
            wrong = shot.width == probe::WIDTH && shot.height == probe::HEIGHT ? first_wrong_pixel(shot)
                                                                               : "window not fully on screen";
            return wrong.empty();
        });
        if (!shown) {
            const std::string path = ::testing::TempDir() + dump_name;
            shot.save_ppm(path);
            ADD_FAILURE() << wrong << " (shot saved to " << path << ")";
        }
    }

    std::unique_ptr<XvfbSession> x_;
    ChildProcess probe_;
    XWindowId window_ = 0;
};

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

// The message box --------------------------------------------------------

constexpr const char* BOX_TITLE = probe::BOX_CAPTION;

size_t count_lines(const ChildProcess& p, const std::string& text) {
    return size_t(std::count(p.lines().begin(), p.lines().end(), text));
}

class ProbeWithBox : public PlatformProbe {
protected:
    // Key M over the window opens the box; it is up once it is shown and
    // holds the keyboard, which it takes itself.
    std::optional<XWindowId> open_box() {
        const size_t opened = count_lines(probe_, "box open");
        x_->tap_key(XK_m);
        if (!probe_.wait_for_line([&](const std::string&) { return count_lines(probe_, "box open") > opened; }))
            return std::nullopt;
        std::optional<XWindowId> box = x_->wait_for_window(BOX_TITLE);
        if (box && !e2e::wait_until([&] { return x_->window_viewable(*box) && x_->input_focus() == *box; }))
            return std::nullopt;
        return box;
    }
    bool wait_until_closed(size_t closed_before) {
        return probe_.wait_for_line([&](const std::string&) {
            return count_lines(probe_, "box closed") > closed_before;
        }) && e2e::wait_until([&] { return !x_->find_window(BOX_TITLE); });
    }
    // The middle of the "OK" button: up the box's middle column from its
    // bottom edge, the first run of another colour than the box's face.
    std::pair<int, int> ok_button(XWindowId box) {
        const Rect g = x_->window_geometry(box).value_or(Rect{});
        const Image shot = x_->screenshot(g);
        if (shot.width != g.width || shot.height != g.height) return {-1, -1};
        const int mid = g.width / 2;
        const uint32_t face = shot.at(mid, 3);
        int y = g.height - 3;
        while (y > 0 && shot.at(mid, y) == face)
            --y;
        const int bottom = y;
        while (y > 0 && shot.at(mid, y) != face)
            --y;
        return {g.x + mid, g.y + (y + bottom) / 2};
    }
};

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
// comes back, the window's picture by its repaint, with the box up as
// without it.
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
    for (const bool box_up : {false, true}) {
        SCOPED_TRACE(box_up ? "box up" : "no box");
        Rect box{};
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

        // Across the seam, most of it right of it: the box comes up on the
        // right-hand monitor, as near the window's middle as it can.
        x->request_close(*box);
        // Keys typed before the box has returned are dropped with it.
        ASSERT_TRUE(probe.wait_for_line_starting("box closed")) << probe.transcript();
        x->move_window(*window, setup.seam - 150, setup.window.y);
        x->focus_window(*window);
        x->tap_key(XK_m);
        const std::optional<XWindowId> again = x->wait_for_window(BOX_TITLE);
        ASSERT_TRUE(again && e2e::wait_until([&] { return x->window_viewable(*again); })) << probe.transcript();
        EXPECT_EQ(x->window_geometry(*again).value_or(Rect{}).x, setup.seam);
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
