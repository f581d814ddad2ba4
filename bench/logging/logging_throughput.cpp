// Records per second through LBLog into a logger that drops them, synchronous and asynchronous, from
// one and four producer threads; spdlog with a null sink, and its asynchronous logger, on the same
// records in the same run. "records/s" is what to compare (items_per_second). Last, the time of a
// statement that no logger takes, against spdlog's below its level.
#include <benchmark/benchmark.h>

#include <spdlog/async.h>
#include <spdlog/async_logger.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "logging/LBAbstractLogger.h"
#include "logging/LBLog.h"

namespace {

constexpr int recordsPerIteration = 20000;

// On a cache line of its own: every record of every thread writes it, and the statics that either
// library reads on each record must not share its line.
alignas(64) std::atomic<long> delivered = 0;

// Takes every record and keeps only a count.
class NullLogger : public logging::LBAbstractLogger {
public:
    NullLogger() : LBAbstractLogger("bench.null") {}
    void logMessage(const logging::LBLogMessage&) override { delivered.fetch_add(1, std::memory_order_relaxed); }
};

// spdlog's null sink, counting the same way.
class CountingSink : public spdlog::sinks::base_sink<std::mutex> {
protected:
    void sink_it_(const spdlog::details::log_msg&) override { delivered.fetch_add(1, std::memory_order_relaxed); }
    void flush_() override {}
};

logging::LBLog& dispatcher() {
    static logging::LBLog& log = [] () -> logging::LBLog& {
        auto& shared = logging::LBLog::sharedInstance();
        shared.addLogger(std::make_shared<NullLogger>(), logging::LBLogLevel::warning);
        return shared;
    }();
    return log;
}

std::shared_ptr<spdlog::logger> spdlogSync() {
    static auto logger = std::make_shared<spdlog::logger>("bench.sync", std::make_shared<CountingSink>());
    return logger;
}

std::shared_ptr<spdlog::logger> spdlogAsync() {
    static auto pool = std::make_shared<spdlog::details::thread_pool>(8192, 1);
    static auto logger = std::make_shared<spdlog::async_logger>("bench.async", std::make_shared<CountingSink>(), pool,
                                                                spdlog::async_overflow_policy::block);
    return logger;
}

// Runs `produce(first, count)` on `producers` threads sharing the iteration's records, then waits until
// every record has reached its logger.
template <class Produce>
void run(benchmark::State& state, Produce produce) {
    const int producers = static_cast<int>(state.range(0));
    for (auto _ : state) {
        long target = delivered.load() + recordsPerIteration;
        std::vector<std::thread> threads;
        const int share = recordsPerIteration / producers;
        for (int producer = 0; producer < producers; ++producer) {
            threads.emplace_back([&, producer] { produce(producer * share, share); });
        }
        for (auto& thread : threads) thread.join();
        while (delivered.load() < target) std::this_thread::yield();
    }
    state.SetItemsProcessed(state.iterations() * recordsPerIteration);
}

void logWith(bool asynchronous, int first, int count) {
    auto& log = dispatcher();
    for (int index = first; index < first + count; ++index) {
        log.log(asynchronous, logging::LBLogLevel::warning, logging::LBLogFlag::warning, 556, __FILE__, __func__,
                __LINE__, std::nullopt, "record %d of the benchmark", index);
    }
}

void spdlogWith(const std::shared_ptr<spdlog::logger>& logger, int first, int count) {
    for (int index = first; index < first + count; ++index) {
        logger->log(spdlog::source_loc{__FILE__, __LINE__, __func__}, spdlog::level::warn,
                    "record {} of the benchmark", index);
    }
}

void LBLogSynchronous(benchmark::State& state) {
    run(state, [](int first, int count) { logWith(false, first, count); });
}
BENCHMARK(LBLogSynchronous)->Arg(1)->Arg(4)->UseRealTime();

void SpdlogNullSink(benchmark::State& state) {
    run(state, [logger = spdlogSync()](int first, int count) { spdlogWith(logger, first, count); });
}
BENCHMARK(SpdlogNullSink)->Arg(1)->Arg(4)->UseRealTime();

void LBLogAsynchronous(benchmark::State& state) {
    run(state, [](int first, int count) { logWith(true, first, count); });
}
BENCHMARK(LBLogAsynchronous)->Arg(1)->Arg(4)->UseRealTime();

void SpdlogAsyncLogger(benchmark::State& state) {
    run(state, [logger = spdlogAsync()](int first, int count) { spdlogWith(logger, first, count); });
}
BENCHMARK(SpdlogAsyncLogger)->Arg(1)->Arg(4)->UseRealTime();

// A statement no logger listens to (the dispatcher's null logger takes warnings only; spdlog's level
// is warn), on one thread: the cost of the level check alone.
void LBLogDisabled(benchmark::State& state) {
    auto& log = dispatcher();
    int index = 0;
    for (auto _ : state) {
        log.log(false, logging::LBLogLevel::debug, logging::LBLogFlag::debug, 556, __FILE__, __func__, __LINE__,
                std::nullopt, "record %d of the benchmark", index++);
    }
    benchmark::DoNotOptimize(index);
}
BENCHMARK(LBLogDisabled);

void SpdlogDisabled(benchmark::State& state) {
    auto logger = spdlogSync();
    logger->set_level(spdlog::level::warn);
    int index = 0;
    for (auto _ : state) {
        logger->log(spdlog::source_loc{__FILE__, __LINE__, __func__}, spdlog::level::debug, "record {} of the benchmark",
                    index++);
    }
    benchmark::DoNotOptimize(index);
}
BENCHMARK(SpdlogDisabled);

}  // namespace
