#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "FileLoggerFixture.h"
#include "foundation/Print.h"
#include "logging/LBLog.h"
#include "logging/LBLogFileFormatterDefault.h"

using namespace logging;

namespace {

std::size_t occurrences(const std::string& text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++count;
    return count;
}

// Counts the folder listings and the files it is asked to make.
class CountingManager : public LBLogFileManagerDefault {
public:
    using LBLogFileManagerDefault::LBLogFileManagerDefault;
    std::vector<std::string> unsortedLogFilePaths() const override {
        ++listings;
        return LBLogFileManagerDefault::unsortedLogFilePaths();
    }
    std::expected<std::string, std::string> createNewLogFile() override {
        ++creations;
        return LBLogFileManagerDefault::createNewLogFile();
    }
    mutable std::atomic<int> listings = 0;
    std::atomic<int> creations = 0;
};

// A limit on the size of any file this process writes, as a full disk would refuse writes; lifted
// at the end of the scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &original_);
        previousSignal_ = ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
        rlimit limited = original_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { lift(); }
    void lift() {
        if (lifted_) return;
        ::setrlimit(RLIMIT_FSIZE, &original_);
        ::signal(SIGXFSZ, previousSignal_);
        lifted_ = true;
    }

private:
    rlimit original_{};
    sighandler_t previousSignal_ = SIG_DFL;
    bool lifted_ = false;
};

// The folder a death test's child writes into. The child runs the test afresh and would make a folder
// of its own: it finds the parent's in the environment.
class ChildFolder {
public:
    ChildFolder(const char* variable, const LogFolder& folder) : variable_(variable) {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (!::getenv(variable)) ::setenv(variable, folder.string().c_str(), 1);
        path_ = ::getenv(variable);
    }
    ~ChildFolder() { ::unsetenv(variable_); }
    const std::string& path() const { return path_; }

private:
    const char* variable_;
    std::string path_;
};

}  // namespace

