#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace sorvane::testing {

// A randomized test's seed: its own, or SORVANE_TEST_SEED when that is set, printed so that a failure
// can be replayed.
inline std::uint32_t testSeed(std::uint32_t own) {
    const char* given = std::getenv("SORVANE_TEST_SEED");
    const std::uint32_t seed = given && *given ? std::uint32_t(std::strtoul(given, nullptr, 10)) : own;
    std::printf("seed %u\n", seed);
    return seed;
}

}  // namespace sorvane::testing
