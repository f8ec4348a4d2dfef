// The built-in synthesiser: FluidSynth renders into an SDL audio callback.
// The only file of the sound layer that sees FluidSynth (through
// fluid_library, which loads it on the loader's thread) or SDL's sound
// output; SDL's sound system is started behind sound_system_probe.
#include "sound/fluid_device.h"

#include <SDL.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "sound/fluid_library.h"
#include "sound/sound_system_probe.h"
#include "sound/soundfont_subset.h"
#include "sound/tunes.h"

namespace {

// The library's functions, wherever a synthesiser exists: the loader made
// it with them.
const FluidLibrary& fluid() { return *fluid_library(); }

constexpr int SAMPLE_RATE = 44100;
constexpr int OUTPUT_CHANNELS = 2;
// 512 frames are 11.6 ms at 44.1 kHz: a disc's click follows the disc at once.
constexpr int BUFFER_FRAMES = 512;
// The game never has more than a few notes ringing; fewer voices keep the
// synthesiser's own buffers small.
constexpr int POLYPHONY = 32;
// The synthesiser renders in blocks of this many frames, and takes the
// messages it is given at the start of a block.
constexpr int64_t SYNTH_BLOCK = 64;
// Far more than the game sends before the soundfont is in (four program
// changes); a bound all the same, should the load hang.
constexpr size_t MAX_WAITING_MESSAGES = 256;
// How long the synthesiser keeps rendering after its last voice has ended:
// long enough for the reverb's tail (the marimba itself rings 3.3 s). The
// output is closed then, until the next note: an open stream costs the game
// and the sound server a few per cent of a core even when silent, and keeps
// the sound card from suspending.
constexpr int RESTING_AFTER_FRAMES = SAMPLE_RATE * 3 / 2;
// A lost sound server is looked for again at the next note, but not more
// often than this: each look costs a process and a connection attempt.
constexpr auto RECONNECT_EVERY = std::chrono::milliseconds(500);
// FluidSynth's default of 0.2 leaves the marimba click near -25 dBFS; four
// times that brings the loudest tune (six overlapping orchestra hits) to
// about 0.8 of full scale, still clear of clipping.
constexpr double SYNTH_GAIN = 0.8;

enum class Load { not_started, loading, ready, failed };

// FluidSynth reports through a global hook; only what stops the sound is
// worth showing on stderr.
void log_fluid_problem(int level, const char* message, void*) {
    const size_t length = std::strcspn(message, "\n");
    std::fprintf(stderr, "colonnade4: synthesiser %s: %.*s\n", level == FLUID_PANIC ? "panic" : "error", int(length),
                 message);
}

void quiet_fluid_logging() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid().fluid_set_log_function(FLUID_PANIC, log_fluid_problem, nullptr);
        fluid().fluid_set_log_function(FLUID_ERR, log_fluid_problem, nullptr);
        fluid().fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        fluid().fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
        fluid().fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    });
}

uint32_t read_le32(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// A SoundFont is a RIFF file of form "sfbk" whose chunk fits in the file.
// Checking that costs one small read, unlike loading it. Only a regular file
// can be one: opened without waiting, so that a FIFO or a device at the path
// never holds up the game.
bool looks_like_soundfont(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat about {};
    unsigned char header[12];
    const bool complete = ::fstat(fd, &about) == 0 && S_ISREG(about.st_mode) &&
                          ::read(fd, header, sizeof header) == ssize_t(sizeof header);
    ::close(fd);
    return complete && std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "sfbk", 4) == 0 &&
           uint64_t(read_le32(header + 4)) + 8 <= uint64_t(about.st_size);
}

