#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <thread>
#include <vector>

#include "CapturingLogger.h"
#include "dispatch/Queue.h"
#include "logging/LBAtomicCounter.h"
#include "logging/LBContextFilterLogFormatter.h"
#include "logging/LBDispatchQueueLogFormatter.h"
#include "logging/LBMultiFormatter.h"

using namespace logging;

namespace {

LBLogMessage from(std::string queueLabel, std::optional<std::string> threadName, std::uint32_t qos = 21,
                  std::string text = "text") {
    return LBLogMessage(std::move(text), LBLogLevel::all, LBLogFlag::info, 7, "f", "g", 3, std::nullopt, 0,
                        std::nullopt, {"4242", std::move(threadName), std::move(queueLabel), qos});
}

class Suffix : public LBLogFormatter {
public:
    explicit Suffix(std::string suffix) : suffix_(std::move(suffix)) {}
    std::optional<std::string> formatLogMessage(const LBLogMessage& message) override {
        seenContexts.push_back(message.context());
        return message.message() + suffix_;
    }
    std::vector<LBLogContext> seenContexts;

private:
    std::string suffix_;
};

class Dropping : public LBLogFormatter {
public:
    std::optional<std::string> formatLogMessage(const LBLogMessage&) override { return std::nullopt; }
};

}  // namespace

TEST(LBContextFilters, AllowlistPassesOnlyItsContextsAndDenylistDropsOnlyItsOwn) {
    LBContextAllowlistFilterLogFormatter allow;
    LBContextDenylistFilterLogFormatter deny;
    EXPECT_EQ(allow.formatLogMessage(record("m", LBLogFlag::info, 556)), std::nullopt);
    EXPECT_EQ(deny.formatLogMessage(record("m", LBLogFlag::info, 556)), "m");

    allow.addToAllowlist(556);
    allow.addToWhitelist(3);
    deny.addToDenylist(556);
    EXPECT_EQ(allow.formatLogMessage(record("m", LBLogFlag::info, 556)), "m");
    EXPECT_EQ(allow.formatLogMessage(record("m", LBLogFlag::info, 1)), std::nullopt);
    EXPECT_EQ(deny.formatLogMessage(record("m", LBLogFlag::info, 556)), std::nullopt);
    EXPECT_EQ(deny.formatLogMessage(record("m", LBLogFlag::info, 1)), "m");

    auto allowed = allow.allowlist();
    std::ranges::sort(allowed);
    EXPECT_EQ(allowed, (std::vector<LBLogContext>{3, 556}));
    allow.removeFromWhitelist(3);
    EXPECT_FALSE(allow.isOnAllowlist(3));
    EXPECT_TRUE(deny.isOnBlacklist(556));
}

TEST(LBDispatchQueueLogFormatter, LabelsNameTheQueueOrForGlobalQueuesTheThread) {
    LBDispatchQueueLogFormatter formatter;
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(from("com.apple.main-thread", std::nullopt)), "main");
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(from("tolvane.logbook.ttyLogger", "dispatch-2")),
              "tolvane.logbook.ttyLogger");
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(from("com.apple.root.default-priority", std::nullopt)), "4242");
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(from("com.apple.root.default-priority", "dispatch-3")),
              "dispatch-3");
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(from("", "")), "4242");

    formatter.setReplacementString("tty", "tolvane.logbook.ttyLogger");
    formatter.setReplacementString("nope", "4242");  // thread ids are never replaced
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(from("tolvane.logbook.ttyLogger", std::nullopt)), "tty");
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(from("", std::nullopt)), "4242");
    formatter.setReplacementString(std::nullopt, "tolvane.logbook.ttyLogger");
    EXPECT_EQ(formatter.replacementStringForQueueLabel("tolvane.logbook.ttyLogger"), std::nullopt);
}

TEST(LBDispatchQueueLogFormatter, LabelsArePaddedToTheMinimumAndCutToTheMaximum) {
    LBDispatchQueueLogFormatter formatter;
    formatter.setMinQueueLength(10);
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(from("com.apple.main-thread", std::nullopt)), "main      ");
    formatter.setMaxQueueLength(3);
    EXPECT_EQ(formatter.queueThreadLabelForLogMessage(from("com.apple.main-thread", std::nullopt)), "mai");
}

TEST(LBDispatchQueueLogFormatter, ALineShowsTimeLabelServiceClassAndText) {
    LBDispatchQueueLogFormatter formatter;
    std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3} \[main \(QOS:UN\)\] hello)");
    auto text = formatter.formatLogMessage(from("com.apple.main-thread", std::nullopt, 0, "hello"));
    ASSERT_TRUE(text);
    EXPECT_TRUE(std::regex_match(*text, line)) << *text;
    std::vector<std::pair<std::uint32_t, std::string>> classes{
        {9, "BG"}, {17, "UT"}, {21, "DF"}, {25, "IN"}, {33, "UI"}, {1, "UN"}};
    for (const auto& [qos, abbreviation] : classes) {
        EXPECT_NE(formatter.formatLogMessage(from("q", std::nullopt, qos))->find("(QOS:" + abbreviation + ")"),
                  std::string::npos);
    }
}

TEST(LBDispatchQueueLogFormatter, RecordsFromDispatchThreadsNameThem) {
    LBDispatchQueueLogFormatter formatter;
    std::optional<LBLogMessage> fromGlobal;
    dispatch::Queue::global()->sync([] {});
    auto queue = dispatch::Queue::global();
    std::atomic<bool> done = false;
    queue->async([&] {
        fromGlobal = record("on the pool");
        done = true;
    });
    while (!done) std::this_thread::yield();
    EXPECT_TRUE(formatter.queueThreadLabelForLogMessage(*fromGlobal).starts_with("dispatch-"));
}

TEST(LBMultiFormatter, FormattersRunInOrderOnTheTextBeforeAndANilStopsTheChain) {
    LBMultiFormatter chain;
    EXPECT_EQ(chain.formatLogMessage(record("m")), "m");

    auto first = std::make_shared<Suffix>("-a");
    auto second = std::make_shared<Suffix>("-b");
    chain.addFormatter(first);
    chain.addFormatter(second);
    EXPECT_EQ(chain.formatLogMessage(record("m", LBLogFlag::info, 9)), "m-a-b");
    EXPECT_EQ(second->seenContexts, (std::vector<LBLogContext>{9}));
    EXPECT_TRUE(chain.isFormattingWithFormatter(second));

    auto dropping = std::make_shared<Dropping>();
    chain.removeFormatter(second);
    chain.addFormatter(dropping);
    EXPECT_EQ(chain.formatters(), (std::vector<std::shared_ptr<LBLogFormatter>>{first, dropping}));
    EXPECT_EQ(chain.formatLogMessage(record("m")), std::nullopt);

    chain.removeAllFormatters();
    EXPECT_TRUE(chain.formatters().empty());
}

TEST(LBMultiFormatter, ALineKeepsEveryOtherFieldOfItsRecord) {
    auto original = record("before", LBLogFlag::warning, 12, "tag");
    auto line = LBMultiFormatter::logMessageForLine("after", original);
    EXPECT_EQ(line.message(), "after");
    EXPECT_EQ(LBMultiFormatter::logMessageForLine("before", line), original);
}

TEST(LBAtomicCounter, CountsEveryChangeFromManyThreads) {
    LBAtomicCounter counter(10);
    EXPECT_EQ(counter.increment(), 11);
    EXPECT_EQ(counter.decrement(), 10);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&] {
            for (int count = 0; count < 1000; ++count) counter.increment();
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter.value(), 4010);
}
