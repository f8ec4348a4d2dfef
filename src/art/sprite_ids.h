// The sprite set: every picture the game shows, built once by build_artwork,
// and the places in the window where the game shows them.
#pragma once
#include <cstdint>

#include "game/hot_zones.h"
#include "platform/screen.h"

constexpr SpriteId SPRITE_BACKDROP = 1;           // 400 x 600, the whole window picture, dim buttons
constexpr SpriteId SPRITE_DISC_HUMAN = 3;         // 41 x 41 on black, blitted keyed
constexpr SpriteId SPRITE_DISC_CPU = 4;           // 41 x 41 on black, blitted keyed
constexpr SpriteId SPRITE_BANNER_BACK = 5;        // 250 x 50, the empty message area at (100, 200)
constexpr SpriteId SPRITE_NOVICE_NORMAL = 6;      // 106 x 36 at (27, 77), dim
constexpr SpriteId SPRITE_NOVICE_HOVER = 7;       //   bright
constexpr SpriteId SPRITE_MOYEN_NORMAL = 8;       // 106 x 36 at (27, 112), dim
constexpr SpriteId SPRITE_MOYEN_HOVER = 9;        //   bright
constexpr SpriteId SPRITE_MAITRE_NORMAL = 10;     // 106 x 36 at (27, 147), dim
constexpr SpriteId SPRITE_MAITRE_HOVER = 11;      //   bright
constexpr SpriteId SPRITE_BANNER_YOUR_TURN = 12;  // 250 x 50, "A toi de jouer !"
constexpr SpriteId SPRITE_BANNER_WON = 13;        // "Tu as gagné !"
constexpr SpriteId SPRITE_BANNER_LOST = 14;       // "Tu as perdu !"
constexpr SpriteId SPRITE_BANNER_DRAW = 15;       // "Match nul !"

// Every id the artwork builds, in increasing order (ids 0 and 2 are unused).
constexpr SpriteId ARTWORK_SPRITES[] = {
    SPRITE_BACKDROP,         SPRITE_DISC_HUMAN,   SPRITE_DISC_CPU,    SPRITE_BANNER_BACK,   SPRITE_NOVICE_NORMAL,
    SPRITE_NOVICE_HOVER,     SPRITE_MOYEN_NORMAL, SPRITE_MOYEN_HOVER, SPRITE_MAITRE_NORMAL, SPRITE_MAITRE_HOVER,
    SPRITE_BANNER_YOUR_TURN, SPRITE_BANNER_WON,   SPRITE_BANNER_LOST, SPRITE_BANNER_DRAW,
};

// The message area above the board, where the banners (5, 12 to 15) go.
constexpr int MESSAGE_AREA_X = 100;
constexpr int MESSAGE_AREA_Y = 200;
constexpr int MESSAGE_AREA_WIDTH = 250;
constexpr int MESSAGE_AREA_HEIGHT = 50;

// The disc of cell (column, row) has its top-left corner here, centred in
// the hole at (25 + 50 column, 250 + 50 row); its centre lies DISC_HALF
// further right and down.
constexpr int CELL_PITCH = 50;
constexpr int disc_left(int column) { return 30 + CELL_PITCH * column; }
constexpr int disc_top(int row) { return 255 + CELL_PITCH * row; }
constexpr int DISC_HALF = 20;

// The turn disc stands above column 0, where a falling disc starts.
constexpr int TURN_DISC_X = 30;
constexpr int TURN_DISC_Y = 205;

// Each level button: its zone, its label, the top-left corner of its well
// (where both looks are blitted) and its two looks.
struct LevelButton {
    int32_t zone;
    const char* label;
    int well_x;
    int well_y;
    SpriteId normal;
    SpriteId hover;
};
constexpr LevelButton LEVEL_BUTTONS[] = {
    {ZONE_NOVICE, "Novice", 27, 77, SPRITE_NOVICE_NORMAL, SPRITE_NOVICE_HOVER},
    {ZONE_MOYEN, "Moyen", 27, 112, SPRITE_MOYEN_NORMAL, SPRITE_MOYEN_HOVER},
    {ZONE_MAITRE, "Maître", 27, 147, SPRITE_MAITRE_NORMAL, SPRITE_MAITRE_HOVER},
};
