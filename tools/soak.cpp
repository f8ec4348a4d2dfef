// `make soak`: the real game on a private Xvfb under random input for a
// while, as a restless user would give it: clicks and double clicks on the
// board during animations and tunes, keys with and without Num Lock, held
// keys that repeat, pointer moves over every zone, window drags, games
// abandoned half-way. Then Escape. It checks that the game never crashes
// nor reports anything on its output (the sanitizer build reports there),
// that its memory stays flat after the first minute, that it ends with exit
// code 0, and that the score panel on the screen counts exactly the games
// this program saw end.
//
// Seeing a game end: the banner is read from the screen once the game is at
// rest (the board still and the banner seen blinking three times since the
// last input), and matched against every banner at every opacity, built
// headless in this process. A game is counted once, by its ending banner.
//
//     colonnade4-soak [SECONDS] [SEED]
#include <X11/keysym.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "art/artwork.h"
#include "art/shade_canvas.h"
#include "game/game_window.h"
#include "game/hot_zones.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "testing/score_panel.h"
#include "testing/headless_artwork.h"
#include "testing/process_status.h"
#include "testing/xvfb_session.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int SCREEN_W = 1280, SCREEN_H = 1024;
constexpr int BOARD_TOP = 250;  // below it: the board, which only moves change
constexpr int LEVEL_Y[3] = {95, 130, 165};
// Memory may settle during the first minute; after it, the resident size
// may wander this much and no more.
constexpr auto WARM_UP = std::chrono::seconds(60);
constexpr double RSS_SLACK_MB = 4.0;

enum Banner { YOUR_TURN, WON, LOST, DRAW, BANNER_KINDS, UNKNOWN = BANNER_KINDS };
constexpr SpriteId BANNER_SPRITES[BANNER_KINDS] = {SPRITE_BANNER_YOUR_TURN, SPRITE_BANNER_WON, SPRITE_BANNER_LOST,
                                                   SPRITE_BANNER_DRAW};

using Pixels = std::vector<uint32_t>;

Pixels area_of(const uint32_t* pixels, int pitch, int x, int y, int w, int h) {
    Pixels out;
    for (int row = y; row < y + h; ++row)
        out.insert(out.end(), pixels + row * pitch + x, pixels + row * pitch + x + w);
    return out;
}

// What the screen must show, drawn by the headless platform in this process.
struct Expected {
    std::vector<std::array<Pixels, BANNER_KINDS>> banners;  // by opacity step: 0, 10, ... 250

    Expected() {
        e2e::build_headless_artwork();
        for (int alpha = 0; alpha <= 250; alpha += 10) {
            std::array<Pixels, BANNER_KINDS> at_alpha;
            for (int kind = 0; kind < BANNER_KINDS; ++kind) {
                blit_sprite(SPRITE_BANNER_BACK, MESSAGE_AREA_X, MESSAGE_AREA_Y);
                blend_sprite(BANNER_SPRITES[kind], MESSAGE_AREA_X, MESSAGE_AREA_Y, alpha);
                at_alpha[kind] = banner_of(screen_pixels(), WINDOW_WIDTH);
            }
            banners.push_back(at_alpha);
        }
    }

    static Pixels banner_of(const uint32_t* pixels, int pitch) {
        return area_of(pixels, pitch, MESSAGE_AREA_X, MESSAGE_AREA_Y, MESSAGE_AREA_WIDTH, MESSAGE_AREA_HEIGHT);
    }

    Banner classify(const Pixels& shown) const {
        for (const auto& at_alpha : banners)
            for (int kind = 0; kind < BANNER_KINDS; ++kind)
                if (at_alpha[kind] == shown) return Banner(kind);
        return UNKNOWN;
    }

    // The score panel for these counts: the backdrop with the counts and
    // their truncated percentages at their places.
    static Pixels panel(const std::array<int, 3>& counts) {
        const int total = std::max(1, counts[0] + counts[1] + counts[2]);
        std::array<std::string, 6> texts;
        for (int row = 0; row < 3; ++row) {
            texts[row] = std::to_string(counts[row]);
            texts[3 + row] = std::to_string(counts[row] * 100 / total) + " %";
        }
        draw_expected_score_panel(texts);
        return panel_of(screen_pixels(), WINDOW_WIDTH);
    }
    // The panel and its frame, short of the window's outline at its right edge.
    static Pixels panel_of(const uint32_t* pixels, int pitch) { return area_of(pixels, pitch, 200, 110, 190, 90); }
};

