#include "math/random.h"

namespace Bx {

namespace {
int32_t g_seed = 0x0BADCAFE;
}

double nextRandom() {
    // Unsigned arithmetic wraps where signed overflow would be undefined.
    g_seed = int32_t(uint32_t(g_seed) * 16807u);
    return double(g_seed) * (1.0 / 2147483648.0);
}

int32_t randomSeed() { return g_seed; }

} // namespace Bx
