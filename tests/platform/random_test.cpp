#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <set>
#include <vector>

#include "platform/random.h"

namespace {

// The generator written out plainly, word by word, to hold the real one to
// the algorithm: 34 seeding words, 17 pairs, lag 10, rotations 19 and 27,
// 31 steps thrown away, and the bound applied with 32-bit long
// multiplication instead of a 128-bit product.
struct ReferenceGenerator {
    uint32_t a[17], b[17];
    int p1 = 0, p2 = 10;

    explicit ReferenceGenerator(uint32_t seed) {
        uint32_t words[34];
        uint32_t s = seed;
        for (int k = 0; k < 34; ++k) {
            s = s * 0xAC564B05u + 1u;
            words[k] = s;
        }
        for (int i = 0; i < 17; ++i) {
            a[i] = words[2 * i];
            b[i] = words[2 * i + 1];
        }
        for (int i = 0; i < 31; ++i)
            step();
    }
    static uint32_t rotate(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }
    void step(uint32_t* high = nullptr, uint32_t* low = nullptr) {
        const uint32_t y = rotate(a[p1], 19) + a[p2];
        const uint32_t z = rotate(b[p1], 27) + b[p2];
        a[p1] = z;
        b[p1] = y;
        p1 = (p1 + 16) % 17;
        p2 = (p2 + 16) % 17;
        if (high) *high = y;
        if (low) *low = z;
    }
    int32_t upto(int32_t n) {
        uint32_t high, low;
        step(&high, &low);
        if (n < 0) return INT32_MIN;
        const uint64_t m = uint64_t(n) + 1;
        const uint64_t low_product = uint64_t(low) * m;
        const uint64_t high_product = uint64_t(high) * m;
        return int32_t((high_product + (low_product >> 32)) >> 32);
    }
};

TEST(Random, FollowsThePlainReadingOfTheAlgorithm) {
    // The game's bounds, the largest, and a negative one (which still draws its step).
    const int32_t bounds[] = {100, 20, INT32_MAX, 6, -3};
    for (uint32_t seed : {0u, 1u, 12345u, 0xFFFFFFFFu, 86400000u}) {
        ReferenceGenerator reference(seed);
        seed_random(seed);
        for (int i = 0; i < 200; ++i) {
            const int32_t n = bounds[i % 5];
            ASSERT_EQ(random_upto(n), reference.upto(n)) << "seed " << seed << ", draw " << i << ", n " << n;
        }
    }
}

TEST(Random, SameSeedSameSequence) {
    std::vector<int32_t> first, second;
    seed_random(4242);
    for (int i = 0; i < 50; ++i)
        first.push_back(random_upto(100));
    seed_random(4242);
    for (int i = 0; i < 50; ++i)
        second.push_back(random_upto(100));
    EXPECT_EQ(first, second);
    seed_random(4243);
    std::vector<int32_t> other;
    for (int i = 0; i < 50; ++i)
        other.push_back(random_upto(100));
    EXPECT_NE(first, other);
}

TEST(Random, BoundsAreInclusiveAndNegativeIsFlagged) {
    seed_random(7);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(random_upto(0), 0);
    std::set<int32_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const int32_t v = random_upto(20);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 20);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 21u) << "every value of 0..20 is drawn";
    EXPECT_EQ(random_upto(-1), INT32_MIN);
    EXPECT_EQ(random_upto(INT32_MIN), INT32_MIN);
}

}  // namespace
