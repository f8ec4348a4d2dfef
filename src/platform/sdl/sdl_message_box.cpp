// The modal message box: caption, text, one OK button, no icon.
//
// The box is a plain X window of the game's own, drawn with the game's own
// text (FreeType through fontconfig): it needs neither the server's core
// fonts nor a locale, it lives and dies with the process (no helper process
// is left on the screen when the game is killed), and it is placed over
// the game's window, not wherever a toolkit guesses.
//
// It has an X connection of its own, so that SDL never sees its events and
// its loop can wait on both connections: the box's for its own events,
// SDL's to keep serving the game's window behind it.
#include <X11/Xatom.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/message_box_picture.h"
#include "platform/sdl/sdl_state.h"
#include "platform/sdl/x11_pixels.h"
#include "platform/window.h"

namespace {

constexpr long BOX_EVENTS = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            LeaveWindowMask | StructureNotifyMask;
// The longest the loop sleeps without looking at both connections again.
constexpr int WAIT_SLICE_MS = 100;
// How long a window manager may take to say how wide its frame is.
constexpr int FRAME_EXTENTS_WAIT_MS = 500;
constexpr int WAIT_STEP_MS = 10;
// _MOTIF_WM_HINTS: only moving and closing, a border, a title and a menu.
constexpr long MWM_HINTS_FUNCTIONS = 1, MWM_HINTS_DECORATIONS = 2;
constexpr long MWM_FUNC_MOVE = 4, MWM_FUNC_CLOSE = 32;
constexpr long MWM_DECOR_BORDER = 2, MWM_DECOR_TITLE = 8, MWM_DECOR_MENU = 16;

struct Box {
    Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr;
    MessageBoxPicture picture;
    OkLook look = OkLook::Rest;
    bool armed = false;  // button 1 went down on "OK" and is still down
    bool closed = false;
    Atom wm_protocols = 0, wm_delete_window = 0;
};

// ----------------------------------------------------------------------------
// Errors on the box's connection end neither the game nor the box. A focus
// change can fail for reasons of the window manager's (a window it has just
// taken away): nothing is lost. Any other error is the box failing to make,
// describe or draw itself; the first one is kept, to be said once.

Display* box_display = nullptr;
XErrorHandler earlier_handler = nullptr;
char box_error[160] = "";
bool box_unmade = false;  // its window or its drawing context could not be made

int on_x_error(Display* display, XErrorEvent* error) {
    if (display != box_display) return earlier_handler != nullptr ? earlier_handler(display, error) : 0;
    if (error->request_code == X_SetInputFocus) return 0;
    if (error->request_code == X_CreateWindow || error->request_code == X_CreateGC) box_unmade = true;
    if (box_error[0] != 0) return 0;
    char text[100] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::snprintf(box_error, sizeof box_error, "X error %s on request %d", text, int(error->request_code));
    return 0;
}

// The words on standard error, when the box cannot show them; `why` in
// brackets when there is more to say than that.
void say_instead(const char* caption, const char* text, const char* why) {
    if (why != nullptr && why[0] != 0)
        std::fprintf(stderr, "%s: %s (the box could not show this: %s)\n", caption, text, why);
    else
        std::fprintf(stderr, "%s: %s\n", caption, text);
}

// ----------------------------------------------------------------------------
// The window

Atom atom(Display* d, const char* name) { return XInternAtom(d, name, False); }

// WM_NAME is Latin-1 by definition; a character outside it shows as '?'.
// Window managers that read _NET_WM_NAME get the UTF-8 itself.
std::string latin1_of(const char* utf8) {
    std::string out;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(utf8); *c != 0; ++c) {
        if (*c < 0x80) {
            out += char(*c);
        } else if ((*c == 0xC2 || *c == 0xC3) && (c[1] & 0xC0) == 0x80) {
            out += char(((*c & 0x03) << 6) | (c[1] & 0x3F));
            ++c;
        } else if ((*c & 0xC0) != 0x80) {
            out += '?';  // its continuation bytes are skipped as they come
        }
    }
    return out;
}

// The window manager's frame around the box, if there is a window manager
// that says: asked before the box is shown, so that the box can be placed
// frame and all. Without a window manager the box has no frame.
struct FrameExtents {
    long left = 0, right = 0, top = 0, bottom = 0;
};

bool window_manager_running(Display* d) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(d, DefaultRootWindow(d), atom(d, "_NET_SUPPORTING_WM_CHECK"), 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
                       data != nullptr && count == 1;
    if (data != nullptr) XFree(data);
    return found;
}

