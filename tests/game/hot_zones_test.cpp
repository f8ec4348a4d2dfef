#include <gtest/gtest.h>

#include <vector>

#include "game/hot_zones.h"
#include "platform/record_list.h"

namespace {

// The five zones as start-up registers them: the buttons while the artwork
// is built, then the close cross and the board.
class HotZonesTest : public ::testing::Test {
protected:
    void SetUp() override {
        free_hot_zones();
        ASSERT_NE(create_hot_zones(), nullptr);
        add_hot_zone(ZONE_NOVICE, 30, 80, 130, 110);
        add_hot_zone(ZONE_MOYEN, 30, 115, 130, 145);
        add_hot_zone(ZONE_MAITRE, 30, 150, 130, 180);
        add_hot_zone(ZONE_CLOSE, 350, 27, 370, 47);
        add_hot_zone(ZONE_BOARD, 30, 255, 370, 555);
    }
    void TearDown() override { free_hot_zones(); }

    // The hover update's walk: the ids of the zones that hold the point.
    static std::vector<int32_t> zones_at(int x, int y) {
        std::vector<int32_t> ids;
        list_rewind(hot_zones);
        while (const auto* zone = static_cast<const HotZone*>(list_next(hot_zones)))
            if (zone_contains(x, y)) ids.push_back(zone->id);
        return ids;
    }
};

TEST_F(HotZonesTest, WalkVisitsTheZonesInRegistrationOrderEveryTime) {
    for (int walk = 0; walk < 2; ++walk) {
        std::vector<int32_t> ids;
        list_rewind(hot_zones);
        while (const auto* zone = static_cast<const HotZone*>(list_next(hot_zones)))
            ids.push_back(zone->id);
        EXPECT_EQ(ids, (std::vector<int32_t>{16, 17, 18, 20, 19})) << "walk " << walk + 1;
    }
}

TEST_F(HotZonesTest, BoundsAreInclusive) {
    struct Case {
        int x, y;
        std::vector<int32_t> zones;
    };
    const Case cases[] = {
        {30, 80, {ZONE_NOVICE}},
        {130, 110, {ZONE_NOVICE}},
        {131, 95, {}},
        {80, 111, {}},
        {80, 114, {}},
        {80, 115, {ZONE_MOYEN}},
        {80, 146, {}},
        {80, 149, {}},
        {80, 150, {ZONE_MAITRE}},
        {130, 180, {ZONE_MAITRE}},
        {350, 27, {ZONE_CLOSE}},
        {370, 47, {ZONE_CLOSE}},
        {371, 47, {}},
        {30, 255, {ZONE_BOARD}},
        {370, 555, {ZONE_BOARD}},
        {371, 300, {}},
        {200, 556, {}},
        {-1, -1, {}},
        {-1, 300, {}},
        {200, -1, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(zones_at(c.x, c.y), c.zones) << "(" << c.x << ", " << c.y << ")";
}

TEST_F(HotZonesTest, RecordIsFiveWordsInOrder) {
    list_rewind(hot_zones);
    list_next(hot_zones);
    const auto* words = static_cast<const int32_t*>(list_next(hot_zones));
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(std::vector<int32_t>(words, words + 5), (std::vector<int32_t>{17, 30, 115, 130, 145}));
}

TEST_F(HotZonesTest, NoCursorMeansNoZone) {
    list_rewind(hot_zones);
    EXPECT_EQ(zone_contains(80, 95), 0);
}

TEST(HotZonesWithoutList, OperationsDoNothing) {
    free_hot_zones();
    EXPECT_EQ(add_hot_zone(ZONE_BOARD, 0, 0, 10, 10), 0);
    EXPECT_EQ(zone_contains(5, 5), 0);
    EXPECT_EQ(hot_zones, nullptr);
}

}  // namespace
