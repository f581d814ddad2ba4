#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "CapturingLogger.h"
#include "foundation/Assertion.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Thread.h"
#include "logging/LBLog.h"

using namespace logging;

namespace {

// Flushes slowly, so that a flush that does not wait for it is caught.
class SlowFlushingLogger : public CapturingLogger {
public:
    void flush() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        flushed = true;
    }
    std::atomic<bool> flushed = false;
};

// Logs once more, synchronously, from inside its own logMessage.
class EchoingLogger : public CapturingLogger {
public:
    explicit EchoingLogger(LBLog& log) : log_(log) {}
    void logMessage(const LBLogMessage& message) override {
        CapturingLogger::logMessage(message);
        if (message.message() == "call") logText(log_, false, "echo");
    }

private:
    LBLog& log_;
};

// Queues work of its own on its queue from each call, and notes whether anything ran during a call.
class QueueingLogger : public CapturingLogger {
public:
    void logMessage(const LBLogMessage& message) override {
        if (inside_.exchange(true)) overlapped = true;
        CapturingLogger::logMessage(message);
        loggerQueue()->async([this, text = message.message()] { noteAlone("queued " + text); });
        inside_ = false;
    }
    void noteAlone(std::string event) {
        if (inside_) overlapped = true;
        note(std::move(event));
    }
    std::atomic<bool> overlapped = false;

private:
    std::atomic<bool> inside_ = false;
};

}  // namespace

TEST(LBLog, TheSameLoggerAtTheSameLevelIsOneRegistrationAndAtTwoLevelsTwo) {
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger, LBLogLevel::warning);
    log.addLogger(logger, LBLogLevel::warning);
    EXPECT_EQ(log.allLoggers().size(), 1u);

    log.addLogger(logger, LBLogLevel::error);
    auto information = log.allLoggersWithLevel();
    ASSERT_EQ(information.size(), 2u);
    EXPECT_EQ(information[1].level, LBLogLevel::error);

    logText(log, false, "both", LBLogFlag::error);
    logText(log, false, "one", LBLogFlag::warning);
    EXPECT_EQ(logger->messages(), (std::vector<std::string>{"both", "both", "one"}));
}

TEST(LBLog, ALoggerReceivesExactlyTheFlagsItsLevelAdmits) {
    LBLog log;
    auto errors = std::make_shared<CapturingLogger>("test.errors");
    auto errorsAndInfo = std::make_shared<CapturingLogger>("test.errorsAndInfo");
    auto everything = std::make_shared<CapturingLogger>("test.everything");
    auto nothing = std::make_shared<CapturingLogger>("test.nothing");
    log.addLogger(errors, LBLogLevel::error);
    log.addLogger(errorsAndInfo, LBLogFlag::error | LBLogFlag::info);
    log.addLogger(everything);
    log.addLogger(nothing, LBLogLevel::off);
    for (auto flag : {LBLogFlag::error, LBLogFlag::warning, LBLogFlag::info, LBLogFlag::debug, LBLogFlag::verbose}) {
        logText(log, false, std::to_string(bits(flag)), flag);
    }
    EXPECT_EQ(errors->messages(), (std::vector<std::string>{"1"}));
    EXPECT_EQ(errorsAndInfo->messages(), (std::vector<std::string>{"1", "4"}));
    EXPECT_EQ(everything->messages(), (std::vector<std::string>{"1", "2", "4", "8", "16"}));
    EXPECT_TRUE(nothing->messages().empty());
    EXPECT_TRUE(admits(LBLogLevel::verbose, LBLogFlag::verbose));
    EXPECT_FALSE(admits(LBLogLevel::debug, LBLogFlag::verbose));
}

