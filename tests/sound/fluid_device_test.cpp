// The built-in synthesiser, heard through SDL's disk audio driver: it writes
// the device's 16-bit stereo 44.1 kHz output to a file in real time, so the
// file's length is the audio clock and its samples are what the user hears.
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "sound/fluid_device.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int FRAMES_PER_MS = 44;     // 44.1 kHz, rounded down
constexpr uintmax_t FRAME_BYTES = 4;  // 16-bit stereo
constexpr int MAX_ONSET_MS = 30;      // from sending a note to hearing it
constexpr auto DEADLINE = std::chrono::seconds(10);

constexpr uint32_t PROGRAM_MARIMBA_ON_0 = 0x0CC0;
constexpr uint32_t NOTE_OFF_74 = 0x7F4A80;
constexpr uint32_t NOTE_ON_74 = 0x7F4A90;

std::string scratch_path(const std::string& name) {
    return (fs::temp_directory_path() / ("c4-" + std::to_string(getpid()) + "-" + name)).string();
}

void write_file(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string le32(uint32_t v) {
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}

// Routes the synthesiser's output into a file for the test's lifetime.
class DiskAudio {
public:
    DiskAudio() : path(scratch_path("audio.raw")) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    }
    ~DiskAudio() { fs::remove(path); }

    uintmax_t frames() const {
        std::error_code error;
        const uintmax_t bytes = fs::file_size(path, error);
        return error ? 0 : bytes / FRAME_BYTES;
    }

    // Polls until the file holds at least this many frames.
    bool wait_for_frames(uintmax_t wanted) const {
        const auto deadline = Clock::now() + DEADLINE;
        while (frames() < wanted) {
            if (Clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }

    // The left and right samples of every frame written so far.
    std::vector<int16_t> samples() const {
        std::ifstream in(path, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<int16_t> out(bytes.size() / 2);
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] = int16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
        }
        return out;
    }

    // Index of the first frame that is not digital silence, or -1.
    long first_sounding_frame() const {
        const std::vector<int16_t> s = samples();
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] != 0) return long(i / 2);
        }
        return -1;
    }

    const std::string path;
};

