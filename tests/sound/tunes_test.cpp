// The end-of-game tunes: keys, channels, and the pauses on the virtual clock.
#include <cstdint>
#include <vector>

#include "platform/random.h"
#include "sound/tunes.h"
#include "sound_fixture.h"

namespace {

struct Note {
    int channel;
    int key;
    uint32_t at_ms;  // since the tune started
};

class TuneTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        midi_open();
        set_instruments();
        recorder.messages.clear();
        start_ms = tick_count_ms();
    }

    // The notes heard since the tune started, checking that each is a
    // note-off and a note-on of the same key, both at velocity 127, sent at
    // the same moment.
    std::vector<Note> notes() const {
        std::vector<Note> heard;
        const auto& m = recorder.messages;
        EXPECT_EQ(m.size() % 2, 0u);
        for (size_t i = 0; i + 1 < m.size(); i += 2) {
            const uint32_t off = m[i].word, on = m[i + 1].word;
            EXPECT_EQ(off & 0xF0, 0x80u) << std::hex << off;
            EXPECT_EQ(on & 0xF0, 0x90u) << std::hex << on;
            EXPECT_EQ(off ^ on, 0x10u) << "note-off and note-on differ beyond their status";
            EXPECT_EQ(on >> 16, 127u);
            EXPECT_EQ(m[i].time_ms, m[i + 1].time_ms);
            heard.push_back({int(on & 0x0F), int(on >> 8 & 0xFF), m[i + 1].time_ms - start_ms});
        }
        return heard;
    }

    uint32_t elapsed_ms() const { return tick_count_ms() - start_ms; }

    uint32_t start_ms = 0;
};

TEST_F(TuneTest, HumanWinIsThreeHitsOfKey74OnChannel2) {
    play_human_win_tune();
    const std::vector<Note> heard = notes();
    ASSERT_EQ(heard.size(), 3u);
    for (size_t i = 0; i < heard.size(); ++i) {
        EXPECT_EQ(heard[i].channel, 2);
        EXPECT_EQ(heard[i].key, 74);
        EXPECT_EQ(heard[i].at_ms, 200u * i);
    }
    EXPECT_EQ(elapsed_ms(), 600u);
    EXPECT_EQ(recorder.messages.front().word, 0x7F4A82u);
}

TEST_F(TuneTest, DrawClimbsFrom64To69OnChannel2) {
    play_draw_tune();
    const std::vector<Note> heard = notes();
    ASSERT_EQ(heard.size(), 6u);
    for (size_t i = 0; i < heard.size(); ++i) {
        EXPECT_EQ(heard[i].channel, 2);
        EXPECT_EQ(heard[i].key, 64 + int(i));
        EXPECT_EQ(heard[i].at_ms, 200u * i);
    }
    EXPECT_EQ(elapsed_ms(), 1200u);
}

TEST_F(TuneTest, ComputerWinIsElevenRandomKeysSpeedingUpOnChannel1) {
    constexpr uint32_t SEED = 20240607;
    seed_random(SEED);
    play_cpu_win_tune();
    const std::vector<Note> heard = notes();
    ASSERT_EQ(heard.size(), 11u);

    seed_random(SEED);
    uint32_t expected_at = 0;
    for (size_t k = 0; k < heard.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(heard[k].channel, 1);
        EXPECT_EQ(heard[k].key, 80 + random_upto(20));
        EXPECT_EQ(heard[k].at_ms, expected_at);
        expected_at += 200 - 10 * uint32_t(k);
    }
    EXPECT_EQ(elapsed_ms(), 1650u);
}

}  // namespace
