// A small program on the real platform backend, driven by the end-to-end
// tests: it opens the game's window the way the game does, shows a known
// picture, and reports every event it receives on its standard output, one
// line each:
//
//     ready                                   the window is shown
//     ev 0201 key 1 x 150 y 450               an event: code, last_key, mouse_x, mouse_y (hex, hex, dec, dec)
//     tick 20                                 the 1st and every 20th timer tick
//     paint drag=0                            the repaint hook ran (drag=1: inside the drag loop)
//     drag begin / drag end                   a press outside the zone dragged the window
//     box open / box closed                   around the message box (key M)
//     busy start / busy done                  around a busy spell (key B)
//     tick-after-busy 3 ms                    the first ticks after it, in ms since it ended
//     cursor hand / cursor arrow              the pointer shape was set (keys H and A)
//     bye                                     Escape: the probe ends with exit code 0
//     ended                                   the platform is shut down
//
// With the argument "box-at-start" the probe shows its message box right
// after showing the window, before it reads any event, as the game does when
// it has no sound.
//
// With the arguments "x-error send|map before|after" Escape makes the X
// server answer a request on a window that no longer exists, on a
// connection of the probe's own, either just before the platform shuts down
// or just after: an XSendEvent to it (what SDL's wake-up does when it races
// the window's closing) or an XMapWindow.
//
// Key B keeps the probe busy, reading no events, until the pointer rests on
// the client point (150, 450), then half a second more: events and ticks that come
// meanwhile wait in the queue.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/backend.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/drawing.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "probe_picture.h"

namespace {

constexpr int32_t KEY_A = 0x41, KEY_B = 0x42, KEY_H = 0x48, KEY_M = 0x4D;
constexpr int BUSY_POINT_X = 150, BUSY_POINT_Y = 450;
constexpr int ICON_SIZE = 32;
constexpr int TICKS_REPORTED_AFTER_BUSY = 5;

WindowHandle the_window = NO_WINDOW;
bool dragging = false;

void say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

bool repaint_hook(WindowHandle window, int32_t message, intptr_t, intptr_t) {
    if (message == EV_PAINT) {
        set_window_shape(window, probe::WIDTH, probe::HEIGHT, 100, 100);
        present_frame();
        std::printf("paint drag=%d\n", dragging ? 1 : 0);
        std::fflush(stdout);
    }
    return false;
}

void draw_picture() {
    begin_drawing(screen_draw_target());
    for (int y = 0; y < probe::HEIGHT; ++y)
        for (int x = 0; x < probe::WIDTH; ++x)
            put_pixel(x, y,
                      pack_colour(probe::gradient_red(x, y), probe::gradient_green(x, y), probe::gradient_blue(x, y)));
    for (const probe::Box& b : probe::BOXES)
        draw_box(b.x, b.y, b.width, b.height, pack_colour(b.red, b.green, b.blue));
    end_drawing();
}

// A red disc on black, which the icon shows as transparent.
void set_icon() {
    uint32_t pixels[ICON_SIZE * ICON_SIZE];
    for (int y = 0; y < ICON_SIZE; ++y)
        for (int x = 0; x < ICON_SIZE; ++x) {
            const int dx = x - ICON_SIZE / 2, dy = y - ICON_SIZE / 2;
            pixels[y * ICON_SIZE + x] = dx * dx + dy * dy <= 12 * 12 ? 0x00FF0000u : 0u;
        }
    set_window_icon(the_window, pixels, ICON_SIZE, ICON_SIZE);
}

void show_box() {
    say("box open");
    show_message_box(probe::BOX_CAPTION, probe::BOX_TEXT);
    say("box closed");
}

void busy_spell() {
    say("busy start");
    while (mouse_x() != BUSY_POINT_X || mouse_y() != BUSY_POINT_Y)
        delay_ms(10);
    delay_ms(500);
    say("busy done");
}

void provoke_bad_window(bool send) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return;
    const ::Window gone = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(d, gone);
    if (send) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = gone;
        e.xclient.format = 32;
        XSendEvent(d, gone, False, NoEventMask, &e);
    } else {
        XMapWindow(d, gone);
    }
    XSync(d, False);
    XCloseDisplay(d);
}

}  // namespace

int main(int argc, char** argv) {
    const bool box_at_start = argc > 1 && std::string(argv[1]) == "box-at-start";
    const bool x_error = argc > 3 && std::string(argv[1]) == "x-error";
    const bool error_by_send = x_error && std::strcmp(argv[2], "send") == 0;
    const bool error_before = x_error && std::strcmp(argv[3], "before") == 0;
    init_platform(sdl_backend());
    if (!init_screen_system()) {
        shutdown_platform();
        return 0;
    }
    the_window =
        open_window(0, 0, probe::WIDTH, probe::HEIGHT, WF_POPUP | WF_START_HIDDEN | WF_CENTRE_ON_SCREEN, "Colonnade4");
    open_window_screen(the_window, 0, 0, probe::WIDTH, probe::HEIGHT, 0, 0, 0);
    start_timer(the_window, 50);
    draw_picture();
    set_icon();
    set_window_handler(repaint_hook);
    show_window(the_window);
    say("ready");
    if (box_at_start) show_box();

    int ticks = 0;
    int ticks_to_report = 0;
    uint32_t busy_end_ms = 0;
    for (;;) {
        const int32_t code = wait_event();
        const intptr_t key = last_key();
        if (code == EV_TIMER) {
            ++ticks;
            if (ticks_to_report > 0) {
                --ticks_to_report;
                std::printf("tick-after-busy %u ms\n", unsigned(tick_count_ms() - busy_end_ms));
                std::fflush(stdout);
            } else if (ticks == 1 || ticks % 20 == 0) {
                std::printf("tick %d\n", ticks);
                std::fflush(stdout);
            }
            continue;
        }
        std::printf("ev %04x key %lx x %d y %d\n", unsigned(code), long(key), mouse_x(), mouse_y());
        std::fflush(stdout);

        if (code == EV_KEY_DOWN && key == KEY_ESCAPE) {
            if (x_error && error_before) provoke_bad_window(error_by_send);
            say("bye");
            shutdown_platform();
            if (x_error && !error_before) provoke_bad_window(error_by_send);
            say("ended");
            return 0;
        }
        if (code == EV_KEY_DOWN && key == KEY_M) {
            show_box();
        } else if (code == EV_KEY_DOWN && key == KEY_B) {
            busy_spell();
            busy_end_ms = tick_count_ms();
            ticks_to_report = TICKS_REPORTED_AFTER_BUSY;
        } else if (code == EV_KEY_DOWN && (key == KEY_H || key == KEY_A)) {
            set_window_cursor(the_window, key == KEY_H ? CURSOR_HAND : CURSOR_ARROW);
            say(key == KEY_H ? "cursor hand" : "cursor arrow");
        } else if (code == EV_LBUTTON_DOWN && !probe::inside(probe::ZONE, mouse_x(), mouse_y())) {
            say("drag begin");
            dragging = true;
            begin_window_drag(the_window);
            dragging = false;
            say("drag end");
        }
    }
}
