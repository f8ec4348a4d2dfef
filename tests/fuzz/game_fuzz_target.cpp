// The fuzz target: the whole game on the headless backend, fed whatever a
// user and a desktop can deliver, in any order: pointer moves inside and
// outside the window and on every zone edge, presses, double clicks, every
// key code (repeated, Escape too), time passing with its timer ticks,
// repaints, close requests, and keys and presses arriving while the game is
// busy animating or playing a tune. After every event the game handles, the
// game state's invariants must hold; a broken one aborts with its name.
//
// The game starts once per process: building the artwork is what costs.
// Each input then begins from the state start-up leaves, on the same random
// seed and timer phase every time (so that an input found once replays the
// same way), and ends when it is used up or the game is told to
// quit (which must come from Escape, the close cross or a close request).
#include "game_fuzz.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "game/game_state.h"
#include "game/game_window.h"
#include "game/hot_zones.h"
#include "game/main_loop.h"
#include "game_invariants.h"
#include "platform/headless/headless.h"
#include "platform/random.h"
#include "platform/record_list.h"
#include "sound/recorder_device.h"

namespace {

constexpr int TIMER_PERIOD_MS = 50;
// A level button's centre: a press there starts a game.
constexpr int LEVEL_X = 80, LEVEL_Y[3] = {95, 130, 165};

RecorderDevice midi;
bool started = false;
InvariantWatch watch;
std::vector<HotZone> zones;  // as start-up registered them
uint64_t events_handled = 0, inputs_fed = 0, games_finished = 0;

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool used_up() const { return at >= size; }
    int next() { return at < size ? data[at++] : 0; }
};

void check(const char* after) {
    const std::string broken = check_invariants(watch, game);
    if (broken.empty()) return;
    std::fprintf(stderr, "game state invariant broken after %s: %s\n", after, broken.c_str());
    std::abort();
}

void start_once() {
    if (started) return;
    started = true;
    headless_reset();
    headless_set_clock_ms(1000);
    if (!start_game(headless_backend(), &midi)) {
        std::fprintf(stderr, "the headless game did not start\n");
        std::abort();
    }
    list_rewind(hot_zones);
    while (const auto* zone = static_cast<const HotZone*>(list_next(hot_zones)))
        zones.push_back(*zone);
}

// The state start-up leaves, a second of quiet later, so that each input
// plays the same way whatever ran before it.
void fresh_input() {
    games_finished += uint64_t(game.human_wins + game.cpu_wins + game.draw_count);
    headless_forget_input();
    game = GameState{};
    game.game_over = 1;
    game.hover_zone = ZONE_NONE;
    game.banner_step = 10;
    watch.before = game;
    midi.messages.clear();
    headless_set_clock_ms(headless_log().clock_us / 1000 + 1000);
    start_timer(game_window, TIMER_PERIOD_MS);
    seed_random(1);
    headless_set_pointer(-1, -1);
}

// A point on the edge of a zone or of the window: a corner, or the pixel
// just outside it.
void edge_point(int pick, int* x, int* y) {
    const int rects = int(zones.size()) + 1;
    const int which = pick % rects, corner = pick / rects % 16;
    int left = 0, top = 0, right = WINDOW_WIDTH - 1, bottom = WINDOW_HEIGHT - 1;
    if (which < int(zones.size())) {
        left = zones[which].left, top = zones[which].top, right = zones[which].right, bottom = zones[which].bottom;
    }
    const int xs[4] = {left - 1, left, right, right + 1}, ys[4] = {top - 1, top, bottom, bottom + 1};
    *x = xs[corner % 4];
    *y = ys[corner / 4];
}

// Anywhere in the window or a little beyond it.
int any_x(int byte) { return byte * (WINDOW_WIDTH + 20) / 255 - 10; }
int any_y(int byte) { return byte * (WINDOW_HEIGHT + 20) / 255 - 10; }

int32_t column_key(int byte) { return (byte & 0x80 ? KEY_NUMPAD_1 : KEY_DIGIT_1) + byte % 7; }

