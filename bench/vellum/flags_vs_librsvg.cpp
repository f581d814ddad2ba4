// Every flag of the offline season from its bytes to pixels, by this library and by librsvg in the same
// process, so the two can be compared directly: at 64 pixels high (85 x 64, the flags are 4:3), as the
// lists draw them, and at 512 and 960 as the large screens do; and parsing alone.
#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "SideBySide.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceNSData.h"

namespace {

const std::vector<foundation::Data>& flagBytes() {
    static const std::vector<foundation::Data> flags = [] {
        std::vector<foundation::Data> all;
        const auto folder = std::filesystem::path(SORVANE_SOURCE_DIR) / "data/offline-season/flags";
        if (!std::filesystem::exists(folder)) return all;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            if (entry.path().extension() != ".svg") continue;
            std::ifstream file(entry.path(), std::ios::binary);
            all.emplace_back(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
        }
        return all;
    }();
    return flags;
}

// The flags a run takes: every one, or ten in the smoke run (SORVANE_BENCH_SMOKE), which only shows that
// they still draw.
std::span<const foundation::Data> flagsOfThisRun() {
    const auto& all = flagBytes();
    return {all.data(), sorvane::bench::smokeRun() ? std::min<std::size_t>(all.size(), 10) : all.size()};
}

template <class Each>
void everyFlag(benchmark::State& state, Each each) {
    const auto flags = flagsOfThisRun();
    if (flags.empty()) return state.SkipWithError("no offline-season flags");
    for (auto _ : state) {
        for (const auto& bytes : flags) {
            if (!each(bytes)) return state.SkipWithError("a flag did not parse");
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(flags.size()));
}

// "refused" counts the flags whose render answered false at that height (a work bound met): none should.
void Vellum_ParseAndRenderEveryFlag(benchmark::State& state) {
    const double height = static_cast<double>(state.range(0));
    everyFlag(state, [&](const foundation::Data& bytes) { return sidebyside::drawWithVellum(bytes, height); });
    double refused = 0;
    for (const auto& bytes : flagsOfThisRun()) {
        auto image = vellum::VellumImage::initWithData(bytes);
        if (!image) continue;
        const gfx::Size natural = image->size();
        image->setSize({natural.width * height / natural.height, height});
        auto context = gfx::Context::create(image->size(), {.scale = 1});
        refused += !vellum::VellumImageDrawing::renderInContext(*image, *context);
    }
    state.counters["refused"] = refused;
}
BENCHMARK(Vellum_ParseAndRenderEveryFlag)->Arg(64)->Arg(512)->Arg(960)->Unit(benchmark::kMillisecond);

void Librsvg_ParseAndRenderEveryFlag(benchmark::State& state) {
    const double height = static_cast<double>(state.range(0));
    everyFlag(state, [&](const foundation::Data& bytes) { return sidebyside::drawWithLibrsvg(bytes, height); });
}
BENCHMARK(Librsvg_ParseAndRenderEveryFlag)->Arg(64)->Arg(512)->Arg(960)->Unit(benchmark::kMillisecond);

void Vellum_ParseEveryFlag(benchmark::State& state) {
    everyFlag(state, [](const foundation::Data& bytes) {
        auto result = vellum::VellumParser::parseSourceUsingDefaultVellumParser(
            vellum::VellumSourceNSData::sourceFromData(bytes, std::nullopt));
        benchmark::DoNotOptimize(result->parsedDocument());
        return result->parsedDocument() != nullptr;
    });
}
BENCHMARK(Vellum_ParseEveryFlag)->Unit(benchmark::kMillisecond);

// The layer trees alone, of flags parsed and sized (64 px high) beforehand: the part between parsing
// and drawing, next to the parse case above.
void Vellum_BuildLayersOfEveryFlag(benchmark::State& state) {
    const auto flags = flagsOfThisRun();
    if (flags.empty()) return state.SkipWithError("no offline-season flags");
    std::vector<std::shared_ptr<vellum::VellumImage>> images;
    for (const auto& bytes : flags) {
        auto image = vellum::VellumImage::initWithData(bytes);
        if (!image) return state.SkipWithError("a flag did not parse");
        const gfx::Size natural = image->size();
        image->setSize({natural.width * 64 / natural.height, 64});
        images.push_back(std::move(image));
    }
    for (auto _ : state) {
        for (const auto& image : images) benchmark::DoNotOptimize(image->newCALayerTree());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(images.size()));
}
BENCHMARK(Vellum_BuildLayersOfEveryFlag)->Unit(benchmark::kMillisecond);

void Librsvg_ParseEveryFlag(benchmark::State& state) {
    everyFlag(state, [](const foundation::Data& bytes) {
        RsvgHandle* handle = sidebyside::parseWithLibrsvg(bytes);
        if (!handle) return false;
        g_object_unref(handle);
        return true;
    });
}
BENCHMARK(Librsvg_ParseEveryFlag)->Unit(benchmark::kMillisecond);

}  // namespace
