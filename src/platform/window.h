// The game's one window, its events, and the services the game needs from
// the system: sleeping, the clock, the message box, shut-down and memory.
//
// The game calls only these operations; which backend stands behind them
// (SDL2 on X11, or the scripted headless twin used by tests) is chosen once
// by init_platform and never seen by the game.
#pragma once
#include <cstdint>

struct PlatformBackend;

using WindowHandle = int;  // 0 is "no window"
constexpr WindowHandle NO_WINDOW = 0;

// Flags of open_window.
constexpr uint32_t WF_POPUP = 0x80000000u;             // borderless
constexpr uint32_t WF_START_HIDDEN = 0x10000000u;      // shown by the screen or show_window
constexpr uint32_t WF_CENTRE_ON_SCREEN = 0x00000001u;  // x and y are ignored

// Event codes returned by wait_event (the game acts on five of them).
constexpr int32_t EV_PAINT = 0x000F;
constexpr int32_t EV_CLOSE = 0x0010;
constexpr int32_t EV_KEY_DOWN = 0x0100;
constexpr int32_t EV_KEY_UP = 0x0101;
constexpr int32_t EV_CHAR = 0x0102;
constexpr int32_t EV_TIMER = 0x0113;
constexpr int32_t EV_MOUSE_MOVE = 0x0200;
constexpr int32_t EV_LBUTTON_DOWN = 0x0201;
constexpr int32_t EV_LBUTTON_UP = 0x0202;
constexpr int32_t EV_LBUTTON_DBLCLK = 0x0203;

// Key codes reported by last_key after EV_KEY_DOWN.
constexpr int32_t KEY_ESCAPE = 0x1B;
constexpr int32_t KEY_DIGIT_1 = 0x31;   // .. 0x37 for the digit row 1 to 7
constexpr int32_t KEY_NUMPAD_1 = 0x61;  // .. 0x67 for the keypad 1 to 7, Num Lock on

// Pointer shapes.
constexpr int CURSOR_ARROW = 32512;
constexpr int CURSOR_HAND = 32649;

// Called for every message of the window before the platform's own handling.
// Returns true when it handled the message; the game's hook never does, so the
// platform's handling always follows.
using WindowHook = bool (*)(WindowHandle window, int32_t message, intptr_t first, intptr_t second);

// Chooses the backend, prepares the platform and seeds the random generator
// from the millisecond tick count. Called once, first thing. Starts no
// thread: init_screen_system may fork, which is safe only while the game's
// thread is alone.
void init_platform(PlatformBackend* backend);
PlatformBackend* current_backend();

WindowHandle open_window(int x, int y, int width, int height, uint32_t flags, const char* title);
void show_window(WindowHandle window);
void set_window_handler(WindowHook hook);
void set_window_shape(WindowHandle window, int width, int height, int corner_width, int corner_height);
void set_window_cursor(WindowHandle window, int shape);
// pixels: width * height stored pixels 0x00RRGGBB, row by row; black is transparent.
void set_window_icon(WindowHandle window, const uint32_t* pixels, int width, int height);
// The same icon in several sizes at once: the task bar, the switcher and
// the desktop's menus each take the size that suits them.
struct IconPicture {
    const uint32_t* pixels;
    int width, height;
};
void set_window_icons(WindowHandle window, const IconPicture* pictures, int count);
void begin_window_drag(WindowHandle window);
void start_timer(WindowHandle window, int period_ms);

// Blocks until the next event and returns its code.
int32_t wait_event();
// Paints a window just shown now rather than in the next wait_event: waits
// for the system's first repaint request (up to FIRST_PAINT_WAIT_MS; the
// window's timer ticks keep the wait bounded) and hands it to the hook.
// Every other message that comes meanwhile is kept for wait_event, in its
// order. False when no repaint request came in time.
constexpr int FIRST_PAINT_WAIT_MS = 2000;
bool update_window(WindowHandle window);
// The pointer's position now, in client coordinates, or -1 outside (both
// bounds inclusive: x = width and y = height are inside).
int mouse_x();
int mouse_y();
// The first parameter of the last message seen: the key code after EV_KEY_DOWN.
intptr_t last_key();

void delay_ms(int ms);
// Milliseconds since some fixed moment; the headless backend's clock is virtual.
uint32_t tick_count_ms();

// Modal box with the caption, the text and one OK button; returns once closed.
void show_message_box(const char* caption, const char* text);

// Releases windows, screen, sprites and fonts, in that order.
void shutdown_platform();

// Lets go of what only start-up needed (the font files, the font
// configuration) and gives the memory that start-up used and freed back to
// the system, rather than keeping it for allocations that will not come.
void return_free_memory();
