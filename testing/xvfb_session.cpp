#include "testing/xvfb_session.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

Millis remaining(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
    return left.count() > 0 ? left : Millis{0};
}

// Waits until fd is readable or the deadline passes.
bool readable(int fd, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, int(remaining(deadline).count()));
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

// In a freshly forked child: die with the test process, so that a crashed
// test leaves no server or program behind.
bool tie_to_parent(pid_t parent) {
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return false;
    return getppid() == parent;
}

std::vector<char*> c_argv(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const std::string& a : argv)
        out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

// Windows come and go under our feet (a message box closing while we look
// for it); a request on a vanished window must not end the test process.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

}  // namespace

bool wait_until(const std::function<bool()>& done, Millis within, Millis every) {
    const auto deadline = Clock::now() + within;
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::min(every, remaining(deadline) + Millis{1}));
    }
}

bool Image::save_ppm(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (uint32_t p : pixels) {
        const unsigned char rgb[3] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)};
        std::fwrite(rgb, 1, 3, f);
    }
    return std::fclose(f) == 0;
}

// ---------------------------------------------------------------------------
// ChildProcess

ChildProcess::~ChildProcess() { kill(); }

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        kill();
        pid_ = std::exchange(other.pid_, -1);
        out_fd_ = std::exchange(other.out_fd_, -1);
        out_closed_ = other.out_closed_;
        status_ = other.status_;
        buffer_ = std::move(other.buffer_);
        lines_ = std::move(other.lines_);
    }
    return *this;
}

ChildProcess ChildProcess::start(const std::vector<std::string>& argv, const Options& options) {
    ChildProcess child;
    if (argv.empty()) return child;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return child;
    const std::vector<char*> args = c_argv(argv);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(out[0]);
        close(out[1]);
        return child;
    }
    if (pid == 0) {
        if (!tie_to_parent(parent)) _exit(127);
        if (options.own_session) setsid();
        dup2(out[1], STDOUT_FILENO);
        if (options.merge_stderr) dup2(out[1], STDERR_FILENO);
        for (const std::string& name : options.unset_env)
            unsetenv(name.c_str());
        for (const auto& [name, value] : options.set_env)
            setenv(name.c_str(), value.c_str(), 1);
        execvp(args[0], args.data());
        std::fprintf(stderr, "cannot run %s: %s\n", args[0], std::strerror(errno));
        _exit(127);
    }
    close(out[1]);
    child.pid_ = pid;
    child.out_fd_ = out[0];
    return child;
}

bool ChildProcess::fill_buffer(Millis within) {
    if (out_fd_ < 0 || out_closed_) return false;
    if (!readable(out_fd_, Clock::now() + within)) return false;
    char chunk[4096];
    const ssize_t n = read(out_fd_, chunk, sizeof chunk);
    if (n <= 0) {
        if (n < 0 && errno == EINTR) return true;
        out_closed_ = true;
        return false;
    }
    buffer_.append(chunk, size_t(n));
    return true;
}

std::optional<std::string> ChildProcess::read_line(Millis within) {
    const auto deadline = Clock::now() + within;
    for (;;) {
        const size_t end = buffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            lines_.push_back(line);
            return line;
        }
        if (!fill_buffer(remaining(deadline))) {
            if (out_closed_ && !buffer_.empty()) {
                std::string line = std::move(buffer_);
                buffer_.clear();
                lines_.push_back(line);
                return line;
            }
            return std::nullopt;
        }
    }
}

std::optional<std::string> ChildProcess::wait_for_line(const std::function<bool(const std::string&)>& wanted,
                                                       Millis within) {
    const auto deadline = Clock::now() + within;
    for (;;) {
        std::optional<std::string> line = read_line(remaining(deadline));
        if (!line) return std::nullopt;
        if (wanted(*line)) return line;
    }
}

std::optional<std::string> ChildProcess::wait_for_line_starting(const std::string& prefix, Millis within) {
    return wait_for_line([&](const std::string& line) { return line.rfind(prefix, 0) == 0; }, within);
}

std::string ChildProcess::transcript() const {
    std::string all;
    for (const std::string& line : lines_)
        all += line + "\n";
    return all;
}

bool ChildProcess::running() {
    if (pid_ <= 0 || status_) return false;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        status_ = status;
        return false;
    }
    return r == 0;
}

std::optional<int> ChildProcess::wait_exit(Millis within) {
    if (pid_ <= 0) return std::nullopt;
    wait_until([&] { return !running(); }, within, Millis{5});
    return status_;
}

void ChildProcess::stop() {
    if (pid_ > 0 && !status_) ::kill(pid_, SIGSTOP);
}

void ChildProcess::resume() {
    if (pid_ > 0 && !status_) ::kill(pid_, SIGCONT);
}

void ChildProcess::kill() {
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
        status_ = status;
    }
    if (out_fd_ >= 0) close(out_fd_);
    out_fd_ = -1;
}

// ---------------------------------------------------------------------------
// XvfbSession

