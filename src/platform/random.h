// The process's one random generator.
#pragma once
#include <cstdint>

// Lagged-Fibonacci generator with rotations; the same seed gives the same
// sequence on every machine.
void seed_random(uint32_t seed);
// Uniform over 0..n, both ends included; -2147483648 for a negative n.
int32_t random_upto(int32_t n);