double rss_mb(pid_t pid) {
    const double kb = process_status_value(pid, "VmRSS");
    return kb < 0 ? -1 : kb / 1024.0;
}

class Soak {
public:
    Soak(e2e::XvfbSession& x, e2e::ChildProcess& game, e2e::XWindowId id, const Expected& expected, uint32_t seed)
        : x_(x), game_(game), id_(id), expected_(expected), random_(seed) {
        refresh_window();
        x_.focus_window(id_);  // keys reach the game wherever the pointer is
    }

    std::array<int, 3> ended{};  // games seen to end: human won, computer won, drawn
    int inputs = 0, drags = 0, abandoned = 0;

    // Random play until `until`; false when the game stopped coming to rest.
    bool run(Clock::time_point until, std::vector<std::pair<double, double>>& rss, Clock::time_point started) {
        if (!new_game()) return false;
        while (Clock::now() < until) {
            for (int n = pick(3, 30); n > 0; --n)
                act();
            rss.emplace_back(std::chrono::duration<double>(Clock::now() - started).count(), rss_mb(game_.pid()));
            const Banner shown = settle();
            if (shown == UNKNOWN) return false;
            if (shown != YOUR_TURN) ++ended[shown - WON];
            // Zones hovered and the window dragged only at rest: the game
            // reads the pointer when it handles an event, so a press still
            // queued would act on whatever zone the pointer is over by then.
            hover_every_zone();
            if (pick(0, 3) == 0) drag_to(pick(0, SCREEN_W - WINDOW_WIDTH), pick(0, SCREEN_H - WINDOW_HEIGHT));
            if (shown != YOUR_TURN || pick(0, 3) == 0) {
                abandoned += shown == YOUR_TURN;
                if (!new_game()) return false;
            }
        }
        const Banner last = settle();
        if (last == UNKNOWN) return false;
        if (last != YOUR_TURN) ++ended[last - WON];
        return true;
    }

    bool panel_counts(const std::array<int, 3>& counts) {
        refresh_window();
        keep_on_screen();
        const Pixels expected = Expected::panel(counts);
        Pixels shown;
        const bool same = e2e::wait_until([&] {
            const e2e::Image shot = x_.screenshot(window_);
            if (shot.width != WINDOW_WIDTH) return false;
            shown = Expected::panel_of(shot.pixels.data(), WINDOW_WIDTH);
            return shown == expected;
        });
        if (!same && shown.size() == expected.size()) {
            int differing = 0, first = -1;
            for (size_t i = 0; i < shown.size(); ++i)
                if (shown[i] != expected[i]) {
                    ++differing;
                    if (first < 0) first = int(i);
                }
            std::printf("soak: %d panel pixels differ, the first at (%d, %d): %06x shown, %06x expected\n", differing,
                        200 + first % 190, 110 + first / 190, shown[first], expected[first]);
        }
        return same;
    }

