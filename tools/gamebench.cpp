// What a user feels of the whole game, measured on a private Xvfb side by
// side with the least an SDL2 program can do (colonnade4-bare-window):
//
// - first picture: from the exec to the first moment the screen shows the
//   complete first picture (a handful of its pixels, spread over the
//   window, all as they must be);
// - mapped: from the exec to the moment the window is mapped;
// - CPU spent by the process until its picture is shown;
// - resident memory when the picture is shown;
// - the first picture again beside two busy loops, one per core of a
//   two-core machine: what a player feels while a build or a browser runs;
// - after start-up (the game only): resident and peak memory once the
//   synthesiser has loaded and nothing has been played yet;
// - in play (the game only): resident and peak memory after a few moves,
//   and the share of a core taken while waiting for a level and while the
//   banner blinks.
//
// After one warm-up start of each, the two programs start in turn, so that
// whatever else the machine does weighs on both alike. The measurer stays
// out of the way: it learns of the window's mapping from the X server's
// events and looks at the screen only every POLL_PERIOD, one pixel at a
// time until the first one is right.
//
// Each figure is printed as game min / median / max, the same for the bare
// window, and the ratio of the medians.
//
// The game plays into SDL's dummy sound output, which starts at once. The
// games are played once more into a private PulseAudio server (a null sink
// suspended after one idle second, as a desktop's is): the idle figures
// then give the game's share, the server's share and whether the sink had
// suspended (1) or not (0) at the end of the idle window.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "art/artwork.h"
#include "art/shade_canvas.h"
#include "bare_window_picture.h"
#include "game/game_window.h"
#include "game/hot_zones.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "testing/headless_artwork.h"
#include "testing/process_status.h"
#include "testing/pulse_server.h"
#include "testing/xvfb_session.h"

namespace {

using Clock = std::chrono::steady_clock;
using e2e::Millis;

constexpr int SCREEN_W = 1280, SCREEN_H = 1024;
constexpr int WINDOW_X = SCREEN_W / 2 - WINDOW_WIDTH / 2, WINDOW_Y = SCREEN_H / 2 - WINDOW_HEIGHT / 2;
constexpr uint32_t ROOT_COLOUR = 0x204060;
constexpr int STARTS = 9;  // of each program, after the warm-up
constexpr int BUSY_LOOPS = 2;
constexpr int PLAYS = 3;
constexpr Millis POLL_PERIOD{2};
constexpr Millis START_DEADLINE{10000};
// Sample pixels of the first picture, spread over the window, none in the
// score texts (which depend on the installed fonts only in their looks).
constexpr int SAMPLES[][2] = {{360, 225}, {60, 95}, {200, 40}, {100, 300}, {300, 520}, {385, 400}, {30, 560}};

constexpr uint32_t HUMAN_DISC_CENTRE = 0xFFD06C;
// The synthesiser rests, and its stream closes, 1.5 s after its last voice
// has ended: about 6.5 s after the computer's click (the marimba's voice
// lasts about 5 s, its last seconds inaudible), 1.5 s after start-up (2 s
// more when a null sink takes the new stream only after its longest block).
// The idle windows begin after that, so that no thread ends inside them.
constexpr auto SETTLE_AFTER_MOVE = std::chrono::seconds(9);
constexpr auto SETTLE_AFTER_START = std::chrono::seconds(5);
constexpr auto IDLE_WINDOW = std::chrono::seconds(6);

struct Sample {
    int x, y;
    uint32_t rgb;
};

struct Program {
    const char* name;
    std::string path;
    std::vector<Sample> picture;
};

// The game's first picture is its backdrop; built here headless, exactly as
// the game builds it.
std::vector<Sample> game_picture() {
    e2e::build_headless_artwork();
    int w = 0, h = 0;
    const uint32_t* pixels = sprite_pixels(SPRITE_BACKDROP, &w, &h);
    std::vector<Sample> samples;
    for (const auto& s : SAMPLES)
        samples.push_back({s[0], s[1], pixels[s[1] * w + s[0]] & 0xFFFFFFu});
    e2e::release_headless_artwork();
    return samples;
}

std::vector<Sample> bare_picture() {
    std::vector<Sample> samples;
    for (const auto& s : SAMPLES)
        samples.push_back({s[0], s[1], bare_window::pixel(s[0], s[1])});
    return samples;
}

std::vector<std::string> proc_fields(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the command name, which ends with the last ')'.
    const size_t end = line.rfind(')');
    if (end == std::string::npos) return {};
    std::istringstream rest(line.substr(end + 2));
    return {std::istream_iterator<std::string>(rest), {}};
}

// CPU time of the whole process (every thread, ended ones included).
double cpu_ms(pid_t pid) {
    const std::vector<std::string> fields = proc_fields(pid);
    if (fields.size() < 13) return -1;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return 1000.0 * (std::stod(fields[11]) + std::stod(fields[12])) / ticks;  // utime + stime
}

// CPU time of the threads running now, to the nanosecond (the kernel's
// per-thread run time): for the idle figures, where the stat file's 10 ms
// ticks would be too coarse. Also gives the threads' ids.
double live_threads_cpu_ms(pid_t pid, std::vector<std::string>* threads = nullptr) {
    double ns = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double run_ns = 0;
        if (schedstat >> run_ns) ns += run_ns;
        if (threads) threads->push_back(task.path().filename());
    }
    if (threads) std::sort(threads->begin(), threads->end());
    return ns / 1e6;
}

