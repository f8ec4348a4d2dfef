// The process's one random generator: a lagged-Fibonacci generator over 17
// pairs of 32-bit words with lag 10 and rotations 19 and 27. It is cheap,
// and the same seed replays the same games on every machine.
#include "platform/random.h"

namespace {

constexpr int PAIRS = 17;
constexpr int LAG = 10;
constexpr int ROTATION_A = 19;
constexpr int ROTATION_B = 27;
constexpr uint32_t SEED_MULTIPLIER = 2891336453u;  // 0xAC564B05
// Early outputs still show the seed's linear pattern; they are thrown away.
constexpr int WARM_UP_STEPS = 31;

struct Generator {
    uint32_t a[PAIRS] = {};
    uint32_t b[PAIRS] = {};
    int p1 = 0;
    int p2 = LAG;
};

Generator generator;

uint32_t rotl(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

uint64_t step() {
    Generator& g = generator;
    const uint32_t y = rotl(g.a[g.p1], ROTATION_A) + g.a[g.p2];
    const uint32_t z = rotl(g.b[g.p1], ROTATION_B) + g.b[g.p2];
    g.a[g.p1] = z;
    g.b[g.p1] = y;
    g.p1 = g.p1 == 0 ? PAIRS - 1 : g.p1 - 1;
    g.p2 = g.p2 == 0 ? PAIRS - 1 : g.p2 - 1;
    return (uint64_t(y) << 32) | z;
}

}  // namespace

void seed_random(uint32_t seed) {
    uint32_t s = seed;
    for (int k = 0; k < 2 * PAIRS; ++k) {
        s = s * SEED_MULTIPLIER + 1;
        if (k % 2 == 0)
            generator.a[k / 2] = s;
        else
            generator.b[k / 2] = s;
    }
    generator.p1 = 0;
    generator.p2 = LAG;
    for (int i = 0; i < WARM_UP_STEPS; ++i)
        step();
}

int32_t random_upto(int32_t n) {
    const uint64_t r = step();
    if (n < 0) return INT32_MIN;
    // floor(R * (n + 1) / 2^64): the high part of the exact product, so
    // every value of 0..n is equally likely and n itself is reachable.
    const unsigned __int128 product = static_cast<unsigned __int128>(r) * (uint64_t(n) + 1);
    return int32_t(uint64_t(product >> 64));
}
