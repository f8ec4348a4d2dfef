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

#include <chrono>
#include <string>

// True in the probe's process.
bool sound_probe_requested();
// Starts SDL's sound system and ends the process: 0 when it started.
[[noreturn]] void run_sound_probe();

// The ALSA library prints its own complaints to standard error when a
// machine has no sound card; the game says so once, in its box, and
// otherwise writes nothing. Called before each start of the sound system.
void quiet_alsa_complaints();

// The probe, run beside the game: the game's thread starts it and asks
// for its answer later, never waiting for it.
class SoundSystemProbe {
public:
    enum class Answer { none, running, passed, failed };

    // `program` is started anew as the probe; the game's own by default.
    explicit SoundSystemProbe(std::string program = "/proc/self/exe") : program_(std::move(program)) {}
    ~SoundSystemProbe() { forget(); }

    // Starts the probe, forgetting any earlier one. It passes at once when
    // SDL's sound system is already up, or when no probe can run at all
    // (the game then starts it unguarded, as it must to play).
    void start();
    // Its answer so far: running until the probe has ended, passed when it
    // started the sound system and ended well; failed when it did not, or
    // when it still runs after its deadline (it is killed then).
    Answer poll();
    // Kills and reaps a probe still running; no answer until the next start.
    void forget();

private:
    const std::string program_;
    pid_t child_ = -1;
    Answer answer_ = Answer::none;
    std::chrono::steady_clock::time_point deadline_{};
};
