#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "data/RaceModels.h"
#include "foundation/JSONCoding.h"

namespace {

foundation::Data recording(const char* relative) {
    std::ifstream file(std::string(SORVANE_TEST_FIXTURES) + "/results-api/" + relative, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return foundation::Data::fromString(bytes);
}

// Every race screen decodes whole documents like these on opening.
void decodeRaces(benchmark::State& state, const char* relative) {
    auto body = recording(relative);
    for (auto _ : state) {
        auto races = foundation::JSONDecoder{}.decode<RaceModel>(body);
        if (!races) state.SkipWithError("recording does not decode");
        benchmark::DoNotOptimize(races);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

// The floor: parsing the same bytes without building models.
void parseOnly(benchmark::State& state, const char* relative) {
    auto body = recording(relative);
    for (auto _ : state) benchmark::DoNotOptimize(nlohmann::json::parse(body.view()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

}  // namespace

BENCHMARK_CAPTURE(decodeRaces, seasonResults, "2023/results/2.json");
BENCHMARK_CAPTURE(parseOnly, seasonResults, "2023/results/2.json");
BENCHMARK_CAPTURE(decodeRaces, seasonSchedule, "2023.json");
BENCHMARK_CAPTURE(parseOnly, seasonSchedule, "2023.json");
BENCHMARK_CAPTURE(decodeRaces, laps, "2023/1/laps.limit=1200.json");
BENCHMARK_CAPTURE(parseOnly, laps, "2023/1/laps.limit=1200.json");
