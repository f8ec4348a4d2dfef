// The private X server: started on a free display, stopped with its
// owner, and what is set on it for the programs under test.
#include "testing/xvfb_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testing/fork_helpers.h"

namespace e2e {

namespace {

// Windows come and go under our feet (a message box closing while we look
// for it); a request on a vanished window must not end the test process.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

}  // namespace

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

std::unique_ptr<XvfbSession> XvfbSession::attach(const std::string& display_name, int width, int height) {
    std::unique_ptr<XvfbSession> session(new XvfbSession);
    session->display_name_ = display_name;
    session->width_ = width;
    session->height_ = height;
    XSetErrorHandler(ignore_x_error);
    wait_until([&] { return (session->display_ = XOpenDisplay(display_name.c_str())) != nullptr; });
    if (!session->display_) return nullptr;
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

}  // namespace e2e
