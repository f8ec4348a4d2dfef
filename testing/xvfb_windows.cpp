// Windows on the server: found by title, measured, looked into, and
// handled the way a window manager or the server itself would.
#include "testing/xvfb_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>

namespace e2e {

namespace {

std::optional<std::string> window_title(Display* display, Window window) {
    const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        std::string title(reinterpret_cast<char*>(data), count);
        XFree(data);
        if (type == utf8) return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        std::string title(name);
        XFree(name);
        return title;
    }
    return std::nullopt;
}

// Depth-first over the window tree; a window manager's frames put client
// windows a level or two below the root.
std::optional<Window> find_titled(Display* display, Window under, const std::string& title, int depth) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, under, &root, &parent, &children, &count)) return std::nullopt;
    std::optional<Window> found;
    for (unsigned int i = 0; i < count && !found; ++i) {
        if (window_title(display, children[i]) == title) found = children[i];
    }
    for (unsigned int i = 0; i < count && !found && depth > 0; ++i)
        found = find_titled(display, children[i], title, depth - 1);
    if (children) XFree(children);
    return found;
}

}  // namespace

std::optional<XWindowId> XvfbSession::find_window(const std::string& title) {
    const std::optional<Window> w = find_titled(display_, DefaultRootWindow(display_), title, 2);
    if (!w) return std::nullopt;
    return XWindowId(*w);
}

std::optional<XWindowId> XvfbSession::wait_for_window(const std::string& title, Millis within) {
    std::optional<XWindowId> found;
    wait_until([&] { return (found = find_window(title)).has_value(); }, within);
    return found;
}

bool XvfbSession::window_exists(XWindowId window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display_, Window(window), &attributes) != 0;
}

bool XvfbSession::window_viewable(XWindowId window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display_, Window(window), &attributes) != 0 && attributes.map_state == IsViewable;
}

std::optional<Rect> XvfbSession::window_geometry(XWindowId window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, Window(window), &attributes)) return std::nullopt;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display_, Window(window), DefaultRootWindow(display_), 0, 0, &x, &y, &child))
        return std::nullopt;
    return Rect{x, y, attributes.width, attributes.height};
}

std::vector<Rect> XvfbSession::window_shape(XWindowId window) {
    std::vector<Rect> out;
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(display_, Window(window), ShapeBounding, &count, &ordering);
    for (int i = 0; i < count; ++i)
        out.push_back(Rect{rects[i].x, rects[i].y, rects[i].width, rects[i].height});
    if (rects) XFree(rects);
    return out;
}

std::vector<unsigned long> XvfbSession::window_cardinals(XWindowId window, const std::string& property) {
    std::vector<unsigned long> out;
    const Atom name = XInternAtom(display_, property.c_str(), False);
    long offset = 0;
    for (;;) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, Window(window), name, offset, 65536, False, AnyPropertyType, &type, &format,
                               &count, &after, &data) != Success)
            break;
        if (data && format == 32) {
            // Xlib hands 32-bit items over as longs.
            const auto* items = reinterpret_cast<const unsigned long*>(data);
            out.insert(out.end(), items, items + count);
        }
        if (data) XFree(data);
        if (format != 32 || after == 0) break;
        offset += long(count);
    }
    return out;
}

void XvfbSession::focus_window(XWindowId window) {
    XSetInputFocus(display_, Window(window), RevertToPointerRoot, CurrentTime);
    sync();
}

XWindowId XvfbSession::input_focus() {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return XWindowId(focus);
}

void XvfbSession::expose(XWindowId window) {
    XClearArea(display_, Window(window), 0, 0, 0, 0, True);
    sync();
}

void XvfbSession::cover(const Rect& area, uint32_t rgb) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = rgb & 0x00FFFFFFu;  // a 24-bit TrueColor screen, as set_root_colour
    const Window cover = XCreateWindow(display_, DefaultRootWindow(display_), area.x, area.y, unsigned(area.width),
                                       unsigned(area.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                       CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(display_, cover);
    sync();
    const int px = std::clamp(area.x + area.width / 2, 0, width_ - 1);
    const int py = std::clamp(area.y + area.height / 2, 0, height_ - 1);
    wait_until([&] { return pixel(px, py) == (rgb & 0x00FFFFFFu); });
    XUnmapWindow(display_, cover);
    XDestroyWindow(display_, cover);
    sync();
}

void XvfbSession::move_window(XWindowId window, int x, int y) {
    XMoveWindow(display_, Window(window), x, y);
    sync();
}

std::vector<XWindowId> XvfbSession::top_level_windows() {
    std::vector<XWindowId> out;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) return out;
    out.assign(children, children + count);
    if (children) XFree(children);
    return out;
}

unsigned long XvfbSession::atom(const std::string& name) { return XInternAtom(display_, name.c_str(), False); }

void XvfbSession::request_close(XWindowId window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = Window(window);
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, Window(window), False, NoEventMask, &event);
    sync();
}

}  // namespace e2e
