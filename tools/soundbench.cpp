// How late the player hears the game's sounds: the built-in synthesiser
// plays a game's worth of sounds (a disc's click every half second to two
// seconds, the stream resting in the longer pauses, then the computer's
// winning tune) into each private sound server the machine has, and the
// delay from each note's sending to its sound in the sink's monitor is
// measured. Prints, per server, the median and the worst over the game.
// Midway the whole program stops for 0.3 s, as on a loaded machine: the
// notes after it must be as prompt as those before.
//
// The monitor is recorded by parec with a 5 ms latency: its file trails the
// sink by that much, which every figure includes alike.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "sound/fluid_device.h"
#include "sound/sound_system_probe.h"
#include "testing/pulse_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using e2e::Millis;

constexpr uint32_t PROGRAM_MARIMBA_ON_0 = 0x0CC0;
constexpr uint32_t NO_REVERB_ON_0 = 0x005BB0;
constexpr uint32_t NO_CHORUS_ON_0 = 0x005DB0;
constexpr uint32_t ALL_SOUND_OFF_ON_0 = 0x0078B0;
constexpr uint32_t NOTE_OFF_74 = 0x7F4A80;
constexpr uint32_t NOTE_ON_74 = 0x7F4A90;
constexpr int CLICKS = 21;  // a game's discs
constexpr int TUNE = 11;    // the computer's winning tune
constexpr double FRAMES_PER_MS = e2e::PULSE_RATE / 1000.0;

// The game's timer ticks every 50 ms, and the device is tended on each.
void tend_until(FluidDevice& device, Clock::time_point until) {
    while (Clock::now() < until) {
        device.tend();
        std::this_thread::sleep_for(std::min<Clock::duration>(Millis{10}, until - Clock::now()));
    }
}

// One note, cut after `ring` so that the next begins where sound rises;
// returns the monitor's frame when it was sent.
size_t strike(FluidDevice& device, const e2e::PulseServer& pulse, Millis ring) {
    const size_t sent_at = pulse.recorded_frames();
    device.send(NOTE_OFF_74);
    device.send(NOTE_ON_74);
    tend_until(device, Clock::now() + ring);
    device.send(ALL_SOUND_OFF_ON_0);
    return sent_at;
}

// SIGSTOP to the whole program, and SIGCONT from a process of its own.
void stall(Millis length) {
    const std::string resume =
        "sleep " + std::to_string(length.count() / 1000.0) + "; kill -CONT " + std::to_string(getpid());
    e2e::ChildProcess waker = e2e::ChildProcess::start({"sh", "-c", resume}, {});
    if (waker.started()) kill(getpid(), SIGSTOP);
    waker.wait_exit();
}

// The delays of one game, in milliseconds; empty when it could not be played.
std::vector<double> play_game(e2e::ServerKind kind) {
    const std::unique_ptr<e2e::PulseServer> pulse = e2e::PulseServer::start(true, kind);
    if (!pulse) {
        std::fprintf(stderr, "soundbench: %s\n", e2e::PulseServer::why_not().c_str());
        return {};
    }
    pulse->use_in_this_process();
    if (!pulse->start_recording()) return {};
    FluidDevice device(GM_SOUNDFONT_PATH);
    device.prepare();
    if (!device.open() || !device.wait_until_loaded()) return {};
    for (uint32_t word : {PROGRAM_MARIMBA_ON_0, NO_REVERB_ON_0, NO_CHORUS_ON_0})
        device.send(word);
    tend_until(device, Clock::now() + Millis{1000});
    std::mt19937 random(4);  // the same game every run
    std::vector<size_t> sent;
    for (int i = 0; i < CLICKS; ++i) {
        sent.push_back(strike(device, *pulse, Millis{100}));
        if (i == CLICKS / 3) stall(Millis{300});
        tend_until(device, Clock::now() + Millis{400 + random() % 1600});
    }
    for (int i = 0; i < TUNE; ++i) {
        sent.push_back(strike(device, *pulse, Millis{60}));
        tend_until(device, Clock::now() + Millis{140 - 10 * i});
    }
    const size_t until = pulse->recorded_frames() + size_t(500 * FRAMES_PER_MS);
    e2e::wait_until([&] { return pulse->recorded_frames() > until; }, Millis{10000});
    device.close();
    const std::vector<size_t> onsets =
        e2e::onsets_after_silence(pulse->recording(), size_t(20 * FRAMES_PER_MS), 600);
    std::vector<double> delays;
    for (size_t i = 0; i < sent.size(); ++i) {
        // The first sound to rise after the sending, before the next one.
        const size_t next = i + 1 < sent.size() ? sent[i + 1] : SIZE_MAX;
        const auto heard = std::lower_bound(onsets.begin(), onsets.end(), sent[i]);
        if (heard == onsets.end() || *heard >= next) {
            std::fprintf(stderr, "soundbench: %s: note %zu was not heard\n", e2e::server_name(kind), i);
            continue;
        }
        delays.push_back(double(*heard - sent[i]) / FRAMES_PER_MS);
    }
    return delays;
}

}  // namespace

int main() {
    // The device starts this program anew as its sound probe.
    if (sound_probe_requested()) run_sound_probe();
    unsetenv("SDL_AUDIODRIVER");
    for (e2e::ServerKind kind : {e2e::ServerKind::pulseaudio, e2e::ServerKind::pipewire}) {
        std::vector<double> delays = play_game(kind);
        if (delays.empty()) continue;
        std::sort(delays.begin(), delays.end());
        std::printf("%-10s note_delay_ms median %6.1f worst %6.1f   (%zu of %d notes heard)\n", e2e::server_name(kind),
                    delays[delays.size() / 2], delays.back(), delays.size(), CLICKS + TUNE);
    }
    return 0;
}
