// The engine's one pseudo-random source. The numeric services draw from it
// like from rand(); nothing in the engine seeds it, so whoever wants fresh
// sequences (the app at start-up) or repeatable ones (tests) seeds it.
#pragma once

namespace orlix::detail {

// Largest value engineRandom() returns.
inline constexpr int engineRandomMax = 2147483647;

// A uniform value in [0, engineRandomMax].
int engineRandom();
void seedEngineRandom(unsigned seed);

} // namespace orlix::detail
