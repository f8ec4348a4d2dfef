// The headless twin of the SDL backend: a window that exists only as
// numbers, a virtual clock, and input from a script (see headless.h).
#include "platform/headless/headless.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <utility>

#include "platform/window.h"
#include "testing/process_status.h"

namespace {

// 0 when it cannot be read.
int running_threads() { return std::max(0, int(process_status_value(0, "Threads"))); }

// A game that keeps waiting after being told the script is over would spin
// for ever; past this many reports the test process is stopped instead.
constexpr int SCRIPT_END_LIMIT = 10000;
constexpr intptr_t BUTTON_LEFT_HELD = 0x0001;  // first parameter of a left press

struct Step {
    bool idle = false;
    uint64_t idle_us = 0;
    bool idle_started = false;
    uint64_t idle_end_us = 0;
    bool moves_pointer = false;
    int x = 0, y = 0;
    std::vector<BackendEvent> events;
};

struct Twin {
    HeadlessLog log;
    bool screen_fails = false;
    int drag_dx = 0, drag_dy = 0;
    std::function<void(const uint32_t*, int, int)> on_present;

    std::deque<BackendEvent> queue;  // what the system has delivered and the game not yet taken
    std::deque<Step> steps;
    std::multimap<uint64_t, std::function<void()>> timed;  // equal times keep their order
    int immediate_depth = 0;                               // inside a timed action or the present callback

    bool paint_pending = false;
    uint64_t timer_period_us = 0;
    uint64_t next_tick_us = 0;
    bool tick_pending = false;
};

Twin twin;

void reset_twin() { twin = Twin{}; }

// Every script and set-up call starts a new session once the last one ended.
void fresh_if_ended() {
    if (twin.log.shut_down) reset_twin();
}

void set_clock(uint64_t us) {
    if (us <= twin.log.clock_us) return;
    twin.log.clock_us = us;
    if (twin.timer_period_us > 0 && us >= twin.next_tick_us) {
        twin.tick_pending = true;  // however many periods passed: one tick
        twin.next_tick_us += twin.timer_period_us * ((us - twin.next_tick_us) / twin.timer_period_us + 1);
    }
}

template <typename F>
void run_immediate(F&& action) {
    ++twin.immediate_depth;
    action();
    --twin.immediate_depth;
}

// Moves the clock to `us`, running the timed actions that come due on the way.
void advance_to(uint64_t us) {
    while (!twin.timed.empty() && twin.timed.begin()->first <= us) {
        auto first = twin.timed.begin();
        set_clock(first->first);
        std::function<void()> action = std::move(first->second);
        twin.timed.erase(first);
        run_immediate(action);
    }
    set_clock(us);
}

void carry_out(const Step& step) {
    if (step.moves_pointer) {
        twin.log.pointer_x = step.x;
        twin.log.pointer_y = step.y;
    }
    for (BackendEvent e : step.events) {
        if (e.second == 0 && (e.code == EV_LBUTTON_DOWN || e.code == EV_LBUTTON_DBLCLK || e.code == EV_MOUSE_MOVE))
            e.second = packed_position(twin.log.pointer_x, twin.log.pointer_y);
        twin.queue.push_back(e);
    }
}

void user_does(Step step) {
    fresh_if_ended();
    if (twin.immediate_depth > 0 && !step.idle)
        carry_out(step);
    else
        twin.steps.push_back(std::move(step));
}

Step events_step(std::initializer_list<BackendEvent> events) {
    Step step;
    step.events = events;
    return step;
}

// The earliest moment something can happen by itself: the next tick or
// the next timed action; `limit` when neither comes sooner.
uint64_t next_moment(uint64_t limit) {
    uint64_t t = limit;
    if (twin.timer_period_us > 0) t = std::min(t, twin.next_tick_us);
    if (!twin.timed.empty()) t = std::min(t, twin.timed.begin()->first);
    return std::max(t, twin.log.clock_us);
}

BackendEvent deliver(BackendEvent e) {
    ++twin.log.events_delivered;
    if (e.code == EV_TIMER) ++twin.log.timer_ticks;
    return e;
}

BackendEvent next_event() {
    for (;;) {
        advance_to(twin.log.clock_us);
        if (!twin.queue.empty()) {
            const BackendEvent e = twin.queue.front();
            twin.queue.pop_front();
            return deliver(e);
        }
        if (twin.paint_pending) {
            twin.paint_pending = false;
            return deliver(BackendEvent{EV_PAINT, 0, 0});
        }
        if (twin.tick_pending) {
            twin.tick_pending = false;
            return deliver(BackendEvent{EV_TIMER, 0, 0});
        }
        if (!twin.steps.empty()) {
            Step& step = twin.steps.front();
            if (!step.idle) {
                const Step done = std::move(step);
                twin.steps.pop_front();
                carry_out(done);
                continue;
            }
            if (!step.idle_started) {
                step.idle_started = true;
                step.idle_end_us = twin.log.clock_us + step.idle_us;
            }
            if (twin.log.clock_us >= step.idle_end_us) {
                twin.steps.pop_front();
                continue;
            }
            advance_to(next_moment(step.idle_end_us));
            continue;
        }
        if (!twin.timed.empty()) {
            // The user will act later: time passes until then, ticks and all.
            advance_to(next_moment(twin.timed.begin()->first));
            continue;
        }
        if (++twin.log.script_ends > SCRIPT_END_LIMIT) {
            std::fprintf(stderr, "headless: the game keeps waiting after the end of its script\n");
            std::abort();
        }
        return deliver(BackendEvent{EV_CLOSE, 0, 0});
    }
}

struct HeadlessBackend final : PlatformBackend {
    bool init_screen() override {
        twin.log.threads_at_screen_start = running_threads();
        twin.log.shut_down = false;
        twin.log.screen_ready = !twin.screen_fails;
        return twin.log.screen_ready;
    }

