// The modal message box: caption, text, one OK button, no icon.
#include <cstdio>

#include "platform/sdl_state.h"
#include "platform/window.h"

void sdl_message_box(const char* caption, const char* text) {
    SdlState& s = sdl_state();
    // The box's own loop runs in another process, so the game's window gets
    // no repaint while it is up. A repaint already due (the window's first,
    // when the box comes at start-up) is served now, so that the window
    // shows its picture behind the box; the request stays queued and is
    // reported as usual afterwards.
    if (s.window) {
        XSync(s.x_display, False);
        SDL_PumpEvents();
        if (s.paint_pending) platform_offer_to_hook(EV_PAINT, 0, 0);
    }
    // SDL shows the box from a child process and waits for it; the game's
    // window is kept behind it as its owner.
    if (SDL_ShowSimpleMessageBox(0, caption ? caption : "", text ? text : "", s.window) != 0) {
        // No display to show it on: the words still reach whoever runs us.
        std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
        return;
    }
    // While the box was up the game's window took no input, as a window
    // disabled under a modal box takes none: what was typed or clicked on it
    // meanwhile is dropped, not replayed now. Pointer moves stay: they only
    // bring the hover up to date with where the pointer is now, and a user
    // who moves on as the box closes expects the button under the pointer
    // to light up.
    if (s.video_ready) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_KEYDOWN, SDL_KEYMAPCHANGED);
        SDL_FlushEvents(SDL_MOUSEBUTTONDOWN, SDL_MOUSEWHEEL);
    }
}
