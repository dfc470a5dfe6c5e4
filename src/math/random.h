#pragma once
// The engine's pseudo-random numbers: a multiplicative congruential
// generator over a process-wide signed 32-bit seed, starting at 0x0BADCAFE,
// the same sequence in every run.

#include <cstdint>

namespace Bx {

// seed = seed * 16807 (wrapping at 32 bits, read as signed); returns the new
// seed times 2^-31, a value in [-1, 1).
double nextRandom();

// The current seed.
int32_t randomSeed();

} // namespace Bx
