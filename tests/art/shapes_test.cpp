#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "art/shade_canvas.h"
#include "plain_shapes.h"

namespace {

// Fills the canvas with values no shape writes, so that every element a
// shape leaves alone, or carries over, shows.
void scribble(ShadeCanvas& c, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> any(-3.0f, 30.0f);
    for (int i = 0; i < CANVAS_WIDTH * CANVAS_HEIGHT; ++i)
        c.elements[i] = {any(random), any(random), any(random), any(random)};
}

::testing::AssertionResult same_canvas(const ShadeCanvas& a, const ShadeCanvas& b) {
    for (int x = 0; x < CANVAS_WIDTH; ++x)
        for (int y = 0; y < CANVAS_HEIGHT; ++y)
            if (std::memcmp(&a.at(x, y), &b.at(x, y), sizeof(CanvasElement)) != 0)
                return ::testing::AssertionFailure()
                       << "element (" << x << ", " << y << "): height " << a.at(x, y).height << " vs "
                       << b.at(x, y).height << ", normal (" << a.at(x, y).nx << ", " << a.at(x, y).ny << ", "
                       << a.at(x, y).nz << ") vs (" << b.at(x, y).nx << ", " << b.at(x, y).ny << ", " << b.at(x, y).nz
                       << ")";
    return ::testing::AssertionSuccess();
}

struct Shape {
    bool hole;
    int x, y, w, h, radius, bevel;
};

// The shapes of the game, the extreme cases of the contract (circles,
// bevel = radius, bevel 1, the canvas's far edges), and a batch of random
// ones, each on a scribbled canvas and on top of the one before.
TEST(ShapesTest, SameElementsAsTheStepByStepAlgorithm) {
    std::vector<Shape> shapes = {
        {false, 0, 0, 40, 40, 20, 6},      {false, 0, 0, 400, 600, 50, 20},   {true, 25, 250, 50, 50, 25, 7},
        {true, 27, 77, 106, 36, 18, 5},    {false, 30, 80, 100, 30, 15, 6},   {false, 10, 10, 20, 20, 10, 10},
        {true, 10, 10, 20, 20, 10, 10},    {false, 100, 100, 60, 20, 10, 1},  {true, 100, 100, 60, 20, 10, 1},
        {true, 300, 500, 100, 100, 50, 9}, {false, 350, 550, 50, 50, 25, 25}, {true, 0, 0, 400, 600, 200, 200},
    };
    std::mt19937 random(7);
    for (int n = 0; n < 60; ++n) {
        const int radius = std::uniform_int_distribution<int>(1, 40)(random);
        const int bevel = std::uniform_int_distribution<int>(1, radius)(random);
        const int w = 2 * radius + std::uniform_int_distribution<int>(0, 120)(random);
        const int h = 2 * radius + std::uniform_int_distribution<int>(0, 120)(random);
        const int x = std::uniform_int_distribution<int>(0, 400 - w)(random);
        const int y = std::uniform_int_distribution<int>(0, 600 - h)(random);
        shapes.push_back({n % 2 == 1, x, y, w, h, radius, bevel});
    }
    auto mine = make_shade_canvas();
    auto reference = make_shade_canvas();
    scribble(*mine, 1);
    scribble(*reference, 1);
    for (const Shape& s : shapes) {
        SCOPED_TRACE(testing::Message() << (s.hole ? "hole " : "slab ") << s.x << ", " << s.y << ", " << s.w << ", "
                                        << s.h << ", " << s.radius << ", " << s.bevel);
        if (s.hole) {
            render_hole(*mine, s.x, s.y, s.w, s.h, s.radius, s.bevel);
            plain_render_hole(*reference, s.x, s.y, s.w, s.h, s.radius, s.bevel);
        } else {
            render_slab(*mine, s.x, s.y, s.w, s.h, s.radius, s.bevel);
            plain_render_slab(*reference, s.x, s.y, s.w, s.h, s.radius, s.bevel);
        }
        ASSERT_TRUE(same_canvas(*mine, *reference));
    }
}

}  // namespace
