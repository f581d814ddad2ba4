#include <benchmark/benchmark.h>

#include "foundation/NumberText.h"
#include "foundation/Scanner.h"
#include "foundation/Strings.h"
#include "foundation/URL.h"

using namespace foundation;

static void parseAbsoluteURL(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(URL::fromString("https://api.example.org/ergast/f1/2023/12/pitstops/2.json?limit=100"));
    }
}
BENCHMARK(parseAbsoluteURL);

static void resolveRelativeURL(benchmark::State& state) {
    const URL base = *URL::fromString("https://livetiming.example/static/2023/");
    for (auto _ : state) {
        benchmark::DoNotOptimize(URL::fromString("2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/../Index.json", base));
    }
}
BENCHMARK(resolveRelativeURL);

// The driver key: folded without diacritics, then lower-cased, once per table row.
static void driverKey(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(lowercased(folding("Nico Hülkenberg", FoldingOptions::diacriticInsensitive)));
    }
}
BENCHMARK(driverKey);

static void describeDouble(benchmark::State& state) {
    double value = 1.0 / 3;
    for (auto _ : state) benchmark::DoNotOptimize(describe(value));
}
BENCHMARK(describeDouble);

static void scanPathNumbers(benchmark::State& state) {
    const std::string data = "10.5,-3e2 .5.25 -7E+1 100,200 3.14159,2.71828 0,0 1e-3,4";
    for (auto _ : state) {
        Scanner scanner(data);
        scanner.setCharactersToBeSkipped(CharacterSet(" ,"));
        double sum = 0;
        while (auto value = scanner.scanDouble()) sum += *value;
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(scanPathNumbers);
