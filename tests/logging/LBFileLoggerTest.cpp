#include <gtest/gtest.h>

#include <stdexcept>

#include "FileLoggerFixture.h"
#include "dispatch/Queue.h"
#include "foundation/Clock.h"
#include "foundation/FileManager.h"
#include "foundation/Print.h"
#include "logging/LBLog.h"

using namespace logging;

namespace {

class Fixed : public LBLogFormatter {
public:
    explicit Fixed(std::optional<std::string> text) : text_(std::move(text)) {}
    std::optional<std::string> formatLogMessage(const LBLogMessage&) override { return text_; }

private:
    std::optional<std::string> text_;
};

class ThrowingLogger : public LBFileLogger {
public:
    using LBFileLogger::LBFileLogger;
    void willLogMessage(LBLogFileInfo&) override { throw std::runtime_error("disk on fire"); }
};

}  // namespace

TEST_F(FileLoggerTest, DefaultLinesCarryTheGMTTimeAndEndInExactlyOneLineBreak) {
    auto logger = makeLogger();
    write(logger, stamped("hello"));
    write(logger, stamped("already ended\n"));
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(readFile(folder / files[0]), stampPrefix + "hello\n" + stampPrefix + "already ended\n");
}

TEST_F(FileLoggerTest, ADroppedOrEmptyRecordWritesNothingAndOpensNoFile) {
    auto logger = makeLogger();
    logger->setLogFormatter(std::make_shared<Fixed>(std::nullopt));
    write(logger, stamped("dropped"));
    logger->setLogFormatter(std::make_shared<Fixed>(""));
    write(logger, stamped("empty"));
    EXPECT_TRUE(folder.logFiles().empty());
}

TEST_F(FileLoggerTest, ACustomFormatterCanLeaveTheLineBreakOut) {
    auto logger = makeLogger();
    logger->setLogFormatter(std::make_shared<Fixed>("custom"));
    logger->setAutomaticallyAppendNewlineForCustomFormatters(false);
    write(logger, stamped("a"));
    logger->setAutomaticallyAppendNewlineForCustomFormatters(true);
    write(logger, stamped("b"));
    EXPECT_EQ(readFile(folder / folder.logFiles().at(0)), "customcustom\n");
}

TEST_F(FileLoggerTest, RollsAfterTheWriteThatCrossesTheSizeKeepingThatWriteWhole) {
    auto logger = makeLogger();
    logger->setMaximumFileSize(64);  // each line is 31 bytes
    for (const char* text : {"one..", "two..", "three", "four."}) write(logger, stamped(text));
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(linesOf(files[0]), (std::vector<std::string>{stampPrefix + "one..", stampPrefix + "two..", stampPrefix + "three"}));
    EXPECT_TRUE(archived(files[0]));
    EXPECT_EQ(linesOf(files[1]), (std::vector<std::string>{stampPrefix + "four."}));
    EXPECT_FALSE(archived(files[1]));
    EXPECT_EQ(logger->maximumFileSize(), 64u);
}

TEST_F(FileLoggerTest, RecordsHandedOverTogetherRollAtTheSameLineAsOneByOne) {
    auto logger = makeLogger();
    logger->setMaximumFileSize(64);
    std::vector<logging::LBLogMessage> records;
    for (const char* text : {"one..", "two..", "three", "four."}) records.push_back(stamped(text));
    std::vector<const logging::LBLogMessage*> together;
    for (const auto& record : records) together.push_back(&record);
    settle(logger);
    logger->loggerQueue()->sync([&] { logger->logMessages(together); });
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(linesOf(files[0]), (std::vector<std::string>{stampPrefix + "one..", stampPrefix + "two..", stampPrefix + "three"}));
    EXPECT_EQ(linesOf(files[1]), (std::vector<std::string>{stampPrefix + "four."}));
}

TEST_F(FileLoggerTest, FilesMadeInOneInstantKeepTheirCreationOrder) {
    // The clock stands still, so every roll makes its file in the same millisecond as the last.
    ManualClockScope still(foundation::Date::fromUnix(1772359200.5));
    auto logger = makeLogger();
    logger->setMaximumFileSize(31);  // one 31-byte line a file: the write that reaches the size rolls
    for (const char* text : {"one..", "two..", "three", "four.", "five.", "six..", "seven", "eight", "nine.", "ten.."})
        write(logger, stamped(text));
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 10u);
    EXPECT_EQ(linesOf(files[0]), std::vector<std::string>{stampPrefix + "one.."});
    EXPECT_EQ(linesOf(files[9]), std::vector<std::string>{stampPrefix + "ten.."});
    // Each write reached the size, so each file was rolled, the last one too.
    for (std::size_t index = 0; index < 10; ++index) EXPECT_TRUE(archived(files[index])) << files[index];
    // The manager sees the same order, newest first.
    std::vector<std::string> newestFirst(files.rbegin(), files.rend());
    EXPECT_EQ(manager->sortedLogFileNames(), newestFirst);
}

TEST_F(FileLoggerTest, RollsOnRequestAndTellsTheManagerAndTheCaller) {
    auto logger = makeLogger();
    write(logger, stamped("first"));
    std::string first = logger->currentLogFileInfo()->filePath();
    std::atomic<bool> done = false;
    logger->rollLogFile([&] { done = true; });
    ASSERT_TRUE(eventually([&] { return done.load() && !manager->archived().empty(); }));
    EXPECT_EQ(manager->archived(), (std::vector<std::pair<std::string, bool>>{{first, true}}));
    EXPECT_TRUE(LBLogFileInfo(first).isArchived());
    write(logger, stamped("second"));
    EXPECT_NE(logger->currentLogFileInfo()->filePath(), first);
    EXPECT_EQ(folder.logFiles().size(), 2u);
}

