// Colonnade4: four in a row against the computer.
// The program takes no command line, reads no file of its own and writes
// nothing, except one line on stderr when the display cannot show it.
#include "game/main_loop.h"
#include "platform/backend.h"
#include "sound/fluid_device.h"

int main() {
    const int code = run_game(sdl_backend(), fluid_midi_device());
    return code != 0 ? code : sdl_exit_status();
}
