#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "dispatch/Queue.h"
#include "systemlog/RecordingSystemLog.h"
#include "systemlog/SystemLog.h"

using namespace systemlog;
using Operation = LegacyCondition::Operation;

namespace {

LegacyMessage message(std::initializer_list<std::pair<const char*, const char*>> entries) {
    LegacyMessage result;
    for (const auto& [key, value] : entries) result.set(key, value);
    return result;
}

bool eventually(const std::function<bool()>& condition) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

}  // namespace

TEST(LegacyMessage, KeepsKeysInOrderAndReplacesARepeatedKey) {
    LegacyMessage entry;
    EXPECT_TRUE(entry.set("Level", "4"));
    EXPECT_TRUE(entry.set("Message", "hello"));
    EXPECT_TRUE(entry.set("Level", "3"));
    EXPECT_FALSE(entry.set("", "no key"));
    EXPECT_EQ(entry.get("Level"), "3");
    EXPECT_EQ(entry.get("Sender"), std::nullopt);
    ASSERT_EQ(entry.entries().size(), 2u);
    EXPECT_EQ(entry.entries()[1].first, "Message");
}

TEST(LegacyQuery, ComparesNumbersAsNumbersAndTextAsText) {
    auto entry = message({{"Level", "10"}, {"LBLog", "1"}, {"Message", "m"}});
    EXPECT_TRUE((LegacyCondition{"Level", Operation::greater, "9", true}.matches(entry)));
    EXPECT_FALSE((LegacyCondition{"Level", Operation::greater, "9", false}.matches(entry)));  // "10" < "9" as text
    EXPECT_FALSE((LegacyCondition{"LBLog", Operation::notEqual, "1"}.matches(entry)));
    // A missing key differs from every text, and is no number.
    EXPECT_TRUE((LegacyCondition{"Sender", Operation::notEqual, "1"}.matches(entry)));
    EXPECT_FALSE((LegacyCondition{"Sender", Operation::lessOrEqual, "7", true}.matches(entry)));
    EXPECT_FALSE((LegacyCondition{"Message", Operation::lessOrEqual, "7", true}.matches(entry)));
    EXPECT_TRUE(matches({}, entry));
    EXPECT_FALSE(matches({{"Level", Operation::lessOrEqual, "7", true}, {"Message", Operation::equal, "m"}}, entry));
}

TEST(RecordingSystemLog, RecordsWritesAndSearchesWhatWasSentOrAppended) {
    RecordingSystemLog log;
    log.writeUnified({"com.tolvane.app", "files"}, LogType::info, "unified");
    log.setEnabled(LogType::debug, false);
    EXPECT_FALSE(log.isEnabled({}, LogType::debug));
    EXPECT_TRUE(log.isEnabled({}, LogType::error));
    log.sendLegacy("com.apple.console", message({{"Level", "4"}, {"Message", "ours"}, {"LBLog", "1"}}));
    log.appendLegacy(message({{"Level", "6"}, {"Message", "theirs"}}));

    ASSERT_EQ(log.unifiedEntries().size(), 1u);
    EXPECT_EQ(log.unifiedEntries()[0].handle.category, "files");
    ASSERT_EQ(log.legacyEntries().size(), 1u);
    EXPECT_EQ(log.legacyEntries()[0].facility, "com.apple.console");
    auto others = log.searchLegacy({{"LBLog", Operation::notEqual, "1"}});
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0].get("Message"), "theirs");
    EXPECT_EQ(others[0].get("ASLMessageID"), "2");
    EXPECT_EQ(log.searchLegacy({{"ASLMessageID", Operation::greater, "2", true}}).size(), 0u);
}

TEST(RecordingSystemLog, WatchesAreToldOfNewMessagesUntilCancelled) {
    RecordingSystemLog log;
    std::atomic<int> told = 0;
    auto watch = log.watchLegacy(dispatch::Queue::serial("watch"), [&] { ++told; });
    log.appendLegacy(message({{"Message", "one"}}));
    EXPECT_TRUE(eventually([&] { return told == 1; }));
    EXPECT_EQ(log.activeWatchCount(), 1u);
    watch->cancel();
    log.appendLegacy(message({{"Message", "two"}}));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(log.activeWatchCount(), 0u);
}

TEST(SystemLog, TheInstalledLogStandsInUntilRemoved) {
    auto recording = std::make_shared<RecordingSystemLog>();
    auto system = SystemLog::current();
    SystemLog::setCurrent(recording);
    EXPECT_EQ(SystemLog::current(), recording);
    SystemLog::setCurrent(nullptr);
    EXPECT_NE(SystemLog::current(), recording);
    EXPECT_NE(SystemLog::current(), nullptr);
}

// The real journal, where this machine runs one; build machines usually do not.
TEST(SystemLog, TheJournalTakesAnEntryAndFindsItAgain) {
    if (!std::filesystem::exists("/run/systemd/journal/socket")) GTEST_SKIP() << "no systemd journal on this machine";
    auto system = SystemLog::current();
    const std::string text = "sorvane system log test " + std::to_string(::getpid());
    auto since = std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                    std::chrono::system_clock::now().time_since_epoch()).count() - 1);
    system->writeUnified({}, LogType::info, text);
    bool found = eventually([&] {
        return !system->searchLegacy({{"Time", Operation::greaterOrEqual, since, true}, {"Message", Operation::equal, text}})
                    .empty();
    });
    if (!found) GTEST_SKIP() << "the journal does not let this user read its entries";
    auto entries = system->searchLegacy({{"Message", Operation::equal, text}, {"Time", Operation::greaterOrEqual, since, true}});
    EXPECT_EQ(entries.front().get("LBLog"), "1");
}

TEST(SystemLog, SearchingForNothingFindsNothingAndAWatchStopsWhenCancelled) {
    auto system = SystemLog::current();
    auto now = std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                  std::chrono::system_clock::now().time_since_epoch()).count());
    EXPECT_TRUE(system->searchLegacy({{"Time", Operation::greaterOrEqual, now, true},
                                      {"Message", Operation::equal, "no such message, ever"}})
                    .empty());
    std::atomic<int> told = 0;
    auto watch = system->watchLegacy(dispatch::Queue::serial("watch"), [&] { ++told; });
    watch->cancel();
    watch->cancel();
    EXPECT_EQ(told, 0);
}
