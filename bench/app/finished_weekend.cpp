// A finished race opened on the offline season, headless: from the tap (the screen made and handed
// its race, as the season sheet does) to the first frame whose race table shows result rows. Round 1,
// Bahrain. Target: 100 ms.

#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <chrono>
#include <memory>

#include "cells/DriverCell.h"
#include "data/GlobalStruct.h"
#include "data/ResultsEndpoints.h"
#include "dispatch/RunLoop.h"
#include "dispatch/Task.h"
#include "foundation/JSONDecoder.h"
#include "livetiming/EventsModel.h"
#include "livetiming/LiveTiming.h"
#include "offline/OfflineSeason.h"
#include "ui/HeadlessHost.h"
#include "weekend/PastDetailsViewController.h"
#include "weekend/WeekendSessions.h"

namespace {

bool showsResults(const PastDetailsViewController& screen) {
    for (const auto& cell : screen.tableView[0]->visibleCells()) {
        auto row = std::dynamic_pointer_cast<DriverCell>(cell);
        if (row && !row->driver->text().empty()) return true;
    }
    return false;
}

void BM_FinishedRaceTapToResults(benchmark::State& state) {
    auto season = OfflineSeason::startFromEnvironment();
    if (!season) {
        state.SkipWithError(season.error().c_str());
        return;
    }
    auto races = foundation::JSONDecoder().decode<RaceModel>(dispatch::syncWait(RaceSchedules::specificSeason(2023)));
    auto index = foundation::JSONDecoder().decode<livetiming::EventsModel>(dispatch::syncWait(LiveTiming::all("2023")));
    if (!races || !index || races->data.raceTable.races.empty()) {
        state.SkipWithError("the offline season has no 2023 calendar");
        return;
    }
    GlobalStruct::races() = races->data.raceTable.races;
    GlobalStruct::meetings() = index->meetings;
    auto host = std::make_unique<ui::HeadlessHost>();
    auto root = std::make_shared<ui::ViewController>();
    host->window()->setRootViewController(root);
    host->window()->makeKeyAndVisible();
    host->renderIfNeeded();

    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        auto screen = std::make_shared<PastDetailsViewController>();
        screen->races = {GlobalStruct::races()[0]};
        screen->year = "2023";
        screen->raceRound = 1;
        screen->path = weekend::raceSessionPath(screen->races[0], GlobalStruct::meetings());
        root->present(screen, true);
        bool shown = false;
        while (!shown && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
            host->renderIfNeeded();
            shown = showsResults(*screen);
            if (!shown) dispatch::RunLoop::main()->runUntil([&] { return host->window()->needsRender(); }, 0.005);
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!shown) {
            state.SkipWithError("the race table never showed its results");
            break;
        }
        // The rest of the weekend's loads end before the next tap.
        dispatch::RunLoop::main()->runUntil([&] { return !screen->driverRadio.empty(); }, 10);
        root->dismiss(false);
        host->renderIfNeeded();
    }
    host->window()->setRootViewController(nullptr);
    season->stop();
}
BENCHMARK(BM_FinishedRaceTapToResults)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(sorvane::bench::iterations(5));

}  // namespace
