// The built-in synthesiser heard through a real sound server: a private
// PulseAudio server, and a private PipeWire with its PulseAudio service, each
// with a null sink whose monitor is recorded. What the
// recording holds is what a player hears; the sink's state is what the
// sound card does.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
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
// device notices, stays silent meanwhile, and the next note after the
// server's return is heard (once the half second between two looks for
// the server has passed).
TEST_P(FluidPulse, ANoteAfterTheServerCameBackIsHeard) {
    ASSERT_TRUE(pulse->start_recording());
    ASSERT_TRUE(open_loaded());
    strike();
    ASSERT_TRUE(device->streaming());
    pulse->kill_server();
    EXPECT_TRUE(tend_until([&] { return !device->streaming(); })) << "the lost stream went unnoticed";
    strike();  // no server: silence, and no failure
    const auto missed = Clock::now();
    EXPECT_TRUE(device->tend());
    ASSERT_TRUE(pulse->restart());
    // The device looks for the server at most twice a second.
    std::this_thread::sleep_until(missed + Millis{500});
    ASSERT_TRUE(pulse->start_recording());
    strike();
    // Polled: reaching the server anew may take its time on a slow machine.
    e2e::wait_until([&] { return !e2e::onsets_after_silence(pulse->recording(), 100 * FRAMES_PER_MS).empty(); },
                    Millis{10000}, Millis{50});
    const size_t heard_at = pulse->recorded_frames();
    ASSERT_TRUE(e2e::wait_until([&] { return pulse->recorded_frames() > heard_at + 300 * FRAMES_PER_MS; }));
    EXPECT_EQ(e2e::onsets_after_silence(pulse->recording(), 100 * FRAMES_PER_MS).size(), 1u)
        << "the note after the server's return was not heard once";
}

INSTANTIATE_TEST_SUITE_P(Servers, FluidPulse, ::testing::Values(e2e::ServerKind::pulseaudio, e2e::ServerKind::pipewire),
                         [](const auto& info) { return std::string(e2e::server_name(info.param)); });

// SDL's crash needs PulseAudio's own server.
class FluidPulseWithoutSink : public FluidPulse {
    e2e::ServerKind server() const override { return e2e::ServerKind::pulseaudio; }
    bool with_sink() const override { return false; }
};

// SDL's sound system dies starting on a server with no sink at all; the
// device must not die with it: it cannot be opened, and says so.
TEST_F(FluidPulseWithoutSink, CannotBeOpenedAndLivesOn) {
    EXPECT_FALSE(device->open());
    EXPECT_FALSE(device->send(NOTE_ON_74));
    EXPECT_FALSE(SDL_WasInit(SDL_INIT_AUDIO)) << "SDL's sound system was started where it crashes";
}

}  // namespace
