// The one-time build of every picture the game shows: the two discs, the
// whole window picture, the two looks of each level button and the four
// message banners (the sprite set of sprite_ids.h).
#pragma once
#include "art/sprite_ids.h"

// How the shaded parts reach the sprites. Both give the same pixels; the
// plain way is the reference the fast one is checked against.
enum class ShadeMethod {
    Plain,  // clear the whole canvas, shade pixel by pixel with put_pixel
    Fast,   // clear what shapes wrote, write the sprite memory directly
};

struct ArtworkOptions {
    ShadeMethod shading = ShadeMethod::Fast;
    // Without text the pictures do not depend on the installed fonts; tests
    // use it to pin down everything else to the pixel.
    bool with_text = true;
};

// Called once at start-up, after the screen is attached and the empty
// hot_zones list and the process-wide canvas exist (the canvas is created
// here if it does not). Builds sprites 1 and 3 to 15, registers the three
// level-button zones as it draws the buttons, and leaves no drawing pass
// open and the blit target on the screen.
void build_artwork();
void build_artwork(const ArtworkOptions& options);

// build_artwork in the two steps of the game's start-up: first what its
// first picture shows (sprite 1 with the buttons dim, the six button looks
// and the three zones) and the discs, then, once that picture is on the
// screen, the five message-area sprites, which only play shows. Same
// preconditions; the second step comes after the first.
void build_window_picture(const ArtworkOptions& options = {});
void build_play_pictures(const ArtworkOptions& options = {});
