// Colonnade4: four in a row against the computer.
// The program takes no command line, reads no file of its own and writes nothing.
#include "game/main_loop.h"
#include "platform/backend.h"
#include "sound/fluid_device.h"

int main() { return run_game(sdl_backend(), fluid_midi_device()); }
