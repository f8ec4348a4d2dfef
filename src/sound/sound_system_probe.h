// Starting SDL's sound system without letting it take the game down.
//
// SDL 2.26 crashes while starting its sound system on a PulseAudio server
// without any sink (it copies the missing default sink's name). Another
// process tries it first: only if that one lives does the game start the
// sound system itself. That process is the program that links this file,
// started anew: its main must begin with
//
//     if (sound_probe_requested()) run_sound_probe();
#pragma once
#include <sys/types.h>

// True in the probe's process.
bool sound_probe_requested();
// Starts SDL's sound system and ends the process: 0 when it started.
[[noreturn]] void run_sound_probe();

// The ALSA library prints its own complaints to standard error when a
// machine has no sound card; the game says so once, in its box, and
// otherwise writes nothing. Called before each start of the sound system.
void quiet_alsa_complaints();

class SoundSystemProbe {
public:
    ~SoundSystemProbe() { forget(); }

    // Starts the probe; passed waits for its answer.
    void start();
    // True when the sound system can be started: the probe started it and
    // ended well, or no probe could run at all (the game then starts it
    // unguarded, as it must to play). A probe not started yet is started
    // now; it is reaped either way.
    bool passed();
    // Kills and reaps a probe still running; the next passed starts anew.
    void forget();

private:
    pid_t child = -1;
    bool unprobed = false;  // no probe could be started
};
