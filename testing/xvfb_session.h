// End-to-end test harness: a private X server, the programs under test
// running on it, their output read line by line, screenshots, and input
// sent the way a person sends it (XTEST).
//
//     auto x = e2e::XvfbSession::start();          // Xvfb on a free display
//     ASSERT_TRUE(x);
//     x->set_root_colour(0x123456);
//     e2e::ChildProcess game = x->spawn({COLONNADE4_PATH});
//     auto win = x->wait_for_window("Colonnade4");  // polls, 10 s by default
//     x->click(win_rect.x + 80, win_rect.y + 130);
//     EXPECT_TRUE(game.wait_for_line([](auto& l) { return l == "ready"; }));
//     EXPECT_TRUE(e2e::wait_until([&] { return x->pixel(500, 400) == 0xFF0000; }));
//
// Everything waits by polling with a deadline; nothing sleeps a fixed time.
// Every process the harness starts is killed (by its pid) when its owner
// goes, also when a test fails half-way, and dies with the test process.
//
// Colours are 0x00RRGGBB throughout. X11 headers stay out of this header
// (their macros clash with test frameworks); windows are plain ids.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct _XDisplay;

namespace e2e {

using Millis = std::chrono::milliseconds;
// Generous: a loaded two-core machine may be slow, never this slow.
constexpr Millis DEFAULT_DEADLINE{10000};

// Calls `done` every `every` until it returns true or `within` has passed;
// returns whether it became true.
bool wait_until(const std::function<bool()>& done, Millis within = DEFAULT_DEADLINE, Millis every = Millis{10});

using XWindowId = unsigned long;
using KeySymbol = unsigned long;  // an X keysym, e.g. XK_Escape from <X11/keysym.h>

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

// Part of the screen as it was shown.
struct Image {
    int x = 0, y = 0;  // where on the screen it was taken
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // rows of 0x00RRGGBB
    uint32_t at(int px, int py) const { return pixels[size_t(py) * size_t(width) + size_t(px)]; }
    // For failure reports: writes a binary PPM; false if it could not.
    bool save_ppm(const std::string& path) const;
};

// A program started by a test. Its standard output is read line by line;
// standard error goes where the test's goes unless merged into the lines.
class ChildProcess {
public:
    struct Options {
        std::vector<std::pair<std::string, std::string>> set_env;
        std::vector<std::string> unset_env;
        bool merge_stderr = false;
        // A session of its own, as a desktop's services have: where the
        // kernel groups processes by session, it then gets a share of the
        // processor of its own instead of sharing its caller's.
        bool own_session = false;
    };

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program (looked up in PATH when it has no slash).
    static ChildProcess start(const std::vector<std::string>& argv, const Options& options);

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line (without its newline); nothing when none came within the
    // deadline or the output ended.
    std::optional<std::string> read_line(Millis within = DEFAULT_DEADLINE);
    // Reads until a line satisfies `wanted` and returns it.
    std::optional<std::string> wait_for_line(const std::function<bool(const std::string&)>& wanted,
                                             Millis within = DEFAULT_DEADLINE);
    std::optional<std::string> wait_for_line_starting(const std::string& prefix, Millis within = DEFAULT_DEADLINE);
    // Every line read so far, in order, and the same joined for messages.
    const std::vector<std::string>& lines() const { return lines_; }
    std::string transcript() const;

    // The exit status as waitpid gives it, once the process has ended.
    std::optional<int> wait_exit(Millis within = DEFAULT_DEADLINE);
    bool running();
    // SIGSTOP and SIGCONT: a stopped program reads nothing, so input made
    // meanwhile waits for it exactly as it waits behind a long search.
    void stop();
    void resume();
    // SIGKILL to our own pid, then reaped. Harmless when already gone.
    void kill();

private:
    bool fill_buffer(Millis within);