// A MIDI 1.0 channel message handed to the synthesiser; system messages are
// not for a synthesiser and are dropped.
void play_short_message(fluid_synth_t* synth, uint32_t word) {
    const int status = word & 0xF0;
    const int channel = word & 0x0F;
    const int data1 = (word >> 8) & 0x7F;
    const int data2 = (word >> 16) & 0x7F;
    switch (status) {
    case 0x80: fluid().fluid_synth_noteoff(synth, channel, data1); break;
    case 0x90:
        // Velocity 0 is the running-status way of writing a note-off.
        if (data2 == 0)
            fluid().fluid_synth_noteoff(synth, channel, data1);
        else
            fluid().fluid_synth_noteon(synth, channel, data1, data2);
        break;
    case 0xA0: fluid().fluid_synth_key_pressure(synth, channel, data1, data2); break;
    case 0xB0: fluid().fluid_synth_cc(synth, channel, data1, data2); break;
    case 0xC0: fluid().fluid_synth_program_change(synth, channel, data1); break;
    case 0xD0: fluid().fluid_synth_channel_pressure(synth, channel, data1); break;
    case 0xE0: fluid().fluid_synth_pitch_bend(synth, channel, data1 | data2 << 7); break;
    default: break;
    }
}

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One message for the audio callback, stamped with when the game sent it.
struct TimedWord {
    uint32_t word;
    int64_t sent_ns;
};

// The desktop entry's icon, for mixers that show the stream.
constexpr const char* AUDIO_ICON_NAME = COLONNADE4_APP_ID;

}  // namespace

struct FluidDevice::State {
    std::string soundfont_path;

    // Loading, shared by the game's thread and the loader thread.
    std::mutex mutex;
    std::condition_variable load_finished;
    Load load = Load::not_started;
    // FluidSynth's settings list SDL's audio devices as they are made, so
    // the loader makes them before SDL's sound system starts, never while
    // it starts: open waits for this.
    bool settings_made = false;
    std::vector<uint32_t> waiting;  // messages sent before the load finished
    std::thread loader;
    // Made by the loader; freed by close once the loader has been joined.
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;

    // Messages from the game to the audio callback, in the order sent.
    std::mutex queue_mutex;
    std::vector<TimedWord> queue;

    // What the audio callback renders: null (silence) until the waiting
    // messages have been played into the synthesiser.
    std::atomic<fluid_synth_t*> sounding{nullptr};
    std::atomic<uint64_t> frames_rendered{0};
    // The audio callback's own, also read by the game's thread while it
    // holds the device's lock.
    std::vector<float> mix;        // scratch, sized at open
    std::vector<TimedWord> due;    // the messages of the buffer being made
    uint64_t synth_frames = 0;     // frames the synthesiser has made, ever
    int quiet_frames = 0;          // frames since a voice last sounded
    uint64_t stream_frames = 0;    // frames made since the stream opened
    bool clock_started = false;    // pace_ns holds for this stream
    int64_t pace_ns = 0;           // when the stream's frame 0 was due
    std::atomic<bool> at_rest{false};  // quiet for long, nothing to play

    SoundSystemProbe probe;
    bool open_tried = false;
    bool opened = false;            // open succeeded; until close
    bool load_failure_told = false;
    bool sound_system = false;      // SDL's, started by this device
    SDL_AudioDeviceID audio = 0;    // the stream, while it runs
    std::chrono::steady_clock::time_point next_reconnect{};
};

