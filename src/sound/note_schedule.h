// Where in the audio stream each message goes, from when it was sent and
// when the output asked for the buffer: plain arithmetic on the two
// clocks, with no audio or synthesiser in it, so that it can be proved
// against any pattern of requests.
//
// Each message sounds one buffer after it was sent, at the frame of its
// own moment (to within the synthesiser's block), so that the tunes keep
// their rhythm instead of moving by whole buffers.
#pragma once
#include <array>
#include <cstdint>

// The moments whose messages one buffer plays: [due - length, due).
struct BufferSpan {
    int64_t due_ns;
    int64_t length_ns;
};

class NoteSchedule {
public:
    explicit NoteSchedule(int sample_rate) : rate_(sample_rate) {}
    // A new stream: nothing of the old one's pace holds.
    void restart();
    // Called for each buffer the output asks for, at `now_ns`, in order.
    BufferSpan next_buffer(int64_t now_ns, int frames);
    // The frame of a buffer of `frames` at which a message sent at
    // `sent_ns` goes into the synthesiser, given the synthesiser's block
    // phase at the buffer's start and the frames already rendered (no
    // message goes before another).
    int frame_of(const BufferSpan& span, int64_t sent_ns, int64_t block_phase, int frames, int done) const;

    // How many of the latest requests the pace is read from: enough to see
    // through each request's own lateness, and through the way PipeWire's
    // requests wander by more than a buffer as its blocks and ours fall.
    static constexpr int PACE_REQUESTS = 64;
    // A request this many buffers after the one before ends a hiccup longer
    // than any server holds ahead: it ran dry, and the pace is read anew
    // from the requests after it.
    static constexpr int HICCUP_BUFFERS = 4;
    // The latest requests that tell, all come later than the pace by more
    // than MOVED_NS, that the output has moved: some 0.2 s of them, enough
    // for PipeWire's wandering requests to have come as early as they do
    // (their earliest comes within 1.5 ms of that of many).
    static constexpr int TELLING_REQUESTS = 16;
    static constexpr int64_t MOVED_NS = 3000000;

private:
    int64_t earliest_phase(int from, int to) const;

    const int rate_;
    uint64_t stream_frames_ = 0;  // frames asked for since the stream opened
    // When the stream's frame 0 would have been due, as each of the latest
    // requests tells it (their time less the frames written before them),
    // by request number modulo PACE_REQUESTS.
    std::array<int64_t, PACE_REQUESTS> phases_{};
    int requests_ = 0;       // since the stream opened
    int pace_from_ = 0;      // the first request the pace is read from
    int64_t last_request_ns_ = 0;
};
