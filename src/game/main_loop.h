// Start-up, the event loop with its hover and press handling, the repaint
// hook, and shut-down.
#pragma once
#include <cstdint>
#include "platform/window.h"

struct PlatformBackend;
struct MidiDevice;

// The program's whole run on the given platform backend and MIDI device:
// start-up, the event loop and shut-down. Returns the exit code, always 0.
int run_game(PlatformBackend* backend, MidiDevice* midi_device);

// The pieces of run_game, for tests that drive the loop one event at a time.
// start_game returns false when there is no screen (shut-down already done).
bool start_game(PlatformBackend* backend, MidiDevice* midi_device);
// Handles one event code from wait_event; false when the program must end.
bool handle_event(int32_t code);
void shut_down_game();

// Installed with set_window_handler: redraws and presents on EV_PAINT.
bool repaint_hook(WindowHandle window, int32_t message, intptr_t first, intptr_t second);

// The one window of the game.
extern WindowHandle game_window;