namespace {

void load_soundfont(FluidDevice::State* s) {
    // Without the library there is nothing to load; it said why.
    const bool library = fluid_library() != nullptr;
    if (library) quiet_fluid_logging();
    fluid_settings_t* settings = library ? fluid().new_fluid_settings() : nullptr;
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        s->settings_made = true;
    }
    s->load_finished.notify_all();
    // The game plays three instruments of the 128: the synthesiser is given
    // a copy of the soundfont cut down to them, about 5 MB less memory and
    // most of the load's time; the whole file should it not cut.
    const MemoryFile subset(settings ? soundfont_subset(s->soundfont_path, GAME_PROGRAMS) : "");
    fluid_synth_t* synth = nullptr;
    bool ok = false;
    if (settings) {
        fluid().fluid_settings_setnum(settings, "synth.sample-rate", SAMPLE_RATE);
        fluid().fluid_settings_setint(settings, "synth.polyphony", POLYPHONY);
        fluid().fluid_settings_setnum(settings, "synth.gain", SYNTH_GAIN);
        // The copy's samples are all the game's: read at once, so that the
        // copy can go when the load ends and no program change reads a file
        // on the sound's thread. Of a whole file only the samples of the
        // instruments chosen are read, on the program changes. Nothing needs
        // them pinned in memory.
        fluid().fluid_settings_setint(settings, "synth.dynamic-sample-loading", subset.made() ? 0 : 1);
        fluid().fluid_settings_setint(settings, "synth.lock-memory", 0);
        synth = fluid().new_fluid_synth(settings);
        const std::string file = subset.made() ? subset.path() : s->soundfont_path;
        ok = synth && fluid().fluid_synth_sfload(synth, file.c_str(), 1) != FLUID_FAILED;
        // The load gives every channel its default instrument, the drum kit
        // on channel 9 and the piano on the others, and reads their samples.
        // The game chooses its three instruments itself before any note and
        // plays nothing else: without those defaults their samples (a few
        // megabytes) are never read.
        if (ok)
            for (int channel = 0; channel < fluid().fluid_synth_count_midi_channels(synth); ++channel)
                fluid().fluid_synth_unset_program(synth, channel);
    }
    if (!ok) {
        if (synth) fluid().delete_fluid_synth(synth);
        if (settings) fluid().delete_fluid_settings(settings);
        if (library)
            std::fprintf(stderr, "colonnade4: cannot load the soundfont %s, playing without sound\n",
                         s->soundfont_path.c_str());
    }
    std::lock_guard<std::mutex> lock(s->mutex);
    if (ok) {
        s->settings = settings;
        s->synth = synth;
        for (uint32_t word : s->waiting)
            play_short_message(synth, word);
        s->sounding.store(synth, std::memory_order_release);
        s->load = Load::ready;
    } else {
        s->load = Load::failed;
    }
    s->waiting.clear();
    s->load_finished.notify_all();
    // The load grows this thread's own malloc arena by several megabytes,
    // a third of it freed again by the time it ends; give that back.
    malloc_trim(0);
}

// Starts the load of a file that looks right; a file that does not fails
// at once, without a thread and without FluidSynth's complaints.
void start_loading(FluidDevice::State* s) {
    std::lock_guard<std::mutex> lock(s->mutex);
    if (s->load != Load::not_started) return;
    if (!looks_like_soundfont(s->soundfont_path)) {
        s->load = Load::failed;
        return;
    }
    s->load = Load::loading;
    s->loader = std::thread(load_soundfont, s);
}

// The buffer's frames [from, to), rendered as 16-bit samples. Converts
// FluidSynth's float output itself so that silence is exact zeros (the
// 16-bit writer adds dither noise).
void render_frames(FluidDevice::State* s, fluid_synth_t* synth, int16_t* out, int from, int to) {
    const int chunk = int(s->mix.size()) / OUTPUT_CHANNELS;
    for (int done = from; done < to; done += chunk) {
        const int n = std::min(chunk, to - done);
        float* mix = s->mix.data();
        fluid().fluid_synth_write_float(synth, n, mix, 0, OUTPUT_CHANNELS, mix, 1, OUTPUT_CHANNELS);
        s->synth_frames += uint64_t(n);
        for (int i = 0; i < n * OUTPUT_CHANNELS; ++i) {
            const float v = std::clamp(mix[i], -1.0f, 1.0f);
            out[done * OUTPUT_CHANNELS + i] = int16_t(v * 32767.0f);
        }
    }
}

