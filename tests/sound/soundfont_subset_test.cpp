// The soundfont cut down to the game's instruments, played by the real
// synthesiser beside the whole file: each note the game plays comes out
// the same, sample for sample, and sounds from its very first buffer.
#include "sound/soundfont_subset.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "sound/fluid_device.h"
#include "sound/fluid_library.h"
#include "sound/tunes.h"

namespace {

constexpr int SAMPLE_RATE = 44100;
constexpr int FRAMES = SAMPLE_RATE * 3 / 2;
constexpr int FIRST_BUFFER = 512;

// A synthesiser as the game sets it up, without an output: rendered on demand.
struct Synth {
    const FluidLibrary& fl = *fluid_library();
    fluid_settings_t* settings = fl.new_fluid_settings();
    fluid_synth_t* synth = nullptr;

    Synth(const std::string& path, int dynamic_samples) {
        fl.fluid_settings_setnum(settings, "synth.sample-rate", SAMPLE_RATE);
        fl.fluid_settings_setint(settings, "synth.dynamic-sample-loading", dynamic_samples);
        synth = fl.new_fluid_synth(settings);
        loaded = fl.fluid_synth_sfload(synth, path.c_str(), 1) != FLUID_FAILED;
    }
    ~Synth() {
        fl.delete_fluid_synth(synth);
        fl.delete_fluid_settings(settings);
    }
    std::vector<float> play(int channel, int program, int key) {
        fl.fluid_synth_program_change(synth, channel, program);
        fl.fluid_synth_noteon(synth, channel, key, 127);
        std::vector<float> left(FRAMES), right(FRAMES);
        fl.fluid_synth_write_float(synth, FRAMES, left.data(), 0, 1, right.data(), 0, 1);
        left.insert(left.end(), right.begin(), right.end());
        return left;
    }
    bool loaded = false;
};

TEST(SoundfontSubset, TheGamesNotesSoundAsFromTheWholeFileFromTheirFirstBuffer) {
    ASSERT_NE(fluid_library(), nullptr);
    const MemoryFile file(soundfont_subset(GM_SOUNDFONT_PATH, GAME_PROGRAMS));
    ASSERT_TRUE(file.made());
    // The whole file as FluidSynth reads it unless told otherwise: every
    // sample at once.
    Synth whole(GM_SOUNDFONT_PATH, 0), cut(file.path(), 0);
    ASSERT_TRUE(whole.loaded && cut.loaded);
    struct Note {
        int channel, program, key;
    };
    // The disc's click, the ends of the computer's tune, the fanfares, and a
    // low marimba note, whose sample plays at its own recorded pitch rather
    // than at a zone's.
    const Note notes[] = {{CHANNEL_DISC, PROGRAM_MARIMBA, 74},          {CHANNEL_CPU_TUNE, PROGRAM_VIBRAPHONE, 80},
                          {CHANNEL_CPU_TUNE, PROGRAM_VIBRAPHONE, 100},  {CHANNEL_FANFARE, PROGRAM_ORCHESTRA_HIT, 64},
                          {CHANNEL_FANFARE, PROGRAM_ORCHESTRA_HIT, 74}, {CHANNEL_DISC, PROGRAM_MARIMBA, 30}};
    for (const Note& n : notes) {
        SCOPED_TRACE(testing::Message() << "program " << n.program << ", key " << n.key);
        const std::vector<float> expected = whole.play(n.channel, n.program, n.key);
        const std::vector<float> heard = cut.play(n.channel, n.program, n.key);
        EXPECT_TRUE(expected == heard) << "the cut soundfont sounds otherwise";
        bool sounds = false;
        for (int i = 0; i < FIRST_BUFFER && !sounds; ++i)
            sounds = heard[size_t(i)] != 0.0f;
        EXPECT_TRUE(sounds) << "silent in its first buffer";
    }
}

TEST(SoundfontSubset, WhatIsNoSoundfontIsNotCut) {
    const std::string text = testing::TempDir() + "c4-subset-text";
    const std::string truncated = testing::TempDir() + "c4-subset-truncated";
    std::ofstream(text) << "not a soundfont\n";
    std::string head(4096, '\0');
    std::ifstream(GM_SOUNDFONT_PATH, std::ios::binary).read(head.data(), std::streamsize(head.size()));
    std::ofstream(truncated, std::ios::binary) << head;
    const uint8_t no_such_program[] = {200};
    const struct {
        std::string path;
        std::span<const uint8_t> programs;
    } cases[] = {{"/nonexistent/font.sf2", GAME_PROGRAMS},
                 {"/dev/null", GAME_PROGRAMS},
                 {text, GAME_PROGRAMS},
                 {truncated, GAME_PROGRAMS},
                 {GM_SOUNDFONT_PATH, no_such_program}};
    for (const auto& c : cases)
        EXPECT_TRUE(soundfont_subset(c.path, c.programs).empty()) << c.path;
    EXPECT_FALSE(MemoryFile("").made());
}

}  // namespace
