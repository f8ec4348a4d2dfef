// The built-in synthesiser heard through a real sound server: a private
// PulseAudio server, and a private PipeWire with its PulseAudio service, each
// with a null sink whose monitor is recorded. What the
// recording holds is what a player hears; the sink's state is what the
// sound card does.
#include <SDL.h>
#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sound/fluid_device.h"
#include "testing/pulse_server.h"

namespace e2e {
void PrintTo(ServerKind kind, std::ostream* out) { *out << server_name(kind); }
}  // namespace e2e

namespace {

using Clock = std::chrono::steady_clock;
using e2e::Millis;

constexpr size_t FRAMES_PER_MS = e2e::PULSE_RATE / 1000;  // 44 (the rest is 0.1 ms in a second)

constexpr uint32_t PROGRAM_MARIMBA_ON_0 = 0x0CC0;
constexpr uint32_t NOTE_OFF_74 = 0x7F4A80;
constexpr uint32_t NOTE_ON_74 = 0x7F4A90;
constexpr uint32_t NO_REVERB_ON_0 = 0x005BB0;  // effect sends to 0: nothing
constexpr uint32_t NO_CHORUS_ON_0 = 0x005DB0;  // rings on after a note
constexpr uint32_t ALL_SOUND_OFF_ON_0 = 0x0078B0;

// The sound threads this thread starts from now on cannot raise their
// priority, as a desktop user's cannot: it gives up the right to, for
// itself and the threads it starts (programs it runs get it back, as
// root's do).
bool give_up_raising_priority() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    if (syscall(SYS_capget, &header, caps) != 0) return false;
    caps[0].effective &= ~(1u << CAP_SYS_NICE);
    caps[0].permitted &= ~(1u << CAP_SYS_NICE);
    return syscall(SYS_capset, &header, caps) == 0;
}

std::string frames_as_ms(long frames) { return std::to_string(double(frames) / FRAMES_PER_MS) + " ms"; }

class FluidPulse : public ::testing::TestWithParam<e2e::ServerKind> {
protected:
    void SetUp() override {
        pulse = e2e::PulseServer::start(with_sink(), server());
        if (!pulse) GTEST_SKIP() << e2e::PulseServer::why_not();
        pulse->use_in_this_process();
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        device = std::make_unique<FluidDevice>(GM_SOUNDFONT_PATH);
    }
    void TearDown() override {
        if (device) device->close();
    }
    virtual e2e::ServerKind server() const { return GetParam(); }
    virtual bool with_sink() const { return true; }

    bool open_loaded() {
        return device->open() && device->wait_until_loaded() && device->send(PROGRAM_MARIMBA_ON_0);
    }
    // The game's timer: tend every 10 ms until `done`.
    bool tend_until(const std::function<bool()>& done, Millis within = Millis{15000}) {
        return e2e::wait_until([&] { return device->tend() && done(); }, within);
    }
    void strike() {
        device->send(NOTE_OFF_74);
        device->send(NOTE_ON_74);
    }

    std::unique_ptr<e2e::PulseServer> pulse;
    std::unique_ptr<FluidDevice> device;
};

// Once the last note and its tail have died away the stream goes, the sink
// suspends, and the next note is heard at once all the same.
TEST_P(FluidPulse, TheStreamRestsOnceQuietAndTheSinkSuspendsThenTheNextNoteIsHeardAtOnce) {
    ASSERT_TRUE(pulse->start_recording());
    ASSERT_TRUE(open_loaded());
    // The stream as the desktop's mixers list it.
    const std::string streams = pulse->sink_inputs();
    pulse->stop_recording();
    EXPECT_NE(streams.find("application.name = \"Colonnade4\""), std::string::npos) << streams;
    EXPECT_NE(streams.find("application.icon_name = \"io.github.colonnade4.Colonnade4\""), std::string::npos)
        << streams;
    EXPECT_NE(streams.find("media.role = \"game\""), std::string::npos) << streams;

    for (const char* before : {"before any note", "after a note"}) {
        SCOPED_TRACE(before);
        EXPECT_TRUE(tend_until([&] { return pulse->sink_state() == "SUSPENDED"; }))
            << "the sink stays " << pulse->sink_state() << " while nothing sounds";
        EXPECT_EQ(pulse->sink_inputs(), "") << "a stream is left at rest";
        ASSERT_TRUE(pulse->start_recording());
        const size_t sent_at = pulse->recorded_frames();
        strike();
        ASSERT_TRUE(e2e::wait_until([&] { return pulse->recorded_frames() > sent_at + 300 * FRAMES_PER_MS; }));
        const std::vector<size_t> onsets = e2e::onsets_after_silence(pulse->recording(), 100 * FRAMES_PER_MS);
        ASSERT_EQ(onsets.size(), 1u) << "the note after the rest was not heard once";
        // The recorder's file trails the sink by its own latency; a note
        // that waited for the stream would come later still.
        EXPECT_LE(long(onsets[0]) - long(sent_at), long(100 * FRAMES_PER_MS))
            << "heard " << frames_as_ms(long(onsets[0]) - long(sent_at)) << " after it was sent";
        pulse->stop_recording();
        device->send(ALL_SOUND_OFF_ON_0);  // the marimba would ring for seconds
    }
}