    pid_t pid_ = -1;
    int out_fd_ = -1;
    bool out_closed_ = false;
    std::optional<int> status_;
    std::string buffer_;
    std::vector<std::string> lines_;
};

// A private Xvfb on a display number nobody else uses, with a connection of
// the harness's own to look at it and to send input.
class XvfbSession {
public:
    // Starts Xvfb (-noreset, one screen of width x height x depth, then any
    // further arguments, e.g. {"-fp", "built-ins"}) and waits until it
    // accepts connections. Nothing when it could not be started.
    static std::unique_ptr<XvfbSession> start(int width = 1280, int height = 1024, int depth = 24,
                                              const std::vector<std::string>& server_args = {});
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    const std::string& display_name() const { return display_name_; }  // ":N"
    _XDisplay* display() const { return display_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // A program with DISPLAY set to this server (screen 0 unless the
    // options name another, e.g. display_name() + ".1").
    ChildProcess spawn(const std::vector<std::string>& argv, ChildProcess::Options options = {});

    // The root window's background (what shows where no window is).
    void set_root_colour(uint32_t rgb);
    // The resource database programs read when they connect (the root
    // window's RESOURCE_MANAGER, as xrdb sets it), e.g. "Xft.dpi:\t192\n".
    void set_resources(const std::string& text);

    Image screenshot();
    Image screenshot(const Rect& area);  // clipped to the screen
    uint32_t pixel(int x, int y);

    // Input through XTEST, each call flushed to the server before it returns.
    void move_pointer(int x, int y);
    void press_button(int button = 1);
    void release_button(int button = 1);
    void click(int x, int y, int button = 1);
    void double_click(int x, int y);
    // Clicks of button 1, all sent in one batch, each at its screen point.
    // The server takes each `gap` after the one before (a few ms for no
    // gap, whatever load the machine is under). A click with `sent_to` is
    // made with XSendEvent to that window, as some tools make clicks: the
    // pointer still moves there, but its events carry no server time (0).
    struct Click {
        int x = 0, y = 0;
        Millis gap{0};
        XWindowId sent_to = 0;
    };
    void clicks(const std::vector<Click>& clicks);
    // A click where the pointer is, whose press the server takes `gap`
    // after the input sent before it: the events carry server times that far
    // apart, whenever the program under test gets to read them.
    void click_after(Millis gap, int button = 1);
    void key_down(KeySymbol key);
    void key_up(KeySymbol key);
    void tap_key(KeySymbol key);
    // Num Lock, locked or unlocked directly (no key press that could toggle
    // it the wrong way). False when the keyboard has no Num Lock modifier.
    bool set_num_lock(bool on);
    bool num_lock_on();
    // A key of the numeric keypad, 0 to 9, with Num Lock on as a person
    // typing digits on the keypad has it.
    void tap_keypad_digit(int digit);
    // Where the pointer is, on the root window.
    std::pair<int, int> pointer();
    // The pointer shape shown now: each distinct shape has its own number.
    unsigned long cursor_serial();

    // Top-level windows by title (_NET_WM_NAME or WM_NAME, exact match).
    std::optional<XWindowId> find_window(const std::string& title);
    std::optional<XWindowId> wait_for_window(const std::string& title, Millis within = DEFAULT_DEADLINE);
    bool window_exists(XWindowId window);
    bool window_viewable(XWindowId window);
    // The window's inside area on the root window.
    std::optional<Rect> window_geometry(XWindowId window);
    // The rectangles of the window's bounding shape, in window coordinates
    // (a single full rectangle for an unshaped window).
    std::vector<Rect> window_shape(XWindowId window);
    // A property of 32-bit items (CARDINAL and the like), e.g. "_NET_WM_ICON".
    std::vector<unsigned long> window_cardinals(XWindowId window, const std::string& property);
    void focus_window(XWindowId window);
    XWindowId input_focus();
    // What the server does when a window's picture is lost: its owner
    // gets an Expose for the whole of it.
    void expose(XWindowId window);
    // A window of this colour over `area` (override-redirect: no window
    // manager is asked, as for a tooltip or a menu), mapped until the screen
    // shows it, then taken away: what it hid must be drawn again by its
    // owners.
    void cover(const Rect& area, uint32_t rgb);
    // Moves a window the way a window manager would, without one.
    void move_window(XWindowId window, int x, int y);
    // The windows directly under the root, mapped or not.
    std::vector<XWindowId> top_level_windows();
    // An X atom's number, to compare with what window_cardinals reads.
    unsigned long atom(const std::string& name);
    // What a window manager sends when the user closes a window
    // (WM_PROTOCOLS / WM_DELETE_WINDOW).
    void request_close(XWindowId window);

private:
    XvfbSession() = default;
    void sync();

    static constexpr Millis KEY_GAP{5};

    pid_t server_pid_ = -1;
    std::chrono::steady_clock::time_point last_key_release_{};
    _XDisplay* display_ = nullptr;
    std::string display_name_;
    int width_ = 0, height_ = 0;
};

}  // namespace e2e
