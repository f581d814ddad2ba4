#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "FileLoggerFixture.h"
#include "logging/LBBufferedProxy.h"
#include "logging/LBLog.h"

using namespace logging;

TEST_F(FileLoggerTest, TheProxyWritesWholeBlocksOnceTheBufferIsFull) {
    auto proxy = makeLogger()->wrapWithBuffer();
    proxy->setMaxBufferSizeBytes(100);  // each line is 31 bytes
    for (const char* text : {"one..", "two..", "three"}) write(proxy, stamped(text));
    EXPECT_TRUE(folder.logFiles().empty());
    EXPECT_EQ(proxy->currentBufferSizeBytes(), 93u);
    write(proxy, stamped("four."));
    ASSERT_EQ(folder.logFiles().size(), 1u);
    EXPECT_EQ(linesOf(folder.logFiles()[0]).size(), 4u);
    EXPECT_EQ(proxy->currentBufferSizeBytes(), 0u);
    write(proxy, stamped("five."));
    proxy->flush();
    EXPECT_EQ(linesOf(folder.logFiles()[0]).back(), stampPrefix + "five.");
}

TEST_F(FileLoggerTest, TheProxyStandsInForItsFileLogger) {
    auto logger = makeLogger();
    auto proxy = logger->wrapWithBuffer();
    EXPECT_EQ(proxy->loggerQueue(), logger->loggerQueue());
    EXPECT_EQ(proxy->loggerName(), "tolvane.logbook.fileLogger");
    EXPECT_EQ(proxy->unwrapFromBuffer(), logger);
    EXPECT_EQ(proxy->wrapWithBuffer(), proxy);
    EXPECT_EQ(proxy->maxBufferSizeBytes(), LBBufferedProxy::defaultBufferSize());
    proxy->setMaxBufferSizeBytes(LBBufferedProxy::maximumBufferSize() * 4);
    EXPECT_EQ(proxy->maxBufferSizeBytes(), LBBufferedProxy::maximumBufferSize());
}

TEST_F(FileLoggerTest, RemovingTheProxyWritesWhatItHeldIntoTheFileItRolls) {
    LBLog log;
    auto proxy = makeLogger()->wrapWithBuffer();
    log.addLogger(proxy);
    log.log(false, stamped("first"));
    log.log(false, stamped("second"));
    log.removeLogger(proxy);
    settle(proxy);
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(linesOf(files[0]), (std::vector<std::string>{stampPrefix + "first", stampPrefix + "second"}));
    EXPECT_TRUE(archived(files[0]));
}

TEST_F(FileLoggerTest, GoingAwayTheProxyWritesWhatItHeld) {
    auto logger = makeLogger();
    {
        auto proxy = logger->wrapWithBuffer();
        write(proxy, stamped("held"));
        EXPECT_TRUE(folder.logFiles().empty());
    }
    EXPECT_EQ(linesOf(folder.logFiles().at(0)), std::vector<std::string>{stampPrefix + "held"});
}

// Many producers, many small files: every numbered line arrives once, whole, in some file.
TEST_F(FileLoggerTest, LinesFromManyThreadsAcrossManyRollsAreNeitherLostNorDuplicatedNorTorn) {
    constexpr int threads = 4;
    constexpr int perThread = 1500;
    LBLog log;
    auto logger = makeLogger();
    logger->setMaximumFileSize(8 * 1024);
    log.addLogger(logger->wrapWithBuffer());
    logNumberedLines(log, true, threads, perThread);
    log.flushLog();
    log.removeAllLoggers();

    std::multiset<int> seen = numberedLines();
    const std::size_t files = folder.logFiles().size();
    EXPECT_GT(files, 10u);
    ASSERT_EQ(seen.size(), std::size_t(threads * perThread));
    EXPECT_EQ(std::set<int>(seen.begin(), seen.end()).size(), seen.size());
}
