// SDL's events turned into the game's event codes, and the periodic timer.
#include <SDL_syswm.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>

#include "platform/sdl/sdl_state.h"
#include "platform/window.h"

namespace {

// Mouse codes the game never acts on but that a window receives all the same.
constexpr int32_t EV_RBUTTON_DOWN = 0x0204;
constexpr int32_t EV_RBUTTON_UP = 0x0205;
constexpr int32_t EV_RBUTTON_DBLCLK = 0x0206;
constexpr int32_t EV_MBUTTON_DOWN = 0x0207;
constexpr int32_t EV_MBUTTON_UP = 0x0208;
constexpr int32_t EV_MBUTTON_DBLCLK = 0x0209;
constexpr int32_t EV_MOUSE_WHEEL = 0x020A;

// Button state flags carried by mouse events: the buttons held at the time.
constexpr intptr_t MK_LBUTTON = 0x01;
constexpr intptr_t MK_RBUTTON = 0x02;
constexpr intptr_t MK_MBUTTON = 0x10;

// Key codes for keys the game does not use; reported so that no other key
// can pass for a digit, a keypad digit or Escape.
constexpr int32_t VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D;
constexpr int32_t VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12, VK_SPACE = 0x20;
constexpr int32_t VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24;
constexpr int32_t VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28;
constexpr int32_t VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_DIGIT_0 = 0x30, VK_LETTER_A = 0x41;
constexpr int32_t VK_NUMPAD0 = 0x60, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SUBTRACT = 0x6D;
constexpr int32_t VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_NUMLOCK = 0x90;

// By physical key, so that the keyboard layout does not matter: the digit
// row gives 0x31..0x37 on every layout, the keypad 0x61..0x67 only while Num
// Lock is on (otherwise its keys are the cursor keys printed under the digits).
int32_t key_code(SDL_Scancode scancode, bool num_lock) {
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return VK_LETTER_A + (scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return KEY_DIGIT_1 + (scancode - SDL_SCANCODE_1);
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) return VK_F1 + (scancode - SDL_SCANCODE_F1);
    if ((scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_PERIOD)) {
        static constexpr int32_t cursor_keys[] = {VK_END,  VK_DOWN, VK_NEXT,  VK_LEFT,   VK_CLEAR, VK_RIGHT,
                                                  VK_HOME, VK_UP,   VK_PRIOR, VK_INSERT, VK_DELETE};
        const int index = scancode - SDL_SCANCODE_KP_1;
        if (!num_lock) return cursor_keys[index];
        if (scancode == SDL_SCANCODE_KP_0) return VK_NUMPAD0;
        if (scancode == SDL_SCANCODE_KP_PERIOD) return VK_DECIMAL;
        return KEY_NUMPAD_1 + index;
    }
    switch (scancode) {
    case SDL_SCANCODE_0: return VK_DIGIT_0;
    case SDL_SCANCODE_ESCAPE: return KEY_ESCAPE;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return VK_MENU;
    default: return 0;
    }
}

intptr_t button_flags(Uint32 state) {
    intptr_t flags = 0;
    if (state & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
    if (state & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
    if (state & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
    return flags;
}

BackendEvent button_event(const SDL_MouseButtonEvent& e, bool down) {
    // clicks is 2 exactly for the second press of a double click (see
    // judge_press); SDL's own count never reaches here.
    const bool double_click = down && e.clicks == 2;
    const Uint32 held = SDL_GetMouseState(nullptr, nullptr);
    BackendEvent out{0, button_flags(held), sdl_picture_position(e.x, e.y)};
    switch (e.button) {
    case SDL_BUTTON_LEFT:
        if (down) {
            SdlState& s = sdl_state();
            s.press_known = true;
            s.press_x = e.x;
            s.press_y = e.y;
        }
        out.code = !down ? EV_LBUTTON_UP : double_click ? EV_LBUTTON_DBLCLK : EV_LBUTTON_DOWN;
        break;
    case SDL_BUTTON_RIGHT: out.code = !down ? EV_RBUTTON_UP : double_click ? EV_RBUTTON_DBLCLK : EV_RBUTTON_DOWN; break;
    case SDL_BUTTON_MIDDLE:
        out.code = !down ? EV_MBUTTON_UP : double_click ? EV_MBUTTON_DBLCLK : EV_MBUTTON_DOWN;
        break;
    default: break;
    }
    return out;
}

// The event code of one SDL event, or 0 for an event the window would never
// see as a message of its own.
BackendEvent map_event(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN: return {EV_KEY_DOWN, key_code(e.key.keysym.scancode, (e.key.keysym.mod & KMOD_NUM) != 0), 0};
    case SDL_KEYUP: return {EV_KEY_UP, key_code(e.key.keysym.scancode, (e.key.keysym.mod & KMOD_NUM) != 0), 0};
    case SDL_MOUSEMOTION:
        return {EV_MOUSE_MOVE, button_flags(e.motion.state), sdl_picture_position(e.motion.x, e.motion.y)};
    case SDL_MOUSEBUTTONDOWN: return button_event(e.button, true);
    case SDL_MOUSEBUTTONUP: return button_event(e.button, false);
    case SDL_MOUSEWHEEL: return {EV_MOUSE_WHEEL, intptr_t(e.wheel.y), 0};
    case SDL_QUIT: return {EV_CLOSE, 0, 0};
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) return {EV_CLOSE, 0, 0};
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED) return {EV_PAINT, 0, 0};
        return {};
    default: return {};
    }
}

// The system's double click: the second press of the same button within
// this time and this distance (on each axis) of the first.
constexpr uint32_t DOUBLE_CLICK_MS = 500;
constexpr int DOUBLE_CLICK_DISTANCE = 4;

// Whether an X button press is the second of a double click, judged by the
// server's time and place of the two presses. SDL counts clicks by the
// moment it reads them, which after a busy spell (a search, an animation, a
// tune) makes a quick double click two presses and two slow presses a
// double click. Every press is judged as it enters SDL's queue, in order.
// Server times are 32-bit milliseconds that wrap; their difference does not.
// A press stamped 0 (CurrentTime) was sent by a program, not made by the
// server: it has no time to be measured by, so it neither closes a pair
// nor opens one, however quick it came.
bool judge_press(SdlState& s, const XButtonEvent& press) {
    const bool stamped = press.time != CurrentTime;
    const bool double_click = stamped && s.click_open && press.button == s.click_button &&
                              uint32_t(press.time - s.click_time) < DOUBLE_CLICK_MS &&
                              std::abs(press.x_root - s.click_x) <= DOUBLE_CLICK_DISTANCE &&
                              std::abs(press.y_root - s.click_y) <= DOUBLE_CLICK_DISTANCE;
    // A double click closes its pair: the next press starts a new one.
    s.click_open = stamped && !double_click;
    s.click_button = press.button;
    s.click_time = press.time;
    s.click_x = press.x_root;
    s.click_y = press.y_root;
    return double_click;
}

// Runs as each event enters the queue (on the game's thread, while SDL reads
// the X connection; the timer thread only ever passes ticks through here).
//
// Repaint requests pass untouched: SDL itself lets a new one replace the one
// still queued, so the queue never holds two, and any we dropped here would
// leave a lost picture unrepainted.
//
// Num Lock: SDL's own copy of it follows only the Num Lock presses that SDL
// saw itself, and asking the server when the key is handled is too late for
// keys that waited in the queue. The X key event carries the lock state of
// its own moment; SDL hands it over (as a window-system event) just before
// the key event it becomes, and the key event is stamped with it.
//
// Double clicks: the same way, the X button press is judged by its own time
// and place, and the button event that follows it carries the verdict.
int SDLCALL filter_event(void*, SDL_Event* e) {
    SdlState& s = sdl_state();
    switch (e->type) {
    case SDL_SYSWMEVENT:
        if (e->syswm.msg && e->syswm.msg->subsystem == SDL_SYSWM_X11) {
            const XEvent& x = e->syswm.msg->msg.x11.event;
            if (x.type == KeyPress || x.type == KeyRelease) s.key_modifiers = x.xkey.state;
            // Buttons 4 to 7 are the wheel's, which SDL reports as wheel
            // events: they are no presses.
            if (x.type == ButtonPress && (x.xbutton.button < 4 || x.xbutton.button > 7))
                s.press_clicks = judge_press(s, x.xbutton) ? 2 : 1;
        }
        return 0;
    case SDL_MOUSEBUTTONDOWN: e->button.clicks = s.press_clicks; return 1;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const bool num_lock = s.num_lock_mask != 0 && (s.key_modifiers & s.num_lock_mask) != 0;
        e->key.keysym.mod = Uint16((e->key.keysym.mod & ~KMOD_NUM) | (num_lock ? KMOD_NUM : 0));
        return 1;
    }
    default: return 1;
    }
}

