#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <regex>
#include <thread>

#include "LogFolder.h"
#include "dispatch/Queue.h"
#include "foundation/Clock.h"
#include "foundation/Assertion.h"
#include "foundation/FileManager.h"
#include "foundation/Format.h"
#include "foundation/Print.h"
#include "logging/LBLogFileInfo.h"
#include "logging/LBLogFileManagerDefault.h"

using namespace logging;

namespace {

std::shared_ptr<LBLogFileManagerDefault> managerIn(const LogFolder& folder) {
    return std::make_shared<LBLogFileManagerDefault>(folder.string());
}

class HeaderManager : public LBLogFileManagerDefault {
public:
    using LBLogFileManagerDefault::LBLogFileManagerDefault;
    std::optional<std::string> logFileHeader() const override { return "Sorvane log"; }
};

// Lets pruning that a new file scheduled on the global queue finish before the test looks.
void settleGlobalQueue() { dispatch::Queue::global()->syncBarrier([] {}); }

void setArchivedValue(const std::filesystem::path& path, const foundation::Data& value) {
    ASSERT_TRUE(foundation::FileManager::defaultManager()->setExtendedAttribute(
        path, LBLogFileInfo::archivedAttributeName, value));
}

}  // namespace

TEST(LBLogFileManagerDefault, ListsOnlyFilesNamedByTheApplicationWithTheLogExtension) {
    LogFolder folder;
    const std::string app = LBLogFileManagerDefault::applicationName();
    folder.write(app + " 2026-03-01--10-00-00-000.log", "a");
    folder.write(app + "x 2026-03-01--10-00-00-000.log", "b");
    folder.write(app + " 2026-03-01--10-00-00-000.txt", "c");
    auto manager = managerIn(folder);
    EXPECT_EQ(manager->unsortedLogFileNames(), std::vector<std::string>{app + " 2026-03-01--10-00-00-000.log"});
    EXPECT_EQ(manager->unsortedLogFileInfos().size(), 1u);
}

TEST(LBLogFileManagerDefault, NamesNewFilesByTheGMTTimeAndNeverOverwritesOnAClash) {
    LogFolder folder;
    auto manager = managerIn(folder);
    std::expected<std::string, std::string> first, second, third;
    {
        ManualClockScope fixedTime(foundation::Date::fromUnix(1772359200.123));
        first = manager->createNewLogFile();
        if (first) std::ofstream(*first, std::ios::app) << "kept\n";
        second = manager->createNewLogFile();
        third = manager->createNewLogFile();
    }
    settleGlobalQueue();
    ASSERT_TRUE(first.has_value());

    const std::string app = LBLogFileManagerDefault::applicationName();
    EXPECT_EQ(std::filesystem::path(*first).filename(), app + " 2026-03-01--10-00-00-123.log");
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(std::filesystem::path(*second).filename(), app + " 2026-03-01--10-00-00-123 2.log");
    EXPECT_EQ(std::filesystem::path(*third).filename(), app + " 2026-03-01--10-00-00-123 3.log");
    EXPECT_EQ(readFile(*first), "kept\n");
    // The clash's number makes the later file the newer one.
    EXPECT_EQ(manager->sortedLogFilePaths(), (std::vector<std::string>{*third, *second, *first}));
}

TEST(LBLogFileManagerDefault, WritesTheHeaderEndedByOneLineBreak) {
    LogFolder folder;
    auto manager = std::make_shared<HeaderManager>(folder.string());
    auto path = manager->createNewLogFile();
    settleGlobalQueue();
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(readFile(*path), "Sorvane log\n");
    EXPECT_FALSE(managerIn(folder)->logFileHeaderData().has_value());
}