// Turns the next bytes into one thing the user or the desktop does.
void script_one(Input& in) {
    int x = 0, y = 0;
    switch (in.next() % 16) {
    case 0:
    case 1:
        edge_point(in.next(), &x, &y);
        headless_move(x, y);
        break;
    case 2:
        x = any_x(in.next());
        headless_move(x, any_y(in.next()));
        break;
    case 3:  // the pointer moved on, its event not yet delivered
        x = any_x(in.next());
        headless_set_pointer(x, any_y(in.next()));
        break;
    case 4: headless_press(); break;
    case 5: headless_double_click(); break;
    case 6: headless_key(in.next()); break;  // every code, Escape among them
    case 7: {
        const int32_t key = in.next() & 1 ? column_key(in.next()) : in.next();
        for (int n = in.next() % 5 + 2; n > 0; --n)  // a held key repeats
            headless_key(key);
        break;
    }
    case 8:
    case 9: headless_key(column_key(in.next())); break;
    case 10: headless_click(LEVEL_X, LEVEL_Y[in.next() % 3]); break;
    case 11: headless_idle_ms(uint64_t(in.next() % 8) * 25); break;
    case 12: headless_event(EV_PAINT); break;
    case 13: {
        // While the game is busy: a key or a press some time from now.
        const uint64_t at_ms = headless_log().clock_us / 1000 + uint64_t(in.next()) * 10;
        const int what = in.next();
        if (what & 1)
            headless_at_ms(at_ms, [what] { headless_key(column_key(what >> 1)); });
        else
            headless_at_ms(at_ms, [] { headless_press(); });
        break;
    }
    case 14: {  // other messages: key ups, wheel...
        // One byte after the other, so that an input replays alike whatever
        // the compiler's order of evaluating arguments.
        const int32_t code = 0x0101 + in.next() % 0x20;
        const intptr_t first = in.next();
        headless_event(code, first);
        break;
    }
    default:
        if (in.next() == 0)
            headless_close();
        else
            headless_event(EV_PAINT);
        break;
    }
}

void report() {
    std::fprintf(stderr, "fuzz: %llu events handled in %llu inputs, %llu games finished\n",
                 (unsigned long long)events_handled, (unsigned long long)inputs_fed,
                 (unsigned long long)(games_finished + uint64_t(game.human_wins + game.cpu_wins + game.draw_count)));
}

// Under libFuzzer the run ends after this many events (environment
// COLONNADE4_FUZZ_EVENTS; 0: never), counted across inputs, which -runs
// cannot do.
uint64_t event_goal() {
    static const uint64_t goal = [] {
        const char* text = std::getenv("COLONNADE4_FUZZ_EVENTS");
        return text ? std::strtoull(text, nullptr, 10) : 0ull;
    }();
    return goal;
}

// Hands the game everything pending; false once it has quit.
bool run_pending() {
    while (headless_busy()) {
        const int32_t code = wait_event();
        const intptr_t key = last_key();
        const int32_t hovered = game.hover_zone;
        ++events_handled;
        const bool goes_on = handle_event(code);
        check("an event");
        if (events_handled % 100000 == 0) report();
        if (events_handled == event_goal()) {
            // Inputs found so far are already saved; libFuzzer would count a
            // plain exit from here as a finding.
            report();
            std::fflush(stderr);
            std::_Exit(0);
        }
        if (goes_on) continue;
        const bool asked = code == EV_CLOSE || (code == EV_KEY_DOWN && key == KEY_ESCAPE) ||
                           (code == EV_LBUTTON_DOWN && hovered == ZONE_CLOSE);
        if (!asked) {
            std::fprintf(stderr, "the game quit on event 0x%x that asks for no end\n", unsigned(code));
            std::abort();
        }
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!started) std::atexit(report);
    start_once();
    fresh_input();
    ++inputs_fed;
    Input in{data, size};
    check("start-up");
    while (!in.used_up()) {
        script_one(in);
        if (!run_pending()) break;
    }
    return 0;
}

uint64_t fuzz_events_handled() { return events_handled; }
uint64_t fuzz_inputs_fed() { return inputs_fed; }
