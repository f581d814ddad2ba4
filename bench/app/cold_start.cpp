// Cold start on the offline season, headless: from the launch (the offline season's handlers, the
// delegates, the window) to the first frame in which the season sheet shows its rows. Target: 100 ms.
// The map's tiles are kept in the caches folder: the first start of a fresh folder draws them, every
// later one reads them, as the app's second and later starts do.

#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <chrono>
#include <memory>

#include "data/GlobalStruct.h"
#include "dispatch/RunLoop.h"
#include "offline/OfflineSeason.h"
#include "shell/AppDelegate.h"
#include "shell/SceneDelegate.h"
#include "shell/StartupProgress.h"
#include "ui/Application.h"
#include "ui/HeadlessHost.h"

namespace {

void BM_ColdStartToSeasonRows(benchmark::State& state) {
    for (auto _ : state) {
        GlobalStruct::races().clear();
        GlobalStruct::meetings().clear();
        auto start = std::chrono::steady_clock::now();
        auto season = OfflineSeason::startFromEnvironment();
        if (!season) {
            state.SkipWithError(season.error().c_str());
            return;
        }
        auto host = std::make_unique<ui::HeadlessHost>();
        ui::Application::shared().launch([] { return std::make_shared<AppDelegate>(); },
                                         [] { return std::make_shared<SceneDelegate>(); }, *host);
        const auto& window = *host->window();
        bool shown = false;
        while (!shown && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
            host->renderIfNeeded();
            shown = startup::seasonSheetShowsRows(window);
            if (!shown) dispatch::RunLoop::main()->runUntil([&] { return window.needsRender(); }, 0.01);
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!shown) {
            state.SkipWithError("the season sheet never showed its rows");
            return;
        }
        // The sheet's own preloads finish before the next start, so each start is as cold as the first.
        dispatch::RunLoop::main()->runUntil([] { return false; }, 1.0);
        season->stop();
    }
}
BENCHMARK(BM_ColdStartToSeasonRows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(sorvane::bench::iterations(5));

}  // namespace
