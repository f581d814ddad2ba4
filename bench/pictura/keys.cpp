// Naming a cache file after its key (done on every disk look-up and store), and the per-view values
// set-image reads and writes on every call.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "pictura/AssociatedValues.h"
#include "pictura/CacheKeyText.h"

namespace {

void flagKeyDigest(benchmark::State& state) {
    const std::string key =
        "https://media.formula1.com/image/upload/content/dam/fom-website/flags/Netherlands.svg"
        "@com.appidentifier.webpprocessor";
    for (auto _ : state) benchmark::DoNotOptimize(pictura::pc(key).md5());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * key.size()));
}
BENCHMARK(flagKeyDigest);

void largeDigest(benchmark::State& state) {
    const std::string text(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) benchmark::DoNotOptimize(pictura::pc(text).md5());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(largeDigest)->Arg(1 << 20);

// A screen of cells: each set-image reads the view's task identifier and writes a new one.
void perViewTaskIdentifier(benchmark::State& state) {
    static const char key = 0;
    std::vector<std::shared_ptr<int>> views;
    for (int index = 0; index < 200; ++index) views.push_back(std::make_shared<int>(index));
    std::uint64_t identifier = 0;
    for (auto _ : state) {
        for (const auto& view : views) {
            benchmark::DoNotOptimize(pictura::associatedValue<std::uint64_t>(view, &key));
            pictura::setRetainedAssociatedValue(view, &key, ++identifier);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * views.size()));
}
BENCHMARK(perViewTaskIdentifier);

}  // namespace
