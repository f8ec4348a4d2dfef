#include "sound/note_schedule.h"

#include <algorithm>
#include <cstdint>

#include "sound/audio_format.h"

void NoteSchedule::restart() {
    stream_frames_ = 0;
    requests_ = 0;
    pace_from_ = 0;
}

int64_t NoteSchedule::earliest_phase(int from, int to) const {
    int64_t earliest = INT64_MAX;
    for (int i = std::max(from, requests_ - PACE_REQUESTS); i < to; ++i)
        earliest = std::min(earliest, phases_[size_t(i % PACE_REQUESTS)]);
    return earliest;
}

// When this buffer was due. The output asks for each buffer once the frames
// before it have played down to its own buffer's worth: at a steady pace,
// each request a little late, some in a burst when the output catches up.
// Laid on the earliest pace the latest requests have kept, the due times
// follow the output's real position: a request never comes before its
// buffer is due, so every message sent before that moment is in hand when
// the buffer is made, and each sounds the same delay after it was sent.
//
// A hiccup (the program stopped, its audio thread held up) may have let the
// output run dry: the silence it played then (and, on PulseAudio, while it
// filled up again before playing on) has moved every later frame, by as
// much as the requests after it are late. After a hiccup longer than the
// server holds, the pace is read anew from those at once. After a shorter
// one, which may or may not have, the latest requests tell: once all of
// them have come well after the pace, it has moved, and is read from them.
// Had it not, they come as early as before once the output has caught up.
// A slower clock of the output's is followed as the earliest requests leave
// the window. A stream's first buffer is made as it opens, before the
// output asks for anything: it sets no pace.
BufferSpan NoteSchedule::next_buffer(int64_t now_ns, int frames) {
    const int64_t length_ns = int64_t(frames) * 1000000000 / rate_;
    int64_t due = now_ns;
    if (stream_frames_ != 0) {
        if (now_ns - last_request_ns_ > HICCUP_BUFFERS * length_ns) pace_from_ = requests_;
        const int64_t written_ns = int64_t(stream_frames_) * 1000000000 / rate_;
        phases_[size_t(requests_ % PACE_REQUESTS)] = now_ns - written_ns;
        ++requests_;
        const int latest = requests_ - TELLING_REQUESTS;
        if (latest > pace_from_ && earliest_phase(latest, requests_) > earliest_phase(pace_from_, latest) + MOVED_NS)
            pace_from_ = latest;
        due = earliest_phase(pace_from_, requests_) + written_ns;
    }
    last_request_ns_ = now_ns;
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