std::unique_ptr<XvfbSession> XvfbSession::start(int width, int height, int depth,
                                                const std::vector<std::string>& server_args) {
    // Xvfb picks the first free display number itself and writes it to this
    // pipe once it accepts connections (-displayfd): no guessing, no race
    // with other servers starting at the same time.
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return nullptr;
    const std::string fd_text = std::to_string(ready[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    std::vector<std::string> argv = {"Xvfb", "-displayfd", fd_text,     "-screen", "0",
                                     screen, "-noreset",   "-nolisten", "tcp",     "-ac"};
    argv.insert(argv.end(), server_args.begin(), server_args.end());
    const std::vector<char*> args = c_argv(argv);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(ready[0]);
        close(ready[1]);
        return nullptr;
    }
    if (pid == 0) {
        if (!tie_to_parent(parent)) _exit(127);
        fcntl(ready[1], F_SETFD, 0);  // this one end is for Xvfb
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            dup2(quiet, STDOUT_FILENO);
            dup2(quiet, STDERR_FILENO);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    close(ready[1]);

    std::unique_ptr<XvfbSession> session(new XvfbSession);
    session->server_pid_ = pid;
    session->width_ = width;
    session->height_ = height;

    const auto deadline = Clock::now() + DEFAULT_DEADLINE;
    std::string number;
    while (number.find('\n') == std::string::npos && readable(ready[0], deadline)) {
        char chunk[32];
        const ssize_t n = read(ready[0], chunk, sizeof chunk);
        if (n <= 0) break;  // the server ended before it was ready
        number.append(chunk, size_t(n));
    }
    close(ready[0]);
    if (number.find('\n') == std::string::npos) return nullptr;  // the destructor stops it
    number.erase(number.find('\n'));
    session->display_name_ = ":" + number;

    XSetErrorHandler(ignore_x_error);
    wait_until([&] {
        session->display_ = XOpenDisplay(session->display_name_.c_str());
        return session->display_ != nullptr;
    });
    if (!session->display_) return nullptr;
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(session->display_, &event_base, &error_base, &major, &minor)) return nullptr;
    return session;
}

XvfbSession::~XvfbSession() {
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
    if (server_pid_ <= 0) return;
    ::kill(server_pid_, SIGTERM);
    int status = 0;
    const bool ended =
        wait_until([&] { return waitpid(server_pid_, &status, WNOHANG) == server_pid_; }, Millis{5000}, Millis{5});
    if (!ended) {
        ::kill(server_pid_, SIGKILL);
        waitpid(server_pid_, &status, 0);
    }
}

void XvfbSession::sync() { XSync(display_, False); }

ChildProcess XvfbSession::spawn(const std::vector<std::string>& argv, ChildProcess::Options options) {
    // Set first, so that a DISPLAY of the options (another screen of this
    // server) wins.
    options.set_env.insert(options.set_env.begin(), {"DISPLAY", display_name_});
    return ChildProcess::start(argv, options);
}

void XvfbSession::set_root_colour(uint32_t rgb) {
    const Window root = DefaultRootWindow(display_);
    // A 24-bit TrueColor screen stores 0x00RRGGBB as it is.
    XSetWindowBackground(display_, root, rgb & 0x00FFFFFFu);
    XClearWindow(display_, root);
    sync();
}

void XvfbSession::set_resources(const std::string& text) {
    XChangeProperty(display_, DefaultRootWindow(display_), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    sync();
}

Image XvfbSession::screenshot() { return screenshot(Rect{0, 0, width_, height_}); }

Image XvfbSession::screenshot(const Rect& area) {
    Image image;
    const int x0 = std::max(0, area.x), y0 = std::max(0, area.y);
    const int x1 = std::min(width_, area.x + area.width), y1 = std::min(height_, area.y + area.height);
    if (x1 <= x0 || y1 <= y0) return image;
    XImage* shot = XGetImage(display_, DefaultRootWindow(display_), x0, y0, unsigned(x1 - x0), unsigned(y1 - y0),
                             AllPlanes, ZPixmap);
    if (!shot) return image;
    image.x = x0;
    image.y = y0;
    image.width = x1 - x0;
    image.height = y1 - y0;
    image.pixels.resize(size_t(image.width) * size_t(image.height));
    struct Channel {
        int shift = 0;
        unsigned long bits = 0;
        explicit Channel(unsigned long mask) {
            if (mask == 0) return;
            while (((mask >> shift) & 1u) == 0)
                ++shift;
            bits = mask >> shift;
        }
        uint32_t of(unsigned long pixel) const { return bits ? uint32_t((pixel >> shift & bits) * 255u / bits) : 0u; }
    };
    const Channel red(shot->red_mask), green(shot->green_mask), blue(shot->blue_mask);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const unsigned long p = XGetPixel(shot, x, y);
            image.pixels[size_t(y) * size_t(image.width) + size_t(x)] =
                (red.of(p) << 16) | (green.of(p) << 8) | blue.of(p);
        }
    }
    XDestroyImage(shot);
    return image;
}

uint32_t XvfbSession::pixel(int x, int y) {
    const Image one = screenshot(Rect{x, y, 1, 1});
    return one.pixels.empty() ? 0u : one.pixels[0];
}

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
