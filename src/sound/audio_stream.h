// SDL's sound system and the game's stream through it: started only once a
// probe process has lived through starting it (see sound_system_probe.h),
// opened for sound and closed at rest, dropped with a sound server that
// went away and looked for again.
//
// Everything here runs on the game's thread and returns at once: the probe
// runs beside it, and is asked for its answer on the next call. Notes that
// find no stream meanwhile are dropped; they would sound late.
#pragma once
#include <SDL.h>

#include <chrono>
#include <string>

#include "sound/sound_system_probe.h"

class SoundfontLoader;
class SynthRenderer;

class AudioStream {
public:
    AudioStream(SynthRenderer& renderer, SoundfontLoader& loader, std::string probe_program)
        : renderer_(renderer), loader_(loader), probe_(std::move(probe_program)) {}

    // Starts looking for the sound system: the probe, then SDL's sound
    // system and a stream, which rests once quiet.
    void open();
    // The stream again, for a note: after a rest the sound system is there
    // and the stream opens at once; without it, the look goes on, and the
    // messages are settled without a stream.
    void reopen();
    // Called on every timer tick: carries the look on, notices a stream the
    // server dropped (SDL's sound system then goes with it, and is looked
    // for again), and closes the stream once the synthesiser has rested.
    void tend();
    // True once the first look since open has failed: nothing will sound.
    bool failed_to_start() const { return first_look_ == Look::failed; }
    // Blocks until the first look since open has ended, however it did
    // (tests, tools, and the game's shut-down; never while playing).
    void wait_for_first_look();
    // The stream, SDL's sound system and the probe, all stopped.
    void stop();

    bool running() const { return audio_ != 0; }

private:
    enum class Look { none, pending, done, failed };
    void look();
    void look_failed();
    bool start_sound_system();
    void stop_sound_system();
    bool open_stream();
    void close_stream();

    SynthRenderer& renderer_;
    SoundfontLoader& loader_;
    SoundSystemProbe probe_;
    bool wanted_ = false;          // opened, and not stopped since
    bool sound_system_ = false;    // SDL's, started by this stream
    SDL_AudioDeviceID audio_ = 0;  // the stream, while it runs
    Look first_look_ = Look::none;
    std::chrono::steady_clock::time_point next_look_{};
    std::chrono::milliseconds look_every_{0};
};
