// The message box's modal loop: the box answers its keys, its button and
// the window manager, while the game's window behind it keeps its picture.
//
// The box has an X connection of its own (x11_box.h), so that this loop can
// wait on both connections: the box's for its own events, SDL's to keep
// serving the game's window behind it.
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include "platform/sdl/sdl_state.h"
#include "platform/sdl/x11_box.h"

namespace {

// The longest the loop sleeps without looking at both connections again.
constexpr int WAIT_SLICE_MS = 100;

void set_look(Box& b, OkLook look) {
    if (look == b.look) return;
    b.look = look;
    show_picture(b);
}

void handle_box_event(Box& b, XEvent& e) {
    switch (e.type) {
    case Expose:
        if (e.xexpose.count == 0) show_picture(b);
        break;
    case MapNotify:
        box_mapped(b);
        // The box takes the keyboard, so that Return answers it at once.
        XSetInputFocus(b.display, b.window, RevertToParent, CurrentTime);
        break;
    case KeyPress: {
        const KeySym key = XLookupKeysym(&e.xkey, 0);
        if (key == XK_Return || key == XK_KP_Enter || key == XK_space || key == XK_Escape) b.closed = true;
        break;
    }
    case ButtonPress:
        if (e.xbutton.button == Button1 && on_ok_button(b.picture, e.xbutton.x, e.xbutton.y)) {
            b.armed = true;
            set_look(b, OkLook::Pressed);
        }
        break;
    case MotionNotify: {
        const bool on_ok = on_ok_button(b.picture, e.xmotion.x, e.xmotion.y);
        set_look(b, !on_ok ? OkLook::Rest : b.armed ? OkLook::Pressed : OkLook::Hover);
        break;
    }
    case LeaveNotify: set_look(b, OkLook::Rest); break;
    case ButtonRelease:
        // As with any button: only a release over it, after a press on it.
        if (e.xbutton.button == Button1 && b.armed) {
            b.armed = false;
            if (on_ok_button(b.picture, e.xbutton.x, e.xbutton.y))
                b.closed = true;
            else
                set_look(b, OkLook::Rest);
        }
        break;
    case ClientMessage:
        if (e.xclient.message_type == b.wm_protocols && Atom(e.xclient.data.l[0]) == b.wm_delete_window)
            b.closed = true;
        break;
    default: break;
    }
}

// ----------------------------------------------------------------------------
// The game's window while the box is up: disabled, as a window under a
// modal box is. It keeps its picture (repaints still reach the hook) and
// takes a close request for later; what is typed or clicked on it is
// dropped. Pointer moves stay queued: afterwards they bring the hover up to
// date with where the pointer is then.
void serve_game_window(Box& b) {
    SdlState& s = sdl_state();
    if (!s.video_ready) return;
    sdl_serve_window_requests();
    // A press on the game's window is someone looking for the box.
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONDOWN) > 0) {
        XRaiseWindow(b.display, b.window);
        XFlush(b.display);
    }
    SDL_FlushEvents(SDL_KEYDOWN, SDL_KEYMAPCHANGED);
    SDL_FlushEvents(SDL_MOUSEBUTTONDOWN, SDL_MOUSEWHEEL);
}

// Sleeps until either connection has something to read.
void wait_for_events(Box& b) {
    SdlState& s = sdl_state();
    Display* game = s.video_ready ? s.x_display : nullptr;
    if (XEventsQueued(b.display, QueuedAlready) > 0 || (game && XEventsQueued(game, QueuedAlready) > 0)) return;
    XFlush(b.display);
    pollfd fds[2] = {{ConnectionNumber(b.display), POLLIN, 0}, {game ? ConnectionNumber(game) : -1, POLLIN, 0}};
    poll(fds, game ? 2 : 1, WAIT_SLICE_MS);
}

// An error that comes once the box is up (a picture the server would not
// take) is said once, with the words, and the box stays to be answered.
void run_box(Box& b, const char* caption, const char* text) {
    bool said = false;
    while (!b.closed) {
        if (!said && box_error()[0] != 0) {
            say_instead(caption, text, box_error());
            said = true;
        }
        while (!b.closed && XPending(b.display) > 0) {
            XEvent e;
            XNextEvent(b.display, &e);
            handle_box_event(b, e);
        }
        if (b.closed) break;
        box_belongs_to_game_once_placed(b);
        serve_game_window(b);
        wait_for_events(b);
    }
}

// Keyboard focus goes back where it was, if the box still holds it (or
// lost it to the root when it closed); a window manager that has moved it
// elsewhere meanwhile is left alone.
void give_focus_back(Display* d, ::Window earlier, int earlier_revert, ::Window box) {
    ::Window now = 0;
    int revert = 0;
    XGetInputFocus(d, &now, &revert);
    if (earlier != None && (now == box || now == None || now == PointerRoot || now == DefaultRootWindow(d)))
        XSetInputFocus(d, earlier, earlier_revert, CurrentTime);
}

}  // namespace

void sdl_message_box(const char* caption, const char* text) {
    SdlState& s = sdl_state();
    caption = caption != nullptr ? caption : "";
    text = text != nullptr ? text : "";
    // A repaint already due (the window's first, when the box comes at
    // start-up) is served first, so that the window shows its picture
    // behind the box as the box appears.
    if (s.window) {
        XSync(s.x_display, False);
        sdl_serve_window_requests();
    }
    Box box;
    if (const char* why = open_box(box, caption, text)) {
        // No box: the words still reach whoever runs us.
        say_instead(caption, text, why);
        return;
    }
    // Without any font the box can say nothing; standard error says it.
    if (!box.picture.has_font) say_instead(caption, text, nullptr);
    ::Window earlier_focus = 0;
    int earlier_revert = RevertToParent;
    XGetInputFocus(box.display, &earlier_focus, &earlier_revert);
    run_box(box, caption, text);
    XUnmapWindow(box.display, box.window);
    give_focus_back(box.display, earlier_focus, earlier_revert, box.window);
    XSync(box.display, False);
    close_box(box);
    // What was typed or clicked on the game's window since the last look is
    // dropped too; pointer moves stay, as above.
    if (s.video_ready) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_KEYDOWN, SDL_KEYMAPCHANGED);
        SDL_FlushEvents(SDL_MOUSEBUTTONDOWN, SDL_MOUSEWHEEL);
        // A dropped press opens no double click with the next one.
        s.click_open = false;
    }
}
