#include "sound/audio_stream.h"

#include <algorithm>
#include <thread>

#include "sound/audio_format.h"
#include "sound/soundfont_loader.h"
#include "sound/synth_renderer.h"

namespace {

using Clock = std::chrono::steady_clock;

// 512 frames are 11.6 ms at 44.1 kHz: a disc's click follows the disc at
// once; the sound server holds more (see stream_properties.cpp).
constexpr int BUFFER_FRAMES = 512;
// A lost sound server is looked for again every quarter of a second at
// first, as a restarting server is back within that, then less and less
// often while it stays away (each look costs a process and a connection
// attempt); a note asks for the next look within the quarter second, so
// that the notes after it are heard.
constexpr auto LOOK_EVERY = std::chrono::milliseconds(250);
constexpr auto LOOK_AT_LEAST_EVERY = std::chrono::milliseconds(8000);

}  // namespace

void AudioStream::open() {
    wanted_ = true;
    first_look_ = Look::pending;
    next_look_ = {};
    look_every_ = LOOK_EVERY;
    look();
}

// One step of the look: the probe started, its answer taken, then SDL's
// sound system and a stream; none of it waits.
void AudioStream::look() {
    // FluidSynth's settings list SDL's audio devices as they are made:
    // never while SDL's sound system starts.
    if (!wanted_ || sound_system_ || !loader_.settings_made()) return;
    SoundSystemProbe::Answer answer = probe_.poll();
    if (answer == SoundSystemProbe::Answer::none) {
        if (Clock::now() < next_look_) return;
        probe_.start();
        answer = probe_.poll();
    }
    if (answer == SoundSystemProbe::Answer::running) return;
    probe_.forget();
    if (answer == SoundSystemProbe::Answer::passed && start_sound_system() && open_stream()) {
        if (first_look_ == Look::pending) first_look_ = Look::done;
        look_every_ = LOOK_EVERY;
        return;
    }
    stop_sound_system();
    look_failed();
}

void AudioStream::look_failed() {
    if (first_look_ == Look::pending) first_look_ = Look::failed;
    next_look_ = Clock::now() + look_every_;
    look_every_ = std::min<std::chrono::milliseconds>(look_every_ * 2, LOOK_AT_LEAST_EVERY);
}

void AudioStream::reopen() {
    if (sound_system_ && !open_stream()) {
        // The server went away while the stream rested.
        stop_sound_system();
        look_failed();
    }
    if (!sound_system_) {
        next_look_ = std::min(next_look_, Clock::now() + LOOK_EVERY);
        look_every_ = LOOK_EVERY;
        look();
    }
    if (!audio_) renderer_.settle_without_stream();
}

void AudioStream::tend() {
    if (audio_ && SDL_GetAudioDeviceStatus(audio_) == SDL_AUDIO_STOPPED) {
        stop_sound_system();
        renderer_.settle_without_stream();
    }
    look();
    if (!audio_ || !renderer_.maybe_at_rest()) return;
    SDL_LockAudioDevice(audio_);
    const bool quiet = renderer_.at_rest();
    SDL_UnlockAudioDevice(audio_);
    if (quiet) close_stream();
}

void AudioStream::wait_for_first_look() {
    while (first_look_ == Look::pending) {
        look();
        if (first_look_ == Look::pending) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool AudioStream::start_sound_system() {
    quiet_alsa_complaints();
    sound_system_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return sound_system_;
}

void AudioStream::stop_sound_system() {
    // The platform may already have shut SDL down, which closed the output.
    close_stream();
    if (sound_system_ && SDL_WasInit(SDL_INIT_AUDIO)) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sound_system_ = false;
}

bool AudioStream::open_stream() {
    renderer_.start_stream(BUFFER_FRAMES);
    SDL_AudioSpec wanted{};
    wanted.freq = SAMPLE_RATE;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = OUTPUT_CHANNELS;
    wanted.samples = BUFFER_FRAMES;
    wanted.callback = SynthRenderer::render;
    wanted.userdata = &renderer_;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts if the hardware wants another format,
    // so the callback always writes 16-bit stereo at 44.1 kHz.
    audio_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (!audio_) return false;
    SDL_PauseAudioDevice(audio_, 0);
    return true;
}

void AudioStream::close_stream() {
    if (audio_ && SDL_WasInit(SDL_INIT_AUDIO)) SDL_CloseAudioDevice(audio_);
    audio_ = 0;
}

void AudioStream::stop() {
    stop_sound_system();
    probe_.forget();
    wanted_ = false;
    first_look_ = Look::none;
}
