// The built-in synthesiser: FluidSynth renders into an SDL audio callback.
// The only file of the sound layer that sees FluidSynth (through
// fluid_library, which loads it on the loader's thread) or SDL.
#include "sound/fluid_device.h"

#include <SDL.h>
#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "sound/fluid_library.h"

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
// Far more than the game sends before the soundfont is in (four program
// changes); a bound all the same, should the load hang.
constexpr size_t MAX_WAITING_MESSAGES = 256;
// How long the synthesiser keeps rendering after its last voice has ended:
// long enough for the reverb's tail (the marimba itself rings 3.3 s).
constexpr int RESTING_AFTER_FRAMES = SAMPLE_RATE * 3 / 2;
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

    // What the audio callback renders: null (silence) until the waiting
    // messages have been played into the synthesiser.
    std::atomic<fluid_synth_t*> sounding{nullptr};
    std::vector<float> mix;  // the callback's own scratch, sized at open
    std::atomic<uint64_t> frames_rendered{0};
    // Resting: the callback's count of frames since a voice last sounded,
    // and the game's signal that a message has come since.
    int quiet_frames = 0;
    std::atomic<bool> woken{false};

    bool open_tried = false;
    bool audio_subsystem = false;
    SDL_AudioDeviceID audio = 0;
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
    fluid_synth_t* synth = nullptr;
    bool ok = false;
    if (settings) {
        fluid().fluid_settings_setnum(settings, "synth.sample-rate", SAMPLE_RATE);
        fluid().fluid_settings_setint(settings, "synth.polyphony", POLYPHONY);
        fluid().fluid_settings_setnum(settings, "synth.gain", SYNTH_GAIN);
        // The game plays four instruments of the 128: reading only their
        // samples, on the program changes, saves about 6 MB of memory and
        // half the load time. Nothing needs them pinned in memory.
        fluid().fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
        fluid().fluid_settings_setint(settings, "synth.lock-memory", 0);
        synth = fluid().new_fluid_synth(settings);
        ok = synth && fluid().fluid_synth_sfload(synth, s->soundfont_path.c_str(), 1) != FLUID_FAILED;
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

// Runs on SDL's audio thread. Converts FluidSynth's float output itself so
// that silence is exact zeros (the 16-bit writer adds dither noise).
void render_audio(void* userdata, Uint8* stream, int length) {
    auto* s = static_cast<FluidDevice::State*>(userdata);
    auto* out = reinterpret_cast<int16_t*>(stream);
    const int frames = length / int(OUTPUT_CHANNELS * sizeof(int16_t));
    fluid_synth_t* synth = s->sounding.load(std::memory_order_acquire);
    if (!synth) {
        std::memset(stream, 0, size_t(length));
        s->frames_rendered += uint64_t(frames);
        return;
    }
    // Rendering silence costs as much as rendering music, and the game waits
    // silently most of the time. Once every voice and the reverb's tail have
    // died away, the callback writes zeros itself until a message comes.
    if (s->woken.exchange(false, std::memory_order_acq_rel) || fluid().fluid_synth_get_active_voice_count(synth) > 0)
        s->quiet_frames = 0;
    if (s->quiet_frames >= RESTING_AFTER_FRAMES) {
        std::memset(stream, 0, size_t(length));
        s->frames_rendered += uint64_t(frames);
        return;
    }
    s->quiet_frames += frames;
    const int chunk = int(s->mix.size()) / OUTPUT_CHANNELS;
    for (int done = 0; done < frames; done += chunk) {
        const int n = std::min(chunk, frames - done);
        float* mix = s->mix.data();
        fluid().fluid_synth_write_float(synth, n, mix, 0, OUTPUT_CHANNELS, mix, 1, OUTPUT_CHANNELS);
        for (int i = 0; i < n * OUTPUT_CHANNELS; ++i) {
            const float v = std::clamp(mix[i], -1.0f, 1.0f);
            out[done * OUTPUT_CHANNELS + i] = int16_t(v * 32767.0f);
        }
    }
    s->frames_rendered += uint64_t(frames);
}

// The ALSA library prints its own complaints to standard error when a
// machine has no sound card; the game says so once, in its box, and
// otherwise writes nothing.
void ignore_alsa_complaint(const char*, int, const char*, int, const char*, ...) {}

bool open_audio(FluidDevice::State* s) {
    snd_lib_error_set_handler(ignore_alsa_complaint);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    s->audio_subsystem = true;
    s->mix.assign(size_t(BUFFER_FRAMES) * OUTPUT_CHANNELS, 0.0f);
    s->frames_rendered = 0;
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

}  // namespace

void name_audio_stream() {
    // SDL's PulseAudio and PipeWire outputs take the name from these hints
    // when SDL's sound system starts.
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, AUDIO_APPLICATION_NAME);
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, AUDIO_APPLICATION_NAME);
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, "Game");
    // Without SDL's own PulseAudio output, SDL plays through ALSA, whose
    // PulseAudio plug-in names the stream after whatever ALSA says; the
    // PulseAudio library lets this variable have the last word. A value the
    // user set is theirs and stays.
    const std::string property = std::string("application.name='") + AUDIO_APPLICATION_NAME + "'";
    setenv("PULSE_PROP_OVERRIDE", property.c_str(), 0);
}

FluidDevice::FluidDevice(std::string soundfont_path) : state(std::make_unique<State>()) {
    state->soundfont_path = std::move(soundfont_path);
    name_audio_stream();
}

FluidDevice::~FluidDevice() { close(); }

void FluidDevice::prepare() { start_loading(state.get()); }

bool FluidDevice::open() {
    State* s = state.get();
    if (s->open_tried) return s->audio != 0;
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
    if (!open_audio(s)) return false;
    start_loading(s);
    return true;
}

bool FluidDevice::send(uint32_t word) {
    State* s = state.get();
    if (!s->audio) return false;
    std::lock_guard<std::mutex> lock(s->mutex);
    switch (s->load) {
    case Load::ready:
        play_short_message(s->synth, word);
        s->woken.store(true, std::memory_order_release);
        break;
    case Load::loading:
        if (s->waiting.size() < MAX_WAITING_MESSAGES) s->waiting.push_back(word);
        break;
    case Load::not_started:
    case Load::failed: break;  // open, but silent
    }
    return true;
}

void FluidDevice::close() {
    State* s = state.get();
    // The loader may still be inside FluidSynth listing SDL's audio devices:
    // SDL's sound system stays up until it is done.
    if (s->loader.joinable()) s->loader.join();
    // The platform may already have shut SDL down, which closed the output.
    if (s->audio && SDL_WasInit(SDL_INIT_AUDIO)) SDL_CloseAudioDevice(s->audio);
    s->audio = 0;
    if (s->audio_subsystem && SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s->audio_subsystem = false;
    s->sounding.store(nullptr);
    if (s->synth) fluid().delete_fluid_synth(s->synth);
    if (s->settings) fluid().delete_fluid_settings(s->settings);
    s->synth = nullptr;
    s->settings = nullptr;
    s->waiting.clear();
    s->load = Load::not_started;
    s->settings_made = false;
    s->open_tried = false;
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

uint64_t FluidDevice::frames_rendered() { return state->frames_rendered.load(); }

MidiDevice* fluid_midi_device() {
    static FluidDevice device(GM_SOUNDFONT_PATH);
    return &device;
}
