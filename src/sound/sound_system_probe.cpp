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
#include <thread>
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
    if (SDL_WasInit(SDL_INIT_AUDIO)) return;  // started already, and alive
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
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data()) == 0) child = pid;
    unprobed = child < 0;
}

// The probe costs a few milliseconds, after the first picture: started any
// earlier, it would take the processor from the game's and the display's
// start.
bool SoundSystemProbe::passed() {
    if (child < 0 && !unprobed) start();
    if (child < 0) return true;
    const auto deadline = std::chrono::steady_clock::now() + PROBE_DEADLINE;
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (done == 0) {
        forget();
        return false;
    }
    child = -1;
    return done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void SoundSystemProbe::forget() {
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    child = -1;
    unprobed = false;
}