FrameExtents frame_extents(Box& b) {
    Display* d = b.display;
    FrameExtents frame;
    if (!window_manager_running(d)) return frame;
    const Atom extents = atom(d, "_NET_FRAME_EXTENTS");
    XSelectInput(d, b.window, BOX_EVENTS | PropertyChangeMask);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = b.window;
    request.xclient.message_type = atom(d, "_NET_REQUEST_FRAME_EXTENTS");
    request.xclient.format = 32;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XFlush(d);
    // A window manager that does not answer leaves the frame unknown: the
    // box is then placed as if it had none.
    for (int waited = 0; waited < FRAME_EXTENTS_WAIT_MS; waited += WAIT_STEP_MS) {
        XEvent e;
        if (XCheckTypedWindowEvent(d, b.window, PropertyNotify, &e) && e.xproperty.atom == extents) break;
        pollfd fd = {ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, WAIT_STEP_MS);
    }
    XSelectInput(d, b.window, BOX_EVENTS);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, b.window, extents, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && format == 32 && count == 4) {
        const auto* sides = reinterpret_cast<const long*>(data);  // Xlib hands 32-bit items over as longs
        frame = {sides[0], sides[1], sides[2], sides[3]};
    }
    if (data != nullptr) XFree(data);
    return frame;
}

// The box's frame centred over the game's window (the primary monitor
// without one), then pulled wholly onto the monitor that holds the most of
// the game; returns the frame's top-left corner, where the box is asked to
// go.
void place_box(Display* d, ::Window game, int width, int height, int* x, int* y) {
    const std::vector<ScreenArea> monitors = x11_monitors(d, DefaultScreen(d));
    ScreenArea monitor = monitors.front();
    int centre_x = monitor.x + monitor.width / 2, centre_y = monitor.y + monitor.height / 2;
    XWindowAttributes attributes{};
    int game_x = 0, game_y = 0;
    ::Window child = 0;
    if (game != 0 && XGetWindowAttributes(d, game, &attributes) &&
        XTranslateCoordinates(d, game, DefaultRootWindow(d), 0, 0, &game_x, &game_y, &child)) {
        centre_x = game_x + attributes.width / 2;
        centre_y = game_y + attributes.height / 2;
        monitor = x11_monitor_of(monitors, ScreenArea{game_x, game_y, attributes.width, attributes.height});
    }
    *x = std::clamp(centre_x - width / 2, monitor.x, monitor.x + std::max(0, monitor.width - width));
    *y = std::clamp(centre_y - height / 2, monitor.y, monitor.y + std::max(0, monitor.height - height));
}

// A fixed size at a place of its own. The place is that of the frame's
// top-left corner (the default gravity), which is what window managers put
// there; the box has no frame without one.
void place_and_size(Box& b, ::Window game) {
    const FrameExtents frame = frame_extents(b);
    int x = 0, y = 0;
    place_box(b.display, game, b.picture.width + int(frame.left + frame.right),
              b.picture.height + int(frame.top + frame.bottom), &x, &y);
    XMoveWindow(b.display, b.window, x, y);
    XSizeHints size{};
    size.flags = USPosition | PPosition | PMinSize | PMaxSize;
    size.x = x;
    size.y = y;
    size.min_width = size.max_width = b.picture.width;
    size.min_height = size.max_height = b.picture.height;
    XSetWMNormalHints(b.display, b.window, &size);
}

