// Making a player decodes the whole clip, inside the download's completion: how long a team-radio
// clip of the offline season takes to become playable.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>

#include "audio/AudioPlayer.h"

namespace {

foundation::Data clip() {
    std::ifstream file(std::string(SORVANE_SOURCE_DIR) +
                           "/data/offline-season/livetiming/2023/2023-03-05_Bahrain_Grand_Prix/2023-03-05_Race/"
                           "TeamRadio/NICHUL01_27_20230305_191230.mp3",
                       std::ios::binary);
    return foundation::Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

void BM_MakePlayerFromClip(benchmark::State& state) {
    auto data = clip();
    if (data.empty()) {
        state.SkipWithError("the offline season's clip is missing");
        return;
    }
    double seconds = 0;
    for (auto _ : state) {
        auto player = audio::AudioPlayer::make(data);
        if (!player) {
            state.SkipWithError(player.error().description.c_str());
            return;
        }
        seconds = (*player)->duration();
        benchmark::DoNotOptimize(player);
    }
    state.counters["clip_seconds"] = seconds;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_MakePlayerFromClip)->Unit(benchmark::kMillisecond);

}  // namespace