// On SDL's timer thread: only the flag and the queue are touched here.
Uint32 SDLCALL on_timer(Uint32 interval, void*) {
    SdlState& s = sdl_state();
    const std::lock_guard<std::mutex> lock(s.timer_lock);
    if (!s.timer_running) return 0;  // stopped meanwhile: no more ticks
    if (!s.tick_pending.exchange(true)) {
        SDL_Event e{};
        e.type = s.tick_event;
        if (SDL_PushEvent(&e) != 1) s.tick_pending = false;
    }
    return interval;
}

bool queue_empty() {
    SDL_PumpEvents();
    return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0;
}

}  // namespace

void sdl_prepare_events() {
    SdlState& s = sdl_state();
    s.tick_event = SDL_RegisterEvents(1);
    s.tick_pending = false;
    s.tick_held = false;
    SDL_SetEventFilter(filter_event, nullptr);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

BackendEvent sdl_next_event() {
    SdlState& s = sdl_state();
    // Without SDL there is no window to wait on, and a window that cannot
    // show the game must not go on taking clicks: closing is the only answer
    // that cannot leave the caller waiting for ever.
    if (!s.video_ready || s.cannot_show) return {EV_CLOSE, 0, 0};
    for (;;) {
        // A tick is reported only once nothing else is waiting.
        if (s.tick_held && queue_empty()) {
            s.tick_held = false;
            s.tick_pending = false;
            return {EV_TIMER, 0, 0};
        }
        SDL_Event e;
        if (!SDL_WaitEvent(&e)) {
            SDL_Delay(10);  // a failed wait must not turn into a busy loop
            continue;
        }
        if (s.tick_event != 0 && e.type == s.tick_event) {
            s.tick_held = true;
            continue;
        }
        const BackendEvent out = map_event(e);
        if (out.code != 0) return out;
    }
}

void sdl_start_timer(int period_ms) {
    SdlState& s = sdl_state();
    if (!s.video_ready || s.tick_event == 0 || period_ms <= 0) return;
    sdl_stop_timer();
    {
        const std::lock_guard<std::mutex> lock(s.timer_lock);
        s.timer_running = true;
    }
    s.timer = SDL_AddTimer(Uint32(period_ms), on_timer, nullptr);
}

// Pushing a tick wakes the waiting event loop by an X event sent to the
// window; at exit the window is closed next, so no push may still be on its
// way when this returns.
void sdl_stop_timer() {
    SdlState& s = sdl_state();
    if (s.timer) SDL_RemoveTimer(s.timer);
    s.timer = 0;
    const std::lock_guard<std::mutex> lock(s.timer_lock);
    s.timer_running = false;
}

// The one rule of every modal loop (the drag's, the message box's): the
// game's wait_event is not running, yet the window keeps its picture and
// takes a close request for later. Ticks are not the game's meanwhile; the
// next one may come.
void sdl_serve_modal(const SDL_Event& e) {
    SdlState& s = sdl_state();
    if (s.tick_event != 0 && e.type == s.tick_event) {
        s.tick_held = false;
        s.tick_pending = false;
    } else if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_EXPOSED) {
        platform_offer_to_hook(EV_PAINT, 0, 0);
    } else if (e.type == SDL_QUIT || (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
        // The window takes a close request whoever dispatches it; the game
        // hears of it at its next wait.
        platform_offer_to_hook(EV_CLOSE, 0, 0);
    }
}

void sdl_serve_window_requests() {
    SdlState& s = sdl_state();
    if (!s.video_ready) return;
    SDL_PumpEvents();
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_QUIT, SDL_WINDOWEVENT) > 0)
        sdl_serve_modal(e);
    if (s.tick_event != 0 && SDL_PeepEvents(&e, 1, SDL_GETEVENT, s.tick_event, s.tick_event) > 0) sdl_serve_modal(e);
}