// When this buffer was due: the output asks for buffers at a steady pace
// on average, each request a little late, some in a burst. The due times are
// the frames written so far laid on the earliest pace the requests have
// kept: a request never comes before its buffer is due, so every message
// sent before that moment is in hand when the buffer is made. The pace may
// creep later by DRIFT_NS a buffer, for an output whose clock runs slower
// than the game's. A stream's first buffer is made as it opens, before the
// output asks for anything: it sets no pace.
constexpr int64_t DRIFT_NS = 1000;

int64_t buffer_due(FluidDevice::State* s, int64_t now) {
    if (s->stream_frames == 0) return now;
    const int64_t written_ns = int64_t(s->stream_frames) * 1000000000 / SAMPLE_RATE;
    const int64_t phase = now - written_ns;
    if (!s->clock_started || phase < s->pace_ns)
        s->pace_ns = phase;
    else
        s->pace_ns += DRIFT_NS;
    s->clock_started = true;
    return s->pace_ns + written_ns;
}

// Runs on SDL's audio thread. Each message sounds exactly one buffer after
// it was sent: a buffer asked for at time T plays the messages sent in
// [T - buffer, T), each at the frame of its own moment, so a tune keeps
// the game's timing to the sample instead of moving by whole buffers.
void render_audio(void* userdata, Uint8* stream, int length) {
    auto* s = static_cast<FluidDevice::State*>(userdata);
    auto* out = reinterpret_cast<int16_t*>(stream);
    const int frames = length / int(OUTPUT_CHANNELS * sizeof(int16_t));
    const int64_t buffer_ns = int64_t(frames) * 1000000000 / SAMPLE_RATE;
    const int64_t due = buffer_due(s, now_ns());
    s->stream_frames += uint64_t(frames);
    s->frames_rendered += uint64_t(frames);
    fluid_synth_t* synth = s->sounding.load(std::memory_order_acquire);
    if (!synth) {
        std::memset(stream, 0, size_t(length));
        return;
    }
    bool more_waiting;
    s->due.clear();
    {
        std::lock_guard<std::mutex> lock(s->queue_mutex);
        auto end = s->queue.begin();
        while (end != s->queue.end() && end->sent_ns < due && s->due.size() < s->due.capacity())
            s->due.push_back(*end++);
        s->queue.erase(s->queue.begin(), end);
        more_waiting = !s->queue.empty();
    }
    // Rendering silence costs as much as rendering music: once every voice
    // and the reverb's tail have died away, zeros do, and the game's thread
    // closes the stream.
    if (!s->due.empty() || more_waiting || fluid().fluid_synth_get_active_voice_count(synth) > 0)
        s->quiet_frames = 0;
    if (s->quiet_frames >= RESTING_AFTER_FRAMES) {
        std::memset(stream, 0, size_t(length));
        s->at_rest.store(true, std::memory_order_release);
        return;
    }
    s->at_rest.store(false, std::memory_order_release);
    s->quiet_frames += frames;
    // The synthesiser takes a message in at the start of its next block of
    // SYNTH_BLOCK frames: each goes in just before the block boundary
    // nearest its moment, within half a block (0.7 ms) of it.
    const int64_t phase = int64_t(s->synth_frames % SYNTH_BLOCK);
    int done = 0;
    for (const TimedWord& message : s->due) {
        const int64_t into = message.sent_ns - (due - buffer_ns);
        const int64_t frame = std::max<int64_t>(into, 0) * SAMPLE_RATE / 1000000000;
        const int64_t boundary = (phase + frame + SYNTH_BLOCK / 2) / SYNTH_BLOCK * SYNTH_BLOCK - phase;
        const int at = int(std::clamp<int64_t>(boundary, done, frames));
        render_frames(s, synth, out, done, at);
        play_short_message(synth, message.word);
        done = at;
    }
    render_frames(s, synth, out, done, frames);
}

