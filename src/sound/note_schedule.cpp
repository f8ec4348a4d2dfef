#include "sound/note_schedule.h"

#include <algorithm>

#include "sound/audio_format.h"

namespace {

// The pace may creep later by this much a buffer, for an output whose
// clock runs slower than the game's.
constexpr int64_t DRIFT_NS = 1000;

}  // namespace

void NoteSchedule::restart() {
    clock_started_ = false;
    stream_frames_ = 0;
}

// When this buffer was due: the output asks for buffers at a steady pace
// on average, each request a little late, some in a burst. The due times are
// the frames written so far laid on the earliest pace the requests have
// kept: a request never comes before its buffer is due, so every message
// sent before that moment is in hand when the buffer is made. A stream's
// first buffer is made as it opens, before the output asks for anything:
// it sets no pace.
BufferSpan NoteSchedule::next_buffer(int64_t now_ns, int frames) {
    const int64_t length_ns = int64_t(frames) * 1000000000 / rate_;
    int64_t due = now_ns;
    if (stream_frames_ != 0) {
        const int64_t written_ns = int64_t(stream_frames_) * 1000000000 / rate_;
        const int64_t phase = now_ns - written_ns;
        if (!clock_started_ || phase < pace_ns_)
            pace_ns_ = phase;
        else
            pace_ns_ += DRIFT_NS;
        clock_started_ = true;
        due = pace_ns_ + written_ns;
    }
    stream_frames_ += uint64_t(frames);
    return {due, length_ns};
}

// The synthesiser takes a message in at the start of its next block of
// SYNTH_BLOCK frames: each goes in just before the block boundary nearest
// its moment, within half a block (0.7 ms) of it.
int NoteSchedule::frame_of(const BufferSpan& span, int64_t sent_ns, int64_t block_phase, int frames, int done) const {
    const int64_t into = sent_ns - (span.due_ns - span.length_ns);
    const int64_t frame = std::max<int64_t>(into, 0) * rate_ / 1000000000;
    const int64_t boundary = (block_phase + frame + SYNTH_BLOCK / 2) / SYNTH_BLOCK * SYNTH_BLOCK - block_phase;
    return int(std::clamp<int64_t>(boundary, done, frames));
}
