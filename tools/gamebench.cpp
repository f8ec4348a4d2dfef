// What a user feels of the whole game, measured on a private Xvfb:
// - start-up: from starting the process to the first complete picture of
//   the board in the window (median of repeated cold starts);
// - idle: the share of one core the game takes while the banner blinks;
// - memory: the resident size during play, soundfont included.
//
// Prints one line per figure:
//   startup_ms median X min X max X runs N
//   idle_cpu_percent X
//   rss_mb X peak_mb X
#include <signal.h>
#include <unistd.h>

#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "xvfb_session.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int SCREEN_W = 1280, SCREEN_H = 1024;
constexpr int WINDOW_X = SCREEN_W / 2 - 200, WINDOW_Y = SCREEN_H / 2 - 300;
// The flat board beside the message area, and the turn disc's centre.
constexpr int PROBE_X = 360, PROBE_Y = 225;
constexpr uint32_t PROBE_COLOUR = 0x29ABDB;  // (41, 171, 219)
constexpr uint32_t HUMAN_DISC_CENTRE = 0xFFD06C;
constexpr int STARTUP_RUNS = 15;
// Idle is measured once the last move's sound has died away (the
// synthesiser then rests), while the banner blinks.
constexpr auto SETTLE_AFTER_MOVE = std::chrono::seconds(6);
constexpr auto IDLE_WINDOW = std::chrono::seconds(10);

e2e::ChildProcess start_game(e2e::XvfbSession& x) {
    e2e::ChildProcess::Options options;
    options.set_env = {{"SDL_AUDIODRIVER", "dummy"}};
    return x.spawn({COLONNADE4_PATH}, options);
}

bool first_picture_shown(e2e::XvfbSession& x) {
    return x.pixel(WINDOW_X + PROBE_X, WINDOW_Y + PROBE_Y) == PROBE_COLOUR;
}

double cpu_seconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the command name, which ends with the last ')'.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::vector<std::string> fields{std::istream_iterator<std::string>(rest), {}};
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (std::stod(fields[11]) + std::stod(fields[12])) / ticks;  // utime + stime
}

double status_mb(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return -1;
}

}  // namespace

int main() {
    auto x = e2e::XvfbSession::start(SCREEN_W, SCREEN_H);
    if (!x) {
        std::fprintf(stderr, "gamebench: Xvfb could not be started\n");
        return 1;
    }

    std::vector<double> startup_ms;
    for (int run = 0; run < STARTUP_RUNS; ++run) {
        x->set_root_colour(0);
        const Clock::time_point t0 = Clock::now();
        e2e::ChildProcess game = start_game(*x);
        const bool shown = e2e::wait_until([&] { return first_picture_shown(*x); }, e2e::Millis{10000}, e2e::Millis{0});
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        game.kill();
        if (!shown) {
            std::fprintf(stderr, "gamebench: the game showed no picture\n");
            return 1;
        }
        startup_ms.push_back(ms);
        e2e::wait_until([&] { return !first_picture_shown(*x); });
    }
    std::sort(startup_ms.begin(), startup_ms.end());
    std::printf("startup_ms median %.1f min %.1f max %.1f runs %d\n", startup_ms[startup_ms.size() / 2],
                startup_ms.front(), startup_ms.back(), STARTUP_RUNS);

    // A game at "Moyen" with a few moves, then the banner blinking.
    e2e::ChildProcess game = start_game(*x);
    e2e::wait_until([&] { return first_picture_shown(*x); });
    x->move_pointer(WINDOW_X + 80, WINDOW_Y + 130);
    x->move_pointer(WINDOW_X + 81, WINDOW_Y + 131);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    x->click(WINDOW_X + 81, WINDOW_Y + 131);
    x->move_pointer(WINDOW_X + 200, WINDOW_Y + 20);
    for (e2e::KeySymbol key : {XK_1, XK_7, XK_2}) {
        e2e::wait_until([&] { return x->pixel(WINDOW_X + 50, WINDOW_Y + 225) == HUMAN_DISC_CENTRE; });
        x->tap_key(key);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    e2e::wait_until([&] { return x->pixel(WINDOW_X + 50, WINDOW_Y + 225) == HUMAN_DISC_CENTRE; });
    std::this_thread::sleep_for(SETTLE_AFTER_MOVE);

    const double cpu_before = cpu_seconds(game.pid());
    std::this_thread::sleep_for(IDLE_WINDOW);
    const double cpu_after = cpu_seconds(game.pid());
    std::printf("idle_cpu_percent %.2f\n",
                100.0 * (cpu_after - cpu_before) / std::chrono::duration<double>(IDLE_WINDOW).count());
    std::printf("rss_mb %.1f peak_mb %.1f\n", status_mb(game.pid(), "VmRSS"), status_mb(game.pid(), "VmHWM"));
    game.kill();
    return 0;
}
