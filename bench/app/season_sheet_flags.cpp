// The season sheet's first frame on the offline season with its flags against without: once the
// rows show, "without" draws the frame as it is (flag views empty); "with" first turns every flag the
// rows asked for from its SVG bytes into an image through the flags' processor and sets it, then draws.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "data/GlobalStruct.h"
#include "dispatch/RunLoop.h"
#include "offline/OfflineSeason.h"
#include "pictura/PicturaOptions.h"
#include "shell/AppDelegate.h"
#include "shell/ImageSeam.h"
#include "shell/SVGImgProcessor.h"
#include "shell/SceneDelegate.h"
#include "shell/StartupProgress.h"
#include "ui/Application.h"
#include "ui/HeadlessHost.h"

namespace {

// The recorded flag files stand where their addresses point: https://flags.sorvane.test/<path>.
std::optional<foundation::Data> flagBytes(const std::string& url) {
    const std::string host = "https://flags.sorvane.test/";
    if (!url.starts_with(host)) return std::nullopt;
    std::ifstream file(std::filesystem::path(SORVANE_SOURCE_DIR) / "data/offline-season/flags" / url.substr(host.size()),
                       std::ios::binary);
    if (!file) return std::nullopt;
    return foundation::Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

void firstFrame(benchmark::State& state, bool withFlags) {
    installSVGLibraryRenderer();
    for (auto _ : state) {
        state.PauseTiming();
        GlobalStruct::races().clear();
        GlobalStruct::meetings().clear();
        auto season = OfflineSeason::startFromEnvironment();
        if (!season) return state.SkipWithError(season.error().c_str());
        auto host = std::make_unique<ui::HeadlessHost>();
        takeRecordedImageRequests();
        ui::Application::shared().launch([] { return std::make_shared<AppDelegate>(); },
                                         [] { return std::make_shared<SceneDelegate>(); }, *host);
        const auto& window = *host->window();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!startup::seasonSheetShowsRows(window) && std::chrono::steady_clock::now() < deadline) {
            host->renderIfNeeded();
            dispatch::RunLoop::main()->runUntil([&] { return window.needsRender(); }, 0.01);
        }
        if (!startup::seasonSheetShowsRows(window)) return state.SkipWithError("the season sheet never showed its rows");
        // The flag list is read after the first rows: wait for the rows that ask for their flags.
        std::vector<ImageRequest> requests;
        while (std::chrono::steady_clock::now() < deadline) {
            host->renderIfNeeded();
            auto more = takeRecordedImageRequests();
            requests.insert(requests.end(), more.begin(), more.end());
            if (!requests.empty() && more.empty() && !window.needsRender()) break;
            dispatch::RunLoop::main()->runUntil([&] { return window.needsRender(); }, 0.05);
        }
        state.ResumeTiming();

        int flags = 0;
        if (withFlags) {
            SVGImgProcessor processor;
            pictura::PicturaParsedOptionsInfo options;
            for (const auto& request : requests) {
                auto view = request.view.lock();
                auto bytes = flagBytes(request.url);
                if (!view || !bytes) continue;
                view->setImage(processor.process(*bytes, options));
                ++flags;
            }
        }
        benchmark::DoNotOptimize(host->snapshot());

        state.PauseTiming();
        state.counters["flags"] = flags;
        state.counters["requests"] = static_cast<double>(requests.size());
        dispatch::RunLoop::main()->runUntil([] { return false; }, 0.5);
        season->stop();
        state.ResumeTiming();
    }
}

void BM_SeasonSheetFirstFrameWithoutFlags(benchmark::State& state) { firstFrame(state, false); }
void BM_SeasonSheetFirstFrameWithFlags(benchmark::State& state) { firstFrame(state, true); }
BENCHMARK(BM_SeasonSheetFirstFrameWithoutFlags)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SeasonSheetFirstFrameWithFlags)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