namespace {

// For SDL_FilterEvents: takes the repaint requests out of the queue, and
// leaves every other event where it is, in order.
int SDLCALL take_repaint(void* taken, SDL_Event* e) {
    if (e->type != SDL_WINDOWEVENT || e->window.event != SDL_WINDOWEVENT_EXPOSED) return 1;
    *static_cast<bool*>(taken) = true;
    return 0;
}

}  // namespace

void sdl_pause_serving_repaints(uint64_t us) {
    SdlState& s = sdl_state();
    const uint64_t until = sdl_monotonic_us() + us;
    for (uint64_t now = sdl_monotonic_us(); now < until; now = sdl_monotonic_us()) {
        if (s.video_ready && s.window) {
            SDL_PumpEvents();
            bool repaint = false;
            SDL_FilterEvents(take_repaint, &repaint);
            if (repaint) platform_offer_to_hook(EV_PAINT, 0, 0);
        }
        // Wakes for what the X server sends (a repaint request among it),
        // else at the end of the pause; the last part of a millisecond is
        // slept through, so that the pause keeps its length.
        const uint64_t left = until - std::min(until, sdl_monotonic_us());
        if (left < 1000) {
            sdl_sleep_for_us(left);
            break;
        }
        pollfd fd = {s.window ? ConnectionNumber(s.x_display) : -1, POLLIN, 0};
        poll(&fd, s.window ? 1 : 0, int(left / 1000));
    }
}

void sdl_pump_modal(int wait_ms) {
    SDL_Event e;
    if (!SDL_WaitEventTimeout(&e, wait_ms)) return;
    do {
        sdl_serve_modal(e);
    } while (SDL_PollEvent(&e));
}