// Polls the device's clock until it moves past `frames`; returns when.
Clock::time_point wait_for_render_past(FluidDevice& device, uint64_t frames) {
    const auto deadline = Clock::now() + DEADLINE;
    while (device.frames_rendered() <= frames && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return Clock::now();
}

// The note is sent just after the output has taken a buffer, the worst
// moment: it must then wait for the whole next buffer. It has to start in
// that buffer, with nothing but silence before it, and that buffer has to
// come within 30 ms. A busy machine can hold up the output thread for a
// moment, so the best of a few tries is judged; a buffer too large for the
// 30 ms fails them all.
TEST(FluidDevice, ANoteIsHeardWithinThirtyMillisecondsAndNotBefore) {
    constexpr int ATTEMPTS = 5;
    constexpr long MAX_ONSET_FRAMES = MAX_ONSET_MS * FRAMES_PER_MS;
    auto best_render = std::chrono::milliseconds(1000);
    long best_onset = 1000 * FRAMES_PER_MS;  // frames of audio from sending the note to hearing it
    for (int attempt = 1; attempt <= ATTEMPTS &&
                          (best_render > std::chrono::milliseconds(MAX_ONSET_MS) || best_onset > MAX_ONSET_FRAMES);
         ++attempt) {
        SCOPED_TRACE(attempt);
        DiskAudio audio;
        FluidDevice device(GM_SOUNDFONT_PATH);
        device.prepare();
        ASSERT_TRUE(device.open());
        ASSERT_TRUE(device.wait_until_loaded());
        ASSERT_TRUE(device.send(PROGRAM_MARIMBA_ON_0));
        wait_for_render_past(device, 100 * FRAMES_PER_MS);

        wait_for_render_past(device, device.frames_rendered());
        const uint64_t sent_at = device.frames_rendered();
        const auto sent = Clock::now();
        ASSERT_TRUE(device.send(NOTE_OFF_74));
        ASSERT_TRUE(device.send(NOTE_ON_74));
        const auto rendered = wait_for_render_past(device, sent_at);
        ASSERT_TRUE(audio.wait_for_frames(sent_at + 200 * FRAMES_PER_MS));
        device.close();

        const long onset = audio.first_sounding_frame();
        ASSERT_GE(onset, 0) << "the note was never heard";
        EXPECT_GE(uint64_t(onset), sent_at) << "sound before the note was sent";
        best_onset = std::min(best_onset, onset - long(sent_at));
        best_render = std::min(best_render, std::chrono::duration_cast<std::chrono::milliseconds>(rendered - sent));
    }
    EXPECT_LE(best_onset, MAX_ONSET_FRAMES) << "at best the note came " << best_onset / FRAMES_PER_MS
                                            << " ms of audio after it was sent";
    EXPECT_LE(best_render.count(), MAX_ONSET_MS) << "the output takes too long to render a note";
}

// Once a short orchestra hit (about 1.2 s) and its tail have died away the
// synthesiser rests and the output is exact silence; the next note must
// still come through at once.
TEST(FluidDevice, ANoteAfterTheSynthesiserHasRestedIsHeardAtOnce) {
    constexpr uint32_t PROGRAM_HIT_ON_2 = 0x37C2, HIT_OFF_74 = 0x7F4A82, HIT_ON_74 = 0x7F4A92;
    constexpr uint64_t RESTED_BY_MS = 3200;
    DiskAudio audio;
    FluidDevice device(GM_SOUNDFONT_PATH);
    device.prepare();
    ASSERT_TRUE(device.open());
    ASSERT_TRUE(device.wait_until_loaded());
    ASSERT_TRUE(device.send(PROGRAM_HIT_ON_2));
    const uint64_t first_at = device.frames_rendered();
    ASSERT_TRUE(device.send(HIT_OFF_74));
    ASSERT_TRUE(device.send(HIT_ON_74));
    wait_for_render_past(device, first_at + RESTED_BY_MS * FRAMES_PER_MS);

    wait_for_render_past(device, device.frames_rendered());
    const uint64_t sent_at = device.frames_rendered();
    ASSERT_TRUE(device.send(HIT_OFF_74));
    ASSERT_TRUE(device.send(HIT_ON_74));
    ASSERT_TRUE(audio.wait_for_frames(sent_at + 200 * FRAMES_PER_MS));
    device.close();

    const std::vector<int16_t> s = audio.samples();
    ASSERT_GE(s.size(), 2 * sent_at);
    const uint64_t quiet_from = sent_at - 300 * FRAMES_PER_MS;
    for (uint64_t frame = quiet_from; frame < sent_at; ++frame) {
        ASSERT_EQ(s[2 * frame], 0) << "still sounding " << (sent_at - frame) / FRAMES_PER_MS << " ms before the note";
    }
    long onset = -1;
    for (uint64_t frame = sent_at; frame < s.size() / 2 && onset < 0; ++frame)
        if (s[2 * frame] != 0 || s[2 * frame + 1] != 0) onset = long(frame);
    ASSERT_GE(onset, 0) << "the note after the rest was never heard";
    EXPECT_LE(uint64_t(onset), sent_at + MAX_ONSET_MS * FRAMES_PER_MS);
}

TEST(FluidDevice, NotesSentBeforeTheSoundfontIsInAreHeardOnceItIs) {
    DiskAudio audio;
    FluidDevice device(GM_SOUNDFONT_PATH);
    ASSERT_TRUE(device.open());  // without prepare: the load starts now
    ASSERT_TRUE(device.send(PROGRAM_MARIMBA_ON_0));
    ASSERT_TRUE(device.send(NOTE_OFF_74));
    ASSERT_TRUE(device.send(NOTE_ON_74));
    if (device.loaded()) GTEST_SKIP() << "the soundfont loaded before the note was sent";
    ASSERT_TRUE(device.wait_until_loaded());
    ASSERT_TRUE(audio.wait_for_frames(audio.frames() + 200 * FRAMES_PER_MS));
    device.close();
    EXPECT_GE(audio.first_sounding_frame(), 0);
}

// The desktop's volume control lists the stream under the game's name and
// icon, with the role of a game's sounds: SDL's
// PulseAudio and PipeWire outputs read the hints when SDL's sound system
// starts, the PulseAudio library (under ALSA's plug-in too) reads the
// environment when it connects; the device sets both as it is made, before
// the game starts SDL. A user's own override is kept.
TEST(FluidDevice, TheStreamCarriesTheGamesName) {
    DiskAudio audio;
    unsetenv("PULSE_PROP_OVERRIDE");
    {
        FluidDevice device(GM_SOUNDFONT_PATH);
        const char* override_before_open = std::getenv("PULSE_PROP_OVERRIDE");
        ASSERT_NE(override_before_open, nullptr);
        EXPECT_STREQ(override_before_open,
                     "application.name='Colonnade4' application.icon_name='io.github.colonnade4.Colonnade4' "
                     "media.role='game'");
        ASSERT_FALSE(SDL_WasInit(SDL_INIT_AUDIO));
        EXPECT_STREQ(SDL_GetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME), "Colonnade4");
        EXPECT_STREQ(SDL_GetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME), "Colonnade4");
        ASSERT_TRUE(device.open());
    }
    setenv("PULSE_PROP_OVERRIDE", "application.name='Mine'", 1);
    FluidDevice device(GM_SOUNDFONT_PATH);
    EXPECT_STREQ(std::getenv("PULSE_PROP_OVERRIDE"), "application.name='Mine'");
    unsetenv("PULSE_PROP_OVERRIDE");
}

