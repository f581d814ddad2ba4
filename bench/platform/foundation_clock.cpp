#include <benchmark/benchmark.h>

#include "foundation/Clock.h"

// Date::now() sits on every timer and countdown path.
static void BM_DateNow(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(foundation::Date::now());
}
BENCHMARK(BM_DateNow);