double status_mb(pid_t pid, const char* key) {
    const double kb = process_status_value(pid, key);
    return kb < 0 ? -1 : kb / 1024.0;
}

double ms_since(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// With a sound server, the game plays into it; otherwise (test machines
// have no sound card) SDL's dummy output stands in for one, so the game
// opens and loads its synthesiser as on a desktop.
e2e::ChildProcess spawn(e2e::XvfbSession& x, const Program& program, const e2e::PulseServer* pulse = nullptr) {
    e2e::ChildProcess::Options options;
    if (pulse) {
        options.set_env = pulse->client_env();
        options.unset_env = {"SDL_AUDIODRIVER"};
    } else {
        options.set_env = {{"SDL_AUDIODRIVER", "dummy"}};
    }
    return x.spawn({program.path}, options);
}

bool shows(e2e::XvfbSession& x, const std::vector<Sample>& picture) {
    for (const Sample& s : picture)
        if (x.pixel(WINDOW_X + s.x, WINDOW_Y + s.y) != s.rgb) return false;
    return true;
}

struct Start {
    double picture_ms = 0, mapped_ms = 0, cpu_ms = 0, rss_mb = 0;
};

// One start of a program; it is left running for the caller.
std::optional<Start> measure_start(e2e::XvfbSession& x, const Program& program, e2e::ChildProcess& child,
                                   const e2e::PulseServer* pulse = nullptr) {
    Display* d = x.display();
    XSync(d, True);  // forget earlier windows' events
    Start out;
    bool mapped = false;
    const Clock::time_point t0 = Clock::now();
    child = spawn(x, program, pulse);
    if (!child.started()) return std::nullopt;
    while (ms_since(t0) < double(START_DEADLINE.count())) {
        while (XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == MapNotify && !mapped) {
                mapped = true;
                out.mapped_ms = ms_since(t0);
            }
        }
        const Sample& first = program.picture.front();
        if (mapped && x.pixel(WINDOW_X + first.x, WINDOW_Y + first.y) == first.rgb && shows(x, program.picture)) {
            out.picture_ms = ms_since(t0);
            out.cpu_ms = cpu_ms(child.pid());
            out.rss_mb = status_mb(child.pid(), "VmRSS");
            return out;
        }
        std::this_thread::sleep_for(POLL_PERIOD);
    }
    return std::nullopt;
}

void stop(e2e::XvfbSession& x, e2e::ChildProcess& child) {
    child.kill();
    e2e::wait_until([&] { return x.pixel(WINDOW_X + 200, WINDOW_Y + 300) == ROOT_COLOUR; });
}

// Shares of one core over the idle window, in per cent, of each process:
// from the run time of its threads, or, should a thread have started or
// ended meanwhile (a sound stream closing), from the process's own count.
std::vector<double> idle_percents(const std::vector<pid_t>& pids) {
    std::vector<double> before, before_ticks;
    std::vector<std::vector<std::string>> threads(pids.size());
    for (size_t i = 0; i < pids.size(); ++i) {
        before.push_back(live_threads_cpu_ms(pids[i], &threads[i]));
        before_ticks.push_back(cpu_ms(pids[i]));
    }
    std::this_thread::sleep_for(IDLE_WINDOW);
    const double window_ms = std::chrono::duration<double, std::milli>(IDLE_WINDOW).count();
    std::vector<double> out;
    for (size_t i = 0; i < pids.size(); ++i) {
        std::vector<std::string> now;
        const double after = live_threads_cpu_ms(pids[i], &now);
        out.push_back(100.0 * (now == threads[i] ? after - before[i] : cpu_ms(pids[i]) - before_ticks[i]) / window_ms);
    }
    return out;
}

struct Idle {
    double game = 0, server = 0, suspended = 0;
};

