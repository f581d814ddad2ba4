#include <gtest/gtest.h>
#include <unistd.h>

#include "CapturingLogger.h"
#include "LogFolder.h"
#include "foundation/Assertion.h"
#include "foundation/Clock.h"
#include "logging/LBASLLogCapture.h"
#include "logging/LBASLLogger.h"
#include "logging/LBOSLogger.h"
#include "systemlog/RecordingSystemLog.h"

using namespace logging;
using systemlog::LogType;

namespace {

class SystemLogTest : public ::testing::Test {
protected:
    void SetUp() override { systemlog::SystemLog::setCurrent(system); }
    void TearDown() override {
        LBASLLogCapture::stop();
        LBASLLogCapture::setCaptureLevel(LBLogLevel::verbose);
        LBLog::sharedInstance().removeLogger(captured);
        LBLog::sharedInstance().flushLog();
        systemlog::SystemLog::setCurrent(nullptr);
        foundation::Clock::setCurrent(nullptr);
    }

    void capture() { LBLog::sharedInstance().addLogger(captured); }
    static void write(const std::shared_ptr<LBLogger>& logger, const LBLogMessage& message) {
        settle(logger);
        logger->loggerQueue()->sync([&] { logger->logMessage(message); });
    }
    static LBLogMessage captureRecord() {
        return LBLogMessage("from the capture", LBLogLevel::all, LBLogFlag::error, 0, "LBASLLogCapture", std::nullopt, 0,
                            std::nullopt);
    }
    static systemlog::LegacyMessage otherProgram(const char* text, const char* level, bool own = false) {
        systemlog::LegacyMessage message;
        message.set("Time", std::to_string(static_cast<long long>(foundation::Date::now().timeIntervalSince1970())));
        message.set("Level", level);
        message.set("Message", text);
        if (own) message.set("LBLog", "1");
        return message;
    }

    std::shared_ptr<systemlog::RecordingSystemLog> system = std::make_shared<systemlog::RecordingSystemLog>();
    std::shared_ptr<CapturingLogger> captured = std::make_shared<CapturingLogger>("test.captured");
};

}  // namespace

TEST_F(SystemLogTest, TheUnifiedLoggerWritesByFlagToItsSubsystemAndCategory) {
    auto logger = std::make_shared<LBOSLogger>("com.tolvane.sorvane", "flags");
    for (auto flag : {LBLogFlag::error, LBLogFlag::warning, LBLogFlag::info, LBLogFlag::debug, LBLogFlag::verbose})
        write(logger, record("text", flag));
    auto entries = system->unifiedEntries();
    ASSERT_EQ(entries.size(), 5u);
    std::vector<LogType> types;
    for (const auto& entry : entries) types.push_back(entry.type);
    EXPECT_EQ(types, (std::vector<LogType>{LogType::error, LogType::info, LogType::info, LogType::debug, LogType::debug}));
    EXPECT_EQ(entries[0].handle, (systemlog::UnifiedLogHandle{"com.tolvane.sorvane", "flags"}));
    EXPECT_EQ(entries[0].text, "text");
    EXPECT_EQ(logger->loggerName(), "tolvane.logbook.osLogger");
}

TEST_F(SystemLogTest, TheUnifiedLoggerSkipsDisabledTypesAndCapturedRecords) {
    auto logger = std::make_shared<LBOSLogger>();
    system->setEnabled(LogType::debug, false);
    write(logger, record("quiet", LBLogFlag::debug));
    write(logger, captureRecord());
    write(logger, record("heard", LBLogFlag::info));
    auto entries = system->unifiedEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, "heard");
    EXPECT_EQ(entries[0].handle, systemlog::UnifiedLogHandle{});
    EXPECT_THROW(LBOSLogger("only a subsystem", std::nullopt), foundation::InternalInconsistencyException);
}

