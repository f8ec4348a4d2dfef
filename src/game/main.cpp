// Colonnade4: four in a row against the computer.
//
// The program reads no file of its own and writes nothing, except one line
// on stderr when the display cannot show it. Of a command line it knows only
// the two questions every packaged program answers; any other argument is
// ignored and the game starts.
#include <cstdio>
#include <cstring>

#include "game/main_loop.h"
#include "platform/sdl/sdl_backend.h"
#include "sound/fluid_device.h"
#include "sound/sound_system_probe.h"

namespace {

// English, as the default manual page is.
constexpr const char* USAGE =
    "Usage: colonnade4 [--help | --version]\n"
    "Four in a row against the computer, in a small window with a French interface.\n"
    "Choose a level with the mouse, then drop discs with a click on a column or the\n"
    "keys 1 to 7; Escape quits. See colonnade4(6).\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n";

bool asked(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // The game's second mode: its sound device starts this program anew to
    // try SDL's sound system, which can crash on a server without a sink,
    // before the game itself dares to start it.
    if (sound_probe_requested()) run_sound_probe();
    if (asked(argc, argv, "--help")) {
        std::fputs(USAGE, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (asked(argc, argv, "--version")) {
        std::printf("Colonnade4 %s\n", COLONNADE4_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const int code = run_game(sdl_backend(), fluid_midi_device());
    return code != 0 ? code : sdl_exit_status();
}
