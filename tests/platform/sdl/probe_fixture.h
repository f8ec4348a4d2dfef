// The real backend under a private X server, driven from outside as a
// person would: the probe program (platform_probe.cpp) opens the game's
// window, shows a known picture and reports what the platform hands it.
// What the platform's end-to-end tests share: the screen, the probe's
// fixture and its message box.
#pragma once
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/message_box_picture.h"
#include "probe_picture.h"
#include "support/game_outline.h"
#include "testing/xvfb_session.h"

namespace probe_e2e {

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

inline std::optional<ProbeEvent> parse_event(const std::string& line) {
    ProbeEvent e;
    if (std::sscanf(line.c_str(), "ev %x key %lx x %d y %d", &e.code, &e.key, &e.x, &e.y) != 4) return std::nullopt;
    return e;
}

inline bool is_event(const std::string& line, int code) {
    const std::optional<ProbeEvent> e = parse_event(line);
    return e && e->code == code;
}

// The first pixel of a shot of the window that is not what it should be:
// the probe's picture inside the game's outline, the root colour outside.
inline std::string first_wrong_pixel(const Image& shot) {
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

// The message box --------------------------------------------------------

constexpr const char* BOX_TITLE = probe::BOX_CAPTION;

inline size_t count_lines(const ChildProcess& p, const std::string& text) {
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

}  // namespace probe_e2e
