// The smoke run of a benchmark (ctest's bench_smoke.*, SORVANE_BENCH_SMOKE set) only shows that it still
// runs: a workload of fixed length takes its smallest size and a fixed iteration count becomes one.
#pragma once

#include <cstdlib>

namespace sorvane::bench {

inline bool smokeRun() { return std::getenv("SORVANE_BENCH_SMOKE") != nullptr; }

// For ->Iterations(...): the count a measurement needs, one in the smoke run.
inline int iterations(int measured) { return smokeRun() ? 1 : measured; }

}  // namespace sorvane::bench