// SDL's sound system, started once the probe has lived through it.
bool start_sound_system(FluidDevice::State* s) {
    if (s->sound_system) return true;
    if (!s->probe.passed()) return false;
    quiet_alsa_complaints();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    s->sound_system = true;
    return true;
}

void stop_sound_system(FluidDevice::State* s) {
    // The platform may already have shut SDL down, which closed the output.
    if (s->audio && SDL_WasInit(SDL_INIT_AUDIO)) SDL_CloseAudioDevice(s->audio);
    s->audio = 0;
    if (s->sound_system && SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s->sound_system = false;
}

bool open_stream(FluidDevice::State* s) {
    s->mix.assign(size_t(BUFFER_FRAMES) * OUTPUT_CHANNELS, 0.0f);
    s->due.reserve(MAX_WAITING_MESSAGES);
    s->clock_started = false;
    s->stream_frames = 0;
    s->quiet_frames = 0;
    s->at_rest = false;
    SDL_AudioSpec wanted{};
    wanted.freq = SAMPLE_RATE;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = OUTPUT_CHANNELS;
    wanted.samples = BUFFER_FRAMES;
    wanted.callback = render_audio;
    wanted.userdata = s;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts if the hardware wants another format,
    // so the callback always writes 16-bit stereo at 44.1 kHz.
    s->audio = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (!s->audio) return false;
    SDL_PauseAudioDevice(s->audio, 0);
    return true;
}

void close_stream(FluidDevice::State* s) {
    if (s->audio && SDL_WasInit(SDL_INIT_AUDIO)) SDL_CloseAudioDevice(s->audio);
    s->audio = 0;
}

// Messages that found no stream: the synthesiser takes them now, all but
// the notes, which would sound late; the instruments stay chosen.
void settle_queue_without_stream(FluidDevice::State* s) {
    std::vector<TimedWord> left;
    {
        std::lock_guard<std::mutex> lock(s->queue_mutex);
        left.swap(s->queue);
    }
    for (const TimedWord& message : left)
        if ((message.word & 0xF0) != 0x90) play_short_message(s->synth, message.word);
}

// The stream again, for a note: after a rest the sound system is there and
// the stream opens at once; after the sound server went away, SDL's sound
// system is started anew, once the server is back.
void reopen_stream(FluidDevice::State* s) {
    const auto now = std::chrono::steady_clock::now();
    if (now < s->next_reconnect) {
        settle_queue_without_stream(s);
        return;
    }
    if (s->sound_system && open_stream(s)) return;
    stop_sound_system(s);
    if (start_sound_system(s) && open_stream(s)) return;
    stop_sound_system(s);
    s->next_reconnect = now + RECONNECT_EVERY;
    settle_queue_without_stream(s);
}

}  // namespace

void name_audio_stream() {
    // SDL's PulseAudio and PipeWire outputs take the name from these hints
    // when SDL's sound system starts.
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, AUDIO_APPLICATION_NAME);
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, AUDIO_APPLICATION_NAME);
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "Game");
    // SDL's PulseAudio output ignores the role, and names no icon; without
    // SDL's own PulseAudio output SDL plays through ALSA, whose PulseAudio
    // plug-in names the stream after whatever ALSA says. The PulseAudio
    // library lets this variable have the last word: the game's name, the
    // desktop entry's icon, and the role by which mixers and policies tell a
    // game's sounds. A value the user set is theirs and stays.
    const std::string properties = std::string("application.name='") + AUDIO_APPLICATION_NAME +
                                   "' application.icon_name='" + AUDIO_ICON_NAME + "' media.role='game'";
    setenv("PULSE_PROP_OVERRIDE", properties.c_str(), 0);
}

FluidDevice::FluidDevice(std::string soundfont_path) : state(std::make_unique<State>()) {
    state->soundfont_path = std::move(soundfont_path);
    name_audio_stream();
}

FluidDevice::~FluidDevice() { close(); }

void FluidDevice::prepare() { start_loading(state.get()); }

