// The headless backend: the platform without a display, on a virtual
// clock, driven by a script. Every game, artwork and sound test runs on it,
// and so does the sprite export tool.
//
//     headless_reset();
//     headless_click(80, 130);          // press "Moyen"
//     headless_key(KEY_DIGIT_1 + 3);    // play column 3
//     headless_idle_ms(500);            // let the banner blink
//     run_game(headless_backend(), ...);
//     EXPECT_EQ(headless_log().script_ends, 1);
//
// The clock. Virtual microseconds from 0 (or headless_set_clock_ms): it
// moves only when the platform sleeps (delay_ms, present_frame's pacing)
// or while the script lets time pass. tick_count_ms reads it, so the
// random generator is seeded from it.
//
// The script. Two kinds of input:
// - Steps (headless_move, _press, _click, _double_click, _key, _close,
//   _event, _idle_ms) are a patient user: each is carried out when the game
//   waits for an event and nothing else is pending, in order. A step puts
//   its events into the queue (a move sets the pointer first).
// - Timed actions (headless_at_ms) run when the clock reaches their time,
//   even in the middle of the game's own sleeps (a key pressed while a disc
//   falls). Step functions called inside a timed action, or inside the
//   present callback, act at once: their events join the queue behind
//   whatever is already waiting.
// The game then receives, in this order of priority: queued events, a
// pending repaint (raised when the window becomes visible), a pending timer
// tick, then the next step. A tick is due once per period of virtual time,
// and at most one is ever pending. Time passes by itself only inside an
// idle step or on the way to the next timed action; when the script is
// used up, wait_event reports EV_CLOSE and script_ends counts it, so a game
// under test always ends.
//
// Sessions. shutdown_platform ends a session; the records stay readable
// until the next session starts fresh, which happens at headless_reset,
// at headless_backend(), or at the first script or set-up call after the
// end, whichever comes first.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/backend.h"

// The virtual screen the window is centred on.
constexpr int HEADLESS_SCREEN_WIDTH = 1920;
constexpr int HEADLESS_SCREEN_HEIGHT = 1080;

// The twin itself, for init_platform, run_game and start_game.
PlatformBackend* headless_backend();

// A fresh twin: clock at its start, empty script, nothing recorded.
void headless_reset();

// --- set-up ------------------------------------------------------------------
void headless_set_clock_ms(uint64_t ms);        // the clock's start (and so the random seed)
void headless_fail_screen(bool fail);           // init_screen reports no display
void headless_set_drag_travel(int dx, int dy);  // how far each window drag moves the window
// Called for every presented frame with its pixels (0x00RRGGBB rows).
void headless_on_present(std::function<void(const uint32_t* pixels, int width, int height)> callback);

// --- the user ----------------------------------------------------------------
void headless_move(int x, int y);   // pointer to (x, y) in client coordinates, then EV_MOUSE_MOVE
void headless_press();              // EV_LBUTTON_DOWN where the pointer is
void headless_click(int x, int y);  // headless_move, then headless_press
void headless_double_click();       // EV_LBUTTON_DOWN, then EV_LBUTTON_DBLCLK (0x0203)
void headless_key(int32_t key);     // EV_KEY_DOWN with the virtual-key code
void headless_close();              // the user asks the window to close: EV_CLOSE
void headless_event(int32_t code, intptr_t first = 0, intptr_t second = 0);
void headless_idle_ms(uint64_t ms);  // ms of virtual time with nothing but timer ticks
// The pointer, at once and without an event (outside the client area
// allowed: mouse_x then reads -1).
void headless_set_pointer(int x, int y);
// Runs `action` when the clock reaches ms.
void headless_at_ms(uint64_t ms, std::function<void()> action);
// True while the game has something to handle: a queued event, a pending
// repaint or tick, a step or a timed action. A driver that feeds the game
// one event at a time calls wait_event only while this holds, so it never
// meets the end of the script.
bool headless_busy();
// Drops the queued events, the steps and the timed actions: what the user
// still meant to do when the program was told to end.
void headless_forget_input();

// --- what happened -----------------------------------------------------------
struct HeadlessMessageBox {
    std::string caption;
    std::string text;
    uint64_t at_us = 0;
};

struct HeadlessLog {
    uint64_t clock_us = 0;
    bool screen_ready = false;  // init_screen succeeded
    // The window, in virtual screen coordinates.
    bool window_open = false;
    bool window_visible = false;
    int window_x = 0, window_y = 0, window_width = 0, window_height = 0;
    std::string title;
    int show_count = 0;
    int shape_count = 0;  // set_shape calls, and the last one's arguments
    int shape_width = 0, shape_height = 0, shape_corner_width = 0, shape_corner_height = 0;
    int cursor = 0;              // CURSOR_ARROW or CURSOR_HAND; 0 before any set_cursor
    std::vector<uint32_t> icon;  // the first picture of the last set_icon
    int icon_width = 0, icon_height = 0;
    std::vector<int> icon_sizes;  // the widths of all its pictures
    // Threads of the process when the screen service started, the game's
    // own included: a fork there is safe only while it is alone.
    int threads_at_screen_start = 0;
    int drag_count = 0;
    int timer_period_ms = 0;             // 0 while no timer runs
    int pointer_x = -1, pointer_y = -1;  // client coordinates
    // Presents.
    int present_count = 0;
    uint64_t last_present_us = 0;
    std::vector<uint32_t> last_frame;  // the picture shown: changed areas only reach it
    PixelRect last_changed;            // the area the last present changed
    int frame_width = 0, frame_height = 0;
    std::vector<HeadlessMessageBox> message_boxes;
    int events_delivered = 0;
    int timer_ticks = 0;     // EV_TIMER delivered
    int script_ends = 0;     // EV_CLOSE reported because the script was used up
    int steps_left = 0;      // steps not yet carried out
    bool shut_down = false;  // the session has ended
};
const HeadlessLog& headless_log();