// A file that passes the quick check but that FluidSynth cannot read: open
// succeeds, the load fails behind it, the next tend reports it (once: the
// game shows its one box then), and the device stays open and silent.
TEST(FluidDevice, ABrokenSoundfontFoundLateIsReportedOnceAndLeavesTheDeviceSilent) {
    DiskAudio audio;
    const std::string body(64, 'x');
    const std::string broken = scratch_path("broken.sf2");
    write_file(broken, "RIFF" + le32(uint32_t(4 + body.size())) + "sfbk" + body);
    FluidDevice device(broken);
    ASSERT_TRUE(device.open());
    EXPECT_FALSE(device.wait_until_loaded());
    EXPECT_TRUE(device.send(PROGRAM_MARIMBA_ON_0));
    EXPECT_TRUE(device.send(NOTE_OFF_74));
    EXPECT_TRUE(device.send(NOTE_ON_74));
    ASSERT_TRUE(audio.wait_for_frames(audio.frames() + 200 * FRAMES_PER_MS));
    EXPECT_FALSE(device.tend()) << "the failed load went unreported";
    EXPECT_TRUE(device.tend()) << "reported twice";
    EXPECT_FALSE(device.streaming()) << "an output kept open for nothing";
    EXPECT_TRUE(device.send(NOTE_ON_74));
    device.close();
    fs::remove(broken);
    EXPECT_EQ(audio.first_sounding_frame(), -1);
}

TEST(FluidDevice, FilesThatAreNoSoundfontCannotBeOpened) {
    DiskAudio audio;
    const std::string riff_body = "sfbk" + std::string(8, '\0');
    const struct {
        const char* what;
        std::string bytes;  // the file's contents; missing when empty
    } cases[] = {
        {"missing file", ""},
        {"text file", "not a soundfont at all"},
        {"short header", "RIFF"},
        {"RIFF of another form", "RIFF" + le32(12) + "WAVE" + std::string(8, '\0')},
        {"RIFF chunk longer than the file", "RIFF" + le32(4096) + riff_body},
    };
    for (const auto& c : cases) {
        for (bool prepared : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (prepared ? ", prepared" : ", not prepared"));
            const std::string path = scratch_path("not-a-soundfont.sf2");
            if (!c.bytes.empty()) write_file(path, c.bytes);
            FluidDevice device(path);
            if (prepared) device.prepare();
            EXPECT_FALSE(device.open());
            EXPECT_FALSE(device.send(NOTE_ON_74));
            EXPECT_FALSE(device.wait_until_loaded());
            device.close();
            fs::remove(path);
        }
    }
    // Nothing was opened, so nothing was played.
    EXPECT_EQ(audio.frames(), 0u);
}

