#include "base/random.h"

namespace kavrel {

namespace {
std::uint32_t randomState = 0;
}

void SeedRandom(std::uint32_t seed) { randomState = seed; }

std::uint32_t RandomBelow(std::uint32_t range) {
    // A linear congruential step; the high bits are the well-mixed ones.
    randomState = randomState * 0x08088405u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(randomState) * range) >> 32);
}

}  // namespace kavrel