// A line is in the file once its synchronous call returns: a kill right after it loses nothing.
TEST_F(FileLoggerTest, ALineLoggedSynchronouslySurvivesAKillRightAfterIt) {
    ChildFolder child("LOGGING_TEST_KILL_FOLDER", folder);
    EXPECT_EXIT(
        {
            auto killManager = std::make_shared<LBLogFileManagerDefault>(child.path());
            LBLog log;
            log.addLogger(std::make_shared<LBFileLogger>(killManager));
            log.log(false, stamped("first"));
            log.log(false, stamped("last words"));
            ::raise(SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(linesOf(files[0]), (std::vector<std::string>{stampPrefix + "first", stampPrefix + "last words"}));
}

TEST_F(FileLoggerTest, ResumingAFileWhoseLastLineWasCutShortStartsTheNextRecordOnALineOfItsOwn) {
    auto young = manager->createNewLogFile();
    ASSERT_TRUE(young.has_value());
    std::ofstream(*young, std::ios::app) << "whole\ncut sh";
    auto logger = makeLogger();
    write(logger, stamped("next"));
    write(logger, stamped("after"));
    ASSERT_EQ(folder.logFiles().size(), 1u);
    EXPECT_EQ(readFile(*young), "whole\ncut sh\n" + stampPrefix + "next\n" + stampPrefix + "after\n");
}

TEST_F(FileLoggerTest, AFullDiskIsSaidOnceWithItsReasonAndTheReturnIsSaidWithTheLinesLost) {
    auto logger = makeLogger();
    write(logger, stamped("before"));  // 32 bytes
    const std::string name = folder.logFiles().at(0);
    foundation::ConsoleCapture console;
    {
        FileSizeLimit full(42);  // room for 10 bytes more
        for (int index = 0; index < 5; ++index) write(logger, stamped("lost"));
        logger->flush();
        for (int index = 0; index < 20; ++index) write(logger, stamped("lost"));
        logger->flush();  // a try now, and it fails again
        write(logger, stamped("lost"));
        logger->flush();
        full.lift();
        logger->flush();  // the next line tries again
        write(logger, stamped("after"));
    }
    const std::string said = console.text();
    EXPECT_EQ(occurrences(said, "LBFileLogger: Failed to write data: File too large"), 1u) << said;
    EXPECT_EQ(occurrences(said, "LBFileLogger: Logging resumed; 26 lines were lost."), 1u) << said;
    EXPECT_EQ(said.find("(null)"), std::string::npos);
    EXPECT_EQ(occurrences(said, "\n"), 2u) << said;
    // The line cut short by the failure is ended before the next one.
    auto lines = linesOf(name);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], stampPrefix + "before");
    EXPECT_EQ(lines[1], (stampPrefix + "lost").substr(0, 10));
    EXPECT_EQ(lines[2], stampPrefix + "after");
}

TEST_F(FileLoggerTest, AFolderThatCannotBeWrittenIsSaidOnceAndTriedAgainOnlyNowAndThen) {
    folder.write("blocker", "a file where the folder should be");
    auto counting = std::make_shared<CountingManager>((folder / "blocker" / "Logs").string());
    auto logger = std::make_shared<LBFileLogger>(counting);
    foundation::ConsoleCapture console;
    for (int index = 0; index < 50; ++index) write(logger, stamped("lost"));
    EXPECT_EQ(counting->creations.load(), 1);
    const std::string said = console.text();
    EXPECT_EQ(occurrences(said, "LBFileLogger: Failed to create new log file:"), 1u) << said;
    EXPECT_NE(said.find("Not a directory"), std::string::npos) << said;
    EXPECT_EQ(said.find("(null)"), std::string::npos);
    // A flush is a try; failing again, it says nothing new.
    logger->flush();
    write(logger, stamped("lost"));
    EXPECT_EQ(counting->creations.load(), 2);
    EXPECT_EQ(console.text(), said);

    std::filesystem::remove(folder / "blocker");
    logger->flush();
    write(logger, stamped("back"));
    EXPECT_EQ(occurrences(console.text(), "LBFileLogger: Logging resumed; 51 lines were lost."), 1u) << console.text();
    const auto logs = folder / "blocker" / "Logs";
    ASSERT_TRUE(std::filesystem::is_directory(logs));
    std::vector<std::string> made;
    for (const auto& entry : std::filesystem::directory_iterator(logs)) made.push_back(entry.path().string());
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(readFile(made[0]), stampPrefix + "back\n");
}

TEST_F(FileLoggerTest, RollingListsTheFolderOnlyAtStartHoweverManyFilesAreMade) {
    auto counting = std::make_shared<CountingManager>(folder.string());
    counting->setMaximumNumberOfLogFiles(3);
    counting->setLogFilesDiskQuota(0);
    auto logger = std::make_shared<LBFileLogger>(counting);
    logger->setMaximumFileSize(31);  // every line rolls
    for (int index = 0; index < 30; ++index) write(logger, stamped("line."));
    EXPECT_EQ(counting->creations.load(), 30);
    // The prunings run later; they leave the newest three.
    ASSERT_TRUE(eventually([&] { return folder.logFiles().size() == 3; }));
    // Once to find a file to resume, once for the change of the limit, once for the first pruning.
    EXPECT_LE(counting->listings.load(), 3);
}

TEST_F(FileLoggerTest, ShutdownWritesEveryQueuedLineAndArchivesTheFile) {
    LBLog log;
    auto logger = makeLogger();
    log.addLogger(logger);
    for (int index = 0; index < 3000; ++index) log.log(true, stamped("line " + std::to_string(index)));
    log.shutdown();
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(archived(files[0]));
    auto lines = linesOf(files[0]);
    ASSERT_EQ(lines.size(), 3000u);
    EXPECT_EQ(lines.back(), stampPrefix + "line 2999");
}

// Run in a child process that ends through exit(): what was queued and the removal under way are
// finished by then.
TEST_F(FileLoggerTest, NormalExitFinishesWhatWasQueuedAndTheRemovalUnderWay) {
    ChildFolder child("LOGGING_TEST_EXIT_FOLDER", folder);
    EXPECT_EXIT(
        {
            auto& log = LBLog::sharedInstance();
            auto exitManager = std::make_shared<LBLogFileManagerDefault>(child.path());
            exitManager->setMaximumNumberOfLogFiles(0);
            auto logger = std::make_shared<LBFileLogger>(exitManager);
            log.addLogger(logger);
            for (int index = 0; index < 5000; ++index) log.log(true, stamped("line " + std::to_string(index)));
            log.removeLogger(logger);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(archived(files[0]));
    EXPECT_EQ(linesOf(files[0]).size(), 5000u);
}

// Every line of a four-thread synchronous run, through the dispatcher straight into the file logger,
// is in some file exactly once, whole.
TEST_F(FileLoggerTest, EveryLineOfAFourThreadSynchronousRunIsWrittenOnce) {
    constexpr int threads = 4;
    constexpr int perThread = 1500;
    LBLog log;
    auto logger = makeLogger();
    logger->setMaximumFileSize(8 * 1024);
    log.addLogger(logger);
    logNumberedLines(log, false, threads, perThread);
    log.shutdown();
    for (const auto& name : folder.logFiles()) EXPECT_TRUE(archived(name)) << name;
    std::multiset<int> seen = numberedLines();
    ASSERT_EQ(seen.size(), std::size_t(threads * perThread));
    EXPECT_EQ(std::set<int>(seen.begin(), seen.end()).size(), seen.size());
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), threads * perThread - 1);
}

// A rolling frequency of centuries sets a timer that never fires; it holds nothing up.
TEST_F(FileLoggerTest, ARollingFrequencyOfCenturiesNeverRollsAndHoldsNothingUp) {
    LBLog log;
    auto logger = makeLogger();
    log.addLogger(logger);
    logger->setRollingFrequency(1e300);
    log.log(false, stamped("first"));
    log.log(false, stamped("second"));
    log.flushLog();
    EXPECT_DOUBLE_EQ(logger->rollingFrequency(), 1e300);
    auto files = folder.logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(linesOf(files[0]), (std::vector<std::string>{stampPrefix + "first", stampPrefix + "second"}));
    EXPECT_FALSE(archived(files[0]));
}

namespace {

// The default line, shouted: a formatter of its own, though of the default formatter's class.
class ShoutingFormatter : public logging::LBLogFileFormatterDefault {
public:
    std::optional<std::string> formatLogMessage(const LBLogMessage& message) override {
        return "LOUD " + message.message();
    }
};

}  // namespace

TEST_F(FileLoggerTest, LinesMadeInPlaceFollowTheFormatterAndTheLineBreakSetting) {
    auto logger = makeLogger();
    write(logger, stamped("plain"));
    logger->setAutomaticallyAppendNewlineForCustomFormatters(false);
    write(logger, stamped("unended"));
    logger->setAutomaticallyAppendNewlineForCustomFormatters(true);
    logger->setLogFormatter(std::make_shared<ShoutingFormatter>());
    write(logger, stamped("shouted"));
    EXPECT_EQ(readFile(folder / folder.logFiles().at(0)), stampPrefix + "plain\n" + stampPrefix + "unended" + "LOUD shouted\n");
}