    bool open_window(int x, int y, int width, int height, bool centred, const char* title) override {
        HeadlessLog& log = twin.log;
        log.shut_down = false;
        log.window_open = true;
        log.window_visible = false;
        log.window_x = centred ? centred_origin(HEADLESS_SCREEN_WIDTH, width) : x;
        log.window_y = centred ? centred_origin(HEADLESS_SCREEN_HEIGHT, height) : y;
        log.window_width = width;
        log.window_height = height;
        log.title = title;
        return true;
    }

    void show_window() override {
        if (!twin.log.window_open) return;
        ++twin.log.show_count;
        if (!twin.log.window_visible) {
            twin.log.window_visible = true;
            twin.paint_pending = true;  // a window that appears asks to be painted
        }
    }

    void set_shape(int width, int height, int corner_width, int corner_height) override {
        HeadlessLog& log = twin.log;
        ++log.shape_count;
        log.shape_width = width;
        log.shape_height = height;
        log.shape_corner_width = corner_width;
        log.shape_corner_height = corner_height;
    }

    void set_cursor(int shape) override { twin.log.cursor = shape; }

    void set_icon(const IconPicture* pictures, int count) override {
        const IconPicture& first = pictures[0];
        twin.log.icon.assign(first.pixels, first.pixels + size_t(first.width) * size_t(first.height));
        twin.log.icon_width = first.width;
        twin.log.icon_height = first.height;
        twin.log.icon_sizes.clear();
        for (int i = 0; i < count; ++i)
            twin.log.icon_sizes.push_back(pictures[i].width);
    }

    void begin_drag() override {
        ++twin.log.drag_count;
        if (twin.drag_dx == 0 && twin.drag_dy == 0) return;
        // The pointer travels with the window, so its client position stays.
        twin.log.window_x += twin.drag_dx;
        twin.log.window_y += twin.drag_dy;
        // The system's move loop repaints the window at its new place.
        platform_offer_to_hook(EV_PAINT, 0, 0);
    }

    void start_timer(int period_ms) override {
        twin.log.timer_period_ms = period_ms;
        twin.timer_period_us = uint64_t(period_ms) * 1000u;
        twin.next_tick_us = twin.log.clock_us + twin.timer_period_us;
        twin.tick_pending = false;
    }

    BackendEvent next_event() override { return ::next_event(); }

    bool pointer(int* x, int* y) override {
        *x = twin.log.pointer_x;
        *y = twin.log.pointer_y;
        return true;
    }

