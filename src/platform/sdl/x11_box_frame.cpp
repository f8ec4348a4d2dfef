// The window manager's frame around the box, if there is a window manager
// that says: asked before the box is shown, so that the box can be placed
// frame and all. Without a window manager the box has no frame.
#include <X11/Xatom.h>
#include <poll.h>

#include "platform/sdl/x11_box.h"
#include "platform/sdl/x11_window_manager.h"

namespace {

// How long a window manager may take to say how wide its frame is.
constexpr int FRAME_EXTENTS_WAIT_MS = 500;
constexpr int WAIT_STEP_MS = 10;

}  // namespace

FrameExtents frame_extents(const Box& b) {
    Display* d = b.display;
    FrameExtents frame;
    if (!window_manager_running(d)) return frame;
    const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
    XSelectInput(d, b.window, BOX_EVENTS | PropertyChangeMask);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = b.window;
    request.xclient.message_type = XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False);
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
