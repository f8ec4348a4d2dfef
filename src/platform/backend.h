// The narrow boundary between the platform core and the system it runs on.
//
// The core (the files of src/platform itself) does everything that is plain
// memory work - sprites, blits, blending, lines, text, random numbers - and
// asks the backend only for what needs the system: a window, its events, a
// clock, and somewhere to show pixels. Each backend lives in a folder of its
// own (sdl/ for the real window, headless/ for the scripted twin) and offers
// its own factory there.
#pragma once
#include <cstdint>

struct IconPicture;

struct BackendEvent {
    int32_t code = 0;    // an EV_* code of window.h
    intptr_t first = 0;  // key code for EV_KEY_DOWN / EV_KEY_UP
    intptr_t second = 0;
};

// The part of a picture that changed since the last present.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

struct PlatformBackend {
    virtual ~PlatformBackend() = default;

    // False when there is no display to show a window on: the game then
    // ends silently with exit code 0.
    virtual bool init_screen() = 0;
    // A borderless window with a client area of width x height, hidden.
    // With centred, placed by the rule x = SW/2 - min(W,SW)/2 (same for y).
    virtual bool open_window(int x, int y, int width, int height, bool centred, const char* title) = 0;
    virtual void show_window() = 0;
    virtual void set_shape(int width, int height, int corner_width, int corner_height) = 0;
    virtual void set_cursor(int shape) = 0;
    virtual void set_icon(const IconPicture* pictures, int count) = 0;
    // Moves the window with the pointer until the left button is released.
    // Repaint and close requests meanwhile go to platform_offer_to_hook.
    virtual void begin_drag() = 0;
    virtual void start_timer(int period_ms) = 0;

    // Blocks until the next event. Timer ticks never pile up and come only
    // when nothing else is waiting.
    virtual BackendEvent next_event() = 0;
    // The pointer's position now, in the picture's pixels from the client
    // area's top-left corner (may be outside it), however large the window
    // is shown. False when it cannot be read.
    virtual bool pointer(int* x, int* y) = 0;

    // Shows a width x height picture of stored pixels 0x00RRGGBB, of which
    // only `changed` differs from the picture shown before. The blinking
    // banner changes a 250 x 50 area twenty times a second; sending just
    // that keeps the game almost free while it waits.
    virtual void present(const uint32_t* pixels, int width, int height, const PixelRect& changed) = 0;

    // Microseconds since some fixed moment, and a sleep on the same clock.
    virtual uint64_t now_us() = 0;
    virtual void sleep_us(uint64_t us) = 0;
    // The game's own pauses (delay_ms: between the frames of a drop, the
    // notes of a tune). A window on a desktop without compositing loses what
    // another window passes over meanwhile: a backend with such a window
    // serves its repaint requests while it waits, and only those.
    virtual void pause_us(uint64_t us) { sleep_us(us); }

    virtual void message_box(const char* caption, const char* text) = 0;
    virtual void shutdown() = 0;
};

// Where a centred window goes along one axis of the screen:
// screen / 2 - min(window, screen) / 2, each half an integer division.
int centred_origin(int screen_size, int window_size);

// The second parameter of a pointer event: the client position packed into
// one word, x in the low 16 bits, y in the high.
constexpr intptr_t packed_position(int x, int y) { return intptr_t((uint32_t(uint16_t(y)) << 16) | uint16_t(x)); }

// Called by a backend for a message that the system delivers outside
// wait_event (a repaint or a close request during the drag loop): offers it
// to the game's hook; a close request the hook leaves alone is reported by
// the next wait_event.
void platform_offer_to_hook(int32_t message, intptr_t first, intptr_t second);
