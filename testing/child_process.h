// Programs started by the tests, and the deadline every wait of the
// harness keeps.
//
//     e2e::ChildProcess tool = e2e::ChildProcess::start({"pactl", "info"}, {});
//     EXPECT_TRUE(tool.wait_for_line_starting("Server Name:"));
//     EXPECT_TRUE(e2e::wait_until([&] { return !tool.running(); }));
//
// Everything waits by polling with a deadline; nothing sleeps a fixed time.
// Every process is killed (by its pid) when its owner goes, also when a
// test fails half-way, and dies with the test process.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using Millis = std::chrono::milliseconds;
// Generous: a loaded two-core machine may be slow, never this slow.
constexpr Millis DEFAULT_DEADLINE{10000};

// Calls `done` every `every` until it returns true or `within` has passed;
// returns whether it became true.
bool wait_until(const std::function<bool()>& done, Millis within = DEFAULT_DEADLINE, Millis every = Millis{10});

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

}  // namespace e2e