bool FluidDevice::open() {
    State* s = state.get();
    if (s->open_tried) return s->opened;
    s->open_tried = true;
    bool started;
    {
        std::unique_lock<std::mutex> lock(s->mutex);
        if (s->load == Load::failed) return false;
        started = s->load != Load::not_started;
        s->load_finished.wait(lock, [s] { return s->settings_made || s->load != Load::loading; });
    }
    // Without an earlier prepare the file is checked here and its load
    // starts only once the output is open.
    if (!started && !looks_like_soundfont(s->soundfont_path)) return false;
    s->frames_rendered = 0;
    if (!start_sound_system(s) || !open_stream(s)) {
        stop_sound_system(s);
        return false;
    }
    start_loading(s);
    s->opened = true;
    return true;
}

bool FluidDevice::send(uint32_t word) {
    State* s = state.get();
    if (!s->opened) return false;
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        switch (s->load) {
        case Load::ready: break;
        case Load::loading:
            if (s->waiting.size() < MAX_WAITING_MESSAGES) s->waiting.push_back(word);
            return true;
        case Load::not_started:
        case Load::failed: return true;  // open, but silent
        }
    }
    {
        std::lock_guard<std::mutex> lock(s->queue_mutex);
        if (s->queue.size() < MAX_WAITING_MESSAGES) s->queue.push_back({word, now_ns()});
    }
    if (!s->audio) reopen_stream(s);
    return true;
}

bool FluidDevice::tend() {
    State* s = state.get();
    if (!s->opened) return true;
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        if (s->load == Load::failed) {
            // Nothing will ever sound: no stream either.
            close_stream(s);
            const bool told = s->load_failure_told;
            s->load_failure_told = true;
            return told;
        }
    }
    if (!s->audio) return true;
    if (SDL_GetAudioDeviceStatus(s->audio) == SDL_AUDIO_STOPPED) {
        // The sound server went away: SDL's sound system goes with it, and
        // the next note looks for the server again.
        stop_sound_system(s);
        settle_queue_without_stream(s);
        return true;
    }
    if (!s->at_rest.load(std::memory_order_acquire)) return true;
    SDL_LockAudioDevice(s->audio);
    bool quiet;
    {
        std::lock_guard<std::mutex> lock(s->queue_mutex);
        quiet = s->at_rest.load(std::memory_order_relaxed) && s->queue.empty();
    }
    SDL_UnlockAudioDevice(s->audio);
    if (quiet) close_stream(s);
    return true;
}

void FluidDevice::close() {
    State* s = state.get();
    // The loader first: nothing of the synthesiser's may still be starting
    // while the sound system goes.
    if (s->loader.joinable()) s->loader.join();
    stop_sound_system(s);
    s->probe.forget();
    s->sounding.store(nullptr);
    if (s->synth) fluid().delete_fluid_synth(s->synth);
    if (s->settings) fluid().delete_fluid_settings(s->settings);
    s->synth = nullptr;
    s->settings = nullptr;
    s->synth_frames = 0;
    s->waiting.clear();
    s->queue.clear();
    s->load = Load::not_started;
    s->settings_made = false;
    s->open_tried = false;
    s->opened = false;
    s->load_failure_told = false;
    s->next_reconnect = {};
}

bool FluidDevice::wait_until_loaded() {
    State* s = state.get();
    std::unique_lock<std::mutex> lock(s->mutex);
    s->load_finished.wait(lock, [s] { return s->load != Load::loading; });
    return s->load == Load::ready;
}

bool FluidDevice::loaded() {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->load == Load::ready;
}

bool FluidDevice::streaming() { return state->audio != 0; }

uint64_t FluidDevice::frames_rendered() { return state->frames_rendered.load(); }

MidiDevice* fluid_midi_device() {
    static FluidDevice device(GM_SOUNDFONT_PATH);
    return &device;
}
