#include "game/hot_zones.h"

#include "platform/record_list.h"

RecordList* hot_zones = nullptr;

RecordList* create_hot_zones() {
    if (!hot_zones) hot_zones = list_create(sizeof(HotZone));
    return hot_zones;
}

void free_hot_zones() {
    if (hot_zones) list_free(hot_zones);
    hot_zones = nullptr;
}

int32_t add_hot_zone(int32_t id, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!hot_zones) return 0;
    if (auto* zone = static_cast<HotZone*>(list_add(hot_zones))) *zone = {id, left, top, right, bottom};
    return 0;
}

int32_t zone_contains(int32_t x, int32_t y) {
    if (!hot_zones) return 0;
    const auto* zone = static_cast<const HotZone*>(list_current(hot_zones));
    if (!zone) return 0;
    return zone->left <= x && x <= zone->right && zone->top <= y && y <= zone->bottom ? 1 : 0;
}
