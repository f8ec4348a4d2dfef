// The message box's window: a plain X window of the game's own, drawn with
// the game's own text (FreeType through fontconfig). It needs neither the
// server's core fonts nor a locale, it lives and dies with the process (no
// helper process is left on the screen when the game is killed), and it is
// placed over the game's window, not wherever a toolkit guesses.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/sdl/sdl_state.h"
#include "platform/sdl/x11_box.h"
#include "platform/sdl/x11_pixels.h"
#include "platform/sdl/x11_window_manager.h"

namespace {

// _MOTIF_WM_HINTS: only moving and closing, a border, a title and a menu.
constexpr long MWM_HINTS_FUNCTIONS = 1, MWM_HINTS_DECORATIONS = 2;
constexpr long MWM_FUNC_MOVE = 4, MWM_FUNC_CLOSE = 32;
constexpr long MWM_DECOR_BORDER = 2, MWM_DECOR_TITLE = 8, MWM_DECOR_MENU = 16;

// The longest the box waits to become the game's dialog for a window
// manager that does not say which window it made active.
constexpr long OWNER_WAIT_MS = 500;

Atom atom(Display* d, const char* name) { return XInternAtom(d, name, False); }

long monotonic_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return long(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

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
    // Owned by the game's window (once it is up: see
    // box_belongs_to_game_once_placed) and modal over it.
    b.owner = game;
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

}  // namespace

void box_mapped(Box& b) {
    b.awaiting_owner = true;
    b.mapped_at_ms = monotonic_ms();
    box_belongs_to_game_once_placed(b);
}

void box_belongs_to_game_once_placed(Box& b) {
    if (!b.awaiting_owner) return;
    Display* d = b.display;
    bool placed = !window_manager_running(d) || monotonic_ms() - b.mapped_at_ms >= OWNER_WAIT_MS;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (!placed &&
        XGetWindowProperty(d, DefaultRootWindow(d), atom(d, "_NET_ACTIVE_WINDOW"), 0, 1, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr && format == 32 && count == 1)
        placed = *reinterpret_cast<const long*>(data) == long(b.window);  // 32-bit items come as longs
    if (data != nullptr) XFree(data);
    if (!placed) return;
    if (b.owner != 0) XSetTransientForHint(d, b.window, b.owner);
    b.awaiting_owner = false;
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
    box_errors_release();
    b = Box{};
}

const char* open_box(Box& b, const char* caption, const char* text) {
    SdlState& s = sdl_state();
    b.display = XOpenDisplay(s.x_display != nullptr ? game_screen_display(s).c_str() : nullptr);
    if (b.display == nullptr) return "";
    box_errors_watch(b.display);
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
    // Made where it goes without a frame: window managers that keep a
    // window where it was made, whatever it asks for later (weston's), put
    // it there; the frame is made room for once its size is known.
    place_box(d, s.x_window, b.picture.width, b.picture.height, &b.x, &b.y);
    b.window = XCreateWindow(d, DefaultRootWindow(d), b.x, b.y, unsigned(b.picture.width), unsigned(b.picture.height),
                             0, CopyFromParent, InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    describe_box(b, s.x_window, caption);
    // The window manager's word on the active window wakes the box's loop.
    XSelectInput(d, DefaultRootWindow(d), PropertyChangeMask);
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
    if (b.image == nullptr || box_unmade()) {
        static char why[160];
        std::snprintf(why, sizeof why, "%s", box_unmade() ? box_error() : "no image for its picture");
        close_box(b);
        return why;
    }
    XMapRaised(d, b.window);
    XFlush(d);
    return nullptr;
}