// Notes sent at any moment sound exactly one buffer later, each at its own
// frame: the gaps between them in the recording are the gaps between the
// sends, to the millisecond, not whole buffers of 11.6 ms. The sends follow
// the computer's tune (200 ms, then 10 ms less each time); a busy machine
// may send a note late, so the gaps are those of the moments actually sent.
// Each note is cut before the next, so that each begins where sound rises.
TEST_P(FluidPulse, NotesSoundAtTheMomentsTheyWereSentToTheMillisecond) {
    ASSERT_TRUE(pulse->start_recording());
    ASSERT_TRUE(open_loaded());
    ASSERT_TRUE(device->send(NO_REVERB_ON_0));
    ASSERT_TRUE(device->send(NO_CHORUS_ON_0));
    std::vector<Clock::time_point> sent;
    auto at = Clock::now() + Millis{500};  // the stream settles into its pace
    for (int i = 0; i < 11; ++i) {
        std::this_thread::sleep_until(at);
        sent.push_back(Clock::now());
        strike();
        std::this_thread::sleep_until(at + Millis{60});
        device->send(ALL_SOUND_OFF_ON_0);
        at += Millis{200 - 10 * i};
    }
    const size_t until = pulse->recorded_frames() + 200 * FRAMES_PER_MS;
    ASSERT_TRUE(e2e::wait_until([&] { return pulse->recorded_frames() > until; }));
    // A cut note fades to a murmur, not to nothing: each note begins where
    // the sound rises well above that.
    const std::vector<size_t> onsets = e2e::onsets_after_silence(pulse->recording(), 20 * FRAMES_PER_MS, 600);
    ASSERT_EQ(onsets.size(), sent.size()) << "recording in " << pulse->keep_recording("tune");
    // Each note's lag behind its send, less the constant delay (taken
    // midway between the shortest and the longest lag).
    std::vector<double> lag_ms;
    for (size_t i = 0; i < sent.size(); ++i)
        lag_ms.push_back(double(onsets[i] - onsets[0]) * 1000.0 / e2e::PULSE_RATE -
                         std::chrono::duration<double, std::milli>(sent[i] - sent[0]).count());
    const auto [shortest, longest] = std::minmax_element(lag_ms.begin(), lag_ms.end());
    const double delay_ms = (*shortest + *longest) / 2;
    for (size_t i = 0; i < sent.size(); ++i)
        EXPECT_NEAR(lag_ms[i], delay_ms, 1.0) << "note " << i << " of the tune";
    if (HasFailure()) ADD_FAILURE() << "recording in " << pulse->keep_recording("tune");
}

// The server killed and started again, as updates and crashes do: the
// device notices within a few timer ticks (left to rest, the dead stream
// would hold the notes for seconds), stays silent meanwhile, looks for the
// server on the ticks that follow, and once it has found it, the next note
// is heard at once: a click some hundreds of milliseconds late is a fault.
TEST_P(FluidPulse, ANoteAfterTheServerCameBackIsHeardAtOnce) {
    constexpr long AT_ONCE_MS = 300;
    ASSERT_TRUE(pulse->start_recording());
    ASSERT_TRUE(open_loaded());
    strike();
    ASSERT_TRUE(device->streaming());
    pulse->kill_server();
    EXPECT_TRUE(tend_until([&] { return !device->streaming(); }, Millis{1000})) << "the lost stream went unnoticed";
    strike();  // no server: silence, and no failure
    EXPECT_TRUE(device->tend());
    ASSERT_TRUE(pulse->restart());
    ASSERT_TRUE(pulse->start_recording());
    ASSERT_TRUE(tend_until([&] { return device->streaming(); })) << "the server was not found again";
    const size_t sent_at = pulse->recorded_frames();
    strike();
    const size_t until = sent_at + 2 * AT_ONCE_MS * FRAMES_PER_MS;
    ASSERT_TRUE(e2e::wait_until([&] { return pulse->recorded_frames() > until; }));
    const std::vector<size_t> onsets = e2e::onsets_after_silence(pulse->recording(), 100 * FRAMES_PER_MS);
    ASSERT_EQ(onsets.size(), 1u) << "the note after the server's return was not heard once";
    EXPECT_LE(long(onsets[0]) - long(sent_at), AT_ONCE_MS * long(FRAMES_PER_MS))
        << "heard " << frames_as_ms(long(onsets[0]) - long(sent_at)) << " after it was sent";
}

