// Programs started by the tests: fork and exec, output read line by line
// with a deadline, and the kill that no test can forget.
#include "testing/child_process.h"

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

#include "testing/fork_helpers.h"

namespace e2e {

Millis remaining(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
    return left.count() > 0 ? left : Millis{0};
}

bool readable(int fd, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, int(remaining(deadline).count()));
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

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

bool wait_until(const std::function<bool()>& done, Millis within, Millis every) {
    const auto deadline = Clock::now() + within;
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::min(every, remaining(deadline) + Millis{1}));
    }
}

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

}  // namespace e2e
