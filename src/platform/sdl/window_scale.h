// How large the game's window is shown on a high-resolution screen.
//
// Pure arithmetic, kept apart from the X calls that read the settings so
// that every rule can be checked without a display.
#pragma once

// The whole number of screen pixels per picture pixel, along each axis, for
// a picture of picture_width x picture_height on a screen of screen_width x
// screen_height. The desktop's scale is GDK_SCALE when it is set to a whole
// number of at least 1 (gdk_scale, or null when unset), else the X resource
// Xft.dpi at 96 per 1x, rounded down (xft_dpi, or null when the resource is
// not there), else 1. It is then lowered until the scaled window fits on the
// screen; it is never below 1.
int window_scale(const char* gdk_scale, const char* xft_dpi, int picture_width, int picture_height, int screen_width,
                 int screen_height);

// A coordinate of the scaled window in picture pixels: rounded down, so that
// a point left of or above the window stays negative, and the screen pixels
// just past the right and bottom edges map to the picture's own edge,
// which counts as inside.
int picture_coordinate(int window_coordinate, int scale);
