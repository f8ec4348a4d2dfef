#include "sound/synth_renderer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "sound/audio_format.h"
#include "sound/soundfont_loader.h"
#include "sound/synth_messages.h"

namespace {

// How long the synthesiser keeps rendering after its last voice has ended:
// long enough for the reverb's tail (the marimba itself rings 3.3 s). The
// output is closed then, until the next note: an open stream costs the game
// and the sound server a few per cent of a core even when silent, and keeps
// the sound card from suspending.
constexpr int RESTING_AFTER_FRAMES = SAMPLE_RATE * 3 / 2;

}  // namespace

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

SynthRenderer::SynthRenderer(const SoundfontLoader& loader) : loader_(loader), schedule_(SAMPLE_RATE) {}

void SynthRenderer::start_stream(int buffer_frames) {
    mix_.assign(size_t(buffer_frames) * OUTPUT_CHANNELS, 0.0f);
    due_.reserve(MAX_WAITING_MESSAGES);
    schedule_.restart();
    quiet_frames_ = 0;
    at_rest_ = false;
}

void SynthRenderer::render(void* userdata, Uint8* stream, int length) {
    auto* self = static_cast<SynthRenderer*>(userdata);
    const int frames = length / int(OUTPUT_CHANNELS * sizeof(int16_t));
    self->render_buffer(reinterpret_cast<int16_t*>(stream), frames);
}

// Each message sounds the same delay after it was sent: a buffer due at T
// (see note_schedule.h) plays the messages sent in [T - buffer, T), each at
// the frame of its own moment.
void SynthRenderer::render_buffer(int16_t* out, int frames) {
    const size_t bytes = size_t(frames) * OUTPUT_CHANNELS * sizeof(int16_t);
    const BufferSpan span = schedule_.next_buffer(now_ns(), frames);
    frames_rendered_ += uint64_t(frames);
    fluid_synth_t* synth = loader_.synth();
    if (!synth) {
        std::memset(out, 0, bytes);
        return;
    }
    bool more_waiting;
    due_.clear();
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        auto end = queue_.begin();
        while (end != queue_.end() && end->sent_ns < span.due_ns && due_.size() < due_.capacity())
            due_.push_back(*end++);
        queue_.erase(queue_.begin(), end);
        more_waiting = !queue_.empty();
    }
    // Rendering silence costs as much as rendering music: once every voice
    // and the reverb's tail have died away, zeros do, and the game's thread
    // closes the stream.
    if (!due_.empty() || more_waiting || fluid_library()->fluid_synth_get_active_voice_count(synth) > 0)
        quiet_frames_ = 0;
    if (quiet_frames_ >= RESTING_AFTER_FRAMES) {
        std::memset(out, 0, bytes);
        at_rest_.store(true, std::memory_order_release);
        return;
    }
    at_rest_.store(false, std::memory_order_release);
    quiet_frames_ += frames;
    const int64_t block_phase = int64_t(synth_frames_ % SYNTH_BLOCK);
    int done = 0;
    for (const TimedWord& message : due_) {
        const int at = schedule_.frame_of(span, message.sent_ns, block_phase, frames, done);
        render_frames(synth, out, done, at);
        play_short_message(synth, message.word);
        done = at;
    }
    render_frames(synth, out, done, frames);
}

// The buffer's frames [from, to), rendered as 16-bit samples. Converts
// FluidSynth's float output itself so that silence is exact zeros (the
// 16-bit writer adds dither noise).
void SynthRenderer::render_frames(fluid_synth_t* synth, int16_t* out, int from, int to) {
    const int chunk = int(mix_.size()) / OUTPUT_CHANNELS;
    for (int done = from; done < to; done += chunk) {
        const int n = std::min(chunk, to - done);
        float* mix = mix_.data();
        fluid_library()->fluid_synth_write_float(synth, n, mix, 0, OUTPUT_CHANNELS, mix, 1, OUTPUT_CHANNELS);
        synth_frames_ += uint64_t(n);
        for (int i = 0; i < n * OUTPUT_CHANNELS; ++i) {
            const float v = std::clamp(mix[i], -1.0f, 1.0f);
            out[done * OUTPUT_CHANNELS + i] = int16_t(v * 32767.0f);
        }
    }
}

void SynthRenderer::queue(uint32_t word, int64_t sent_ns) {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (queue_.size() < MAX_WAITING_MESSAGES) queue_.push_back({word, sent_ns});
}

void SynthRenderer::settle_without_stream() {
    std::vector<TimedWord> left;
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        left.swap(queue_);
    }
    fluid_synth_t* synth = loader_.synth();
    for (const TimedWord& message : left)
        if (synth && !is_note_on(message.word)) play_short_message(synth, message.word);
}

bool SynthRenderer::at_rest() {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    return at_rest_.load(std::memory_order_relaxed) && queue_.empty();
}

void SynthRenderer::forget() {
    synth_frames_ = 0;
    frames_rendered_ = 0;
    std::lock_guard<std::mutex> lock(queue_mutex_);
    queue_.clear();
}