    // The game at rest: the board still while the banner shows three
    // different pictures after the last input. Then the banner it shows.
    Banner settle() {
        Pixels board, last_banner;
        int blinks = 0;
        Banner kind = UNKNOWN;
        const bool rested = e2e::wait_until(
            [&] {
                // The window may still be moving from a drag handled late.
                const auto now_at = x_.window_geometry(id_);
                if (!now_at) return false;
                if (!(*now_at == window_)) {
                    window_ = *now_at;
                    board.clear();
                    blinks = 0;
                }
                const e2e::Image shot = x_.screenshot(window_);
                if (shot.width != WINDOW_WIDTH || shot.height != WINDOW_HEIGHT || !on_screen()) {
                    refresh_window();
                    keep_on_screen();
                    return false;
                }
                Pixels now_board = area_of(shot.pixels.data(), WINDOW_WIDTH, 0, BOARD_TOP, WINDOW_WIDTH, WINDOW_HEIGHT - BOARD_TOP);
                Pixels banner = Expected::banner_of(shot.pixels.data(), WINDOW_WIDTH);
                if (now_board != board) {
                    board = std::move(now_board);
                    blinks = 0;
                } else if (banner != last_banner) {
                    ++blinks;
                }
                last_banner = std::move(banner);
                kind = expected_.classify(last_banner);
                return blinks >= 3 && kind != UNKNOWN;
            },
            e2e::Millis{60000}, e2e::Millis{15});
        if (!rested) {
            x_.screenshot().save_ppm("soak-unrested.ppm");
            std::printf("soak: not at rest: %d blinks, banner %s (screen in soak-unrested.ppm)\n", blinks,
                        kind == UNKNOWN ? "unknown" : "known");
        }
        return rested ? kind : UNKNOWN;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    void refresh_window() {
        // A drag may still be settling: read until two reads agree.
        std::optional<e2e::Rect> before;
        e2e::wait_until([&] {
            const auto now = x_.window_geometry(id_);
            const bool same = now && before && *now == *before;
            before = now;
            return same;
        });
        if (before) window_ = *before;
    }

    void point_at(int wx, int wy) {
        x_.move_pointer(window_.x + wx - 1, window_.y + wy - 1);
        x_.move_pointer(window_.x + wx, window_.y + wy);
        ++inputs;
    }

    void click_at(int wx, int wy) {
        point_at(wx, wy);
        x_.press_button();
        x_.release_button();
        ++inputs;
    }

    // Over the cross and each button, never pressing them, and back to the
    // board.
    void hover_every_zone() {
        point_at(pick(350, 370), pick(27, 47));
        for (int y : LEVEL_Y)
            point_at(pick(30, 130), y + pick(-15, 15));
        point_at(pick(30, 370), pick(255, 555));
    }

    // A press on a level button; a new game always hands the turn to the
    // human, so an ending banner still shown means the press missed and
    // that game must not be counted twice.
    bool new_game() {
        for (int attempt = 0; attempt < 5; ++attempt) {
            refresh_window();
            x_.move_pointer(window_.x + 200, window_.y + 20);  // out of every zone first
            click_at(80, LEVEL_Y[pick(0, 2)]);
            const Banner shown = settle();
            if (shown == UNKNOWN) return false;
            if (shown == YOUR_TURN) return true;
        }
        std::printf("soak: five presses on a level button started no game\n");
        return false;
    }

    // Keys that play nothing: letters, the digits 8, 9 and 0, Tab, Return,
    // the space bar, and the keypad's digits without Num Lock.
    e2e::KeySymbol idle_key() {
        static const e2e::KeySymbol keys[] = {XK_a,       XK_q,       XK_z,       XK_8,        XK_9,
                                              XK_0,       XK_Tab,     XK_Return,  XK_space,    XK_KP_End,
                                              XK_KP_Down, XK_KP_Next, XK_KP_Left, XK_KP_Begin, XK_KP_Right,
                                              XK_KP_Home, XK_F2,      XK_Left,    XK_Up};
        return keys[pick(0, int(std::size(keys)) - 1)];
    }

    // Drags the window by the pointer from a spot in no zone that is on the
    // screen, so that its top-left corner goes to (to_x, to_y).
    void drag_to(int to_x, int to_y) {
        static const int grips[][2] = {{200, 20}, {200, 580}, {385, 300}, {10, 300}, {200, 230}};
        for (const auto& grip : grips) {
            const int sx = window_.x + grip[0], sy = window_.y + grip[1];
            if (sx < 0 || sy < 0 || sx >= SCREEN_W || sy >= SCREEN_H) continue;
            point_at(grip[0], grip[1]);
            x_.press_button();
            for (int step = 1; step <= 8; ++step) {
                pause_ms(20);
                x_.move_pointer(sx + (to_x - window_.x) * step / 8, sy + (to_y - window_.y) * step / 8);
            }
            x_.release_button();
            inputs += 9;
            ++drags;
            break;
        }
        refresh_window();
    }

    bool on_screen() const {
        return window_.x >= 0 && window_.y >= 0 && window_.x + WINDOW_WIDTH <= SCREEN_W && window_.y + WINDOW_HEIGHT <= SCREEN_H;
    }

    // A drag that lands while the game is busy may take the window partly
    // off the screen, where it cannot be seen whole; at rest it comes back.
    void keep_on_screen() {
        for (int attempt = 0; attempt < 3 && !on_screen(); ++attempt)
            drag_to(std::clamp(window_.x, 0, SCREEN_W - WINDOW_WIDTH), std::clamp(window_.y, 0, SCREEN_H - WINDOW_HEIGHT));
    }

    void pause_ms(int ms) {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        e2e::wait_until([&] { return Clock::now() >= until; }, e2e::Millis{ms + 1000});
    }

    void act() {
        switch (pick(0, 10)) {
        case 0:
        case 1: click_at(pick(30, 370), pick(255, 555)); break;  // the board
        case 2:
            x_.tap_key(XK_1 + pick(0, 6));
            ++inputs;
            break;
        case 3:
            x_.tap_keypad_digit(pick(1, 7));
            ++inputs;
            break;
        case 4:
            x_.set_num_lock(false);
            x_.tap_key(idle_key());
            inputs += 2;
            break;
        case 5: {  // held long enough for the server to repeat it
            const e2e::KeySymbol key = pick(0, 1) ? XK_1 + pick(0, 6) : idle_key();
            x_.key_down(key);
            pause_ms(pick(500, 900));
            x_.key_up(key);
            ++inputs;
            break;
        }
        case 6:
            point_at(pick(30, 370), pick(255, 555));
            x_.double_click(window_.x + pick(30, 370), window_.y + pick(255, 555));
            inputs += 2;
            break;
        case 7: point_at(pick(140, 420), pick(200, 620)); break;           // the board, its margins, beyond the window
        case 8: point_at(pick(-20, 20), pick(-20, WINDOW_HEIGHT + 20)); break;  // out on the left
        case 9: click_at(pick(140, 340), pick(60, 240)); break;            // in no zone: a drag that goes nowhere
        default: pause_ms(pick(0, 400)); break;
        }
    }

    e2e::XvfbSession& x_;
    e2e::ChildProcess& game_;
    e2e::XWindowId id_;
    const Expected& expected_;
    std::mt19937 random_;
    e2e::Rect window_;
};

bool reports_anything(const e2e::ChildProcess& game) {
    for (const std::string& line : game.lines())
        if (!line.empty()) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 180;
    const uint32_t seed = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : uint32_t(std::random_device{}());
    std::printf("soak: %d s of random input, seed %u\n", seconds, seed);
    const Expected expected;

    auto x = e2e::XvfbSession::start(SCREEN_W, SCREEN_H);
    if (!x) {
        std::fprintf(stderr, "soak: Xvfb could not be started\n");
        return 1;
    }
    e2e::ChildProcess::Options options;
    options.set_env = {{"SDL_AUDIODRIVER", "dummy"}};
    options.merge_stderr = true;  // sanitizer reports come on standard error
    e2e::ChildProcess game = x->spawn({COLONNADE4_PATH}, options);
    const auto id = x->wait_for_window("Colonnade4", e2e::Millis{60000});
    if (!id || !e2e::wait_until([&] { return x->window_viewable(*id); })) {
        std::fprintf(stderr, "soak: no game window\n");
        return 1;
    }

    const Clock::time_point started = Clock::now();
    std::vector<std::pair<double, double>> rss;  // seconds since the start, MB
    Soak soak(*x, game, *id, expected, seed);
    bool ok = soak.run(started + std::chrono::seconds(seconds), rss, started);
    if (!ok) std::printf("FAIL: the game did not come to rest (%s)\n", game.running() ? "running" : "gone");

    const int games = soak.ended[0] + soak.ended[1] + soak.ended[2];
    std::printf("soak: %d inputs, %d drags; %d games ended (%d won, %d lost, %d drawn), %d abandoned\n", soak.inputs,
                soak.drags, games, soak.ended[0], soak.ended[1], soak.ended[2], soak.abandoned);
    if (ok && !soak.panel_counts(soak.ended)) {
        ok = false;
        x->screenshot().save_ppm("soak-panel.ppm");
        std::printf("FAIL: the score panel does not show %d, %d, %d (screen in soak-panel.ppm)\n", soak.ended[0],
                    soak.ended[1], soak.ended[2]);
    }

    // Memory after the warm-up: no growth beyond the slack.
    double first_after = -1, highest_after = -1;
    for (const auto& [at, mb] : rss)
        if (at >= std::chrono::duration<double>(WARM_UP).count()) {
            if (first_after < 0) first_after = mb;
            highest_after = std::max(highest_after, mb);
        }
    if (!rss.empty()) std::printf("soak: VmRSS %.1f MB at first sample, ", rss.front().second);
    if (first_after >= 0) {
        std::printf("%.1f MB after the first minute, at most %.1f MB after\n", first_after, highest_after);
        if (highest_after - first_after > RSS_SLACK_MB) {
            ok = false;
            std::printf("FAIL: memory grew by %.1f MB after the first minute\n", highest_after - first_after);
        }
    } else {
        std::printf("too short a run to judge memory\n");
    }

    x->focus_window(*id);
    x->tap_key(XK_Escape);
    const std::optional<int> status = game.wait_exit(e2e::Millis{60000});
    while (game.read_line(e2e::Millis{1000})) {}
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        ok = false;
        std::printf("FAIL: the game did not end with exit code 0 on Escape\n");
    }
    if (reports_anything(game)) {
        ok = false;
        std::printf("FAIL: the game wrote:\n%s\n", game.transcript().c_str());
    }
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
