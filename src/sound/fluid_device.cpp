// The built-in synthesiser's device: the soundfont's loader, the renderer
// SDL's audio thread calls, and the stream through SDL, held together and
// driven from the game's thread, which none of them keeps waiting.
#include "sound/fluid_device.h"

#include "sound/audio_stream.h"
#include "sound/soundfont_loader.h"
#include "sound/synth_renderer.h"

struct FluidDevice::State {
    State(std::string soundfont_path, std::string probe_program)
        : loader(std::move(soundfont_path)), renderer(loader), stream(renderer, loader, std::move(probe_program)) {}

    SoundfontLoader loader;
    SynthRenderer renderer;
    AudioStream stream;
    bool open_tried = false;
    bool opened = false;       // open succeeded; until close
    bool failure_told = false;  // that nothing will sound
};

FluidDevice::FluidDevice(std::string soundfont_path, std::string probe_program)
    : state(std::make_unique<State>(std::move(soundfont_path), std::move(probe_program))) {
    name_audio_stream();
}

FluidDevice::~FluidDevice() { close(); }

void FluidDevice::prepare() { state->loader.start(); }

bool FluidDevice::open() {
    State* s = state.get();
    if (s->open_tried) return s->opened;
    s->open_tried = true;
    if (s->loader.status() == Load::failed) return false;
    // Without an earlier prepare the file is checked here.
    if (!s->loader.start()) return false;
    s->stream.open();
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
    const bool silent = s->loader.status() == Load::failed;
    if (silent)
        s->stream.stop();  // nothing will ever sound: no stream either
    else
        s->stream.tend();
    if (!silent && !s->stream.failed_to_start()) return true;
    const bool told = s->failure_told;
    s->failure_told = true;
    return told;
}

bool FluidDevice::settle() {
    if (state->opened) state->stream.wait_for_first_look();
    return tend();
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
    s->failure_told = false;
}

bool FluidDevice::wait_until_loaded() {
    const bool loaded = state->loader.wait_until_finished();
    if (state->opened) state->stream.wait_for_first_look();
    return loaded;
}

bool FluidDevice::loaded() { return state->loader.status() == Load::ready; }

bool FluidDevice::streaming() { return state->stream.running(); }

uint64_t FluidDevice::frames_rendered() { return state->renderer.frames_rendered(); }

MidiDevice* fluid_midi_device() {
    static FluidDevice device(GM_SOUNDFONT_PATH);
    return &device;
}
