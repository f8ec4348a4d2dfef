// The rounded outline, without a display.
#include <gtest/gtest.h>

#include "support/game_outline.h"
#include "platform/sdl/window_shape.h"

namespace {

TEST(WindowShape, GameOutlineRowByRow) {
    const std::vector<RowSpan> rows = round_rect_rows(400, 600, 100, 100);
    ASSERT_EQ(rows.size(), size_t(game_outline::LAST_ROW + 1));
    for (int y = 0; y <= game_outline::LAST_ROW; ++y) {
        EXPECT_EQ(rows[size_t(y)].left, game_outline::inset(y)) << "row " << y;
        EXPECT_EQ(rows[size_t(y)].right, game_outline::RIGHT_END - game_outline::inset(y)) << "row " << y;
    }
}

TEST(WindowShape, SmallAndDegenerateOutlines) {
    struct Case {
        int width, height, corner_width, corner_height;
        std::vector<RowSpan> rows;
    };
    const Case cases[] = {
        // Corners too small to round: the plain rectangle, one short at right and bottom.
        {10, 4, 1, 1, {{0, 9}, {0, 9}, {0, 9}}},
        {10, 4, 0, 30, {{0, 9}, {0, 9}, {0, 9}}},
        // Corners larger than the window are cut to its size.
        {5, 5, 50, 50, {{1, 3}, {0, 4}, {0, 4}, {1, 3}}},
        // Nothing to show.
        {1, 10, 4, 4, {}},
        {10, 0, 4, 4, {}},
    };
    for (const Case& c : cases) {
        const std::vector<RowSpan> rows = round_rect_rows(c.width, c.height, c.corner_width, c.corner_height);
        ASSERT_EQ(rows.size(), c.rows.size()) << c.width << "x" << c.height;
        for (size_t y = 0; y < rows.size(); ++y) {
            EXPECT_EQ(rows[y].left, c.rows[y].left) << c.width << "x" << c.height << " row " << y;
            EXPECT_EQ(rows[y].right, c.rows[y].right) << c.width << "x" << c.height << " row " << y;
        }
    }
}

TEST(WindowShape, EveryRowIsSymmetricAndInsideTheWindow) {
    for (int w : {20, 101, 400})
        for (int h : {20, 77, 600})
            for (int c : {2, 3, 10, 51, 100, 250}) {
                const std::vector<RowSpan> rows = round_rect_rows(w, h, c, c);
                ASSERT_EQ(rows.size(), size_t(h - 1));
                for (size_t y = 0; y < rows.size(); ++y) {
                    EXPECT_GE(rows[y].left, 0);
                    EXPECT_LT(rows[y].left, rows[y].right);
                    EXPECT_EQ(rows[y].left, (w - 1) - rows[y].right) << w << "x" << h << "/" << c << " row " << y;
                }
            }
}

}  // namespace
