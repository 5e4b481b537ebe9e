// The engine's one pseudo-random source. The numeric services draw from it
// like from rand(). The app never seeds it, so its sequence (and with it
// every answer of the services) is the same in every run; tests and the
// fuzzer seed it for sequences of their own.
#pragma once

namespace orlix::detail {

// Largest value engineRandom() returns.
inline constexpr int engineRandomMax = 2147483647;

// A uniform value in [0, engineRandomMax].
int engineRandom();
void seedEngineRandom(unsigned seed);

} // namespace orlix::detail
