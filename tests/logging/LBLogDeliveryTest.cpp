#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "CapturingLogger.h"
#include "foundation/Print.h"
#include "logging/LBLog.h"

using namespace logging;

namespace {

// An argument that notes when it is turned into text.
struct NotedArgument {
    std::atomic<int>* conversions;
    operator std::string_view() const {
        ++*conversions;
        return "argument";
    }
};

// An argument whose text cannot be made: memory ran out.
struct ExhaustingArgument {
    operator std::string_view() const { throw std::bad_alloc(); }
};

// Holds every record until released; notes whether two calls ever ran at once.
class HeldLogger : public CapturingLogger {
public:
    HeldLogger() : CapturingLogger("test.held") {}
    void logMessage(const LBLogMessage& message) override {
        if (inside_.exchange(true)) overlapped = true;
        {
            std::unique_lock lock(mutex_);
            holding_ = true;
            released_.notify_all();
            released_.wait(lock, [this] { return open_; });
        }
        CapturingLogger::logMessage(message);
        inside_ = false;
    }
    void waitUntilHolding() {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [this] { return holding_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        open_ = true;
        released_.notify_all();
    }

    std::atomic<bool> overlapped = false;

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool holding_ = false;
    bool open_ = false;
    std::atomic<bool> inside_ = false;
};

// Records "<producer> <index>": each producer's arrive in its order, every one of them.
void expectEachProducersRecordsInOrder(const std::vector<std::string>& messages, int producers, int perProducer) {
    std::vector<int> next(producers, 0);
    for (const auto& text : messages) {
        const int producer = std::stoi(text.substr(0, text.find(' ')));
        ASSERT_EQ(std::stoi(text.substr(text.find(' ') + 1)), next[producer]) << text;
        ++next[producer];
    }
    EXPECT_EQ(next, std::vector<int>(producers, perProducer));
}

}  // namespace

TEST(LBLogDelivery, TheGateOpensWithAnAdditionAndNarrowsOnceARemovalRan) {
    LBLog log;
    EXPECT_FALSE(log.mayAdmit(LBLogFlag::error));
    auto warnings = std::make_shared<CapturingLogger>("test.warnings");
    auto information = std::make_shared<CapturingLogger>("test.information");
    log.addLogger(warnings, LBLogLevel::warning);
    log.addLogger(information, LBLogLevel{bits(LBLogFlag::info)});
    // Open before the additions ran: a record logged now reaches the logger.
    EXPECT_TRUE(log.mayAdmit(LBLogFlag::warning));
    EXPECT_TRUE(log.mayAdmit(LBLogFlag::info));
    EXPECT_FALSE(log.mayAdmit(LBLogFlag::debug));
    logText(log, false, "right after", LBLogFlag::warning);
    EXPECT_EQ(warnings->messages(), std::vector<std::string>{"right after"});

    log.removeLogger(warnings);
    log.allLoggers();  // the removal ran
    EXPECT_FALSE(log.mayAdmit(LBLogFlag::warning));
    EXPECT_FALSE(log.mayAdmit(LBLogFlag::error));
    EXPECT_TRUE(log.mayAdmit(LBLogFlag::info));
    log.removeAllLoggers();
    log.allLoggers();
    EXPECT_FALSE(log.mayAdmit(LBLogFlag::info));
}

TEST(LBLogDelivery, AStatementNoLoggerTakesIsNotEvenFormatted) {
    LBLog log;
    auto warnings = std::make_shared<CapturingLogger>("test.warnings");
    log.addLogger(warnings, LBLogLevel::warning);
    std::atomic<int> conversions = 0;
    for (bool asynchronous : {false, true}) {
        log.log(asynchronous, LBLogLevel::debug, LBLogFlag::debug, 0, __FILE__, __func__, __LINE__, std::nullopt,
                "dropped %@", NotedArgument{&conversions});
    }
    EXPECT_EQ(conversions.load(), 0);
    log.log(false, LBLogLevel::warning, LBLogFlag::warning, 0, __FILE__, __func__, __LINE__, std::nullopt, "taken %@",
            NotedArgument{&conversions});
    EXPECT_EQ(conversions.load(), 1);
    log.flushLog();
    EXPECT_EQ(warnings->messages(), std::vector<std::string>{"taken argument"});
}

TEST(LBLogDelivery, ACallThatRunsOutOfMemoryDropsItsRecordAndSaysSoOnceRatherThanThrow) {
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger);
    foundation::ConsoleCapture console;
    for (bool asynchronous : {false, true}) {
        EXPECT_NO_THROW(log.log(asynchronous, LBLogLevel::info, LBLogFlag::info, 0, __FILE__, __func__, __LINE__,
                                std::nullopt, "lost %@", ExhaustingArgument{}));
    }
    logText(log, false, "after");
    log.flushLog();
    EXPECT_EQ(logger->messages(), std::vector<std::string>{"after"});
    EXPECT_EQ(console.text(), "LBLog: A record was dropped: std::bad_alloc\n");
}

TEST(LBLogDelivery, ASynchronousRecordNeverOvertakesWhatWasQueuedBeforeIt) {
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger);
    for (int round = 0; round < 20; ++round) {
        for (int index = 0; index < 50; ++index) logText(log, true, "queued");
        logText(log, false, "synchronous");
        // A synchronous record returns once delivered, after everything queued before it.
        auto messages = logger->messages();
        ASSERT_EQ(messages.size(), std::size_t(51 * (round + 1)));
        EXPECT_EQ(messages.back(), "synchronous");
    }
}

