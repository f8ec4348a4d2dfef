// SDL's sound system and the game's stream through it: started only once a
// probe process has lived through starting it (see sound_system_probe.h),
// opened for sound and closed at rest, dropped with a sound server that
// went away and looked for again.
#pragma once
#include <SDL.h>

#include <chrono>

#include "sound/sound_system_probe.h"

class SynthRenderer;

class AudioStream {
public:
    explicit AudioStream(SynthRenderer& renderer) : renderer_(renderer) {}

    // SDL's sound system, then the stream; false when either fails (the
    // sound system is then stopped again).
    bool open();
    // The stream again, for a note: after a rest the sound system is there
    // and the stream opens at once; after the sound server went away, SDL's
    // sound system is started anew, once the server is back, but not more
    // often than every half second. Messages that find no stream are
    // settled without it.
    void reopen();
    // Closes the stream once the synthesiser has rested.
    void close_if_at_rest();
    // True when SDL says the stream has stopped: the server went away. SDL's
    // sound system goes with it.
    bool lost();
    void close();
    // The stream and SDL's sound system; the probe is forgotten too.
    void stop();

    bool running() const { return audio_ != 0; }

private:
    bool start_sound_system();
    void stop_sound_system();
    bool open_stream();

    SynthRenderer& renderer_;
    SoundSystemProbe probe_;
    bool sound_system_ = false;    // SDL's, started by this stream
    SDL_AudioDeviceID audio_ = 0;  // the stream, while it runs
    std::chrono::steady_clock::time_point next_reconnect_{};
};
