// The built-in synthesiser's device: the soundfont's loader, the renderer
// SDL's audio thread calls, and the stream through SDL, held together and
// driven from the game's thread.
#include "sound/fluid_device.h"

#include "sound/audio_stream.h"
#include "sound/soundfont_file.h"
#include "sound/soundfont_loader.h"
#include "sound/synth_renderer.h"

struct FluidDevice::State {
    explicit State(std::string soundfont_path) : loader(std::move(soundfont_path)), renderer(loader), stream(renderer) {}

    SoundfontLoader loader;
    SynthRenderer renderer;
    AudioStream stream;
    bool open_tried = false;
    bool opened = false;  // open succeeded; until close
    bool load_failure_told = false;
};

FluidDevice::FluidDevice(std::string soundfont_path) : state(std::make_unique<State>(std::move(soundfont_path))) {
    name_audio_stream();
}

FluidDevice::~FluidDevice() { close(); }

void FluidDevice::prepare() { state->loader.start(); }

bool FluidDevice::open() {
    State* s = state.get();
    if (s->open_tried) return s->opened;
    s->open_tried = true;
    const Load before = s->loader.status();
    if (before == Load::failed) return false;
    s->loader.wait_for_settings();
    // Without an earlier prepare the file is checked here and its load
    // starts only once the output is open.
    if (before == Load::not_started && !looks_like_soundfont(s->loader.path())) return false;
    if (!s->stream.open()) return false;
    s->loader.start();
    s->opened = true;
    return true;
}

bool FluidDevice::send(uint32_t word) {
    State* s = state.get();
    if (!s->opened) return false;
    if (s->loader.take(word) != SoundfontLoader::Taken::play_now) return true;  // kept, or open but silent
    s->renderer.queue(word, now_ns());
    if (!s->stream.running()) s->stream.reopen();
    return true;
}

bool FluidDevice::tend() {
    State* s = state.get();
    if (!s->opened) return true;
    if (s->loader.status() == Load::failed) {
        // Nothing will ever sound: no stream either.
        s->stream.close();
        const bool told = s->load_failure_told;
        s->load_failure_told = true;
        return told;
    }
    // A stream the server dropped goes with SDL's sound system; the next
    // note looks for the server again.
    if (!s->stream.lost()) s->stream.close_if_at_rest();
    return true;
}

void FluidDevice::close() {
    State* s = state.get();
    // The loader first: nothing of the synthesiser's may still be starting
    // while the sound system goes.
    s->loader.join();
    s->stream.stop();
    s->loader.close();
    s->renderer.forget();
    s->open_tried = false;
    s->opened = false;
    s->load_failure_told = false;
}

bool FluidDevice::wait_until_loaded() { return state->loader.wait_until_finished(); }

bool FluidDevice::loaded() { return state->loader.status() == Load::ready; }

bool FluidDevice::streaming() { return state->stream.running(); }

uint64_t FluidDevice::frames_rendered() { return state->renderer.frames_rendered(); }

MidiDevice* fluid_midi_device() {
    static FluidDevice device(GM_SOUNDFONT_PATH);
    return &device;
}