TEST(LBLogDelivery, AProducerWaitsForRoomOnceTheAsynchronousQueueIsFullAndNothingIsDropped) {
    LBLog log;
    auto held = std::make_shared<HeldLogger>();
    log.addLogger(held);
    const std::size_t total = LBLog::asynchronousCapacity + 100;
    std::atomic<bool> done = false;
    std::thread producer([&] {
        for (std::size_t index = 0; index < total; ++index) logText(log, true, std::to_string(index));
        done = true;
    });
    // The logger holds the first record; the rest pile up behind it up to the bound.
    while (!done && log.queuedAsynchronousRecords() < LBLog::asynchronousCapacity) std::this_thread::yield();
    for (int pause = 0; pause < 1000; ++pause) std::this_thread::yield();
    EXPECT_FALSE(done.load());
    EXPECT_EQ(log.queuedAsynchronousRecords(), LBLog::asynchronousCapacity);
    held->release();
    producer.join();
    log.flushLog();
    EXPECT_EQ(log.queuedAsynchronousRecords(), 0u);
    auto messages = held->messages();
    ASSERT_EQ(messages.size(), total);
    for (std::size_t index = 0; index < total; ++index) ASSERT_EQ(messages[index], std::to_string(index));
}

TEST(LBLogDelivery, ShutdownDeliversWhatWasQueuedAndWaitsForTheRemovals) {
    LBLog log;
    auto first = std::make_shared<CapturingLogger>("test.first");
    auto second = std::make_shared<CapturingLogger>("test.second");
    log.addLogger(first);
    log.addLogger(second);
    for (int index = 0; index < 500; ++index) logText(log, true, "queued");
    log.shutdown();
    // Both removals have finished when it returns: nothing is left to wait for.
    for (const auto& logger : {first, second}) {
        auto events = logger->events();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back(), "remove");
        EXPECT_EQ(std::ranges::count(events, "log queued"), 500);
    }
    EXPECT_TRUE(log.allLoggers().empty());
    EXPECT_FALSE(log.mayAdmit(LBLogFlag::error));
}

// Producers logging synchronously side by side: each one's records arrive in its order, all of them.
TEST(LBLogDelivery, SynchronousRecordsFromManyThreadsAllArriveEachThreadsInItsOrder) {
    constexpr int threads = 4;
    constexpr int perThread = 2000;
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger);
    log.allLoggers();
    std::vector<std::thread> producers;
    for (int thread = 0; thread < threads; ++thread) {
        producers.emplace_back([&log, thread] {
            for (int index = 0; index < perThread; ++index) {
                // Now and then an asynchronous one, so that both ways meet; every third one formatted
                // into the thread's own record.
                if (index % 3 == 1) {
                    log.log(false, LBLogLevel::all, LBLogFlag::info, 0, __FILE__, __func__, __LINE__, std::nullopt,
                            "%d %d", thread, index);
                } else {
                    logText(log, index % 7 == 0, std::to_string(thread) + " " + std::to_string(index));
                }
            }
        });
    }
    for (auto& producer : producers) producer.join();
    log.flushLog();
    expectEachProducersRecordsInOrder(logger->messages(), threads, perThread);
}

// Producers that find the dispatch taken for long (its logger holds a record) wait for it, then all
// get through, one logger call at a time, each producer's records in its order.
TEST(LBLogDelivery, ProducersThatWaitedForAHeldRecordAllGetThroughOneCallAtATime) {
    constexpr int producers = 3;
    constexpr int perProducer = 300;
    LBLog log;
    auto held = std::make_shared<HeldLogger>();
    log.addLogger(held);
    log.allLoggers();
    std::thread holder([&] { logText(log, false, "held"); });
    held->waitUntilHolding();
    std::atomic<int> started = 0;
    std::vector<std::thread> threads;
    for (int producer = 0; producer < producers; ++producer) {
        threads.emplace_back([&, producer] {
            ++started;
            for (int index = 0; index < perProducer; ++index) {
                logText(log, false, std::to_string(producer) + " " + std::to_string(index));
            }
        });
    }
    while (started.load() < producers) std::this_thread::yield();
    held->release();
    holder.join();
    for (auto& thread : threads) thread.join();
    log.flushLog();
    auto messages = held->messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "held");
    messages.erase(messages.begin());
    expectEachProducersRecordsInOrder(messages, producers, perProducer);
    EXPECT_FALSE(held->overlapped.load());
}

TEST(LBLogDelivery, AnAsynchronousRecordKeepsItsFileAndFunctionOnceTheCallersTextsAreGone) {
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger);
    {
        // Made at run time, longer than a short string keeps in place; the second record's file is
        // another text at the same address.
        std::string file = "/made/at/run/time/First.cpp";
        const std::string function = "aFunctionNamedAtRunTime";
        log.log(true, "one", LBLogLevel::all, LBLogFlag::info, 0, file.c_str(), function.c_str(), 1, std::nullopt);
        file.replace(file.find("First"), 5, "Other");
        log.log(true, "two", LBLogLevel::all, LBLogFlag::info, 0, file.c_str(), function.c_str(), 2, std::nullopt);
    }
    log.flushLog();
    const auto records = logger->records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].file(), "/made/at/run/time/First.cpp");
    EXPECT_EQ(records[1].file(), "/made/at/run/time/Other.cpp");
    EXPECT_EQ(records[1].function(), "aFunctionNamedAtRunTime");
}
