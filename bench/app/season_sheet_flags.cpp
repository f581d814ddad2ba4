// The season sheet's first frame on the offline season with its flags against without, each from the
// launch: "without" ends at the first frame whose rows have asked for their flags (no SVG renderer is
// installed, so none can show); "with" draws them as the app does, in the flag workers
// that the first flag starts, and ends at the first frame in which every flag asked for is on its row;
// "in-process" is the same frame with the flags drawn in this process, the anchor the workers must keep to.
// Each start has an empty image cache and a worker of its own.
#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "data/GlobalStruct.h"
#include "dispatch/RunLoop.h"
#include "offline/OfflineSeason.h"
#include "pictura/ImageCache.h"
#include "shell/AppDelegate.h"
#include "shell/ImageSeam.h"
#include "shell/SVGImgProcessor.h"
#include "shell/SVGWorker.h"
#include "shell/SceneDelegate.h"
#include "shell/StartupProgress.h"
#include "ui/Application.h"
#include "ui/HeadlessHost.h"

namespace {

enum class Flags { none, workers, inProcess };

void firstFrame(benchmark::State& state, Flags flags) {
    const bool withFlags = flags != Flags::none;
    setSVGRenderer(nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        if (flags == Flags::workers) installSVGWorkerRenderer({SORVANE_SVG_WORKER, svgWorkerArgument});
        if (flags == Flags::inProcess) installSVGLibraryRenderer();
        GlobalStruct::races().clear();
        GlobalStruct::meetings().clear();
        std::string pattern = (std::filesystem::temp_directory_path() / "sorvane-bench-images-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return state.SkipWithError("no temporary folder");
        const std::filesystem::path folder = pattern;
        auto season = OfflineSeason::startFromEnvironment();
        if (!season) return state.SkipWithError(season.error().c_str());
        auto cache = pictura::ImageCache::create("bench", folder);
        if (!cache) return state.SkipWithError("no image cache");
        auto settings = remoteImageSettings();
        settings.cache = *cache;
        setRemoteImageSettings(settings);
        takeRecordedImageRequests();
        auto host = std::make_unique<ui::HeadlessHost>();
        state.ResumeTiming();

        ui::Application::shared().launch([] { return std::make_shared<AppDelegate>(); },
                                         [] { return std::make_shared<SceneDelegate>(); }, *host);
        const auto& window = *host->window();
        std::vector<ImageRequest> requests;
        const auto flagsShown = [&] {
            for (const auto& request : requests) {
                auto view = request.view.lock();
                if (view && !view->image()) return false;
            }
            return true;
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool done = false;
        while (!done && std::chrono::steady_clock::now() < deadline) {
            host->renderIfNeeded();
            auto more = takeRecordedImageRequests();
            requests.insert(requests.end(), more.begin(), more.end());
            done = startup::seasonSheetShowsRows(window) && !requests.empty() && (!withFlags || flagsShown());
            if (!done) dispatch::RunLoop::main()->runUntil([&] { return window.needsRender(); }, 0.002);
        }
        benchmark::DoNotOptimize(host->snapshot());

        state.PauseTiming();
        if (!done) return state.SkipWithError("the season sheet never showed its rows and flags");
        state.counters["flags"] = static_cast<double>(requests.size());
        // The sheet's own preloads finish before the next start, so each start is as cold as the first.
        dispatch::RunLoop::main()->runUntil([] { return false; }, 0.5);
        season->stop();
        setSVGRenderer(nullptr);
        settings.cache = nullptr;
        setRemoteImageSettings(settings);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        state.ResumeTiming();
    }
    setSVGRenderer(nullptr);
}

void BM_SeasonSheetFirstFrameWithoutFlags(benchmark::State& state) { firstFrame(state, Flags::none); }
void BM_SeasonSheetFirstFrameWithFlags(benchmark::State& state) { firstFrame(state, Flags::workers); }
void BM_SeasonSheetFirstFrameWithFlagsInProcess(benchmark::State& state) { firstFrame(state, Flags::inProcess); }
BENCHMARK(BM_SeasonSheetFirstFrameWithoutFlags)->Unit(benchmark::kMillisecond)->Iterations(sorvane::bench::iterations(3));
BENCHMARK(BM_SeasonSheetFirstFrameWithFlags)->Unit(benchmark::kMillisecond)->Iterations(sorvane::bench::iterations(3));
BENCHMARK(BM_SeasonSheetFirstFrameWithFlagsInProcess)->Unit(benchmark::kMillisecond)->Iterations(sorvane::bench::iterations(3));

}  // namespace
