// What a desktop session sees of the programs run on its display, beyond
// their windows: whether its screen saver has come on, and which processes
// still run on the display.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

#include "testing/xvfb_session.h"

namespace e2e {

// The server's own screen saver: on after `seconds` without input, blanking.
void set_screen_saver_timeout(XvfbSession& x, int seconds);
// Whether the screen saver is on now (the MIT-SCREEN-SAVER extension's word).
bool screen_saver_on(XvfbSession& x);
// The processes whose environment names this display (DISPLAY=":N" or a
// screen of it): what was started on it and still runs, whoever started it.
std::vector<pid_t> processes_on_display(const std::string& display_name);
// A process's command line, spaces between its arguments, for messages.
std::string command_line(pid_t pid);

}  // namespace e2e