Idle idle(pid_t game, const e2e::PulseServer* pulse) {
    Idle out;
    if (!pulse) {
        out.game = idle_percents({game})[0];
        return out;
    }
    const std::vector<double> shares = idle_percents({game, pulse->server_pid()});
    out.game = shares[0];
    out.server = shares[1];
    out.suspended = pulse->sink_state() == "SUSPENDED" ? 1 : 0;
    return out;
}

struct Play {
    Idle before_level, blinking;
    double start_rss_mb = 0, start_peak_mb = 0;  // synthesiser loaded, nothing played
    double rss_mb = 0, peak_mb = 0;
};

// A game at "Moyen" with a few moves, then the banner blinking.
std::optional<Play> measure_play(e2e::XvfbSession& x, const Program& game, const e2e::PulseServer* pulse) {
    e2e::ChildProcess child;
    if (!measure_start(x, game, child, pulse)) return std::nullopt;
    Play out;
    std::this_thread::sleep_for(SETTLE_AFTER_START);
    out.start_rss_mb = status_mb(child.pid(), "VmRSS");
    out.start_peak_mb = status_mb(child.pid(), "VmHWM");
    out.before_level = idle(child.pid(), pulse);
    x.move_pointer(WINDOW_X + 80, WINDOW_Y + 130);
    x.move_pointer(WINDOW_X + 81, WINDOW_Y + 131);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    x.click(WINDOW_X + 81, WINDOW_Y + 131);
    x.move_pointer(WINDOW_X + 200, WINDOW_Y + 20);
    const auto turn_disc_shown = [&] { return x.pixel(WINDOW_X + 50, WINDOW_Y + 225) == HUMAN_DISC_CENTRE; };
    for (e2e::KeySymbol key : {XK_1, XK_7, XK_2}) {
        if (!e2e::wait_until(turn_disc_shown)) return std::nullopt;
        x.tap_key(key);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!e2e::wait_until(turn_disc_shown)) return std::nullopt;
    std::this_thread::sleep_for(SETTLE_AFTER_MOVE);
    out.blinking = idle(child.pid(), pulse);
    out.rss_mb = status_mb(child.pid(), "VmRSS");
    out.peak_mb = status_mb(child.pid(), "VmHWM");
    stop(x, child);
    return out;
}

// Processes that keep a core each busy until they are dropped.
std::vector<e2e::ChildProcess> start_busy_loops() {
    std::vector<e2e::ChildProcess> loops;
    for (int i = 0; i < BUSY_LOOPS; ++i)
        loops.push_back(e2e::ChildProcess::start({"sh", "-c", "while :; do :; done"}, {}));
    return loops;
}

// Both programs started in turn, STARTS times each after one warm-up
// start of each; false when one showed no picture.
bool measure_starts(e2e::XvfbSession& x, const Program* const programs[2], std::vector<Start> starts[2]) {
    for (int run = 0; run <= STARTS; ++run)
        for (int which = 0; which < 2; ++which) {
            e2e::ChildProcess child;
            const std::optional<Start> start = measure_start(x, *programs[which], child);
            stop(x, child);
            if (!start) {
                std::fprintf(stderr, "gamebench: %s showed no complete picture\n", programs[which]->name);
                return false;
            }
            if (run > 0) starts[which].push_back(*start);  // run 0 warms the caches up
        }
    return true;
}

struct Spread {
    double min = 0, median = 0, max = 0;
};

Spread spread(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2], v.back()};
}

void print(const char* name, const std::vector<double>& game, const std::vector<double>& bare) {
    const Spread g = spread(game);
    std::printf("%-24s game min %7.1f median %7.1f max %7.1f", name, g.min, g.median, g.max);
    if (!bare.empty()) {
        const Spread b = spread(bare);
        std::printf("   bare min %7.1f median %7.1f max %7.1f   ratio %.2f", b.min, b.median, b.max,
                    b.median > 0 ? g.median / b.median : 0.0);
    }
    std::printf("\n");
}

}  // namespace

