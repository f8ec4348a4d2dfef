#include "sound/audio_stream.h"

#include "sound/audio_format.h"
#include "sound/synth_renderer.h"

namespace {

// 512 frames are 11.6 ms at 44.1 kHz: a disc's click follows the disc at once.
constexpr int BUFFER_FRAMES = 512;
// A lost sound server is looked for again at the next note, but not more
// often than this: each look costs a process and a connection attempt.
constexpr auto RECONNECT_EVERY = std::chrono::milliseconds(500);

}  // namespace

bool AudioStream::start_sound_system() {
    if (sound_system_) return true;
    if (!probe_.passed()) return false;
    quiet_alsa_complaints();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    sound_system_ = true;
    return true;
}

void AudioStream::stop_sound_system() {
    // The platform may already have shut SDL down, which closed the output.
    close();
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

bool AudioStream::open() {
    if (start_sound_system() && open_stream()) return true;
    stop_sound_system();
    return false;
}

void AudioStream::reopen() {
    const auto now = std::chrono::steady_clock::now();
    if (now < next_reconnect_) {
        renderer_.settle_without_stream();
        return;
    }
    if (sound_system_ && open_stream()) return;
    stop_sound_system();
    if (start_sound_system() && open_stream()) return;
    stop_sound_system();
    next_reconnect_ = now + RECONNECT_EVERY;
    renderer_.settle_without_stream();
}

bool AudioStream::lost() {
    if (!audio_ || SDL_GetAudioDeviceStatus(audio_) != SDL_AUDIO_STOPPED) return false;
    stop_sound_system();
    renderer_.settle_without_stream();
    return true;
}

void AudioStream::close_if_at_rest() {
    if (!audio_ || !renderer_.maybe_at_rest()) return;
    SDL_LockAudioDevice(audio_);
    const bool quiet = renderer_.at_rest();
    SDL_UnlockAudioDevice(audio_);
    if (quiet) close();
}

void AudioStream::close() {
    if (audio_ && SDL_WasInit(SDL_INIT_AUDIO)) SDL_CloseAudioDevice(audio_);
    audio_ = 0;
}

void AudioStream::stop() {
    stop_sound_system();
    probe_.forget();
    next_reconnect_ = {};
}
