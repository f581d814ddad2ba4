#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ProcessStatus.h"
#include "foundation/JSONCoding.h"

// The live screen decodes the whole timing document every 2.5 s: these compare decoding it into models
// with nlohmann's plain parse of the same bytes, which is the floor the decoder builds on.
namespace {

using foundation::field;
using foundation::optionalField;

struct Interval {
    std::optional<std::string> value;
    std::optional<bool> catching;
    static constexpr auto codingKeys =
        std::tuple{optionalField("Value", &Interval::value), optionalField("Catching", &Interval::catching)};
};

struct Segment {
    std::optional<std::int64_t> status;
    static constexpr auto codingKeys = std::tuple{optionalField("Status", &Segment::status)};
};

struct Sector {
    bool stopped = false;
    std::optional<std::string> previousValue;
    std::vector<Segment> segments;
    std::string value;
    std::optional<std::int64_t> status;
    bool overallFastest = false;
    bool personalFastest = false;
    static constexpr auto codingKeys = std::tuple{
        field("Stopped", &Sector::stopped),        optionalField("PreviousValue", &Sector::previousValue),
        field("Segments", &Sector::segments),      field("Value", &Sector::value),
        optionalField("Status", &Sector::status),  field("OverallFastest", &Sector::overallFastest),
        field("PersonalFastest", &Sector::personalFastest),
    };
};

struct Speed {
    std::string value;
    std::int64_t status = 0;
    bool overallFastest = false;
    bool personalFastest = false;
    static constexpr auto codingKeys = std::tuple{
        field("Value", &Speed::value), field("Status", &Speed::status),
        field("OverallFastest", &Speed::overallFastest), field("PersonalFastest", &Speed::personalFastest)};
};

struct Speeds {
    Speed i1, i2, fl, st;
    static constexpr auto codingKeys = std::tuple{field("I1", &Speeds::i1), field("I2", &Speeds::i2),
                                                  field("FL", &Speeds::fl), field("ST", &Speeds::st)};
};

struct LapTime {
    std::optional<std::string> value;
    std::optional<std::int64_t> lap;
    std::optional<bool> overallFastest;
    std::optional<bool> personalFastest;
    static constexpr auto codingKeys = std::tuple{
        optionalField("Value", &LapTime::value), optionalField("Lap", &LapTime::lap),
        optionalField("OverallFastest", &LapTime::overallFastest),
        optionalField("PersonalFastest", &LapTime::personalFastest)};
};

struct RaceLine {
    std::optional<std::string> gapToLeader;
    std::optional<Interval> intervalToPositionAhead;
    std::int64_t line = 0;
    std::string position;
    bool showPosition = false;
    std::string racingNumber;
    bool retired = false, inPit = false, pitOut = false, stopped = false;
    std::int64_t status = 0;
    std::optional<std::int64_t> numberOfLaps;
    std::optional<std::int64_t> numberOfPitStops;
    std::vector<Sector> sectors;
    Speeds speeds;
    LapTime bestLapTime;
    LapTime lastLapTime;
    static constexpr auto codingKeys = std::tuple{
        optionalField("GapToLeader", &RaceLine::gapToLeader),
        optionalField("IntervalToPositionAhead", &RaceLine::intervalToPositionAhead),
        field("Line", &RaceLine::line),
        field("Position", &RaceLine::position),
        field("ShowPosition", &RaceLine::showPosition),
        field("RacingNumber", &RaceLine::racingNumber),
        field("Retired", &RaceLine::retired),
        field("InPit", &RaceLine::inPit),
        field("PitOut", &RaceLine::pitOut),
        field("Stopped", &RaceLine::stopped),
        field("Status", &RaceLine::status),
        optionalField("NumberOfLaps", &RaceLine::numberOfLaps),
        optionalField("NumberOfPitStops", &RaceLine::numberOfPitStops),
        field("Sectors", &RaceLine::sectors),
        field("Speeds", &RaceLine::speeds),
        field("BestLapTime", &RaceLine::bestLapTime),
        field("LastLapTime", &RaceLine::lastLapTime),
    };
};

struct TimingData {
    bool withheld = false;
    std::map<std::string, RaceLine> lines;
    static constexpr auto codingKeys =
        std::tuple{field("Withheld", &TimingData::withheld), field("Lines", &TimingData::lines)};
};

foundation::Data fixture(const std::string& name) {
    std::ifstream file(std::string(SORVANE_TEST_FIXTURES) + "/json/" + name, std::ios::binary);
    return foundation::Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

const foundation::Data& timingDocument() {
    static const foundation::Data data = fixture("TimingData-2025-australia-race.json");
    return data;
}

void BM_TimingData_NlohmannParseOnly(benchmark::State& state) {
    const auto& data = timingDocument();
    for (auto _ : state) {
        auto json = nlohmann::json::parse(data.view());
        benchmark::DoNotOptimize(json);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_TimingData_NlohmannParseOnly);

void BM_TimingData_DecodeModels(benchmark::State& state) {
    const auto& data = timingDocument();
    for (auto _ : state) {
        auto timing = foundation::JSONDecoder{}.decode<TimingData>(data);
        if (!timing || timing->lines.size() != 20) state.SkipWithError("TimingData did not decode");
        benchmark::DoNotOptimize(timing);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_TimingData_DecodeModels);

void BM_TimingData_EncodeModels(benchmark::State& state) {
    auto timing = foundation::JSONDecoder{}.decode<TimingData>(timingDocument()).value();
    for (auto _ : state) {
        auto data = foundation::JSONEncoder{}.encode(timing);
        benchmark::DoNotOptimize(data);
    }
}
BENCHMARK(BM_TimingData_EncodeModels);

// A hostile body of 10 MB of "[": reported with peak_growth_MB, how far the resident high-water mark rose
// over the decode (the mark is reset before each one).
void BM_DeeplyNestedArrays_Decode(benchmark::State& state) {
    const auto data = foundation::Data::fromString(std::string(std::size_t(10) << 20, '['));
    double peakGrowth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // What earlier decodes freed goes back first, so the rise is this decode's own.
        const double before = sorvane::bench::restartPeak();
        state.ResumeTiming();
        auto timing = foundation::JSONDecoder{}.decode<TimingData>(data);
        if (timing) state.SkipWithError("a body of brackets decoded");
        benchmark::DoNotOptimize(timing);
        peakGrowth = std::max(peakGrowth, sorvane::bench::statusKilobytes("VmHWM") - before);
    }
    state.counters["peak_growth_MB"] = peakGrowth / 1024;
}
BENCHMARK(BM_DeeplyNestedArrays_Decode)->Unit(benchmark::kMillisecond);

}  // namespace
