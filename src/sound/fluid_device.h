// MIDI output device 0 of the game: a General MIDI synthesiser built into the
// program, playing through the system's default audio output.
//
// The soundfont takes tens of milliseconds to load, so it loads on a
// background thread, started by prepare or else by open, and open only
// checks, cheaply, that the file looks like a SoundFont. Messages that
// arrive before the synthesiser is ready wait, in order, and are played
// once it is. SDL's sound system is started only by this device, and only
// once a probe process has started it and lived (SDL 2.26 can crash there):
// the probe runs beside the game, which never waits for it. Should the load
// fail, or the audio output not open, after open has succeeded, tend
// reports it once (the game shows its box) and the device stays open and
// silent.
//
// The audio stream runs only while something sounds: tend closes it once
// the last voice and its tail have died away, and the next message opens it
// again. tend also notices a stream the sound server has dropped (the server
// stopped) and looks for the server anew; notes sent meanwhile are dropped.
//
// Each message sounds a constant delay after it was sent, at the frame of
// its own moment (to within the synthesiser's 64-frame block), so that
// the tunes keep their rhythm, whatever hiccups came before.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "sound/midi.h"

constexpr const char* GM_SOUNDFONT_PATH = "/usr/share/sounds/sf2/TimGM6mb.sf2";
// How the desktop's per-application volume control lists the game.
constexpr const char* AUDIO_APPLICATION_NAME = "Colonnade4";

// Names the game's stream however SDL reaches the sound server: SDL's hints,
// and, unless the user already has one, the PulseAudio library's property
// override (name, icon and role "game"); and chooses the latency it asks the
// server for. Must come before SDL's sound system starts, and changes the
// environment: called while the game's thread is the only one (the device's
// constructor, from main).
void name_audio_stream();

struct FluidDevice final : MidiDevice {
    // Tests hand in a missing or broken file, and a probe of their own; the
    // game uses fluid_midi_device, whose probe is the game itself.
    explicit FluidDevice(std::string soundfont_path, std::string probe_program = "/proc/self/exe");
    ~FluidDevice() override;

    void prepare() override;
    bool open() override;
    bool send(uint32_t word) override;
    bool tend() override;
    bool settle() override;
    // Stops the sound, waits for a load in progress and frees the
    // synthesiser; the device can then be prepared and opened again.
    void close() override;

    // Blocks until the soundfont has loaded or failed to, and, once open,
    // until the audio output has opened or failed to; true when loaded.
    // False at once when the load never started. For tests and tools.
    bool wait_until_loaded();
    // True once the soundfont is loaded and messages go straight to the
    // synthesiser.
    bool loaded();
    // True while the audio stream runs.
    bool streaming();
    // Frames the audio output has taken from the synthesiser since open:
    // the device's own clock, which tests use to know when a note was sent.
    uint64_t frames_rendered();

    struct State;

private:
    std::unique_ptr<State> state;
};

// The game's device, over GM_SOUNDFONT_PATH; lives until the process ends.
MidiDevice* fluid_midi_device();
