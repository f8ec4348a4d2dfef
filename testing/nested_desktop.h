// Desktops for the real game to run on, each on a private Xvfb: none at
// all, an X window manager (openbox), the same with a compositing manager
// (picom), and Wayland compositors nested in the Xvfb as a window of their
// own, with software rendering, that run X programs through Xwayland
// (weston; sway, which refuses to run as root).
//
// The Xvfb is where the pictures show and where input goes (a nested
// compositor takes it through its own seat); the programs' display is the
// Xvfb itself or the compositor's Xwayland. The compositor's output covers
// the Xvfb from its top-left corner, so both share their coordinates; a
// strip of the Xvfb is left beside it, for the pointer to leave it by.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "testing/xvfb_session.h"

namespace e2e {

class NestedDesktop {
public:
    enum class Kind { NoWindowManager, Openbox, OpenboxPicom, Weston, Sway };

    // Nothing, and why in `why_not`, when the desktop could not be started
    // or this machine cannot run it.
    static std::unique_ptr<NestedDesktop> start(Kind kind, int width, int height, std::string* why_not);
    ~NestedDesktop();
    NestedDesktop(const NestedDesktop&) = delete;
    NestedDesktop& operator=(const NestedDesktop&) = delete;

    // Where the pictures show and input goes.
    XvfbSession& screen() { return *screen_; }
    // Where the programs' windows are, to be looked for and measured.
    XvfbSession& programs() { return xwayland_ ? *xwayland_ : *screen_; }
    // A program on the programs' display.
    ChildProcess spawn(const std::vector<std::string>& argv, ChildProcess::Options options = {});
    // What shows where no window is.
    static constexpr uint32_t BACKDROP = 0x123456;
    // Puts the pointer at (x, y) of the screen. A nested compositor takes
    // the pointer's travel, not its place, once the pointer is in its
    // output: the pointer leaves the output and comes back in there, where
    // the compositor takes its place again.
    void move_pointer(int x, int y);

private:
    NestedDesktop() = default;
    bool start_window_manager(bool with_compositor, std::string* why_not);
    bool start_compositor(std::string* why_not);

    Kind kind_ = Kind::NoWindowManager;
    int output_width_ = 0;  // a nested compositor's output; the screen is wider
    std::unique_ptr<XvfbSession> screen_;
    std::unique_ptr<XvfbSession> xwayland_;
    std::vector<ChildProcess> servers_;  // stopped in reverse order
    std::string runtime_dir_;            // the compositor's XDG_RUNTIME_DIR
};

}  // namespace e2e