int main() {
    const Program game{"game", COLONNADE4_PATH, game_picture()};
    const Program bare{"bare", BARE_WINDOW_PATH, bare_picture()};
    auto x = e2e::XvfbSession::start(SCREEN_W, SCREEN_H);
    if (!x) {
        std::fprintf(stderr, "gamebench: Xvfb could not be started\n");
        return 1;
    }
    x->set_root_colour(ROOT_COLOUR);
    for (const Program* p : {&game, &bare})
        for (const Sample& s : p->picture)
            if (s.rgb == ROOT_COLOUR || s.rgb == 0) {
                std::fprintf(stderr, "gamebench: %s's pixel (%d, %d) cannot tell its picture\n", p->name, s.x, s.y);
                return 1;
            }
    XSelectInput(x->display(), DefaultRootWindow(x->display()), SubstructureNotifyMask);

    const Program* const programs[2] = {&game, &bare};
    std::vector<Start> starts[2], busy_starts[2];
    if (!measure_starts(*x, programs, starts)) return 1;
    {
        const std::vector<e2e::ChildProcess> loops = start_busy_loops();
        if (!measure_starts(*x, programs, busy_starts)) return 1;
    }

    std::vector<Play> plays, pulse_plays;
    for (int run = 0; run < PLAYS; ++run) {
        const std::optional<Play> play = measure_play(*x, game, nullptr);
        if (!play) {
            std::fprintf(stderr, "gamebench: the game could not be played\n");
            return 1;
        }
        plays.push_back(*play);
    }
    const std::unique_ptr<e2e::PulseServer> pulse = e2e::PulseServer::start();
    if (!pulse) std::fprintf(stderr, "gamebench: %s\n", e2e::PulseServer::why_not().c_str());
    for (int run = 0; pulse && run < PLAYS; ++run) {
        const std::optional<Play> play = measure_play(*x, game, pulse.get());
        if (!play) {
            std::fprintf(stderr, "gamebench: the game could not be played with a sound server\n");
            return 1;
        }
        pulse_plays.push_back(*play);
    }

    const auto of = [](const std::vector<Start>& from, double Start::*field) {
        std::vector<double> v;
        for (const Start& s : from)
            v.push_back(s.*field);
        return v;
    };
    const auto of_starts = [&](int which, double Start::*field) { return of(starts[which], field); };
    const auto of_busy_starts = [&](int which, double Start::*field) { return of(busy_starts[which], field); };
    const auto of_plays = [&](double Play::*field) {
        std::vector<double> v;
        for (const Play& p : plays)
            v.push_back(p.*field);
        return v;
    };
    const auto of_idle = [&](const std::vector<Play>& from, Idle Play::*when, double Idle::*field) {
        std::vector<double> v;
        for (const Play& p : from)
            v.push_back(p.*when.*field);
        return v;
    };
    std::printf(
        "%d starts of each after a warm-up, %d games; times in ms (CPU until the picture in the kernel's "
        "%ld ms ticks), "
        "memory in MB, idle in %% of a core\n",
        STARTS, PLAYS, 1000 / sysconf(_SC_CLK_TCK));
    print("first_picture_ms", of_starts(0, &Start::picture_ms), of_starts(1, &Start::picture_ms));
    print("mapped_ms", of_starts(0, &Start::mapped_ms), of_starts(1, &Start::mapped_ms));
    print("cpu_until_picture_ms", of_starts(0, &Start::cpu_ms), of_starts(1, &Start::cpu_ms));
    print("rss_at_picture_mb", of_starts(0, &Start::rss_mb), of_starts(1, &Start::rss_mb));
    std::printf("beside %d busy loops:\n", BUSY_LOOPS);
    print("first_picture_ms", of_busy_starts(0, &Start::picture_ms), of_busy_starts(1, &Start::picture_ms));
    print("cpu_until_picture_ms", of_busy_starts(0, &Start::cpu_ms), of_busy_starts(1, &Start::cpu_ms));
    std::printf("the game alone:\n");
    print("rss_after_start_mb", of_plays(&Play::start_rss_mb), of_starts(1, &Start::rss_mb));
    print("peak_after_start_mb", of_plays(&Play::start_peak_mb), {});
    print("rss_in_play_mb", of_plays(&Play::rss_mb), of_starts(1, &Start::rss_mb));
    print("peak_in_play_mb", of_plays(&Play::peak_mb), {});
    print("idle_before_level_pct", of_idle(plays, &Play::before_level, &Idle::game), {});
    print("idle_blinking_pct", of_idle(plays, &Play::blinking, &Idle::game), {});
    if (pulse_plays.empty()) return 0;
    std::printf("with a PulseAudio server:\n");
    print("idle_before_level_pct", of_idle(pulse_plays, &Play::before_level, &Idle::game), {});
    print("server_before_level_pct", of_idle(pulse_plays, &Play::before_level, &Idle::server), {});
    print("sink_suspended_before", of_idle(pulse_plays, &Play::before_level, &Idle::suspended), {});
    print("idle_blinking_pct", of_idle(pulse_plays, &Play::blinking, &Idle::game), {});
    print("server_blinking_pct", of_idle(pulse_plays, &Play::blinking, &Idle::server), {});
    print("sink_suspended_blinking", of_idle(pulse_plays, &Play::blinking, &Idle::suspended), {});
    return 0;
}
