// The audio callback: the synthesiser's output, with each message the game
// sent placed at its own moment (see note_schedule.h), and the stream's
// quiet measured so that it can rest.
//
// Runs on SDL's audio thread; the game's thread hands it messages through
// queue and reads its counters.
#pragma once
#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sound/fluid_library.h"
#include "sound/note_schedule.h"

class SoundfontLoader;

// One message for the audio callback, stamped with when the game sent it.
struct TimedWord {
    uint32_t word;
    int64_t sent_ns;
};

int64_t now_ns();

class SynthRenderer {
public:
    explicit SynthRenderer(const SoundfontLoader& loader);

    // Before a stream opens, while no callback runs: sizes the scratch for
    // buffers of this many frames and forgets the last stream's pace.
    void start_stream(int buffer_frames);
    // SDL's callback; userdata is the renderer.
    static void render(void* userdata, Uint8* stream, int length);

    // From the game's thread: a message for the next buffer.
    void queue(uint32_t word, int64_t sent_ns);
    // Messages that found no stream: the synthesiser takes them now, all
    // but the notes, which would sound late; the instruments stay chosen.
    void settle_without_stream();
    // True once the synthesiser has been quiet for long with nothing to
    // play. The game's thread asks it with the stream's lock held.
    bool at_rest();
    bool maybe_at_rest() const { return at_rest_.load(std::memory_order_acquire); }

    // Frames the output has taken since forget: the device's own clock.
    uint64_t frames_rendered() const { return frames_rendered_.load(); }
    // Once the output is closed for good: the synthesiser is gone or
    // starts anew, and so does the clock.
    void forget();

private:
    void render_buffer(int16_t* out, int frames);
    void render_frames(fluid_synth_t* synth, int16_t* out, int from, int to);

    const SoundfontLoader& loader_;
    // Messages from the game to the audio callback, in the order sent.
    std::mutex queue_mutex_;
    std::vector<TimedWord> queue_;

    std::atomic<uint64_t> frames_rendered_{0};
    std::atomic<bool> at_rest_{false};  // quiet for long, nothing to play
    // The audio callback's own.
    std::vector<float> mix_;      // scratch, sized at start_stream
    std::vector<TimedWord> due_;  // the messages of the buffer being made
    uint64_t synth_frames_ = 0;   // frames the synthesiser has made, ever
    int quiet_frames_ = 0;        // frames since a voice last sounded
    NoteSchedule schedule_;
};