    void present(const uint32_t* pixels, int width, int height, const PixelRect& changed) override {
        HeadlessLog& log = twin.log;
        ++log.present_count;
        log.last_present_us = log.clock_us;
        // Like a real display, only the changed area reaches the picture
        // shown, so a change the screen forgot to mark stays unseen here too.
        if (log.frame_width != width || log.frame_height != height) {
            log.last_frame.assign(size_t(width) * size_t(height), 0);
            log.frame_width = width;
            log.frame_height = height;
        }
        const int left = std::max(changed.x, 0), top = std::max(changed.y, 0);
        const int right = std::min(changed.x + changed.width, width);
        const int bottom = std::min(changed.y + changed.height, height);
        for (int y = top; y < bottom; ++y)
            std::copy(pixels + size_t(y) * size_t(width) + size_t(left),
                      pixels + size_t(y) * size_t(width) + size_t(right),
                      log.last_frame.begin() + std::ptrdiff_t(size_t(y) * size_t(width) + size_t(left)));
        log.last_changed = changed;
        if (twin.on_present) run_immediate([&] { twin.on_present(log.last_frame.data(), width, height); });
    }

    uint64_t now_us() override { return twin.log.clock_us; }

    void sleep_us(uint64_t us) override { advance_to(twin.log.clock_us + us); }

    void message_box(const char* caption, const char* text) override {
        twin.log.message_boxes.push_back(HeadlessMessageBox{caption, text, twin.log.clock_us});
    }

    void shutdown() override {
        HeadlessLog& log = twin.log;
        log.window_open = false;
        log.window_visible = false;
        log.screen_ready = false;
        log.timer_period_ms = 0;
        twin.timer_period_us = 0;
        twin.tick_pending = false;
        twin.paint_pending = false;
        log.shut_down = true;
    }
};

HeadlessBackend backend;

}  // namespace

PlatformBackend* headless_backend() {
    fresh_if_ended();
    return &backend;
}

void headless_reset() { reset_twin(); }

void headless_set_clock_ms(uint64_t ms) {
    fresh_if_ended();
    twin.log.clock_us = std::max(twin.log.clock_us, ms * 1000u);
}

void headless_fail_screen(bool fail) {
    fresh_if_ended();
    twin.screen_fails = fail;
}

void headless_set_drag_travel(int dx, int dy) {
    fresh_if_ended();
    twin.drag_dx = dx;
    twin.drag_dy = dy;
}

void headless_on_present(std::function<void(const uint32_t*, int, int)> callback) {
    fresh_if_ended();
    twin.on_present = std::move(callback);
}

void headless_move(int x, int y) {
    Step step = events_step({BackendEvent{EV_MOUSE_MOVE, 0, 0}});
    step.moves_pointer = true;
    step.x = x;
    step.y = y;
    user_does(std::move(step));
}

void headless_press() { user_does(events_step({BackendEvent{EV_LBUTTON_DOWN, BUTTON_LEFT_HELD, 0}})); }

void headless_click(int x, int y) {
    headless_move(x, y);
    headless_press();
}

void headless_double_click() {
    user_does(events_step(
        {BackendEvent{EV_LBUTTON_DOWN, BUTTON_LEFT_HELD, 0}, BackendEvent{EV_LBUTTON_DBLCLK, BUTTON_LEFT_HELD, 0}}));
}

void headless_key(int32_t key) { user_does(events_step({BackendEvent{EV_KEY_DOWN, key, 0}})); }

void headless_close() { user_does(events_step({BackendEvent{EV_CLOSE, 0, 0}})); }

void headless_event(int32_t code, intptr_t first, intptr_t second) {
    user_does(events_step({BackendEvent{code, first, second}}));
}

void headless_idle_ms(uint64_t ms) {
    Step step;
    step.idle = true;
    step.idle_us = ms * 1000u;
    user_does(std::move(step));
}

void headless_set_pointer(int x, int y) {
    fresh_if_ended();
    twin.log.pointer_x = x;
    twin.log.pointer_y = y;
}

void headless_at_ms(uint64_t ms, std::function<void()> action) {
    fresh_if_ended();
    twin.timed.emplace(ms * 1000u, std::move(action));
}

bool headless_busy() {
    return !twin.queue.empty() || twin.paint_pending || twin.tick_pending || !twin.steps.empty() || !twin.timed.empty();
}

void headless_forget_input() {
    twin.queue.clear();
    twin.steps.clear();
    twin.timed.clear();
}

const HeadlessLog& headless_log() {
    twin.log.steps_left = int(twin.steps.size());
    return twin.log;
}
