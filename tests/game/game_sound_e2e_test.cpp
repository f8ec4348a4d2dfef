// What the player hears of the real game: the game on a private Xvfb plays
// into a private sound server (PulseAudio, and PipeWire with its PulseAudio
// service), whose sink's monitor is recorded.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "testing/pulse_server.h"
#include "testing/xvfb_session.h"

namespace e2e {
void PrintTo(ServerKind kind, std::ostream* out) { *out << server_name(kind); }
}  // namespace e2e

namespace {

using e2e::Millis;

constexpr uint32_t HUMAN_DISC_CENTRE = 0xFFD06C;
constexpr uint32_t CPU_DISC_CENTRE = 0xFF6C6C;
constexpr size_t FRAMES_PER_MS = e2e::PULSE_RATE / 1000;

// Where notes start in a recording of several ringing at once: frames where
// the sound jumps well above all it was in the 10 ms before (an attack),
// at its first frame beyond that earlier peak.
std::vector<size_t> attacks(const std::vector<int16_t>& samples) {
    const size_t frames = samples.size() / 2, look_back = 10 * FRAMES_PER_MS, rise = 2 * FRAMES_PER_MS;
    std::vector<int> level(frames);
    for (size_t f = 0; f < frames; ++f)
        level[f] = std::max(std::abs(int(samples[2 * f])), std::abs(int(samples[2 * f + 1])));
    std::vector<size_t> found;
    for (size_t f = look_back; f + rise < frames; ++f) {
        const int before = *std::max_element(level.begin() + long(f - look_back), level.begin() + long(f));
        if (level[f] <= before) continue;
        const int peak = *std::max_element(level.begin() + long(f), level.begin() + long(f + rise));
        if (peak < 1000 || peak < 3 * before) continue;
        found.push_back(f);
        f += 40 * FRAMES_PER_MS;  // one attack, however it rings
    }
    return found;
}

class GameSound : public ::testing::TestWithParam<e2e::ServerKind> {
protected:
    void SetUp() override {
        pulse = e2e::PulseServer::start(true, GetParam());
        if (!pulse) GTEST_SKIP() << e2e::PulseServer::why_not();
        x = e2e::XvfbSession::start(1280, 1024);
        ASSERT_TRUE(x) << "Xvfb could not be started";
        e2e::ChildProcess::Options options;
        options.set_env = pulse->client_env();
        options.unset_env = {"SDL_AUDIODRIVER"};
        game = x->spawn({COLONNADE4_PATH}, options);
        ASSERT_TRUE(game.started());
        const auto id = x->wait_for_window("Colonnade4");
        ASSERT_TRUE(id) << "no game window";
        ASSERT_TRUE(e2e::wait_until([&] { return x->window_viewable(*id); }));
        window = x->window_geometry(*id).value_or(e2e::Rect{});
    }

    uint32_t pixel(int wx, int wy) { return x->pixel(window.x + wx, window.y + wy); }
    int discs(uint32_t centre) {
        int n = 0;
        for (int column = 0; column < 7; ++column)
            for (int row = 0; row < 6; ++row)
                n += pixel(50 + 50 * column, 275 + 50 * row) == centre;
        return n;
    }
    bool sink_suspends() {
        return e2e::wait_until([&] { return pulse->sink_state() == "SUSPENDED"; }, Millis{20000});
    }
    void start_moyen_game() {
        x->move_pointer(window.x + 80, window.y + 130);
        x->move_pointer(window.x + 81, window.y + 131);
        x->click(window.x + 81, window.y + 131);
    }
    // The human's disc into the column of this key, and the computer's
    // reply: both on the board, and the turn back to the human.
    bool play(unsigned long key, int human, int cpu) {
        x->tap_key(key);
        return e2e::wait_until(
            [&] {
                return pixel(50, 225) == HUMAN_DISC_CENTRE && discs(HUMAN_DISC_CENTRE) == human &&
                       discs(CPU_DISC_CENTRE) == cpu;
            },
            Millis{30000});
    }
    // Records until `clicks` are heard (a stream that starts anew may take
    // its time on a slow machine), then a while longer, so that one click
    // too many would be heard too. The clicks heard in all.
    size_t clicks_heard(size_t clicks) {
        e2e::wait_until([&] { return attacks(pulse->recording()).size() >= clicks; }, Millis{10000}, Millis{50});
        const size_t until = pulse->recorded_frames() + 300 * FRAMES_PER_MS;
        e2e::wait_until([&] { return pulse->recorded_frames() > until; });
        return attacks(pulse->recording()).size();
    }

    std::unique_ptr<e2e::PulseServer> pulse;
    std::unique_ptr<e2e::XvfbSession> x;
    e2e::ChildProcess game;
    e2e::Rect window;
};

// The sound card suspends while the game waits, every disc clicks, and
// after the sound server has been killed and started again the discs click
// again, the first as soon as the disc has fallen, with no box about sound.
// (The tunes' timing is the synthesiser's own, checked where notes can be
// told apart: tests/sound.)
TEST_P(GameSound, EveryDiscClicksTheCardRestsBetweenAndSoundComesBackAfterTheServer) {
    // The game opens its stream once its sound probe has passed, and rests
    // it; a note sent before would be dropped, not late, so the first game
    // waits for the stream to have been seen.
    ASSERT_TRUE(e2e::wait_until([&] { return !pulse->sink_inputs().empty(); }, Millis{20000}, Millis{20}))
        << "the game's stream never opened";
    EXPECT_TRUE(sink_suspends()) << "the sink stays " << pulse->sink_state() << " before any game";

    ASSERT_TRUE(pulse->start_recording());
    start_moyen_game();
    ASSERT_TRUE(e2e::wait_until([&] { return pixel(50, 225) == HUMAN_DISC_CENTRE; }));
    const int cpu_opened = discs(CPU_DISC_CENTRE);
    ASSERT_TRUE(play(XK_1, 1, cpu_opened + 1));
    ASSERT_TRUE(play(XK_7, 2, cpu_opened + 2));
    EXPECT_EQ(clicks_heard(size_t(4 + cpu_opened)), size_t(4 + cpu_opened))
        << "a click for every disc; recording in " << pulse->keep_recording("clicks");
    pulse->stop_recording();

    EXPECT_TRUE(sink_suspends()) << "the sink stays " << pulse->sink_state() << " between moves";

    ASSERT_TRUE(pulse->restart());
    ASSERT_TRUE(pulse->start_recording());
    const size_t key_at = pulse->recorded_frames();
    ASSERT_TRUE(play(XK_4, 3, cpu_opened + 3));
    EXPECT_EQ(clicks_heard(2), 2u)
        << "the discs after the server's return; recording in " << pulse->keep_recording("restart");
    // The disc falls in well under a second; its click follows at once.
    const std::vector<size_t> heard = attacks(pulse->recording());
    ASSERT_FALSE(heard.empty());
    EXPECT_LE(heard[0], key_at + 1500 * FRAMES_PER_MS) << "the first click after the server's return came late";
    EXPECT_FALSE(x->find_window("Problème")) << "a box about sound";
}

INSTANTIATE_TEST_SUITE_P(Servers, GameSound, ::testing::Values(e2e::ServerKind::pulseaudio, e2e::ServerKind::pipewire),
                         [](const auto& info) { return std::string(e2e::server_name(info.param)); });

}  // namespace
