// Whole milliseconds from a high-resolution tick count.
#pragma once

#include <cstdint>

// floor(elapsedTicks x 1000 / ticksPerSecond), low 32 bits, without overflow.
// Counted from a first reading taken as 0, a difference of n between readings
// then means at least n milliseconds have passed: never early.
std::uint32_t WholeMilliseconds(std::uint64_t elapsedTicks, std::uint64_t ticksPerSecond);
