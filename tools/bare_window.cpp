// The least any SDL2 program can do to show a 400 x 600 picture: the game
// bench's yardstick for start-up time and memory. A borderless centred
// window on X11, one frame drawn in software into the window surface,
// presented, and drawn again whenever the display asks; then it waits
// until it is closed or killed.
//
// It uses SDL directly, unlike the game, on purpose: whatever the game's own
// layers add is what the bench measures against this.
#include <SDL.h>

#include "bare_window_picture.h"

namespace {

void draw_and_present(SDL_Window* window) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface) return;
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    for (int y = 0; y < surface->h && y < bare_window::HEIGHT; ++y) {
        auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface->pixels) + y * surface->pitch);
        for (int x = 0; x < surface->w && x < bare_window::WIDTH; ++x) {
            const uint32_t rgb = bare_window::pixel(x, y);
            row[x] = SDL_MapRGB(surface->format, Uint8(rgb >> 16), Uint8(rgb >> 8), Uint8(rgb));
        }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window);
}

}  // namespace

int main() {
    // The same choices as the game's backend, so that both pay for the same
    // things: X11, the plain framebuffer.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window* window = SDL_CreateWindow("colonnade4-bare-window", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          bare_window::WIDTH, bare_window::HEIGHT, SDL_WINDOW_BORDERLESS);
    if (!window) return 1;
    draw_and_present(window);
    SDL_Event e;
    while (SDL_WaitEvent(&e)) {
        if (e.type == SDL_QUIT) break;
        if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_EXPOSED) draw_and_present(window);
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
