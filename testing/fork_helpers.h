// What the harness's two ways of starting a process share: ChildProcess
// (child_process.cpp) and the X server (xvfb_session.cpp).
#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "testing/child_process.h"

namespace e2e {

using Clock = std::chrono::steady_clock;

// What is left of a deadline, never less than nothing.
Millis remaining(Clock::time_point deadline);
// Waits until fd is readable or the deadline passes.
bool readable(int fd, Clock::time_point deadline);
// In a freshly forked child: die with the test process, so that a crashed
// test leaves no server or program behind.
bool tie_to_parent(pid_t parent);
// execvp's argument vector; the strings must outlive it.
std::vector<char*> c_argv(const std::vector<std::string>& argv);

}  // namespace e2e
