// The probe is the game's own program started anew with PROBE_VARIABLE set
// (its main then runs run_sound_probe and nothing else), rather than a fork:
// the PulseAudio library refuses to work in a forked copy of a process that
// has used it, as the game has once it reconnects to a restarted server.
#include "sound/sound_system_probe.h"

#include <SDL.h>
#include <alsa/asoundlib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* PROBE_VARIABLE = "COLONNADE4_SOUND_PROBE";
// The probe answers in milliseconds; one that hangs is given up on, and the
// game plays without sound.
constexpr auto PROBE_DEADLINE = std::chrono::milliseconds(3000);

void ignore_alsa_complaint(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void quiet_alsa_complaints() { snd_lib_error_set_handler(ignore_alsa_complaint); }

bool sound_probe_requested() { return std::getenv(PROBE_VARIABLE) != nullptr; }

void run_sound_probe() {
    quiet_alsa_complaints();
    // _exit: SDL's sound threads may still run, and nothing of the program
    // was started that would need its exit handlers.
    _exit(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 ? 0 : 1);
}

void SoundSystemProbe::start() {
    forget();
    if (SDL_WasInit(SDL_INIT_AUDIO)) {  // started already, and alive
        answer_ = Answer::passed;
        return;
    }
    std::vector<std::string> variables;
    for (char** v = environ; *v; ++v)
        variables.emplace_back(*v);
    variables.push_back(std::string(PROBE_VARIABLE) + "=1");
    std::vector<char*> envp;
    for (std::string& v : variables)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    char name[] = "colonnade4-sound-probe";
    char* argv[] = {name, nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program_.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
        // No probe can run at all: the game starts the sound system
        // unguarded, as it must to play.
        answer_ = Answer::passed;
        return;
    }
    child_ = pid;
    deadline_ = std::chrono::steady_clock::now() + PROBE_DEADLINE;
    answer_ = Answer::running;
}

SoundSystemProbe::Answer SoundSystemProbe::poll() {
    if (answer_ != Answer::running) return answer_;
    int status = 0;
    const pid_t done = waitpid(child_, &status, WNOHANG);
    if (done == 0 && std::chrono::steady_clock::now() < deadline_) return answer_;
    if (done == 0) {
        forget();
        answer_ = Answer::failed;
        return answer_;
    }
    child_ = -1;
    answer_ = done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Answer::passed : Answer::failed;
    return answer_;
}

void SoundSystemProbe::forget() {
    if (child_ > 0) {
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
    }
    child_ = -1;
    answer_ = Answer::none;
}
