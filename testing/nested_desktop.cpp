#include "testing/nested_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace e2e {

namespace {

bool root_has(Display* d, const char* property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, property, False), 0, 1, False,
                                          AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
                       data != nullptr && count > 0;
    if (data != nullptr) XFree(data);
    return found;
}

// A private runtime directory, as Wayland compositors want one: mode 0700.
std::string make_runtime_dir() {
    char name[] = "/tmp/c4-desktop-XXXXXX";
    if (mkdtemp(name) == nullptr) return {};
    chmod(name, 0700);
    return name;
}

// Beside a nested compositor's output: where the pointer leaves it.
constexpr int OUTSIDE_STRIP = 32;

}  // namespace

std::unique_ptr<NestedDesktop> NestedDesktop::start(Kind kind, int width, int height, std::string* why_not) {
    if (kind == Kind::Sway && geteuid() == 0) {
        *why_not = "sway refuses to run as root";
        return nullptr;
    }
    std::unique_ptr<NestedDesktop> desktop(new NestedDesktop);
    desktop->kind_ = kind;
    const bool nested = kind == Kind::Weston || kind == Kind::Sway;
    desktop->output_width_ = nested ? width : 0;
    desktop->screen_ = XvfbSession::start(nested ? width + OUTSIDE_STRIP : width, height);
    if (!desktop->screen_) {
        *why_not = "Xvfb could not be started";
        return nullptr;
    }
    desktop->screen_->set_root_colour(BACKDROP);
    switch (kind) {
    case Kind::NoWindowManager: return desktop;
    case Kind::Openbox:
    case Kind::OpenboxPicom:
        if (!desktop->start_window_manager(kind == Kind::OpenboxPicom, why_not)) return nullptr;
        return desktop;
    case Kind::Weston:
    case Kind::Sway:
        if (!desktop->start_compositor(why_not)) return nullptr;
        return desktop;
    }
    return nullptr;
}

bool NestedDesktop::start_window_manager(bool with_compositor, std::string* why_not) {
    Display* d = screen_->display();
    servers_.push_back(screen_->spawn({"openbox", "--sm-disable"}));
    // It names itself early in its start; the work area comes once it has
    // taken the screen over.
    if (!wait_until([&] { return root_has(d, "_NET_SUPPORTING_WM_CHECK") && root_has(d, "_NET_WORKAREA"); })) {
        *why_not = "openbox did not start";
        return false;
    }
    if (!with_compositor) return true;
    // A compositing manager draws the backdrop from the root's pixmap, which
    // desktops set for their wallpaper; without one it draws grey.
    const Pixmap backdrop = XCreatePixmap(d, DefaultRootWindow(d), 1, 1, unsigned(DefaultDepth(d, DefaultScreen(d))));
    const GC gc = XCreateGC(d, backdrop, 0, nullptr);
    XSetForeground(d, gc, BACKDROP);
    XFillRectangle(d, backdrop, gc, 0, 0, 1, 1);
    XFreeGC(d, gc);
    XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, "_XROOTPMAP_ID", False), XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&backdrop), 1);
    XSync(d, False);
    // Software drawing, no shadows, no fading: what it draws of a window is
    // the window.
    servers_.push_back(screen_->spawn({"picom", "--config", "/dev/null", "--backend", "xrender"}));
    const Atom manager = XInternAtom(d, "_NET_WM_CM_S0", False);
    if (!wait_until([&] { return XGetSelectionOwner(d, manager) != None; })) {
        *why_not = "picom did not start";
        return false;
    }
    return true;
}

bool NestedDesktop::start_compositor(std::string* why_not) {
    runtime_dir_ = make_runtime_dir();
    if (runtime_dir_.empty()) {
        *why_not = "no runtime directory";
        return false;
    }
    const std::string size_w = std::to_string(output_width_), size_h = std::to_string(screen_->height());
    ChildProcess::Options options;
    options.set_env = {{"XDG_RUNTIME_DIR", runtime_dir_}};
    options.unset_env = {"WAYLAND_DISPLAY", "WAYLAND_SOCKET"};
    options.merge_stderr = true;
    std::string listening;  // the words before the Xwayland display's name in the log
    if (kind_ == Kind::Weston) {
        // The backdrop in the shell's colour, no panel, no locking, no
        // animation: a window shows as it is, where it is.
        std::ofstream(runtime_dir_ + "/weston.ini")
            << "[core]\nidle-time=0\n[shell]\nbackground-color=0xff123456\npanel-position=none\nlocking=false\n"
               "animation=none\nstartup-animation=none\nclose-animation=none\nfocus-animation=none\n";
        servers_.push_back(
            screen_->spawn({"weston", "--backend=x11-backend.so", "--use-pixman", "--xwayland", "--width=" + size_w,
                            "--height=" + size_h, "--config=" + runtime_dir_ + "/weston.ini", "--socket=wayland-c4"},
                           options));
        listening = "xserver listening on display ";
    } else {
        // Sway names its Xwayland's display only to the programs it starts.
        std::ofstream(runtime_dir_ + "/sway.conf")
            << "output * bg #123456 solid_color\nxwayland force\nexec echo c4-xwayland-display $DISPLAY\n";
        options.set_env.emplace_back("WLR_BACKENDS", "x11");
        options.set_env.emplace_back("WLR_RENDERER", "pixman");
        options.set_env.emplace_back("WLR_X11_OUTPUTS", "1");
        servers_.push_back(screen_->spawn({"sway", "-d", "-c", runtime_dir_ + "/sway.conf"}, options));
        listening = "c4-xwayland-display :";
    }
    const std::optional<std::string> line = servers_.back().wait_for_line(
        [&](const std::string& l) { return l.find(listening) != std::string::npos; }, Millis{20000});
    if (!line) {
        *why_not = "the compositor did not start Xwayland: " + servers_.back().transcript();
        return false;
    }
    std::string name = line->substr(line->find(listening) + listening.size());
    if (name.empty() || name[0] != ':') name = ":" + name;
    name = name.substr(0, name.find_first_not_of(":0123456789"));
    xwayland_ = XvfbSession::attach(name, output_width_, screen_->height());
    if (!xwayland_) {
        *why_not = "Xwayland did not answer on " + name;
        return false;
    }
    // Its window manager is up once it names itself.
    if (!wait_until([&] { return root_has(xwayland_->display(), "_NET_SUPPORTING_WM_CHECK"); })) {
        *why_not = "Xwayland's window manager did not start";
        return false;
    }
    return true;
}

void NestedDesktop::move_pointer(int x, int y) {
    if (output_width_ > 0) screen_->move_pointer(output_width_ + OUTSIDE_STRIP / 2, y);
    screen_->move_pointer(x, y);
}

ChildProcess NestedDesktop::spawn(const std::vector<std::string>& argv, ChildProcess::Options options) {
    if (!runtime_dir_.empty()) options.set_env.emplace_back("XDG_RUNTIME_DIR", runtime_dir_);
    return programs().spawn(argv, options);
}

NestedDesktop::~NestedDesktop() {
    xwayland_.reset();
    // Asked to end first, so that a compositor takes its Xwayland and its
    // clients with it; killed if it does not.
    for (auto server = servers_.rbegin(); server != servers_.rend(); ++server) {
        if (server->running()) ::kill(server->pid(), SIGTERM);
        server->wait_exit(Millis{5000});
    }
    servers_.clear();
    if (!runtime_dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(runtime_dir_, ignored);
    }
}

}  // namespace e2e
