// The window's active areas: the three level buttons, the close cross and
// the board, each an inclusive rectangle with a zone id, kept in list order.
//
// The artwork registers the three buttons as it draws them; start-up then
// adds the close cross and the board. The hover update walks the list with
// list_rewind / list_next and tests the zone at the cursor.
#pragma once
#include <cstdint>

struct RecordList;

// Five signed 32-bit words, in this order; all bounds are inclusive.
struct HotZone {
    int32_t id;
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
static_assert(sizeof(HotZone) == 5 * sizeof(int32_t), "a zone is five 32-bit words");

constexpr int32_t ZONE_NOVICE = 16;
constexpr int32_t ZONE_MOYEN = 17;
constexpr int32_t ZONE_MAITRE = 18;
constexpr int32_t ZONE_BOARD = 19;
constexpr int32_t ZONE_CLOSE = 20;
// Not a zone: the hover state of a pointer over no zone.
constexpr int32_t ZONE_NONE = 21;

// Held beside the game state; nullptr until create_hot_zones.
extern RecordList* hot_zones;

// Creates the empty list (once; a second call keeps the first list).
RecordList* create_hot_zones();
void free_hot_zones();

// Appends a zone after the list cursor, which then rests on it; a series of
// calls therefore keeps the zones in call order. Returns 0.
int32_t add_hot_zone(int32_t id, int32_t left, int32_t top, int32_t right, int32_t bottom);
// 1 when (x, y) lies in the zone at the list cursor, else 0 (also when
// there is no cursor). Called during a walk.
int32_t zone_contains(int32_t x, int32_t y);
