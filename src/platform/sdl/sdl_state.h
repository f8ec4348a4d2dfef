// Private to the SDL backend (sdl_*.cpp): the one record its files share,
// and the entry points each file offers the others.
//
// SDL draws and reads input; what SDL does not offer is asked of the X
// server directly, on SDL's own connection and always from the game's
// thread: the window's shape and hints, its icons, the desktop's scale, the
// live pointer and the drag loop's button state, the server time and place
// of each press (for double clicks), and the lock state of each key. The
// message box is a window of its own, on a connection of its own.
#pragma once
#include <SDL.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/sdl/window_shape.h"

struct SdlState {
    bool video_ready = false;  // SDL_Init succeeded on an X display
    // Set for good once the window or a frame could not be shown: the game
    // is then told to close (an invisible game must not go on taking
    // clicks), and the program ends with a failure code.
    bool cannot_show = false;
    SDL_Window* window = nullptr;
    // Screen pixels per picture pixel along each axis: the window is shown
    // this many times as large as the picture (see window_scale.h). Only
    // the drawing, the shape and the pointer know of it; the core and the
    // game see the picture's size.
    int scale = 1;
    Display* x_display = nullptr;  // SDL's connection, borrowed, never closed here
    ::Window x_window = 0;

    SDL_Cursor* arrow = nullptr;
    SDL_Cursor* hand = nullptr;

    // Timer: the callback runs on SDL's timer thread and touches nothing but
    // tick_pending and the event queue. tick_pending stays set from the push
    // until the tick is reported (or dropped by a modal loop), so at most one
    // tick exists at a time.
    Uint32 tick_event = 0;  // registered SDL event type of a tick
    SDL_TimerID timer = 0;
    std::atomic<bool> tick_pending{false};
    bool tick_held = false;  // dequeued, waiting for the queue to empty
    // Held by the callback while it pushes; once sdl_stop_timer has cleared
    // timer_running under it, no tick can come any more (SDL's removal does
    // not wait for a callback already running).
    std::mutex timer_lock;
    bool timer_running = false;

    // Num Lock's modifier bit on this keyboard, and the modifier bits of the
    // X key event that SDL is turning into a key event right now.
    unsigned int num_lock_mask = 0;
    unsigned int key_modifiers = 0;

    // The press that may open a double click, in the server's time and
    // root coordinates, and the click count SDL's button event for the X
    // press being read right now is given: 2 for a double click, else 1.
    bool click_open = false;
    unsigned int click_button = 0;
    Time click_time = 0;
    int click_x = 0, click_y = 0;
    Uint8 press_clicks = 1;

    // Where the left button last went down, in the window's own (screen)
    // pixels: the grip of a window drag that the press starts.
    bool press_known = false;
    int press_x = 0, press_y = 0;

    // The outline last given to the X server; reapplying the same outline is
    // skipped, since the game reapplies it on every repaint.
    bool shape_applied = false;
    int shape_width = 0, shape_height = 0, shape_corner_width = 0, shape_corner_height = 0;

    // On a visual with an alpha channel (under a compositor; see
    // window_alpha.cpp) the pixels outside the outline are transparent.
    bool alpha_visual = false;
    std::vector<RowSpan> outline;  // the shape's rows, in picture pixels; empty until one is applied
};

SdlState& sdl_state();

// sdl_backend.cpp
// Says once on stderr why the picture cannot be shown, and marks the run
// as failed.
void sdl_cannot_show(const char* what);
// The monotonic clock, and a sleep on it that a signal does not cut short.
uint64_t sdl_monotonic_us();
void sdl_sleep_for_us(uint64_t us);

// sdl_window.cpp
// A position in the window's screen pixels as the picture's pixel position,
// packed for an event.
intptr_t sdl_picture_position(int x, int y);
bool sdl_open_window(int x, int y, int width, int height, bool centred, const char* title);
void sdl_show_window();
void sdl_set_shape(int width, int height, int corner_width, int corner_height);
void sdl_set_cursor(int shape);
bool sdl_pointer(int* x, int* y);
void sdl_close_window();

// sdl_events.cpp
void sdl_prepare_events();  // after SDL_Init: tick event type, event filter
BackendEvent sdl_next_event();
void sdl_start_timer(int period_ms);
void sdl_stop_timer();
// What a modal loop does with one event of the game's window: a repaint
// request reaches the hook, a close request is kept for the game's next
// wait, a tick lets the next one come; anything else is dropped.
void sdl_serve_modal(const SDL_Event& e);
// For the message box's loop: serves the window's repaint and close
// requests and the tick now queued, by that same rule, and leaves input
// queued.
void sdl_serve_window_requests();
// For the game's pauses: sleeps for us microseconds, serving only the
// window's repaint requests; everything else stays queued, in order.
void sdl_pause_serving_repaints(uint64_t us);
// For the drag loop: waits up to wait_ms for events and serves them all by
// that rule, as the system's own move loop does.
void sdl_pump_modal(int wait_ms);

// sdl_icon.cpp
void sdl_set_icon(const IconPicture* pictures, int count);

// sdl_drag.cpp
void sdl_begin_drag();

// sdl_message_box.cpp
void sdl_message_box(const char* caption, const char* text);

// window_alpha.cpp
// The id of a 32-bit visual with an alpha channel ("0x.." for SDL's
// visual hint) where a compositing manager runs; empty elsewhere.
std::string alpha_visual_for_compositor(Display* display);
// Makes the surface's rows [top, bottom) (in picture pixels, each a scale
// x scale block) transparent outside the outline.
void clear_outside_outline(SDL_Surface* surface, const std::vector<RowSpan>& outline, int scale, int top, int bottom);

// x11_monitors.cpp
// A rectangle of an X screen, in its root window's pixels.
struct ScreenArea {
    int x = 0, y = 0, width = 0, height = 0;
};
// The monitors of an X screen, the primary one first: its RandR monitors,
// else its Xinerama heads, else the whole screen. Never empty.
std::vector<ScreenArea> x11_monitors(Display* display, int screen);
// The monitor that holds the most of a window; the first when none does.
ScreenArea x11_monitor_of(const std::vector<ScreenArea>& monitors, const ScreenArea& window);

// x11_frame.cpp
// Shows the picture's rectangle [left, right) x [top, bottom) in the window
// through Xlib, each picture pixel a scale x scale block: for the TrueColor
// displays that SDL cannot draw on (10-bit channels). False when the
// window's visual is none the game can draw on either.
bool x11_show_frame(const uint32_t* pixels, int width, int left, int top, int right, int bottom);
// Whether the window is drawn through x11_show_frame rather than by SDL.
bool x11_frame_ready();
// Lets go of what x11_show_frame made for the window; before it closes.
void x11_release_frame();
