// The game's pictures as its start-up builds them, made in this process by
// the headless backend: what the real window must show. Used by the
// end-to-end tests and by the tools that watch the real game (bench, soak).
#pragma once
#include "art/artwork.h"
#include "art/shade_canvas.h"
#include "game/game_window.h"
#include "game/hot_zones.h"
#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "platform/window.h"

namespace e2e {

// Every sprite of the game, on a fresh headless platform; the screen stays
// open for composing until release_headless_artwork.
inline void build_headless_artwork() {
    headless_reset();
    init_platform(headless_backend());
    create_hot_zones();
    init_screen_system();
    const WindowHandle window = open_window(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, WF_POPUP | WF_START_HIDDEN, "expected");
    open_window_screen(window, 0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, 0, 0, 0);
    build_artwork();
}

inline void release_headless_artwork() {
    shutdown_platform();
    free_hot_zones();
    free_shade_canvas();
}

}  // namespace e2e
