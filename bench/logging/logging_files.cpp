// Lines per second into rolling log files of 1 MiB: LBFileLogger (each record one write, and through
// its buffering proxy) fed through LBLog, synchronously and asynchronously, against spdlog's rotating
// file logger writing the same lines with the same line layout, flushed after every line (the same
// promise as the file logger's) and buffered (as the proxy), from one and four producer threads in the
// same run. Each iteration writes every line and waits until it is in the files (not synchronised to
// the disk, on either side). "lines/s" (items_per_second) is what to compare. Last, the memory an
// asynchronous run of a million lines holds while the file logger falls behind: the queue's bound
// keeps it small.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include <unistd.h>

#include "../BenchSmoke.h"

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

// spdlog's rotating file logger; `flushed`: every line handed to the system as it is logged, as the
// file logger does without its proxy.
void runSpdlogRotatingFile(benchmark::State& state, bool flushed) {
    const int threads = static_cast<int>(state.range(0));
    Folder folder;
    auto logger = spdlog::rotating_logger_mt("bench.rotating", (folder.path() / "bench.log").string(), fileSize, 5);
    logger->set_pattern("%Y/%m/%d %H:%M:%S:%e  %v", spdlog::pattern_time_type::utc);
    if (flushed) logger->flush_on(spdlog::level::trace);
    for (auto _ : state) {
        produce(threads, [&](int index) { logger->info("line {} of the benchmark, with some text after it", index); });
        logger->flush();
    }
    spdlog::drop("bench.rotating");
    state.SetItemsProcessed(state.iterations() * linesPerIteration);
}

void BM_SpdlogRotatingFile(benchmark::State& state) { runSpdlogRotatingFile(state, false); }
void BM_SpdlogRotatingFileFlushed(benchmark::State& state) { runSpdlogRotatingFile(state, true); }

// The process's resident memory now, in bytes.
std::size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// A million lines logged asynchronously by four threads into rolling files. Reported: the most records
// queued at once ("peak_queued", never above LBLog::asynchronousCapacity) and how far the resident
// memory rose over its start ("rss_growth_MiB"), both sampled while the lines are produced.
void BM_FileLoggerAsynchronousMemory(benchmark::State& state) {
    const int lines = sorvane::bench::smokeRun() ? 20000 : 1000000;
    constexpr int threads = 4;
    Folder folder;
    auto logger =
        std::make_shared<logging::LBFileLogger>(std::make_shared<logging::LBLogFileManagerDefault>(folder.path().string()));
    logging::LBLog log;
    log.addLogger(logger);
    std::size_t peakQueued = 0, peakGrowth = 0;
    for (auto _ : state) {
        const std::size_t start = residentBytes();
        std::atomic<bool> producing = true;
        std::thread sampler([&] {
            while (producing) {
                peakQueued = std::max(peakQueued, log.queuedAsynchronousRecords());
                const std::size_t resident = residentBytes();
                if (resident > start) peakGrowth = std::max(peakGrowth, resident - start);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        std::vector<std::thread> producers;
        for (int thread = 0; thread < threads; ++thread) {
            producers.emplace_back([&, thread] {
                for (int index = thread; index < lines; index += threads) {
                    log.log(true, logging::LBLogLevel::info, logging::LBLogFlag::info, 0, __FILE__, __func__,
                            __LINE__, std::nullopt, "line %d of the benchmark, with some text after it", index);
                }
            });
        }
        for (auto& producer : producers) producer.join();
        log.allLoggers();
        producing = false;
        sampler.join();
    }
    log.removeLogger(logger);
    log.flushLog();
    if (peakQueued > logging::LBLog::asynchronousCapacity) state.SkipWithError("the asynchronous queue went past its bound");
    state.counters["peak_queued"] = static_cast<double>(peakQueued);
    state.counters["rss_growth_MiB"] = static_cast<double>(peakGrowth) / (1024.0 * 1024.0);
    state.SetItemsProcessed(state.iterations() * lines);
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
BENCHMARK(BM_SpdlogRotatingFileFlushed)->Arg(1)->Arg(4)->ArgName("threads")->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileLoggerAsynchronousMemory)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
