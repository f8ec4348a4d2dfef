// The double-buffered screen, the sprite store and blits.
//
// Pixels are stored as 0x00RRGGBB; a packed colour (what every colour
// argument is) is red + green * 256 + blue * 65536. Stored 0 is black, the
// transparent colour of every sprite.
#pragma once
#include <cstdint>
#include "window.h"

using SpriteId = int;
constexpr SpriteId SCREEN_TARGET = -1;

// What a drawing pass works on: a sprite or the back buffer.
struct DrawTarget {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;  // pixels per row
    SpriteId id = SCREEN_TARGET;
};

bool init_screen_system();
bool open_window_screen(WindowHandle window, int x_offset, int y_offset, int width, int height, int stretch,
                        int right_margin, int bottom_margin);
void present_frame();

bool create_sprite(SpriteId id, int width, int height);
bool grab_sprite(SpriteId id, int x, int y, int width, int height);
void set_blit_target(int target);
void blit_sprite(SpriteId id, int x, int y);
void blit_sprite_keyed(SpriteId id, int x, int y);
void blend_sprite(SpriteId id, int x, int y, int opacity);

DrawTarget* sprite_draw_target(SpriteId id);
DrawTarget* screen_draw_target();

// Read access for the icon, the sprite export tool and tests: stored pixels
// row by row, or nullptr when there is no such sprite / no screen.
const uint32_t* sprite_pixels(SpriteId id, int* width, int* height);
const uint32_t* screen_pixels();
