#pragma once
// How a long read or write tells how far it has come.
#include <cstdint>
#include <functional>

namespace kavrel {

// Called after each slice with the bytes done so far and the bytes in all;
// an empty one is never called.
using ByteProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

}  // namespace kavrel