TEST(LBLogFileManagerDefault, CreatingInAFolderThatCannotBeMadeGivesUpWithTheError) {
    LogFolder folder;
    folder.write("plain", "not a folder");
    auto manager = std::make_shared<LBLogFileManagerDefault>((folder / "plain" / "Logs").string());
    foundation::ConsoleCapture console;
    auto path = manager->createNewLogFile();
    ASSERT_FALSE(path.has_value());
    EXPECT_NE(path.error().find("Not a directory"), std::string::npos) << path.error();
    const std::string said = console.text();
    EXPECT_NE(said.find("Error creating logsDirectory"), std::string::npos);
    EXPECT_NE(said.find("LBLogFileManagerDefault: Critical error while creating log file: "), std::string::npos) << said;
    EXPECT_NE(said.find("LBLogFileManagerDefault: Bailing file creation, encountered 5 errors.\n"), std::string::npos)
        << said;
    // A second failure says nothing new.
    EXPECT_FALSE(manager->createNewLogFile().has_value());
    EXPECT_EQ(console.text(), said);
}

TEST(LBLogFileManagerDefault, SortsNewestFirstByTheDateInTheName) {
    LogFolder folder;
    folder.write(LogFolder::logName("2026-03-01--10-00-00-000"), "");
    folder.write(LogFolder::logName("2026-03-03--10-00-00-000"), "");
    folder.write(LogFolder::logName("2026-03-02--10-00-00-000"), "");
    folder.write(LogFolder::logName("not a date"), "");  // by its creation date: now, the newest
    auto names = managerIn(folder)->sortedLogFileNames();
    EXPECT_EQ(names, (std::vector<std::string>{LogFolder::logName("not a date"),
                                               LogFolder::logName("2026-03-03--10-00-00-000"),
                                               LogFolder::logName("2026-03-02--10-00-00-000"),
                                               LogFolder::logName("2026-03-01--10-00-00-000")}));
}

TEST(LBLogFileManagerDefault, PrunesTheOldestBeyondTheCountAndTheQuota) {
    LogFolder folder;
    for (int day = 1; day <= 6; ++day) folder.write(LogFolder::logName(foundation::format("2026-03-0%d--10-00-00-000", day)), "x");
    auto manager = managerIn(folder);
    manager->deleteOldLogFiles();
    EXPECT_EQ(manager->sortedLogFileNames().size(), 5u);
    EXPECT_FALSE(std::filesystem::exists(folder / LogFolder::logName("2026-03-01--10-00-00-000")));

    // Three bytes each against a quota of seven: the third newest goes over.
    for (const auto& path : manager->sortedLogFilePaths()) std::ofstream(path, std::ios::app) << "yy";
    auto fresh = managerIn(folder);
    fresh->setMaximumNumberOfLogFiles(0);
    settleGlobalQueue();
    EXPECT_EQ(fresh->sortedLogFileNames().size(), 5u);  // the quota of 20 MiB holds them all
    fresh->setLogFilesDiskQuota(7);
    settleGlobalQueue();
    EXPECT_EQ(fresh->sortedLogFileNames(), (std::vector<std::string>{LogFolder::logName("2026-03-06--10-00-00-000"),
                                                                     LogFolder::logName("2026-03-05--10-00-00-000")}));
}

