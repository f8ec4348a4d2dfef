// The window, its events and the small services around them. Everything
// that needs the system is asked of the backend chosen by init_platform;
// this file keeps the state the game reads back (the hook, the last key,
// the client size) so that both backends behave the same.
#include "platform/window.h"

#include <malloc.h>

#include <algorithm>
#include <deque>

#include "platform/platform_internal.h"
#include "platform/random.h"

namespace {

// The game keeps exactly one window; its handle is this number.
constexpr WindowHandle THE_WINDOW = 1;

struct WindowState {
    PlatformBackend* backend = nullptr;
    WindowHandle window = NO_WINDOW;
    int client_width = 0;
    int client_height = 0;
    WindowHook hook = nullptr;
    intptr_t last_first = 0;
    // A close request the window took and nobody has reported yet; it may
    // come while no wait_event runs (during a drag), and then waits for the
    // next one.
    int32_t pending_code = 0;
    // Messages that came while update_window waited for the first repaint;
    // wait_event hands them out before asking the backend again.
    std::deque<BackendEvent> held;
};

WindowState state;

bool is_our_window(WindowHandle window) {
    return state.backend != nullptr && window != NO_WINDOW && window == state.window;
}

// What the window does with each message it receives, in wait_event or
// outside it: record it, offer it to the game's hook, and unless the hook
// claims it, note a close request instead of closing.
void record_and_offer(int32_t message, intptr_t first, intptr_t second) {
    state.last_first = first;
    // A repaint request means the display lost the picture: the next
    // present must send all of it, not only what changed.
    if (message == EV_PAINT) mark_screen_changed();
    const bool claimed = state.hook != nullptr && state.hook(state.window, message, first, second);
    if (!claimed && message == EV_CLOSE) state.pending_code = EV_CLOSE;
}

}  // namespace

int centred_origin(int screen_size, int window_size) {
    return screen_size / 2 - std::min(window_size, screen_size) / 2;
}

void init_platform(PlatformBackend* backend) {
    // Tests start many games in one process; a platform left running by
    // the previous one is put away first.
    if (state.backend != nullptr) shutdown_platform();
    state = WindowState{};
    state.backend = backend;
    seed_random(tick_count_ms());
}

PlatformBackend* current_backend() { return state.backend; }

WindowHandle open_window(int x, int y, int width, int height, uint32_t flags, const char* title) {
    if (state.backend == nullptr || state.window != NO_WINDOW || width <= 0 || height <= 0) return NO_WINDOW;
    const bool centred = (flags & WF_CENTRE_ON_SCREEN) != 0;
    if (!state.backend->open_window(x, y, width, height, centred, title != nullptr ? title : "")) return NO_WINDOW;
    state.window = THE_WINDOW;
    state.client_width = width;
    state.client_height = height;
    if ((flags & WF_START_HIDDEN) == 0) state.backend->show_window();
    return state.window;
}

void show_window(WindowHandle window) {
    if (is_our_window(window)) state.backend->show_window();
}

void set_window_handler(WindowHook hook) { state.hook = hook; }

void set_window_shape(WindowHandle window, int width, int height, int corner_width, int corner_height) {
    if (is_our_window(window)) state.backend->set_shape(width, height, corner_width, corner_height);
}

void set_window_cursor(WindowHandle window, int shape) {
    if (is_our_window(window)) state.backend->set_cursor(shape);
}

void set_window_icon(WindowHandle window, const uint32_t* pixels, int width, int height) {
    const IconPicture one{pixels, width, height};
    set_window_icons(window, &one, 1);
}

void set_window_icons(WindowHandle window, const IconPicture* pictures, int count) {
    if (!is_our_window(window) || pictures == nullptr || count <= 0) return;
    for (int i = 0; i < count; ++i)
        if (pictures[i].pixels == nullptr || pictures[i].width <= 0 || pictures[i].height <= 0) return;
    state.backend->set_icon(pictures, count);
}

void begin_window_drag(WindowHandle window) {
    if (is_our_window(window)) state.backend->begin_drag();
}

void start_timer(WindowHandle window, int period_ms) {
    if (is_our_window(window) && period_ms > 0) state.backend->start_timer(period_ms);
}

int32_t wait_event() {
    // Without a backend there is nothing to wait for; asking the game to
    // close keeps its loop from spinning.
    if (state.backend == nullptr) return EV_CLOSE;
    BackendEvent event;
    if (!state.held.empty()) {
        event = state.held.front();
        state.held.pop_front();
    } else {
        event = state.backend->next_event();
    }
    record_and_offer(event.code, event.first, event.second);
    // A close request noted now or since the last wait is reported in place
    // of the message; the window stays open.
    if (state.pending_code != 0) {
        const int32_t code = state.pending_code;
        state.pending_code = 0;
        return code;
    }
    return event.code;
}

bool update_window(WindowHandle window) {
    if (!is_our_window(window)) return false;
    const uint64_t deadline = state.backend->now_us() + uint64_t(FIRST_PAINT_WAIT_MS) * 1000u;
    while (state.backend->now_us() < deadline) {
        const BackendEvent event = state.backend->next_event();
        if (event.code == EV_PAINT) {
            record_and_offer(event.code, event.first, event.second);
            return true;
        }
        // Ticks do not pile up: one kept is as good as several.
        const bool tick_kept =
            event.code == EV_TIMER &&
            std::any_of(state.held.begin(), state.held.end(), [](const BackendEvent& e) { return e.code == EV_TIMER; });
        if (!tick_kept) state.held.push_back(event);
    }
    return false;
}

void platform_offer_to_hook(int32_t message, intptr_t first, intptr_t second) {
    record_and_offer(message, first, second);
}

namespace {

// The pointer's position now, or false when it is outside the client area
// (whose right and bottom edges count as inside).
bool pointer_in_client(int* x, int* y) {
    if (state.backend == nullptr || state.window == NO_WINDOW) return false;
    if (!state.backend->pointer(x, y)) return false;
    return *x >= 0 && *x <= state.client_width && *y >= 0 && *y <= state.client_height;
}

}  // namespace

int mouse_x() {
    int x = 0, y = 0;
    return pointer_in_client(&x, &y) ? x : -1;
}

int mouse_y() {
    int x = 0, y = 0;
    return pointer_in_client(&x, &y) ? y : -1;
}

intptr_t last_key() { return state.last_first; }

void delay_ms(int ms) {
    if (state.backend != nullptr && ms > 0) state.backend->pause_us(uint64_t(ms) * 1000u);
}

uint32_t tick_count_ms() {
    if (state.backend == nullptr) return 0;
    return uint32_t(state.backend->now_us() / 1000u);
}

void show_message_box(const char* caption, const char* text) {
    if (state.backend != nullptr)
        state.backend->message_box(caption != nullptr ? caption : "", text != nullptr ? text : "");
}

void shutdown_platform() {
    if (state.backend == nullptr) return;
    PlatformBackend* backend = state.backend;
    // The window first (the backend takes its window and display down), then
    // the screen with every sprite, then the fonts.
    shutdown_drawing();
    backend->shutdown();
    shutdown_screen();
    shutdown_fonts();
    state = WindowState{};
}

void return_free_memory() {
    close_font_files();
    malloc_trim(0);
}
