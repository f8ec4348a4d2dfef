// The real backend: SDL2 on X11, for the game itself.
#pragma once

struct PlatformBackend;

PlatformBackend* sdl_backend();

// The program's exit code after a run on the real backend: a failure once
// the game's window or picture could not be shown (said on stderr), so that
// a game nobody can see never passes for one that ran.
int sdl_exit_status();