// Only a regular file can be a soundfont. A FIFO at the path, with nobody
// writing, would hold up a plain open for ever: the device must answer at
// once and stay closed. Should it hang, the test writes to the FIFO itself
// to let it go, and fails.
TEST(FluidDevice, PathsThatAreNoRegularFileCannotBeOpenedAndDoNotHang) {
    DiskAudio audio;
    const std::string fifo = scratch_path("fifo.sf2");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = scratch_path("folder.sf2");
    fs::create_directory(folder);
    for (const std::string& path : {fifo, folder, std::string("/dev/zero")}) {
        for (bool prepared : {false, true}) {
            SCOPED_TRACE(path + (prepared ? ", prepared" : ", not prepared"));
            FluidDevice device(path);
            auto opened = std::async(std::launch::async, [&device, prepared] {
                if (prepared) device.prepare();
                return device.open();
            });
            if (opened.wait_for(DEADLINE) != std::future_status::ready) {
                ADD_FAILURE() << "open still waits after " << DEADLINE.count() << " s";
                const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                if (writer >= 0) ::close(writer);
            }
            EXPECT_FALSE(opened.get());
            EXPECT_FALSE(device.send(NOTE_ON_74));
            EXPECT_FALSE(device.wait_until_loaded());
            device.close();
        }
    }
    fs::remove(fifo);
    fs::remove(folder);
    EXPECT_EQ(audio.frames(), 0u);
}

// The probe runs beside the game, which never waits for it. One that hangs
// holds up no move: the game's sends and timer ticks return at once, the
// notes sent meanwhile are dropped (they would sound late), and once the
// probe's deadline has passed the device says, once, that it cannot sound.
TEST(FluidDevice, AProbeThatHangsHoldsUpNoMove) {
    DiskAudio audio;
    const std::string hanging = scratch_path("hanging-probe");
    write_file(hanging, "#!/bin/sh\nexec sleep 60\n");
    fs::permissions(hanging, fs::perms::owner_all);
    FluidDevice device(GM_SOUNDFONT_PATH, hanging);
    device.prepare();
    ASSERT_TRUE(device.open());
    // Half a second of moves, the timer ticking between them.
    Clock::duration longest{};
    for (const auto until = Clock::now() + std::chrono::milliseconds(500); Clock::now() < until;) {
        const auto move = Clock::now();
        EXPECT_TRUE(device.send(NOTE_OFF_74));
        EXPECT_TRUE(device.send(NOTE_ON_74));
        EXPECT_TRUE(device.tend());
        longest = std::max(longest, Clock::now() - move);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_LT(longest, std::chrono::milliseconds(250)) << "a move waited for the probe";
    bool told = false;
    for (const auto deadline = Clock::now() + DEADLINE; !told && Clock::now() < deadline;)
        told = !device.tend();
    EXPECT_TRUE(told) << "a hanging probe was never given up";
    EXPECT_TRUE(device.tend()) << "told twice";
    device.close();
    fs::remove(hanging);
    EXPECT_EQ(audio.frames(), 0u) << "a stream opened without the probe's word";
}

// Shut-down may come while the soundfont is still loading (Escape pressed
// at once): close waits for the load instead of leaving a thread behind.
TEST(FluidDevice, ClosesWhileLoadingAndOpensAgain) {
    DiskAudio audio;
    FluidDevice device(GM_SOUNDFONT_PATH);
    for (bool wait_for_load : {false, true}) {
        SCOPED_TRACE(wait_for_load ? "closed once loaded" : "closed while loading");
        device.prepare();
        ASSERT_TRUE(device.open());
        EXPECT_TRUE(device.send(NOTE_ON_74));
        if (wait_for_load) {
            EXPECT_TRUE(device.wait_until_loaded());
        }
        device.close();
        EXPECT_FALSE(device.loaded());
        EXPECT_FALSE(device.send(NOTE_ON_74)) << "a closed device took a message";
    }
}

}  // namespace