TEST(LBLog, EveryLoggerSeesTheRecordsInOneOrderAndEachProducersInItsOwn) {
    LBLog log;
    auto first = std::make_shared<CapturingLogger>("test.first");
    auto second = std::make_shared<CapturingLogger>("test.second");
    log.addLogger(first);
    log.addLogger(second);
    constexpr int producers = 4, perProducer = 300;
    std::vector<std::thread> threads;
    for (int producer = 0; producer < producers; ++producer) {
        threads.emplace_back([&, producer] {
            for (int index = 0; index < perProducer; ++index) {
                logText(log, index % 3 != 0, std::to_string(producer) + ":" + std::to_string(index));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    log.flushLog();

    auto seen = first->messages();
    EXPECT_EQ(second->messages(), seen);
    ASSERT_EQ(seen.size(), std::size_t{producers * perProducer});
    std::vector<int> next(producers, 0);
    for (const auto& text : seen) {
        int producer = std::stoi(text.substr(0, text.find(':')));
        EXPECT_EQ(std::stoi(text.substr(text.find(':') + 1)), next[producer]++) << text;
    }
}

TEST(LBLog, FlushReturnsAfterEveryLoggerFlushedAndEveryEarlierRecordArrived) {
    LBLog log;
    auto slow = std::make_shared<SlowFlushingLogger>();
    auto quick = std::make_shared<CapturingLogger>("test.quick");
    log.addLogger(slow);
    log.addLogger(quick);
    for (int index = 0; index < 50; ++index) logText(log, true, std::to_string(index));
    log.flushLog();
    EXPECT_TRUE(slow->flushed);
    EXPECT_EQ(quick->messages().size(), 50u);
    EXPECT_EQ(quick->events().back(), "flush");
}

TEST(LBLog, SynchronousLogFromTheLoggingQueueRunsInline) {
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger);
    log.allLoggers();
    LBLog::loggingQueue()->sync([&] {
        logText(log, false, "inline");
        EXPECT_EQ(logger->messages(), (std::vector<std::string>{"inline"}));
    });
}

TEST(LBLog, FlushOnTheLoggingQueueFailsItsAssertion) {
    LBLog log;
    LBLog::loggingQueue()->sync([&] {
        EXPECT_TRUE(LBLog::isOnLoggingQueue());
        EXPECT_THROW(log.flushLog(), foundation::InternalInconsistencyException);
    });
    EXPECT_FALSE(LBLog::isOnLoggingQueue());
}

TEST(LBLog, ALoggerThatLogsSynchronouslyFromItsOwnCallDoesNotDeadlock) {
    for (bool withCompany : {false, true}) {
        LBLog log;
        auto echoing = std::make_shared<EchoingLogger>(log);
        log.addLogger(echoing);
        // A second logger makes the dispatcher hand the record to both side by side.
        if (withCompany) log.addLogger(std::make_shared<CapturingLogger>());
        logText(log, false, "call");
        log.flushLog();
        EXPECT_EQ(echoing->messages(), (std::vector<std::string>{"call", "echo"}));
    }
}

TEST(LBLog, ARemovedLoggerReceivesNothingOnceItsRemovalIsDone) {
    LBLog log;
    auto removed = std::make_shared<CapturingLogger>("test.removed");
    auto staying = std::make_shared<CapturingLogger>("test.staying");
    log.addLogger(removed);
    log.addLogger(staying);
    std::atomic<bool> stop = false;
    std::vector<std::thread> producers;
    for (int producer = 0; producer < 3; ++producer) {
        producers.emplace_back([&] {
            // Now and then synchronously, so that the records in flight stay few.
            for (int count = 0; !stop; ++count) logText(log, count % 50 != 0, "busy");
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    log.removeLogger(removed);
    auto loggers = log.allLoggers();  // the removal has run once this answers
    EXPECT_EQ(std::ranges::count(loggers, std::shared_ptr<LBLogger>(removed)), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    for (auto& thread : producers) thread.join();
    log.flushLog();
    removed->loggerQueue()->sync([] {});

    auto events = removed->events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), "remove");
    EXPECT_EQ(std::ranges::count(events, "remove"), 1);
    EXPECT_GT(staying->messages().size(), removed->messages().size());
}

TEST(LBLog, ALoggerWithoutAQueueGetsOneNamedAfterIt) {
    struct Bare : LBLogger {
        void logMessage(const LBLogMessage&) override { label = dispatch::Queue::currentLabel(); }
        std::shared_ptr<LBLogFormatter> logFormatter() const override { return nullptr; }
        void setLogFormatter(std::shared_ptr<LBLogFormatter>) override {}
        std::string loggerName() const override { return "test.bare"; }
        std::string label;
    };
    LBLog log;
    auto bare = std::make_shared<Bare>();
    log.addLogger(bare);
    logText(log, false, "x");
    EXPECT_EQ(bare->label, "test.bare");
}

TEST(LBLog, FormattedLogsCarryTextContextAndSourcePlace) {
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger);
    log.log(false, LBLogLevel::warning, LBLogFlag::warning, 556, "/src/Vellum/VellumParser.m", "parse", 12, "svg",
            "[%@] WARNING: caught exception writing to file: %@", "VellumParser", "out.svg");
    auto records = logger->records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message(), "[VellumParser] WARNING: caught exception writing to file: out.svg");
    EXPECT_EQ(records[0].context(), 556);
    EXPECT_EQ(records[0].level(), LBLogLevel::warning);
    EXPECT_EQ(records[0].fileName(), "VellumParser");
    EXPECT_EQ(records[0].function(), "parse");
    EXPECT_EQ(records[0].line(), 12u);
    EXPECT_EQ(records[0].representedObject(), "svg");

    EXPECT_THROW(log.log(false, "m", LBLogLevel::all, LBLogFlag::info, 0, nullptr, nullptr, 0, std::nullopt),
                 foundation::InternalInconsistencyException);
    const char* noFile = nullptr;
    EXPECT_THROW(log.log(false, LBLogLevel::all, LBLogFlag::info, 0, noFile, nullptr, 0, std::nullopt, "%d", 1),
                 foundation::InternalInconsistencyException);
}

TEST(LBLog, RecordsKeptByALoggerKeepTheirTextsWhileTheThreadFormatsMore) {
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger);
    const std::string longText(5000, 'x');
    std::vector<std::string> expected;
    for (int index = 0; index < 6; ++index) {
        // Short and long texts, synchronous and asynchronous, one after another on this thread.
        const bool asynchronous = index % 3 == 2;
        const std::string_view text = index % 2 ? std::string_view(longText).substr(0, 400 * index) : "short";
        log.log(asynchronous, LBLogLevel::all, LBLogFlag::info, 0, __FILE__, __func__, __LINE__, std::nullopt,
                "%d: %@", index, text);
        expected.push_back(std::to_string(index) + ": " + std::string(text));
    }
    log.flushLog();
    EXPECT_EQ(logger->messages(), expected);
}

TEST(LBLog, RemovingAllLoggersTellsEachOfThem) {
    LBLog log;
    auto first = std::make_shared<CapturingLogger>("test.a");
    auto second = std::make_shared<CapturingLogger>("test.b");
    log.addLogger(first);
    log.addLogger(second);
    log.removeAllLoggers();
    EXPECT_TRUE(log.allLoggers().empty());
    settle(first);
    settle(second);
    EXPECT_EQ(first->events(), (std::vector<std::string>{"add", "remove"}));
    EXPECT_EQ(second->events(), (std::vector<std::string>{"add", "remove"}));
}

TEST(LBLog, TheApplicationsEndFlushesEveryLogger) {
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger);
    foundation::NotificationCenter::defaultCenter().post(
        foundation::Notification::Name("UIApplicationWillTerminateNotification"));
    EXPECT_EQ(logger->events().back(), "flush");
}

TEST(LBLog, AddingAndRemovingTakeEffectBetweenTheRecordsAroundThem) {
    LBLog log;
    auto first = std::make_shared<CapturingLogger>("test.first");
    auto second = std::make_shared<CapturingLogger>("test.second");
    log.addLogger(first);
    for (int index = 0; index < 100; ++index) logText(log, true, "before");
    log.addLogger(second);
    for (int index = 0; index < 100; ++index) logText(log, true, "between");
    log.removeLogger(first);
    for (int index = 0; index < 100; ++index) logText(log, true, "after");
    log.flushLog();

    auto counts = [](const std::vector<std::string>& texts, const char* text) { return std::ranges::count(texts, text); };
    auto firstSaw = first->messages(), secondSaw = second->messages();
    EXPECT_EQ(counts(firstSaw, "before"), 100);
    EXPECT_EQ(counts(firstSaw, "between"), 100);
    EXPECT_EQ(counts(firstSaw, "after"), 0);
    EXPECT_EQ(counts(secondSaw, "before"), 0);
    EXPECT_EQ(counts(secondSaw, "between"), 100);
    EXPECT_EQ(counts(secondSaw, "after"), 100);
}

TEST(LBLog, EachSynchronousRecordOfAThreadCarriesWhereAndWhenItWasMade) {
    LBLog log;
    auto logger = std::make_shared<CapturingLogger>();
    log.addLogger(logger);
    auto first = dispatch::Queue::serial("test.where.first");
    auto second = dispatch::Queue::serial("test.where.second.with.a.label.past.the.short.string");
    auto logHere = [&](const char* text, LBLogTag tag = std::nullopt) {
        log.log(false, LBLogLevel::all, LBLogFlag::info, 0, __FILE__, __func__, __LINE__, std::move(tag), "%s",
                text);
    };
    std::string threadID;
    // A thread of its own: its name is changed along the way.
    std::thread([&] {
        threadID = std::to_string(foundation::currentThreadID());
        logHere("plain", "tagged");
        foundation::setCurrentThreadName("test.where.named");
        logHere("named");
        first->sync([&] { logHere("first"); });
        second->sync([&] { logHere("second"); });
        foundation::setCurrentThreadName("");
        logHere("unnamed");
    }).join();

    const auto records = logger->records();
    ASSERT_EQ(records.size(), 5u);
    struct Expected {
        const char* text;
        std::optional<std::string> threadName;
        std::string queueLabel;
        std::uint32_t qos;
        LBLogTag tag;
    };
    const Expected expected[] = {
        {"plain", std::nullopt, "", 0, "tagged"},
        {"named", "test.where.named", "", 0, std::nullopt},
        {"first", "test.where.named", first->label(), 21, std::nullopt},
        {"second", "test.where.named", second->label(), 21, std::nullopt},
        {"unnamed", std::nullopt, "", 0, std::nullopt},
    };
    for (std::size_t index = 0; index < records.size(); ++index) {
        SCOPED_TRACE(expected[index].text);
        EXPECT_EQ(records[index].message(), expected[index].text);
        EXPECT_EQ(records[index].threadID(), threadID);
        EXPECT_EQ(records[index].threadName(), expected[index].threadName);
        EXPECT_EQ(records[index].queueLabel(), expected[index].queueLabel);
        EXPECT_EQ(records[index].qos(), expected[index].qos);
        EXPECT_EQ(records[index].tag(), expected[index].tag);
        ASSERT_TRUE(records[index].timestamp());
        if (index > 0) {
            EXPECT_GE(*records[index].timestamp(), *records[index - 1].timestamp());
        }
    }
}

// The logger's queue stays the logger's between synchronous records: work queued on it, by the logger
// or from another thread, runs in its turn and never during a call.
TEST(LBLog, ALoggersQueueRunsOtherWorkBetweenSynchronousRecordsAndNeverDuringOne) {
    LBLog log;
    auto logger = std::make_shared<QueueingLogger>();
    log.addLogger(logger);
    logText(log, false, "a");
    std::thread([&] { logger->loggerQueue()->sync([&] { logger->noteAlone("outside"); }); }).join();
    logText(log, false, "b");
    log.flushLog();
    EXPECT_EQ(logger->events(),
              (std::vector<std::string>{"add", "log a", "queued a", "outside", "log b", "queued b", "flush"}));

    // Many threads, records and outside work side by side.
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&, thread] {
            for (int index = 0; index < 200; ++index) {
                if (thread == 0 && index % 10 == 0) {
                    logger->loggerQueue()->sync([&] { logger->noteAlone("outside"); });
                } else {
                    logText(log, false, "record");
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    log.flushLog();
    const auto events = logger->events();
    EXPECT_EQ(std::ranges::count(events, "log record"), 780);
    EXPECT_EQ(std::ranges::count(events, "queued record"), 780);
    EXPECT_EQ(std::ranges::count(events, "outside"), 21);
    EXPECT_FALSE(logger->overlapped.load());
}
