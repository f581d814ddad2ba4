// Resident memory of the app, headless on the offline season, while five screens are opened and
// closed twice from the season sheet: the news, the standings, and a finished, the live and a future
// race. Each screen is shown until its loads have ended, then dismissed. Counters: resident_MB after
// the start, after each round and the second round's growth. Target: under 160 MB, and no growth from
// the first round to the second (what a closed screen held is let go).
//
// Each repetition runs in a child process of its own, so none starts with what an earlier one left.
// The smoke run (SORVANE_BENCH_SMOKE set) shows each screen only briefly: it only shows the flow still runs.
// Measure the release build: the test build's sanitizers multiply every figure.

#include <benchmark/benchmark.h>

#include "BenchSmoke.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/GlobalStruct.h"
#include "dispatch/RunLoop.h"
#include "offline/OfflineSeason.h"
#include "shell/AppDelegate.h"
#include "shell/ImageSeam.h"
#include "shell/MemoryLimits.h"
#include "shell/SVGImgProcessor.h"
#include "shell/SceneDelegate.h"
#include "shell/SeasonViewController.h"
#include "shell/StartupProgress.h"
#include "ui/Application.h"
#include "ui/HeadlessHost.h"

namespace {

using sorvane::bench::smokeRun;
// How long each screen stays up, and how long the sheet's own preloads get before the first screen.
const double screenSeconds = smokeRun() ? 0.2 : 2;
const double preloadSeconds = smokeRun() ? 0.5 : 3;

double residentMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
    }
    return 0;
}

// Runs the main loop for `seconds`, drawing every frame asked for.
void pump(ui::HeadlessHost& host, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    const auto& window = *host.window();
    while (std::chrono::steady_clock::now() < end) {
        host.renderIfNeeded();
        dispatch::RunLoop::main()->runUntil([&] { return window.needsRender(); }, 0.01);
    }
    host.renderIfNeeded();
}

struct Figures {
    double start = 0, round1 = 0, round2 = 0;
    const char* error = nullptr;
};

Figures openAndCloseFiveScreensTwice() {
    Figures figures;
    // As the program's start does.
    limitAllocatorArenas();
    installSVGLibraryRenderer();
    limitImageMemory();
    {
        auto season = OfflineSeason::startFromEnvironment();
        if (!season) return {.error = "the offline season did not start"};
        auto host = std::make_unique<ui::HeadlessHost>();
        ui::Application::shared().launch([] { return std::make_shared<AppDelegate>(); },
                                         [] { return std::make_shared<SceneDelegate>(); }, *host);
        const auto& window = *host->window();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!startup::seasonSheetShowsRows(window) && std::chrono::steady_clock::now() < deadline) pump(*host, 0.05);
        auto sheet = std::dynamic_pointer_cast<SeasonViewController>(window.rootViewController()->presentedViewController());
        if (!sheet || !startup::seasonSheetShowsRows(window)) return {.error = "the season sheet never showed"};
        // The sheet's own preloads (flags, drivers, standings, news) end first.
        pump(*host, preloadSeconds);
        figures.start = residentMB();

        const int races = static_cast<int>(GlobalStruct::races().size());
        const std::vector<std::function<void()>> screens{
            [&] { sheet->newsTapped(); },
            [&] { sheet->standingsTapped(); },
            [&] { sheet->openRaceScreen(0); },
            [&] { sheet->openRaceScreen(sheet->upcomingRaceIndex); },
            [&] { sheet->openRaceScreen(races - 1); },
        };
        std::vector<double> rounds;
        for (int round = 0; round < 2; ++round) {
            for (const auto& open : screens) {
                open();
                pump(*host, screenSeconds);
                if (!sheet->presentedViewController()) return {.error = "a screen did not open"};
                sheet->dismiss(false);
                pump(*host, 0.5);
            }
            rounds.push_back(residentMB());
        }
        figures.round1 = rounds[0];
        figures.round2 = rounds[1];
        host->window()->setRootViewController(nullptr);
        season->stop();
    }
    return figures;
}

void BM_OpenAndCloseFiveScreensTwice(benchmark::State& state) {
    for (auto _ : state) {
        int channel[2];
        if (::pipe(channel) != 0) return state.SkipWithError("no pipe");
        const pid_t child = ::fork();
        if (child < 0) return state.SkipWithError("no child process");
        if (child == 0) {
            ::close(channel[0]);
            const Figures figures = openAndCloseFiveScreensTwice();
            const std::array<double, 4> values{figures.start, figures.round1, figures.round2, figures.error ? 1.0 : 0.0};
            [[maybe_unused]] auto written = ::write(channel[1], values.data(), sizeof values);
            if (figures.error) [[maybe_unused]] auto said = ::write(2, figures.error, std::char_traits<char>::length(figures.error));
            ::_exit(0);
        }
        ::close(channel[1]);
        std::array<double, 4> values{};
        const bool complete = ::read(channel[0], values.data(), sizeof values) == static_cast<ssize_t>(sizeof values);
        ::close(channel[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!complete || values[3] != 0) return state.SkipWithError("the screens were not all shown (see the output)");
        state.counters["start_MB"] = values[0];
        state.counters["round1_MB"] = values[1];
        state.counters["round2_MB"] = values[2];
        state.counters["growth_MB"] = values[2] - values[1];
    }
}
BENCHMARK(BM_OpenAndCloseFiveScreensTwice)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