TEST_F(FileLoggerTest, RollsWhenTheFileGrowsOlderThanTheRollingFrequency) {
    std::string first;
    bool rolled = false;
    auto logger = makeLogger();
    {
        ManualClockScope manual(foundation::Date::now());
        logger->setRollingFrequency(10);  // opens the file and sets its timer
        first = logger->currentLogFileInfo()->filePath();
        manual.clock().advance(11);
        rolled = eventually([&] { return !manager->archived().empty(); });
    }
    ASSERT_TRUE(rolled);
    EXPECT_EQ(manager->archived().front().first, first);
    EXPECT_DOUBLE_EQ(logger->rollingFrequency(), 10);
}

TEST_F(FileLoggerTest, ResumesAYoungUnarchivedFileAtStart) {
    auto young = manager->createNewLogFile();
    ASSERT_TRUE(young.has_value());
    std::ofstream(*young, std::ios::app) << "from before\n";
    auto logger = makeLogger();
    write(logger, stamped("resumed"));
    EXPECT_EQ(folder.logFiles().size(), 1u);
    EXPECT_EQ(readFile(*young), "from before\n" + stampPrefix + "resumed\n");
}

TEST_F(FileLoggerTest, ArchivesInsteadOfResumingAFileOlderThanTheRollingFrequency) {
    auto old = manager->createNewLogFile();
    ASSERT_TRUE(old.has_value());
    foundation::FileAttributeChanges twoDaysOld;
    twoDaysOld.creationDate = foundation::Date::now().addingTimeInterval(-2 * 24 * 60 * 60);
    ASSERT_TRUE(foundation::FileManager::defaultManager()->setAttributes(twoDaysOld, *old));
    auto logger = makeLogger();
    write(logger, stamped("fresh"));
    EXPECT_EQ(logger->currentLogFileInfo()->filePath() == *old, false);
    EXPECT_TRUE(LBLogFileInfo(*old).isArchived());
    EXPECT_EQ(readFile(*old), "");
    ASSERT_TRUE(eventually([&] { return !manager->archived().empty(); }));
    EXPECT_EQ(manager->archived().front(), std::make_pair(*old, false));
}

TEST_F(FileLoggerTest, NeverReusesAFileWhenAskedNot) {
    auto young = manager->createNewLogFile();
    auto logger = makeLogger();
    logger->setDoNotReuseLogFiles(true);
    write(logger, stamped("fresh"));
    EXPECT_EQ(folder.logFiles().size(), 2u);
    EXPECT_EQ(readFile(*young), "");
}

TEST_F(FileLoggerTest, DeletingTheFileFromOutsideRollsToANewFile) {
    auto logger = makeLogger();
    write(logger, stamped("first"));
    std::string first = logger->currentLogFileInfo()->filePath();
    std::filesystem::remove(first);
    ASSERT_TRUE(eventually([&] { return !manager->archived().empty(); }));
    write(logger, stamped("second"));
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(linesOf(files[0]), std::vector<std::string>{stampPrefix + "second"});
}

TEST_F(FileLoggerTest, MovingTheFileAwayRollsToANewFile) {
    auto logger = makeLogger();
    write(logger, stamped("first"));
    std::string first = logger->currentLogFileInfo()->filePath();
    std::filesystem::rename(first, folder / "moved.txt");
    ASSERT_TRUE(eventually([&] { return !manager->archived().empty(); }));
    write(logger, stamped("second"));
    EXPECT_EQ(readFile(folder / "moved.txt"), stampPrefix + "first\n");
    ASSERT_EQ(folder.logFiles().size(), 1u);
    EXPECT_EQ(linesOf(folder.logFiles()[0]), std::vector<std::string>{stampPrefix + "second"});
}

TEST_F(FileLoggerTest, AFileArchivedBehindTheLoggersBackIsNoLongerWritten) {
    auto logger = makeLogger();
    write(logger, stamped("first"));
    std::string first = logger->currentLogFileInfo()->filePath();
    LBLogFileInfo(first).setIsArchived(true);
    ASSERT_TRUE(eventually([&] { return !manager->archived().empty(); }));
    write(logger, stamped("second"));
    EXPECT_EQ(readFile(first), stampPrefix + "first\n");
    EXPECT_EQ(folder.logFiles().size(), 2u);
}

TEST_F(FileLoggerTest, RemovalRollsTheFileItWrote) {
    LBLog log;
    auto logger = makeLogger();
    log.addLogger(logger);
    log.log(false, stamped("only"));
    log.removeLogger(logger);
    settle(logger);
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(archived(files[0]));
}

TEST_F(FileLoggerTest, WriteExceptionsAreReportedTenTimesInAllThenNoMore) {
    auto logger = std::make_shared<ThrowingLogger>(manager);
    foundation::ConsoleCapture console;
    for (int index = 0; index < 11; ++index) write(logger, stamped("lost"));
    std::string reported = console.text();
    std::size_t count = 0;
    for (std::size_t at = 0; (at = reported.find("LBFileLogger.logMessage: disk on fire", at)) != std::string::npos; ++at)
        ++count;
    EXPECT_LE(count, 10u);
    {
        foundation::ConsoleCapture later;
        write(logger, stamped("lost"));
        EXPECT_EQ(later.text(), "");
    }
}

TEST_F(FileLoggerTest, LogDataAppendsBytesAsTheyAre) {
    auto logger = makeLogger();
    logger->logData("raw bytes");
    EXPECT_EQ(readFile(folder / folder.logFiles().at(0)), "raw bytes");
}
