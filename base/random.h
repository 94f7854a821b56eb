#pragma once
// The process's pseudo-random generator. Its one consumer is the name of the
// temporary file that captures a console command's output.
#include <cstdint>

namespace kavrel {

// Sets the generator's state.
void SeedRandom(std::uint32_t seed);

// A pseudo-random number from 0 to range - 1 (0 when range is 0).
std::uint32_t RandomBelow(std::uint32_t range);

}  // namespace kavrel
