// Lines per second into rolling log files of 1 MiB: LBFileLogger (each line one write, and through
// its buffering proxy) fed through LBLog, synchronously and asynchronously, against spdlog's rotating file logger writing
// the same lines with the same line layout, from one and four producer threads in the same run. Each
// iteration writes every line and waits until it is in the files (not synchronised to the disk, on
// either side). "lines/s" (items_per_second) is what to compare.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "dispatch/Queue.h"
#include "foundation/Format.h"
#include "logging/LBBufferedProxy.h"
#include "logging/LBFileLogger.h"
#include "logging/LBLog.h"
#include "logging/LBLogFileManagerDefault.h"

namespace {

constexpr int linesPerIteration = 50000;
constexpr std::size_t fileSize = 1024 * 1024;

class Folder {
public:
    Folder() {
        char pattern[] = "/tmp/bench-log-files-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~Folder() {
        // A pruning on the global queue may still be deleting files of it.
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// `threads` producers share the lines of one iteration.
template <class Write>
void produce(int threads, const Write& write) {
    std::vector<std::thread> producers;
    const int share = linesPerIteration / threads;
    for (int thread = 0; thread < threads; ++thread) {
        producers.emplace_back([&, thread] {
            for (int index = thread * share; index < (thread + 1) * share; ++index) write(index);
        });
    }
    for (auto& producer : producers) producer.join();
}

void runFileLogger(benchmark::State& state, bool buffered) {
    const int threads = static_cast<int>(state.range(0));
    const bool asynchronous = state.range(1) != 0;
    Folder folder;
    auto manager = std::make_shared<logging::LBLogFileManagerDefault>(folder.path().string());
    auto fileLogger = std::make_shared<logging::LBFileLogger>(manager);
    std::shared_ptr<logging::LBLogger> logger = fileLogger;
    if (buffered) logger = fileLogger->wrapWithBuffer();
    logging::LBLog log;
    log.addLogger(logger);
    for (auto _ : state) {
        produce(threads, [&](int index) {
            log.log(asynchronous, logging::LBLogLevel::info, logging::LBLogFlag::info, 0, __FILE__, __func__, __LINE__,
                    std::nullopt, "line %d of the benchmark, with some text after it", index);
        });
        // Every record dispatched, so written (or, through the proxy, all but the last block). Not
        // flushLog: ours synchronises the file to the disk, where spdlog's flush only empties its buffer.
        log.allLoggers();
    }
    log.removeLogger(logger);
    log.flushLog();
    state.SetItemsProcessed(state.iterations() * linesPerIteration);
}

void BM_FileLogger(benchmark::State& state) { runFileLogger(state, false); }
void BM_FileLoggerBuffered(benchmark::State& state) { runFileLogger(state, true); }

// The file logger's own share: records handed straight to it on its queue, one thread, no dispatcher.
void BM_FileLoggerDirect(benchmark::State& state) {
    const bool buffered = state.range(0) != 0;
    Folder folder;
    auto fileLogger = std::make_shared<logging::LBFileLogger>(
        std::make_shared<logging::LBLogFileManagerDefault>(folder.path().string()));
    std::shared_ptr<logging::LBLogger> logger = fileLogger;
    if (buffered) logger = fileLogger->wrapWithBuffer();
    for (auto _ : state) {
        logger->loggerQueue()->sync([&] {
            for (int index = 0; index < linesPerIteration; ++index) {
                logger->logMessage(logging::LBLogMessage(
                    foundation::format("line %d of the benchmark, with some text after it", index),
                    logging::LBLogLevel::info, logging::LBLogFlag::info, 0, __FILE__, __func__, __LINE__, std::nullopt));
            }
        });
    }
    state.SetItemsProcessed(state.iterations() * linesPerIteration);
}

void BM_SpdlogRotatingFile(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    Folder folder;
    auto logger = spdlog::rotating_logger_mt("bench.rotating", (folder.path() / "bench.log").string(), fileSize, 5);
    logger->set_pattern("%Y/%m/%d %H:%M:%S:%e  %v", spdlog::pattern_time_type::utc);
    for (auto _ : state) {
        produce(threads, [&](int index) { logger->info("line {} of the benchmark, with some text after it", index); });
        logger->flush();
    }
    spdlog::drop("bench.rotating");
    state.SetItemsProcessed(state.iterations() * linesPerIteration);
}

}  // namespace

BENCHMARK(BM_FileLogger)
    ->ArgsProduct({{1, 4}, {0, 1}})
    ->ArgNames({"threads", "async"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileLoggerBuffered)
    ->ArgsProduct({{1, 4}, {0, 1}})
    ->ArgNames({"threads", "async"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileLoggerDirect)->Arg(0)->Arg(1)->ArgName("buffered")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpdlogRotatingFile)->Arg(1)->Arg(4)->ArgName("threads")->UseRealTime()->Unit(benchmark::kMillisecond);
