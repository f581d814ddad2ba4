#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "foundation/JSONCoding.h"
#include "livetiming/TimingData.h"

namespace {

foundation::Data timingRecording() {
    std::ifstream file(std::string(SORVANE_TEST_FIXTURES) +
                           "/livetiming/_signalr-state/2025-03-16_Australian_Grand_Prix_Race/TimingData.json",
                       std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return foundation::Data::fromString(bytes);
}

// The live screen decodes the whole timing document every 2.5 seconds.
void BM_DecodeTimingData(benchmark::State& state) {
    auto body = timingRecording();
    for (auto _ : state) {
        auto timing = foundation::JSONDecoder{}.decode<livetiming::TimingData>(body);
        if (!timing) state.SkipWithError("recording does not decode");
        benchmark::DoNotOptimize(timing);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_DecodeTimingData);

void BM_ParseTimingDataOnly(benchmark::State& state) {
    auto body = timingRecording();
    for (auto _ : state) benchmark::DoNotOptimize(nlohmann::json::parse(body.view()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_ParseTimingDataOnly);

}  // namespace