void describe_box(Box& b, ::Window game, const char* caption) {
    Display* d = b.display;
    const std::string latin1 = latin1_of(caption);
    XTextProperty name{};
    name.value = reinterpret_cast<unsigned char*>(const_cast<char*>(latin1.c_str()));
    name.encoding = XA_STRING;
    name.format = 8;
    name.nitems = latin1.size();

    XWMHints hints{};
    hints.flags = InputHint | StateHint | (game != 0 ? WindowGroupHint : 0);
    hints.input = True;
    hints.initial_state = NormalState;
    hints.window_group = game;
    // The game's own class, so that desktops group the box with it.
    XClassHint game_class{};
    const bool has_class = game != 0 && XGetClassHint(d, game, &game_class);
    XClassHint box_class{};
    box_class.res_name = const_cast<char*>(has_class ? game_class.res_name : "colonnade4");
    box_class.res_class = const_cast<char*>(has_class ? game_class.res_class : "Colonnade4");
    XSetWMProperties(d, b.window, &name, &name, nullptr, 0, nullptr, &hints, &box_class);
    if (has_class) {
        XFree(game_class.res_name);
        XFree(game_class.res_class);
    }

    const Atom utf8 = atom(d, "UTF8_STRING");
    const auto* caption_bytes = reinterpret_cast<const unsigned char*>(caption);
    const int caption_length = int(std::strlen(caption));
    XChangeProperty(d, b.window, atom(d, "_NET_WM_NAME"), utf8, 8, PropModeReplace, caption_bytes, caption_length);
    XChangeProperty(d, b.window, atom(d, "_NET_WM_ICON_NAME"), utf8, 8, PropModeReplace, caption_bytes, caption_length);
    // Owned by the game's window and modal over it: window managers keep it
    // above the game and centre it there.
    if (game != 0) XSetTransientForHint(d, b.window, game);
    const long type = long(atom(d, "_NET_WM_WINDOW_TYPE_DIALOG"));
    XChangeProperty(d, b.window, atom(d, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    const long state = long(atom(d, "_NET_WM_STATE_MODAL"));
    XChangeProperty(d, b.window, atom(d, "_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&state), 1);
    const long motif[5] = {MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS, MWM_FUNC_MOVE | MWM_FUNC_CLOSE,
                           MWM_DECOR_BORDER | MWM_DECOR_TITLE | MWM_DECOR_MENU, 0, 0};
    const Atom motif_hints = atom(d, "_MOTIF_WM_HINTS");
    XChangeProperty(d, b.window, motif_hints, motif_hints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
    const long pid = long(getpid());
    XChangeProperty(d, b.window, atom(d, "_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    b.wm_protocols = atom(d, "WM_PROTOCOLS");
    b.wm_delete_window = atom(d, "WM_DELETE_WINDOW");
    XSetWMProtocols(d, b.window, &b.wm_delete_window, 1);
}

void show_picture(Box& b) {
    if (b.image == nullptr) return;
    paint_message_box(&b.picture, b.look);
    const VisualPixels to_visual(*DefaultVisual(b.display, DefaultScreen(b.display)));
    for (int y = 0; y < b.picture.height; ++y)
        for (int x = 0; x < b.picture.width; ++x)
            XPutPixel(b.image, x, y, to_visual(b.picture.pixels[size_t(y) * size_t(b.picture.width) + size_t(x)]));
    XPutImage(b.display, b.window, b.gc, b.image, 0, 0, 0, 0, unsigned(b.picture.width), unsigned(b.picture.height));
}

void close_box(Box& b) {
    if (b.image != nullptr) XDestroyImage(b.image);  // frees its pixels too
    if (b.gc != nullptr) XFreeGC(b.display, b.gc);
    if (b.window != 0) XDestroyWindow(b.display, b.window);
    XCloseDisplay(b.display);
    XSetErrorHandler(earlier_handler);
    box_display = nullptr;
    b = Box{};
}

// The name of the game's display with the game window's own screen as its
// default screen: the box opens on the game's screen, whichever screen
// DISPLAY names.
std::string game_screen_display(const SdlState& s) {
    std::string name = DisplayString(s.x_display);
    XWindowAttributes attributes{};
    const size_t colon = name.rfind(':');
    if (s.x_window == 0 || colon == std::string::npos || !XGetWindowAttributes(s.x_display, s.x_window, &attributes))
        return name;
    return name.substr(0, name.find('.', colon)) + "." + std::to_string(XScreenNumberOfScreen(attributes.screen));
}

// Makes the box, and shows it only once all it needs is there: nullptr
// then, else why it cannot be shown ("" without a display to show it on).
const char* open_box(Box& b, const char* caption, const char* text) {
    SdlState& s = sdl_state();
    b.display = XOpenDisplay(s.x_display != nullptr ? game_screen_display(s).c_str() : nullptr);
    if (b.display == nullptr) return "";
    box_display = b.display;
    box_error[0] = 0;
    box_unmade = false;
    earlier_handler = XSetErrorHandler(on_x_error);
    Display* d = b.display;
    const int screen = DefaultScreen(d);
    // The picture is written as colour masks; a display whose pixels are
    // palette indices would show it blank.
    const Visual* visual = DefaultVisual(d, screen);
    if (visual->c_class != TrueColor && visual->c_class != DirectColor) {
        close_box(b);
        return "the display has no true colours";
    }
    b.picture = lay_out_message_box(text, s.window != nullptr ? s.scale : 1);

    XSetWindowAttributes attributes{};
    // No background: the first Expose paints the whole picture, with no
    // flash of another colour before it.
    attributes.background_pixmap = None;
    attributes.event_mask = BOX_EVENTS;
    b.window = XCreateWindow(d, DefaultRootWindow(d), 0, 0, unsigned(b.picture.width), unsigned(b.picture.height), 0,
                             CopyFromParent, InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    describe_box(b, s.x_window, caption);
    place_and_size(b, s.x_window);
    b.gc = XCreateGC(d, b.window, 0, nullptr);
    const int depth = DefaultDepth(d, screen);
    char* data = static_cast<char*>(std::calloc(size_t(b.picture.width) * size_t(b.picture.height), 4));
    if (data != nullptr)
        b.image = XCreateImage(d, DefaultVisual(d, screen), unsigned(depth), ZPixmap, 0, data,
                               unsigned(b.picture.width), unsigned(b.picture.height), 32, 0);
    if (b.image == nullptr) std::free(data);
    XSync(d, False);
    // Without its window, its drawing context or its image the box would
    // show nothing; a hint that did not take is said once the box is up.
    if (b.image == nullptr || box_unmade) {
        static char why[sizeof box_error];
        std::snprintf(why, sizeof why, "%s", box_unmade ? box_error : "no image for its picture");
        close_box(b);
        return why;
    }
    XMapRaised(d, b.window);
    XFlush(d);
    return nullptr;
}

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
        if (!said && box_error[0] != 0) {
            say_instead(caption, text, box_error);
            said = true;
        }
        while (!b.closed && XPending(b.display) > 0) {
            XEvent e;
            XNextEvent(b.display, &e);
            handle_box_event(b, e);
        }
        if (b.closed) break;
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
