// logging-stress [lines] [threads] [buffered] [synchronous]
//
// Writes numbered lines from several threads through LBLog (asynchronously, or synchronously when
// the fourth argument is 1) into a file logger with 1 MiB files (through its buffering proxy when the
// third argument is 1), in a temporary folder that keeps every file; shuts the dispatcher down, then
// reads every file back and checks that each number arrived exactly once and that every line is
// whole. Prints what it found and the process's peak memory; exits with 1 on any lost, duplicated or
// torn line.
#include <stdlib.h>
#include <sys/resource.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "logging/LBBufferedProxy.h"
#include "logging/LBFileLogger.h"
#include "logging/LBLog.h"
#include "logging/LBLogFileManagerDefault.h"

namespace {

constexpr std::string_view marker = "stress line ";
constexpr std::string_view padding = " -- padding so that lines are of a realistic length";

long argument(int argc, char** argv, int index, long fallback) {
    return argc > index ? std::strtol(argv[index], nullptr, 10) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const long lines = argument(argc, argv, 1, 1'000'000);
    const int threads = static_cast<int>(argument(argc, argv, 2, 4));
    const bool buffered = argument(argc, argv, 3, 0) == 1;
    const bool synchronous = argument(argc, argv, 4, 0) == 1;

    char pattern[] = "/tmp/logging-stress-XXXXXX";
    if (!::mkdtemp(pattern)) return 2;
    const std::filesystem::path folder = pattern;

    auto manager = std::make_shared<logging::LBLogFileManagerDefault>(folder.string());
    manager->setMaximumNumberOfLogFiles(0);
    manager->setLogFilesDiskQuota(0);
    auto fileLogger = std::make_shared<logging::LBFileLogger>(manager);
    std::shared_ptr<logging::LBLogger> logger = fileLogger;
    if (buffered) logger = fileLogger->wrapWithBuffer();
    logging::LBLog log;
    log.addLogger(logger);

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> producers;
    for (int thread = 0; thread < threads; ++thread) {
        producers.emplace_back([&, thread] {
            for (long number = thread; number < lines; number += threads) {
                log.log(!synchronous, logging::LBLogLevel::info, logging::LBLogFlag::info, 0, __FILE__, __func__, __LINE__,
                        std::nullopt, "stress line %ld%@", number, padding);
            }
        });
    }
    for (auto& producer : producers) producer.join();
    log.shutdown();
    logger.reset();
    fileLogger.reset();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::vector<unsigned char> seen(static_cast<std::size_t>(lines), 0);
    long duplicated = 0, torn = 0, files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".log") continue;
        ++files;
        std::ifstream file(entry.path());
        for (std::string text; std::getline(file, text);) {
            auto at = text.find(marker);
            long number = -1;
            bool whole = at != std::string::npos && text.ends_with(padding);
            if (whole) {
                const char* first = text.data() + at + marker.size();
                auto [end, error] = std::from_chars(first, text.data() + text.size(), number);
                whole = error == std::errc() && std::string_view(end, text.data() + text.size() - end) == padding &&
                        number >= 0 && number < lines;
            }
            if (!whole) {
                ++torn;
                continue;
            }
            if (seen[static_cast<std::size_t>(number)]++) ++duplicated;
        }
    }
    long lost = 0;
    for (auto count : seen) lost += count == 0 ? 1 : 0;
    std::filesystem::remove_all(folder);

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld lines from %d threads%s%s in %.2f s (%.0f lines/s) across %ld files: %ld lost, %ld duplicated, "
                "%ld torn; peak memory %ld MiB\n",
                lines, threads, synchronous ? " synchronously" : "", buffered ? " through the buffer" : "", seconds,
                lines / seconds, files, lost, duplicated, torn, usage.ru_maxrss / 1024);
    return lost == 0 && duplicated == 0 && torn == 0 ? 0 : 1;
}