// Two busy loops take both cores, and the game's sound thread runs at
// normal priority, as a desktop user's game does (SDL would raise it where
// it may): what the player hears must still be whole, a disc's click and
// the computer's tune with no gap of digital silence inside a note, and
// each must ring out to its end, the stream resting only after.
TEST_P(FluidPulse, UnderLoadNotesNeverBreakUpAndRingOutToTheirEnd) {
    constexpr uint32_t PROGRAM_VIBRAPHONE_ON_1 = 0x0BC1;
    ASSERT_TRUE(pulse->start_recording());
    ASSERT_TRUE(give_up_raising_priority());
    ASSERT_TRUE(open_loaded() && device->send(PROGRAM_VIBRAPHONE_ON_1));
    std::atomic<bool> busy{true};
    std::vector<std::thread> loops;
    for (int i = 0; i < 2; ++i)
        loops.emplace_back([&busy] {
            while (busy.load(std::memory_order_relaxed)) {}
        });
    // The click, then the tune once the click has rung out and rested, and
    // a moment more.
    strike();
    EXPECT_TRUE(tend_until([&] { return !device->streaming(); }));
    tend_until([] { return false; }, Millis{400});
    std::mt19937 random(11);
    for (int i = 0; i < 11; ++i) {
        device->send(0x7F0081 | (80 + random() % 21) << 8);
        device->send(0x7F0091 | (80 + random() % 21) << 8);
        tend_until([] { return false; }, Millis{200 - 10 * i});
    }
    EXPECT_TRUE(tend_until([&] { return !device->streaming(); }));
    busy = false;
    for (std::thread& loop : loops)
        loop.join();
    const std::vector<int16_t> heard = pulse->recording();
    const std::vector<e2e::Sound> sounds = e2e::sounds_in(heard, 300 * FRAMES_PER_MS);
    ASSERT_EQ(sounds.size(), 2u) << "the click and the tune; recording in " << pulse->keep_recording("load");
    for (const e2e::Sound& sound : sounds) {
        EXPECT_EQ(sound.gaps, 0u) << "gaps of silence inside notes; recording in " << pulse->keep_recording("load");
        // Cut off, the marimba would stop from a tenth of its loudness.
        EXPECT_LT(sound.end_peak, sound.peak / 200) << "a note stopped instead of fading out";
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, FluidPulse, ::testing::Values(e2e::ServerKind::pulseaudio, e2e::ServerKind::pipewire),
                         [](const auto& info) { return std::string(e2e::server_name(info.param)); });

// SDL's crash needs PulseAudio's own server.
class FluidPulseWithoutSink : public FluidPulse {
    e2e::ServerKind server() const override { return e2e::ServerKind::pulseaudio; }
    bool with_sink() const override { return false; }
};

// SDL's sound system dies starting on a server with no sink at all; the
// device must not die with it: it says, once, that it cannot sound (the
// probe that finds it out runs beside the game), and stays silent.
TEST_F(FluidPulseWithoutSink, CannotSoundSaysSoOnceAndLivesOn) {
    ASSERT_TRUE(device->open());
    EXPECT_TRUE(e2e::wait_until([&] { return !device->tend(); })) << "the failure went unreported";
    EXPECT_TRUE(device->tend()) << "reported twice";
    EXPECT_TRUE(device->send(NOTE_ON_74));
    EXPECT_FALSE(device->streaming());
    EXPECT_FALSE(SDL_WasInit(SDL_INIT_AUDIO)) << "SDL's sound system was started where it crashes";
}

}  // namespace
