// X errors on the message box's connection end neither the game nor the
// box. A focus change can fail for reasons of the window manager's (a
// window it has just taken away): nothing is lost. Any other error is the
// box failing to make, describe or draw itself; the first one is kept, to
// be said once.
#include <X11/Xproto.h>

#include <cstdio>

#include "platform/sdl/x11_box.h"

namespace {

Display* watched = nullptr;
XErrorHandler earlier_handler = nullptr;
char first_error[160] = "";
bool unmade = false;  // its window or its drawing context could not be made

int on_x_error(Display* display, XErrorEvent* error) {
    if (display != watched) return earlier_handler != nullptr ? earlier_handler(display, error) : 0;
    if (error->request_code == X_SetInputFocus) return 0;
    if (error->request_code == X_CreateWindow || error->request_code == X_CreateGC) unmade = true;
    if (first_error[0] != 0) return 0;
    char text[100] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::snprintf(first_error, sizeof first_error, "X error %s on request %d", text, int(error->request_code));
    return 0;
}

}  // namespace

void box_errors_watch(Display* box_display) {
    watched = box_display;
    first_error[0] = 0;
    unmade = false;
    earlier_handler = XSetErrorHandler(on_x_error);
}

void box_errors_release() {
    XSetErrorHandler(earlier_handler);
    watched = nullptr;
}

const char* box_error() { return first_error; }

bool box_unmade() { return unmade; }

void say_instead(const char* caption, const char* text, const char* why) {
    if (why != nullptr && why[0] != 0)
        std::fprintf(stderr, "%s: %s (the box could not show this: %s)\n", caption, text, why);
    else
        std::fprintf(stderr, "%s: %s\n", caption, text);
}