TEST(LBLogFileManagerDefault, AnOversizedFileBeingWrittenIsKeptButNotOnceArchived) {
    LogFolder folder;
    auto path = folder.write(LogFolder::logName("2026-03-01--10-00-00-000"), std::string(100, 'x'));
    auto manager = managerIn(folder);
    manager->setMaximumNumberOfLogFiles(0);
    manager->setLogFilesDiskQuota(10);
    settleGlobalQueue();
    manager->deleteOldLogFiles();
    EXPECT_TRUE(std::filesystem::exists(path));

    LBLogFileInfo(path.string()).setIsArchived(true);
    manager->deleteOldLogFiles();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(LBLogFileManagerDefault, PruningsSideBySideDeleteEachFileOnce) {
    LogFolder folder;
    for (int minute = 10; minute < 40; ++minute)
        folder.write(LogFolder::logName(foundation::format("2026-03-01--10-%d-00-000", minute)), "x");
    auto manager = managerIn(folder);
    foundation::ConsoleCapture console;
    std::vector<std::thread> threads;
    for (int index = 0; index < 6; ++index) threads.emplace_back([&] { manager->deleteOldLogFiles(); });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(console.text(), "");
    EXPECT_EQ(folder.logFiles().size(), 5u);
}

TEST(LBLogFileInfo, AnEmptyArchivedValueReadsAsArchivedAndIsRewritten) {
    LogFolder folder;
    auto path = folder.write(LogFolder::logName("2026-03-01--10-00-00-000"), "line\n");
    LBLogFileInfo info(path.string());
    EXPECT_FALSE(info.isArchived());
    setArchivedValue(path, foundation::Data());
    EXPECT_TRUE(info.isArchived());
    auto value = foundation::FileManager::defaultManager()->extendedAttribute(path, LBLogFileInfo::archivedAttributeName);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, foundation::Data(std::vector<std::uint8_t>{0x01}));
    info.setIsArchived(false);
    EXPECT_FALSE(info.isArchived());
}

TEST(LBLogFileInfo, CachesAttributesAndReadsSizeAgeAndLinks) {
    LogFolder folder;
    auto path = folder.write("a.log", "12345");
    std::filesystem::create_symlink(path, folder / "link.log");
    LBLogFileInfo info(path.string());
    EXPECT_EQ(info.fileName(), "a.log");
    EXPECT_EQ(info.fileSize(), 5u);
    EXPECT_GE(info.age(), 0);
    EXPECT_LT(info.age(), 60);
    EXPECT_FALSE(info.isSymlink());
    EXPECT_TRUE(LBLogFileInfo((folder / "link.log").string()).isSymlink());
    EXPECT_EQ(LBLogFileInfo::logFileWithPath(""), nullptr);
    EXPECT_THROW(LBLogFileInfo(""), foundation::InternalInconsistencyException);
    EXPECT_EQ(info, LBLogFileInfo(path.string()));
}

TEST(LBLogFileInfo, RenamingReplacesTheTargetAndAFailedRenameKeepsThePath) {
    LogFolder folder;
    auto path = folder.write("a.log", "a");
    folder.write("b.log", "old b");
    LBLogFileInfo info(path.string());
    info.renameFile("b.log");
    EXPECT_EQ(info.filePath(), (folder / "b.log").string());
    EXPECT_EQ(readFile(folder / "b.log"), "a");

    std::filesystem::remove(folder / "b.log");
    foundation::ConsoleCapture console;
    info.renameFile("c.log");
    EXPECT_NE(console.text().find("LBLogFileInfo: Error renaming file (b.log)"), std::string::npos);
    EXPECT_EQ(info.filePath(), (folder / "b.log").string());
}

// Pruning runs later on the global queue and may outlive exit(): an exit handler registered before the
// application name is first read runs after that name's exit-time destructor would, and asks on a thread.
TEST(LBLogFileManagerDefaultDeathTest, LogFilesAreRecognisedAfterExitDestructorsRan) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, where the name was not read yet
    EXPECT_EXIT(
        {
            std::atexit([] {
                bool recognised = false;
                std::thread([&] {
                    recognised = LBLogFileManagerDefault("/nonexistent")
                                     .isLogFile(LBLogFileManagerDefault::applicationName() + " 2026.log");
                }).join();
                std::_Exit(recognised ? 0 : 2);
            });
            // Longer than a string keeps inside itself, so that a destroyed name is freed memory.
            static char longName[] = "a-program-with-a-long-name";
            program_invocation_short_name = longName;
            if (LBLogFileManagerDefault::applicationName() != longName) std::_Exit(3);
            std::exit(1);
        },
        ::testing::ExitedWithCode(0), "");
}
