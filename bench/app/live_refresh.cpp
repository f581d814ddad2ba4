// The live screen's 2.5-second refresh on the offline season's replayed sprint, headless.
// - BM_LiveRefreshTick: one tick as the user meets it, with a full TimingData document (20 cars) read
//   from memory: from the read to the rows shown, that is the decode on the pool, then the order, store
//   and reload on the main thread and the layout of the visible rows (arg 0; target 5 ms), or layout
//   and the whole frame's pixels (arg 1, for comparison). Wall time; the counter main_thread_ms is the
//   main thread's own CPU time of a tick, the share that holds up the screen.
// - BM_LiveReplayMemory: a screen left open while the replay runs at 10x (a tick every 2.5 s is
//   25 s of session), ticks driven on a manual clock; resident memory after the first minute's 24
//   ticks and after ten minutes' 240. Target: no growth beyond the first minute's. The smoke run
//   (SORVANE_BENCH_SMOKE set) stops after 30 ticks: it only shows that the replay still runs.

#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "data/ServiceHosts.h"
#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "live/LiveViewController.h"
#include "offline/OfflineSeason.h"
#include "ui/HeadlessHost.h"

namespace {

constexpr const char* sprintFolder = "2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-29_Sprint/";

using sorvane::bench::smokeRun;

double residentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// CPU time of the calling thread (the main one) so far.
double mainThreadCPUSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

RacesDetailsModel baku() {
    RacesDetailsModel race;
    race.raceName = "Azerbaijan Grand Prix";
    race.date = "2023-04-30";
    race.time = "11:00:00Z";
    race.circuit.circuitName = "Baku City Circuit";
    race.circuit.location.locality = "Baku";
    race.circuit.location.country = "Azerbaijan";
    return race;
}

// A live screen over a headless phone on the offline season, loaded.
struct LiveScene {
    std::optional<OfflineSeason> season;
    std::shared_ptr<foundation::ManualClock> clock;
    std::unique_ptr<ui::HeadlessHost> host;
    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
    std::shared_ptr<LiveViewController> screen = std::make_shared<LiveViewController>();
    std::string error;

    LiveScene() {
        OfflineSettings settings;
        settings.dataDirectory = OfflineSettings::defaultDataDirectory();
        auto started = OfflineSeason::start(settings);
        if (!started) {
            error = started.error();
            return;
        }
        season = std::move(*started);
        clock = std::make_shared<foundation::ManualClock>(season->startedAt(), 100);
        foundation::Clock::setCurrent(clock);
        host = std::make_unique<ui::HeadlessHost>();
        host->window()->makeKeyAndVisible();
        host->window()->setRootViewController(root);
        screen->races = {baku()};
        screen->year = "2023";
        screen->raceRound = 4;
        screen->path = sprintFolder;
        root->present(screen, false);
        turnUntil([&] { return !screen->driverRadio.empty() && !screen->timingReadInFlight(); }, 30);
    }
    ~LiveScene() {
        if (!host) return;
        root->dismiss(false);
        host->renderIfNeeded();
        host->window()->setRootViewController(nullptr);
        host->renderIfNeeded();
        season->stop();
        foundation::Clock::setCurrent(nullptr);
    }
    void turnUntil(const std::function<bool()>& done, double seconds) {
        for (double waited = 0; waited < seconds && !done(); waited += 0.01) {
            host->renderIfNeeded();
            dispatch::RunLoop::main()->runUntil(done, 0.01);
        }
        host->renderIfNeeded();
    }
};

void BM_LiveRefreshTick(benchmark::State& state) {
    LiveScene scene;
    if (!scene.error.empty()) {
        state.SkipWithError(scene.error.c_str());
        return;
    }
    // The folded document after the chequered flag: every car with its sectors, segments and speeds.
    std::ifstream file(OfflineSettings::defaultDataDirectory() / "offline-season/livetiming" / sprintFolder / "TimingData.json");
    std::stringstream text;
    text << file.rdbuf();
    auto document = foundation::Data::fromString(text.str());
    scene.screen->setTimingRead([document](std::string) -> dispatch::Task<Loaded> { co_return Loaded(document); });
    auto& screen = *scene.screen;
    double mainThreadSeconds = 0;
    for (auto _ : state) {
        screen.raceResults.clear();
        const double mainThreadBefore = mainThreadCPUSeconds();
        auto self = scene.screen;
        dispatch::spawn(dispatch::Queue::main(), [self]() -> dispatch::Task<void> { co_await self->loadTimingData(); });
        // The main loop waits, as the app's does, while the document is decoded on the pool.
        dispatch::RunLoop::main()->runUntil([&] { return !screen.raceResults.empty(); }, 10);
        // Arg 0: the tick and the table's layout of its visible rows; 1: also the frame's pixels.
        if (state.range(0) == 1) scene.host->renderIfNeeded();
        else scene.host->window()->layoutIfNeeded();
        mainThreadSeconds += mainThreadCPUSeconds() - mainThreadBefore;
        if (screen.raceResults.empty()) {
            state.SkipWithError("the document did not load");
            break;
        }
    }
    state.counters["main_thread_ms"] = benchmark::Counter(mainThreadSeconds * 1000, benchmark::Counter::kAvgIterations);
    state.counters["bytes"] = static_cast<double>(document.size());
    state.counters["cars"] = static_cast<double>(screen.raceResults.size());
}
BENCHMARK(BM_LiveRefreshTick)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_LiveReplayMemory(benchmark::State& state) {
    const int ticks = static_cast<int>(state.range(0));
    for (auto _ : state) {
        LiveScene scene;
        if (!scene.error.empty()) {
            state.SkipWithError(scene.error.c_str());
            return;
        }
        auto tick = [&] {
            scene.clock->advance(LiveViewController::refreshInterval * 10);
            scene.host->renderIfNeeded();
            scene.turnUntil([&] { return !scene.screen->timingReadInFlight(); }, 5);
        };
        for (int done = 0; done < 24; ++done) tick();
        double firstMinute = residentMegabytes();
        for (int done = 24; done < ticks; ++done) tick();
        double end = residentMegabytes();
        state.counters["rss_first_minute_MB"] = firstMinute;
        state.counters["rss_end_MB"] = end;
        state.counters["growth_MB"] = end - firstMinute;
        state.counters["ticks"] = ticks;
    }
}
BENCHMARK(BM_LiveReplayMemory)->Arg(smokeRun() ? 30 : 240)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
