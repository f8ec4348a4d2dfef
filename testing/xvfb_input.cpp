// Input as a person makes it, through XTEST: the pointer, its buttons and
// the keys, each flushed to the server before the call returns.
#include "testing/xvfb_session.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>

#include <thread>

namespace e2e {

void XvfbSession::move_pointer(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    sync();
}

void XvfbSession::press_button(int button) {
    XTestFakeButtonEvent(display_, unsigned(button), True, CurrentTime);
    sync();
}

void XvfbSession::release_button(int button) {
    XTestFakeButtonEvent(display_, unsigned(button), False, CurrentTime);
    sync();
}

void XvfbSession::click(int x, int y, int button) {
    move_pointer(x, y);
    press_button(button);
    release_button(button);
}

void XvfbSession::double_click(int x, int y) {
    move_pointer(x, y);
    // Both presses go out in one batch, well inside any double-click time.
    for (int i = 0; i < 2; ++i) {
        XTestFakeButtonEvent(display_, 1, True, CurrentTime);
        XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    }
    sync();
}

void XvfbSession::clicks(const std::vector<Click>& clicks) {
    for (const Click& c : clicks) {
        // XTEST's delay holds this request and every later one back in the
        // server, which stamps the press once it takes it.
        XTestFakeMotionEvent(display_, DefaultScreen(display_), c.x, c.y, static_cast<unsigned long>(c.gap.count()));
        if (c.sent_to == 0) {
            XTestFakeButtonEvent(display_, 1, True, CurrentTime);
            XTestFakeButtonEvent(display_, 1, False, CurrentTime);
            continue;
        }
        XEvent e{};
        e.xbutton.type = ButtonPress;
        e.xbutton.display = display_;
        e.xbutton.window = Window(c.sent_to);
        e.xbutton.root = DefaultRootWindow(display_);
        e.xbutton.time = CurrentTime;
        Window child = 0;
        XTranslateCoordinates(display_, e.xbutton.root, e.xbutton.window, c.x, c.y, &e.xbutton.x, &e.xbutton.y, &child);
        e.xbutton.x_root = c.x;
        e.xbutton.y_root = c.y;
        e.xbutton.button = Button1;
        e.xbutton.same_screen = True;
        XSendEvent(display_, e.xbutton.window, True, ButtonPressMask, &e);
        e.xbutton.type = ButtonRelease;
        e.xbutton.state = Button1Mask;
        XSendEvent(display_, e.xbutton.window, True, ButtonReleaseMask, &e);
    }
    sync();
}

void XvfbSession::click_after(Millis gap, int button) {
    // XTEST's delay holds our requests back in the server itself, which
    // stamps the press when it finally takes it.
    XTestFakeButtonEvent(display_, unsigned(button), True, static_cast<unsigned long>(gap.count()));
    XTestFakeButtonEvent(display_, unsigned(button), False, CurrentTime);
    sync();
}

void XvfbSession::key_down(KeySymbol key) {
    // A release followed within a millisecond or two by a press of the same
    // key is what X clients take for auto-repeat; a person never types that
    // fast, so neither do we.
    const auto since_release = std::chrono::steady_clock::now() - last_key_release_;
    if (since_release < KEY_GAP) std::this_thread::sleep_for(KEY_GAP - since_release);
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, KeySym(key)), True, CurrentTime);
    sync();
}

void XvfbSession::key_up(KeySymbol key) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, KeySym(key)), False, CurrentTime);
    sync();
    last_key_release_ = std::chrono::steady_clock::now();
}

void XvfbSession::tap_key(KeySymbol key) {
    key_down(key);
    key_up(key);
}

bool XvfbSession::num_lock_on() {
    const unsigned int mask = XkbKeysymToModifiers(display_, XK_Num_Lock);
    XkbStateRec state{};
    if (mask == 0 || XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return false;
    return (state.locked_mods & mask) != 0;
}

bool XvfbSession::set_num_lock(bool on) {
    const unsigned int mask = XkbKeysymToModifiers(display_, XK_Num_Lock);
    if (mask == 0) return false;
    XkbLockModifiers(display_, XkbUseCoreKbd, mask, on ? mask : 0);
    sync();
    return wait_until([&] { return num_lock_on() == on; });
}

void XvfbSession::tap_keypad_digit(int digit) {
    set_num_lock(true);
    tap_key(XK_KP_0 + KeySymbol(digit));
}

std::pair<int, int> XvfbSession::pointer() {
    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rx, &ry, &wx, &wy, &mask);
    return {rx, ry};
}

unsigned long XvfbSession::cursor_serial() {
    XFixesCursorImage* image = XFixesGetCursorImage(display_);
    if (!image) return 0;
    const unsigned long serial = image->cursor_serial;
    XFree(image);
    return serial;
}

}  // namespace e2e
