// Resident memory of the app after its cold start on the offline season, idle: the real executable,
// in its window on a private Xvfb, sampled from /proc `settleSeconds` after launch (the cold start
// takes well under a second; the sheet's preloads end within a few). Target: under 120 MB resident.
// Reported as counters: resident_MB (the app and its flag worker together), app_MB and worker_MB,
// peak_MB (the app's high-water mark) and threads (the app's).
//
// Measure the release build: the test build's sanitizers multiply every figure.

#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "VirtualDisplay.h"

extern char** environ;

namespace {

constexpr int settleSeconds = 15;

// "VmRSS", "VmHWM" (kB) and "Threads" of a running process.
std::map<std::string, double> processStatus(pid_t process) {
    std::map<std::string, double> values;
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        if (name == "VmRSS" || name == "VmHWM" || name == "Threads") values[name] = std::stod(line.substr(colon + 1));
    }
    return values;
}

// The processes the app started (its flag worker), from each of its threads' list.
std::vector<pid_t> children(pid_t process) {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(process) + "/task", error)) {
        std::ifstream list(task.path() / "children");
        for (pid_t child; list >> child;) found.push_back(child);
    }
    return found;
}

pid_t launchApp(const std::filesystem::path& shot) {
    std::vector<std::string> variables{"SORVANE_SCREENSHOT_AFTER=" + std::to_string(settleSeconds + 30),
                                       "SORVANE_SCREENSHOT_PATH=" + shot.string(), "SORVANE_DATA=offline"};
    for (char** variable = environ; *variable; ++variable) variables.emplace_back(*variable);
    std::vector<char*> envp;
    for (auto& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string program = SORVANE_EXECUTABLE;
    char* argv[] = {program.data(), nullptr};
    pid_t child = -1;
    return posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, envp.data()) == 0 ? child : -1;
}

void BM_ResidentMemoryAfterColdStart(benchmark::State& state) {
#ifndef NDEBUG
    state.SkipWithError("measure the release build (the sanitizers of this build multiply the figures)");
    return;
#endif
    if (auto problem = hosttest::prepareDisplay(); !problem.empty()) {
        state.SkipWithError(problem.c_str());
        return;
    }
    for (auto _ : state) {
        auto shot = std::filesystem::temp_directory_path() / ("sorvane-memory-" + std::to_string(getpid()) + ".png");
        pid_t app = launchApp(shot);
        if (app <= 0) {
            state.SkipWithError("the app did not start");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(settleSeconds));
        auto status = processStatus(app);
        double workers = 0;
        for (pid_t child : children(app)) workers += processStatus(child)["VmRSS"];
        kill(app, SIGTERM);
        waitpid(app, nullptr, 0);
        std::filesystem::remove(shot);
        if (!status.contains("VmRSS")) {
            state.SkipWithError("the app ended before it was measured");
            return;
        }
        state.SetIterationTime(settleSeconds);
        state.counters["resident_MB"] = (status["VmRSS"] + workers) / 1024;
        state.counters["app_MB"] = status["VmRSS"] / 1024;
        state.counters["worker_MB"] = workers / 1024;
        state.counters["peak_MB"] = status["VmHWM"] / 1024;
        state.counters["threads"] = status["Threads"];
    }
}
BENCHMARK(BM_ResidentMemoryAfterColdStart)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
