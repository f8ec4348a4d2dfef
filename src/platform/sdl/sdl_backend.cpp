// The real backend: SDL2 on X11. This file starts and stops SDL, shows the
// frames and keeps the clock; the window, the events, the drag loop and the
// message box live in their own sdl_*.cpp files.
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <X11/Xproto.h>

#include "platform/sdl/sdl_backend.h"
#include "platform/sdl/sdl_state.h"
#include "platform/window.h"

SdlState& sdl_state() {
    static SdlState state;
    return state;
}

namespace {

// SDL wakes its waiting event loop by an X event sent to the window on a
// connection of its own; one that races the window's closing at exit
// reaches a window already gone, and the server's complaint comes while
// SDL_Quit closes that connection. SDL puts back the X error handler it
// found when it started, so ours is installed before SDL starts: from the
// window's closing on it lets that one complaint pass (nothing is lost by
// it); any other error, and that one before, goes to the handler we found,
// Xlib's own, which ends the program as before.
XErrorHandler earlier_x_error_handler = nullptr;
std::atomic<bool> window_closing{false};  // errors may be read on any thread that reads X

int on_x_error(Display* display, XErrorEvent* error) {
    if (window_closing && error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
    return earlier_x_error_handler != nullptr ? earlier_x_error_handler(display, error) : 0;
}

// SDL talks to the desktop over its session bus (its input method, its
// thread priorities). Where the desktop has none (a bare X session, startx,
// a forwarded display), libdbus would start one for SDL on the display:
// dbus-launch and its daemon would outlive the game, and dbus-launch's
// window would stay on the display. Starting a desktop's session bus is
// not a game's business: without one, SDL does without. A bus the session
// keeps in its runtime directory is one libdbus finds by itself.
void leave_the_session_bus_to_the_desktop() {
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr) return;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        struct stat st {};
        if (stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return;
    }
    // No transport of that name: SDL's connection fails at once, quietly.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

bool start_video() {
    SdlState& s = sdl_state();
    if (s.video_ready) return true;

    // X11 only: without a display SDL_Init then fails, and the game ends
    // silently instead of falling back to some other driver. Above
    // SDL_VIDEODRIVER too, which Wayland desktops set for every program: the
    // game needs an X window (its shape, its drag, its box), and Xwayland
    // gives it one.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    // Keep the plain X framebuffer: with acceleration SDL recreates the X
    // window behind a GL context, which drops its shape and its place.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // A close request is the game's to answer (EV_CLOSE); the window stays.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Signals keep their default meaning: SIGTERM ends the process at once,
    // even in the middle of an animation or a search.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A press that brings the window the focus is a press all the same (SDL
    // would drop one that comes within a few ms of the focus change).
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // A game left open must not keep the desktop unlocked and its screen
    // lit: the screen saver comes on as it would without the game.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");

    // The game reads keys, never text, yet SDL opens an input method, which
    // reads the locale's compose table: thousands of lines, the dearest
    // part of SDL's start. An empty table serves keys just as well. Set
    // while the process has one thread, as changing the environment must be.
    setenv("XCOMPOSEFILE", "/dev/null", 1);
    leave_the_session_bus_to_the_desktop();
    window_closing = false;
    // Once only: SDL may have put ours back from an earlier start.
    const XErrorHandler found = XSetErrorHandler(on_x_error);
    if (found != on_x_error) earlier_x_error_handler = found;
    // Video alone first: its start may fork (D-Bus launching its daemon),
    // which is safe only while this is the process's one thread. SDL would
    // start the timer's thread before the video, so the timer comes after.
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    // The sound device starts SDL's sound system itself, after the first
    // picture, behind a probe that keeps SDL's crashes there out of the game.
    //
    // SDL's sound system announces sound cards coming and going as events,
    // which the game never reads (the sound device asks SDL about its own
    // stream); each, pushed from SDL's watcher thread, would also wake the
    // event loop by an X event sent to the window, even as the window closes
    // at exit.
    SDL_EventState(SDL_AUDIODEVICEADDED, SDL_IGNORE);
    SDL_EventState(SDL_AUDIODEVICEREMOVED, SDL_IGNORE);
    if (SDL_InitSubSystem(SDL_INIT_TIMER) != 0) {
        SDL_Quit();
        return false;
    }
    // The game reads keys, never text; no input method is needed.
    SDL_StopTextInput();
    sdl_prepare_events();
    s.video_ready = true;
    return true;
}

// Writes the picture's rectangle [left, right) x [top, bottom) into the
// window surface, each picture pixel as a scale x scale block of the same
// colour (nearest neighbour: exact, no blending). Stored pixels are
// 0x00RRGGBB, SDL's RGB888; a display of another format gets them converted
// on the way. False when the conversion fails.
bool write_pixels(SDL_Surface* surface, Uint32 format, const uint32_t* pixels, int width, int left, int top, int right,
                  int bottom, int scale) {
    const int bytes_per_pixel = surface->format->BytesPerPixel;
    auto* target = static_cast<uint8_t*>(surface->pixels);
    const int count = right - left;
    if (scale == 1)
        return SDL_ConvertPixels(count, bottom - top, SDL_PIXELFORMAT_RGB888, pixels + top * width + left, width * 4,
                                 format, target + top * surface->pitch + left * bytes_per_pixel, surface->pitch) == 0;
    // Each picture row is converted once, widened, and laid down scale times.
    static std::vector<uint8_t> row, wide;
    row.resize(size_t(count) * size_t(bytes_per_pixel));
    wide.resize(row.size() * size_t(scale));
    for (int y = top; y < bottom; ++y) {
        if (SDL_ConvertPixels(count, 1, SDL_PIXELFORMAT_RGB888, pixels + y * width + left, width * 4, format,
                              row.data(), int(row.size())) != 0)
            return false;
        for (int i = 0; i < count; ++i)
            for (int k = 0; k < scale; ++k)
                std::memcpy(&wide[size_t(i * scale + k) * size_t(bytes_per_pixel)],
                            &row[size_t(i) * size_t(bytes_per_pixel)], size_t(bytes_per_pixel));
        for (int k = 0; k < scale; ++k)
            std::memcpy(target + (y * scale + k) * surface->pitch + left * scale * bytes_per_pixel, wide.data(),
                        wide.size());
    }
    return true;
}

// Copies the changed area into the window surface and sends only that to
// the display.
void show_frame(const uint32_t* pixels, int width, int height, const PixelRect& changed) {
    SdlState& s = sdl_state();
    if (!s.window || !pixels || width <= 0 || height <= 0) return;
    const int left = std::max(changed.x, 0), top = std::max(changed.y, 0);
    // SDL has no surface for every TrueColor display (none for 10-bit
    // channels); Xlib draws on those.
    SDL_Surface* surface = x11_frame_ready() ? nullptr : SDL_GetWindowSurface(s.window);
    if (!surface) {
        if (!x11_show_frame(pixels, width, left, top, std::min(changed.x + changed.width, width),
                            std::min(changed.y + changed.height, height)))
            sdl_cannot_show("no drawing surface for the window");
        return;
    }
    const int scale = s.scale;
    const int right = std::min({changed.x + changed.width, width, surface->w / scale});
    const int bottom = std::min({changed.y + changed.height, height, surface->h / scale});
    if (right <= left || bottom <= top) return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        sdl_cannot_show("the window's surface cannot be written");
        return;
    }
    // On a visual with alpha, the picture is opaque and what lies outside
    // the outline transparent.
    const Uint32 format = s.alpha_visual ? Uint32(SDL_PIXELFORMAT_ARGB8888) : surface->format->format;
    const bool written = write_pixels(surface, format, pixels, width, left, top, right, bottom, scale);
    if (written && s.alpha_visual && !s.outline.empty()) clear_outside_outline(surface, s.outline, scale, top, bottom);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (!written) {
        sdl_cannot_show("the display's pixel format is not one the game can draw in");
        return;
    }
    const SDL_Rect area{left * scale, top * scale, (right - left) * scale, (bottom - top) * scale};
    if (SDL_UpdateWindowSurfaceRects(s.window, &area, 1) != 0) sdl_cannot_show("the display refused a frame");
}

void stop_all() {
    SdlState& s = sdl_state();
    window_closing = true;
    sdl_stop_timer();
    sdl_close_window();
    if (s.video_ready) {
        SDL_SetEventFilter(nullptr, nullptr);
        SDL_Quit();
    }
    s.video_ready = false;
    s.tick_pending = false;
    s.tick_held = false;
    s.click_open = false;
}

class SdlBackend final : public PlatformBackend {
public:
    bool init_screen() override { return start_video(); }
    bool open_window(int x, int y, int width, int height, bool centred, const char* title) override {
        return sdl_open_window(x, y, width, height, centred, title);
    }
    void show_window() override { sdl_show_window(); }
    void set_shape(int width, int height, int corner_width, int corner_height) override {
        sdl_set_shape(width, height, corner_width, corner_height);
    }
    void set_cursor(int shape) override { sdl_set_cursor(shape); }
    void set_icon(const IconPicture* pictures, int count) override { sdl_set_icon(pictures, count); }
    void begin_drag() override { sdl_begin_drag(); }
    void start_timer(int period_ms) override { sdl_start_timer(period_ms); }
    BackendEvent next_event() override { return sdl_next_event(); }
    bool pointer(int* x, int* y) override { return sdl_pointer(x, y); }
    void present(const uint32_t* pixels, int width, int height, const PixelRect& changed) override {
        show_frame(pixels, width, height, changed);
    }
    uint64_t now_us() override { return sdl_monotonic_us(); }
    void sleep_us(uint64_t us) override { sdl_sleep_for_us(us); }
    void pause_us(uint64_t us) override { sdl_pause_serving_repaints(us); }
    void message_box(const char* caption, const char* text) override { sdl_message_box(caption, text); }
    void shutdown() override { stop_all(); }
};

}  // namespace

uint64_t sdl_monotonic_us() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000u + uint64_t(now.tv_nsec) / 1000u;
}

void sdl_sleep_for_us(uint64_t us) {
    timespec left{time_t(us / 1000000u), long(us % 1000000u) * 1000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {}
}

void sdl_cannot_show(const char* what) {
    SdlState& s = sdl_state();
    if (s.cannot_show) return;
    s.cannot_show = true;
    std::fprintf(stderr, "colonnade4: cannot show the game's picture on this display: %s (%s)\n", what, SDL_GetError());
}

int sdl_exit_status() { return sdl_state().cannot_show ? EXIT_FAILURE : EXIT_SUCCESS; }

PlatformBackend* sdl_backend() {
    static SdlBackend backend;
    return &backend;
}
