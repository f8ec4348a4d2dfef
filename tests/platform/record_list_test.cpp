#include <gtest/gtest.h>

#include <vector>

#include "platform/record_list.h"

namespace {

struct Zone {
    int id;
    int left, top, right, bottom;
};

TEST(RecordList, EmptyListHasNothingToWalk) {
    RecordList* list = list_create(sizeof(Zone));
    list_rewind(list);
    EXPECT_EQ(list_next(list), nullptr);
    EXPECT_EQ(list_current(list), nullptr);
    EXPECT_EQ(list_count(list), 0);
    list_free(list);
}

TEST(RecordList, WalksInOrderOfAddingAndRestsOnTheLast) {
    RecordList* list = list_create(sizeof(Zone));
    for (int id = 16; id <= 20; ++id) {
        Zone* zone = static_cast<Zone*>(list_add(list));
        ASSERT_NE(zone, nullptr);
        EXPECT_EQ(zone->id, 0) << "records start zeroed";
        EXPECT_EQ(zone->bottom, 0);
        zone->id = id;
        EXPECT_EQ(list_current(list), zone) << "a new record becomes the cursor";
    }
    EXPECT_EQ(list_count(list), 5);
    // Twice, to show that rewinding starts the walk over.
    for (int pass = 0; pass < 2; ++pass) {
        list_rewind(list);
        for (int id = 16; id <= 20; ++id) {
            const Zone* zone = static_cast<const Zone*>(list_next(list));
            ASSERT_NE(zone, nullptr);
            EXPECT_EQ(zone->id, id);
        }
        EXPECT_EQ(list_next(list), nullptr);
        EXPECT_EQ(list_next(list), nullptr);
        ASSERT_NE(list_current(list), nullptr);
        EXPECT_EQ(static_cast<const Zone*>(list_current(list))->id, 20) << "the cursor rests on the fifth";
    }
    list_free(list);
}

TEST(RecordList, AddingInTheMiddleInsertsAfterTheCursor) {
    RecordList* list = list_create(sizeof(int));
    for (int v : {1, 2, 3})
        *static_cast<int*>(list_add(list)) = v;
    list_rewind(list);
    list_next(list);                         // cursor on 1
    *static_cast<int*>(list_add(list)) = 9;  // 1 9 2 3
    list_rewind(list);                       // no cursor: the head
    *static_cast<int*>(list_add(list)) = 0;  // 0 1 9 2 3
    list_rewind(list);
    std::vector<int> order;
    while (const int* v = static_cast<const int*>(list_next(list)))
        order.push_back(*v);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 9, 2, 3}));
    list_free(list);
}

}  // namespace
