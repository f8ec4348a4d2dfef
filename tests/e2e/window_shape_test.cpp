// The rounded outline, without a display. The expected corner is the one
// that Windows gives CreateRoundRectRgn (0, 0, 400, 600, 100, 100): the
// region keeps x 0..398 and y 0..598, and its top rows start this far in.
#include <gtest/gtest.h>

#include "platform/window_shape.h"

namespace {

// Inset of rows 0..49 of the top corners; the bottom corners mirror them
// about row 299 (row 598 - y has the inset of row y).
constexpr int GAME_CORNER_INSETS[50] = {43, 38, 34, 32, 29, 27, 25, 24, 22, 21, 20, 18, 17, 16, 15, 14, 13,
                                        12, 11, 11, 10, 9,  8,  8,  7,  6,  6,  5,  5,  4,  4,  4,  3,  3,
                                        2,  2,  2,  2,  1,  1,  1,  1,  1,  0,  0,  0,  0,  0,  0,  0};

TEST(WindowShape, GameOutlineRowByRow) {
    const std::vector<RowSpan> rows = round_rect_rows(400, 600, 100, 100);
    ASSERT_EQ(rows.size(), 599u);  // rows 0..598; row 599 is outside
    for (int y = 0; y < 599; ++y) {
        int inset = 0;
        if (y < 50) inset = GAME_CORNER_INSETS[y];
        if (598 - y < 50) inset = GAME_CORNER_INSETS[598 - y];
        EXPECT_EQ(rows[size_t(y)].left, inset) << "row " << y;
        EXPECT_EQ(rows[size_t(y)].right, 399 - inset) << "row " << y;  // column 399 is outside
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

} // namespace