TEST_F(SystemLogTest, TheLegacyLoggerSendsLevelMessageReaderAndItsOwnMark) {
    auto logger = LBASLLogger::sharedInstance();
    for (auto flag : {LBLogFlag::error, LBLogFlag::warning, LBLogFlag::info, LBLogFlag::verbose})
        write(logger, record("text", flag));
    write(logger, captureRecord());
    auto entries = system->legacyEntries();
    ASSERT_EQ(entries.size(), 4u);
    std::vector<std::string> levels;
    for (const auto& entry : entries) levels.emplace_back(*entry.message.get("Level"));
    EXPECT_EQ(levels, (std::vector<std::string>{"2", "3", "4", "5"}));
    const auto& info = entries[2];
    EXPECT_EQ(info.facility, "com.apple.console");
    std::vector<std::string> keys;
    for (const auto& [key, value] : info.message.entries()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"Level", "Message", "ReadUID", "LBLog"}));
    EXPECT_EQ(info.message.get("ReadUID"), std::to_string(::geteuid()));
    EXPECT_EQ(info.message.get("LBLog"), "1");
    EXPECT_EQ(logger->loggerName(), "tolvane.logbook.aslLogger");
}

TEST_F(SystemLogTest, CapturedMessagesBecomeRecordsByLevelWithinTheCaptureLevel) {
    capture();
    LBASLLogCapture::setCaptureLevel(LBLogLevel::debug);
    systemlog::LegacyMessage verbose;
    verbose.set("Level", "6");
    verbose.set("Message", "too chatty");
    LBASLLogCapture::aslMessageReceived(verbose);
    systemlog::LegacyMessage timed;
    timed.set("Level", "4");
    timed.set("Message", "timed");
    timed.set("Time", "1772359200.25");
    timed.set("TimeNanoSec", "250000000");
    LBASLLogCapture::aslMessageReceived(timed);
    systemlog::LegacyMessage untimed;
    untimed.set("Level", "1");
    untimed.set("Message", "untimed");
    LBASLLogCapture::aslMessageReceived(untimed);  // an error: delivered before this returns
    LBASLLogCapture::aslMessageReceived(systemlog::LegacyMessage());

    auto records = captured->records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].message(), "timed");
    EXPECT_EQ(records[0].flag(), LBLogFlag::info);
    EXPECT_EQ(records[0].level(), LBLogLevel::debug);
    EXPECT_EQ(records[0].fileName(), "LBASLLogCapture");
    EXPECT_DOUBLE_EQ(records[0].timestamp()->timeIntervalSince1970(), 1772359200.5);
    EXPECT_EQ(records[1].flag(), LBLogFlag::error);
    EXPECT_LT(std::abs(records[1].timestamp()->timeIntervalSinceNow()), 60);
}

TEST_F(SystemLogTest, TheCaptureTakesOtherProgramsMessagesOnceAndNeverItsOwn) {
    // A capture reads from the second it starts; the clock keeps the two runs seconds apart.
    ManualClockScope manual(foundation::Date::now());
    capture();
    LBASLLogCapture::start();
    LBASLLogCapture::start();
    EXPECT_TRUE(LBASLLogCapture::isRunning());
    system->appendLegacy(otherProgram("ours", "4", true));
    system->appendLegacy(otherProgram("theirs", "4"));
    ASSERT_TRUE(eventually([&] { return captured->messages().size() == 1; }));
    EXPECT_EQ(captured->messages(), std::vector<std::string>{"theirs"});

    // Stopped and started again, one watch captures: each message arrives once.
    LBASLLogCapture::stop();
    manual.clock().advance(10);
    LBASLLogCapture::start();
    EXPECT_EQ(system->activeWatchCount(), 1u);
    system->appendLegacy(otherProgram("again", "3"));
    ASSERT_TRUE(eventually([&] { return captured->messages().size() == 2; }));
    LBLog::sharedInstance().flushLog();
    EXPECT_EQ(captured->messages(), (std::vector<std::string>{"theirs", "again"}));
    LBASLLogCapture::stop();
    EXPECT_EQ(system->activeWatchCount(), 0u);
}
