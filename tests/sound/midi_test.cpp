// The MIDI layer: message words, the opening sequence and the two boxes.
#include <cstdint>
#include <vector>

#include "sound/midi.h"
#include "sound/tunes.h"
#include "sound_fixture.h"

namespace {

using Words = std::vector<uint32_t>;

// Every sound the game can make, in one run.
void play_everything() {
    play_disc_click();
    play_human_win_tune();
    play_disc_click();
    play_draw_tune();
    play_disc_click();
    play_cpu_win_tune();
}

constexpr uint32_t ALL_TUNES_MS = 600 + 1200 + 1650;

TEST_F(SoundTest, MessageWordsPackStatusLowAndBothDataBytes) {
    const struct {
        uint8_t status, low, data1, data2;
        uint32_t word;
    } cases[] = {
        {0x80, 0, 74, 127, 0x7F4A80},    {0x90, 0, 74, 127, 0x7F4A90},
        {0xC2, 0, 55, 0, 0x0037C2},      {0xC0, 0x01, 11, 0, 0x000BC1},  // low is ORed into the status byte
        {0xB0, 0, 0xFF, 0xFF, 0xFFFFB0},                                 // bytes go through whole; bits 24..31 stay 0
    };
    // midi_send does not look at the opened flag: nothing is open here.
    for (const auto& c : cases)
        midi_send(c.status, c.low, c.data1, c.data2);
    Words expected;
    for (const auto& c : cases)
        expected.push_back(c.word);
    EXPECT_EQ(recorder.delivered_words(), expected);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(SoundTest, StartUpOpensOnceThenChoosesTheThreeInstruments) {
    midi_prepare();
    midi_open();
    set_instruments();
    midi_open();  // already open: nothing more
    EXPECT_EQ(recorder.prepare_calls, 1);
    EXPECT_EQ(recorder.open_calls, 1);
    EXPECT_EQ(midi_state().opened, 1);
    EXPECT_EQ(recorder.delivered_words(), (Words{0x00C0, 0x0CC0, 0x0BC1, 0x37C2}));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(SoundTest, ADiscLandingSendsNoteOffThenNoteOnOfKey74OnChannel0) {
    midi_open();
    recorder.messages.clear();
    play_disc_click();
    EXPECT_EQ(recorder.delivered_words(), (Words{0x7F4A80, 0x7F4A90}));
}

TEST_F(SoundTest, ADeviceThatCannotBeOpenedCostsOneBoxForTheWholeRun) {
    for (bool no_device : {false, true}) {
        SCOPED_TRACE(no_device ? "no device at all" : "device refuses to open");
        headless_reset();
        init_platform(headless_backend());
        recorder = RecorderDevice{};
        recorder.fail_open = true;
        midi_use_device(no_device ? nullptr : &recorder);
        midi_prepare();
        midi_open();
        set_instruments();
        EXPECT_EQ(boxes(), std::vector<std::string>{OPEN_BOX});
        EXPECT_EQ(headless_log().message_boxes.at(0).at_us, 0u) << "the box belongs to start-up";
        EXPECT_EQ(midi_state().opened, 0);

        const uint32_t start = tick_count_ms();
        play_everything();
        // Silent, but the tunes keep their length.
        EXPECT_EQ(tick_count_ms() - start, ALL_TUNES_MS);
        EXPECT_TRUE(recorder.messages.empty());
        EXPECT_EQ(boxes().size(), 1u);
        EXPECT_EQ(recorder.open_calls, no_device ? 0 : 1);
    }
}

// The built-in synthesiser may learn only after open that it cannot sound
// (its library or its soundfont fails to load): the one box then, at the
// tick that learns it, and silence after it.
TEST_F(SoundTest, ADeviceThatFailsBehindItsOpeningCostsOneBoxThenSilence) {
    recorder.fail_at_tend = 2;
    midi_open();
    set_instruments();
    for (int tick = 0; tick < 5; ++tick) {
        SCOPED_TRACE(tick);
        midi_tend();
        EXPECT_EQ(boxes(), tick < 2 ? std::vector<std::string>{} : std::vector<std::string>{OPEN_BOX});
        EXPECT_EQ(midi_state().opened, tick < 2 ? 1 : 0);
    }
    EXPECT_EQ(recorder.tend_calls, 3) << "a failed device is left alone";
    recorder.messages.clear();
    play_everything();
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(boxes().size(), 1u);
}

TEST_F(SoundTest, EveryRefusedMessageShowsItsOwnBox) {
    const struct {
        const char* what;
        int fail_sends_from;
        size_t boxes_at_start_up;  // open's program change and the three instruments
        size_t boxes_for_a_click;  // note-off and note-on
        size_t boxes_for_the_human_tune;
    } cases[] = {
        {"every send refused", 0, 4, 2, 6},
        {"refused from the click's note-on", 5, 0, 1, 6},
        {"never refused", -1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        headless_reset();
        init_platform(headless_backend());
        recorder = RecorderDevice{};
        recorder.fail_sends_from = c.fail_sends_from;
        midi_use_device(&recorder);

        midi_open();
        set_instruments();
        EXPECT_EQ(midi_state().opened, 1) << "a refused message does not close the device";
        EXPECT_EQ(boxes().size(), c.boxes_at_start_up);
        play_disc_click();
        EXPECT_EQ(boxes().size(), c.boxes_at_start_up + c.boxes_for_a_click);
        play_human_win_tune();
        EXPECT_EQ(boxes().size(), c.boxes_at_start_up + c.boxes_for_a_click + c.boxes_for_the_human_tune);
        for (const std::string& box : boxes())
            EXPECT_EQ(box, SEND_BOX);
        // Refused or not, every message was offered, in order.
        EXPECT_EQ(recorder.messages.size(), 4u + 2u + 6u);
    }
}

TEST_F(SoundTest, ClosingReleasesTheDeviceAndClearsTheFlag) {
    midi_open();
    midi_close();
    EXPECT_EQ(recorder.close_calls, 1);
    EXPECT_EQ(midi_state().opened, 0);
    play_disc_click();
    EXPECT_EQ(recorder.messages.size(), 1u) << "only open's program change";
}

}  // namespace
