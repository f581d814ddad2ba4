#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <future>
#include <regex>
#include <set>

#include "CacheTestSupport.h"
#include "foundation/Clock.h"
#include "pictura/DiskStorage.h"

namespace pictura {
namespace {

using foundation::Data;
using foundation::Date;
using Files = DiskStorage::Files;

class DiskStorageTest : public ::testing::Test {
protected:
    void SetUp() override { foundation::Clock::setCurrent(clock); }
    void TearDown() override { foundation::Clock::setCurrent(nullptr); }

    DiskStorage::Config config(std::uint64_t sizeLimit = 0) {
        return DiskStorage::Config("test", sizeLimit, fileManager, folder.path());
    }
    std::shared_ptr<Files> make(DiskStorage::Config configuration) {
        auto files = Files::create(std::move(configuration));
        EXPECT_TRUE(files.has_value());
        return *files;
    }
    foundation::FileAttributes attributes(const std::filesystem::path& path) { return *fileManager->attributesOfItem(path); }

    testing::TempFolder folder;
    std::shared_ptr<foundation::FileManager> fileManager = std::make_shared<foundation::FileManager>();
    // 10:00:00.3 on some day.
    std::shared_ptr<foundation::ManualClock> clock =
        std::make_shared<foundation::ManualClock>(Date::fromUnix(1700042400.3), 100);
};

TEST_F(DiskStorageTest, datesAreRoundedUpToWholeSecondsAndAFileExpiresAtItsSecond) {
    auto files = make(config());
    EXPECT_EQ(files->directoryURL(), folder.path() / "com.tolvane.Pictura.ImageCache.test");
    ASSERT_TRUE(files->store(Data::fromString("bytes"), "minute", StorageExpiration::seconds(60)));
    const auto url = files->cacheFileURL("minute");
    EXPECT_EQ(attributes(url).creationDate, Date::fromUnix(1700042401));
    EXPECT_EQ(attributes(url).modificationDate, Date::fromUnix(1700042461));

    EXPECT_TRUE(files->isCached("minute", Date::fromUnix(1700042460)));
    EXPECT_FALSE(files->isCached("minute", Date::fromUnix(1700042461)));  // zero interval: expired
    auto expired = files->value("minute", Date::fromUnix(1700042461), true, ExpirationExtending::cacheTime());
    ASSERT_TRUE(expired);
    EXPECT_FALSE(*expired);
    EXPECT_TRUE(std::filesystem::exists(url));  // a miss leaves the file for the cleaning

    ASSERT_TRUE(files->store(Data::fromString("x"), "never", StorageExpiration::never()));
    EXPECT_EQ(attributes(files->cacheFileURL("never")).modificationDate,
              Date::fromUnix(std::ceil(Date::distantFuture().timeIntervalSince1970())));

    ASSERT_TRUE(files->store(Data::fromString("x"), "gone", StorageExpiration::expired()));
    EXPECT_FALSE(std::filesystem::exists(files->cacheFileURL("gone")));
}

TEST_F(DiskStorageTest, readsExtendTheFilesDatesByTheirRule) {
    auto files = make(config());
    ASSERT_TRUE(files->store(Data::fromString("bytes"), "week"));  // days(7) by default
    const auto url = files->cacheFileURL("week");
    clock->advance(3600);

    auto none = files->value("week", ExpirationExtending::none());
    ASSERT_TRUE(none && *none);
    EXPECT_EQ((*none)->toString(), "bytes");
    files->waitForPendingDateUpdates();
    EXPECT_EQ(attributes(url).creationDate, Date::fromUnix(1700042401));

    ASSERT_TRUE(files->value("week", ExpirationExtending::cacheTime()));
    files->waitForPendingDateUpdates();
    EXPECT_EQ(attributes(url).creationDate, Date::fromUnix(1700046001));
    EXPECT_EQ(attributes(url).modificationDate, Date::fromUnix(1700046001 + 7 * 86400));

    clock->advance(10);
    ASSERT_TRUE(files->value("week", ExpirationExtending::expirationTime(StorageExpiration::seconds(30))));
    files->waitForPendingDateUpdates();
    EXPECT_EQ(attributes(url).modificationDate, Date::fromUnix(1700046041));
}

TEST_F(DiskStorageTest, anExtensionQueuedBeforeAStoreDoesNotOverwriteTheStoresDates) {
    auto files = make(config());
    ASSERT_TRUE(files->store(Data::fromString("old"), "k", StorageExpiration::days(7)));
    // Hold the date queue so the read's update runs only after the next store.
    std::promise<void> release;
    files->metaChangingQueue()->async([held = release.get_future()]() mutable { held.wait(); });
    ASSERT_TRUE(files->value("k", ExpirationExtending::cacheTime()));
    ASSERT_TRUE(files->store(Data::fromString("new"), "k", StorageExpiration::seconds(10)));
    release.set_value();
    files->waitForPendingDateUpdates();
    EXPECT_EQ(attributes(files->cacheFileURL("k")).modificationDate, Date::fromUnix(1700042411));
}

TEST_F(DiskStorageTest, fileNamesStayInsideTheFolder) {
    auto configuration = config();
    configuration.pathExtension = "png";
    auto files = make(configuration);
    EXPECT_TRUE(std::regex_match(files->cacheFileName("http://a/b.jpg"), std::regex("[0-9a-f]{32}\\.png")));

    configuration.pathExtension.reset();
    configuration.autoExtAfterHashedFileName = true;
    files->setConfig(configuration);
    // The key's extension may hold "/": it is escaped, never a folder.
    EXPECT_TRUE(std::regex_match(files->cacheFileName("http://a/b.x/y"), std::regex("[0-9a-f]{32}\\.x%2Fy")))
        << files->cacheFileName("http://a/b.x/y");

    configuration.autoExtAfterHashedFileName = false;
    configuration.usesHashedFileName = false;
    files->setConfig(configuration);
    EXPECT_EQ(files->cacheFileName("plain-key"), "plain-key");
    EXPECT_EQ(files->cacheFileName("../../etc/passwd"), "%2E.%2F..%2Fetc%2Fpasswd");
    EXPECT_EQ(files->cacheFileName(".."), "%2E.");
    EXPECT_EQ(files->cacheFileName("100%"), "100%25");
    EXPECT_EQ(files->cacheFileName(std::string("a\nb\0c", 5)), "a%0Ab%00c");
    const std::string longKey(600, 'k');
    const auto longName = files->cacheFileName(longKey);
    EXPECT_LE(longName.size(), 255u);
    EXPECT_NE(longName, files->cacheFileName(longKey + "2"));
    const std::string escapes(300, '/');
    EXPECT_LE(files->cacheFileName(escapes).size(), 255u);

    for (const auto& key : {std::string("../../outside"), std::string("/etc/x"), longKey, escapes}) {
        ASSERT_TRUE(files->store(Data::fromString("v"), key)) << key;
        EXPECT_EQ(files->cacheFileURL(key).parent_path(), files->directoryURL());
        auto read = files->value(key, ExpirationExtending::none());
        ASSERT_TRUE(read && *read) << key;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "outside"));
}

TEST_F(DiskStorageTest, sizeCleaningRemovesTheLeastRecentlyReadUntilHalfTheLimit) {
    auto files = make(config(40));
    const Data tenBytes = Data::fromString("0123456789");
    for (const auto* key : {"a", "b", "c", "d"}) {
        ASSERT_TRUE(files->store(tenBytes, key));
        clock->advance(10);
    }
    // "a" was read last; "b" is the oldest now, then "c".
    ASSERT_TRUE(files->value("a", ExpirationExtending::cacheTime()));
    files->waitForPendingDateUpdates();
    ASSERT_EQ(files->totalSize(), 40u);  // exactly at the limit: cleaning proceeds

    auto removed = files->removeSizeExceededValues();
    ASSERT_TRUE(removed);
    ASSERT_EQ(removed->size(), 2u);
    EXPECT_EQ((*removed)[0], files->cacheFileURL("b"));
    EXPECT_EQ((*removed)[1], files->cacheFileURL("c"));
    EXPECT_EQ(files->totalSize(), 20u);
    EXPECT_TRUE(files->removeSizeExceededValues()->empty());

    auto unlimited = make(config(0));
    EXPECT_TRUE(unlimited->removeSizeExceededValues()->empty());
}

TEST_F(DiskStorageTest, cleaningSkipsAFileThatCannotBeRemovedAndGoesOn) {
    auto files = make(config(1));
    for (const auto* key : {"a", "b"}) ASSERT_TRUE(files->store(Data::fromString("0123456789"), key, StorageExpiration::seconds(5)));
    const auto locked = files->directoryURL() / "locked";
    std::filesystem::create_directory(locked);
    { std::ofstream(locked / "stale") << "stale"; }
    ASSERT_TRUE(fileManager->setAttributes({.creationDate = Date::fromUnix(1), .modificationDate = Date::fromUnix(2)},
                                           locked / "stale"));
    testing::Unremovable unremovable(locked / "stale");
    if (!unremovable.works()) GTEST_SKIP() << "no way to make a file unremovable here";

    clock->advance(60);
    auto removed = files->removeExpiredValues();
    ASSERT_TRUE(removed);
    EXPECT_EQ(std::set<std::filesystem::path>(removed->begin(), removed->end()),
              (std::set{files->cacheFileURL("a"), files->cacheFileURL("b")}));
    EXPECT_TRUE(std::filesystem::exists(locked / "stale"));

    // The size pass cannot bring the total down, but ends without wrapping or looping.
    auto exceeded = files->removeSizeExceededValues();
    ASSERT_TRUE(exceeded);
    EXPECT_TRUE(exceeded->empty());
}

TEST_F(DiskStorageTest, foreignHiddenAndUnlistedFilesInTheFolder) {
    // The folder exists before the storage lists it, so the listing is what reads consult.
    std::filesystem::create_directory(folder.path() / "com.tolvane.Pictura.ImageCache.test");
    auto files = make(config());
    const auto folderPath = files->directoryURL();
    { std::ofstream(folderPath / ".hidden") << "h"; }
    std::filesystem::create_directory(folderPath / files->cacheFileName("dir-key"));
    std::filesystem::create_directory(folderPath / "sub");
    { std::ofstream(folderPath / "foreign.txt") << "foreign"; }

    // A folder under a key's name is a miss; a file the listing did not see is not found.
    auto asFolder = files->value("dir-key", ExpirationExtending::none());
    ASSERT_TRUE(asFolder);
    EXPECT_FALSE(*asFolder);
    { std::ofstream(folderPath / files->cacheFileName("late")) << "late"; }
    EXPECT_FALSE(files->isCached("late", Date::distantPast()));

    // Foreign files carry their real write time as expiry: already past, so cleaned; hidden ones never.
    auto removed = files->removeExpiredValues(Date::now().addingTimeInterval(1e10));
    ASSERT_TRUE(removed);
    EXPECT_FALSE(std::filesystem::exists(folderPath / "foreign.txt"));
    EXPECT_TRUE(std::filesystem::exists(folderPath / ".hidden"));
    EXPECT_TRUE(std::filesystem::exists(folderPath / "sub"));

    ASSERT_TRUE(files->removeAll());
    EXPECT_TRUE(std::filesystem::is_directory(folderPath));
    EXPECT_FALSE(std::filesystem::exists(folderPath / ".hidden"));
    EXPECT_FALSE(files->remove("missing").has_value());
}

TEST_F(DiskStorageTest, aStoreReplacesALinkUnderTheKeysNameAndLeavesItsTargetAlone) {
    auto files = make(config());
    const auto target = folder.path() / "elsewhere";
    { std::ofstream(target) << "precious"; }
    const auto before = attributes(target).modificationDate;
    std::filesystem::create_symlink(target, files->cacheFileURL("k"));

    ASSERT_TRUE(files->store(Data::fromString("image"), "k"));
    EXPECT_EQ(fileManager->contents(target)->toString(), "precious");
    EXPECT_EQ(attributes(target).modificationDate, before);
    EXPECT_FALSE(fileManager->extendedAttribute(target, "pictura.digest"));
    EXPECT_EQ(attributes(files->cacheFileURL("k")).type, foundation::FileType::regular);
    EXPECT_EQ((*files->value("k", ExpirationExtending::none()))->toString(), "image");
}

TEST_F(DiskStorageTest, aLinkUnderTheKeysNameIsAMissAndGoesButNotItsTarget) {
    auto files = make(config());
    ASSERT_TRUE(files->store(Data::fromString("image"), "k"));
    const auto target = folder.path() / "moved-away";
    std::filesystem::rename(files->cacheFileURL("k"), target);
    std::filesystem::create_symlink(target, files->cacheFileURL("k"));

    auto found = files->value("k", ExpirationExtending::none());
    ASSERT_TRUE(found);
    EXPECT_FALSE(*found);
    EXPECT_FALSE(std::filesystem::is_symlink(files->cacheFileURL("k")));
    EXPECT_TRUE(std::filesystem::exists(target));
}

TEST_F(DiskStorageTest, aFolderThatCannotBeMadeLeavesTheStorageNotReady) {
    { std::ofstream(folder.path() / "file") << "in the way"; }
    DiskStorage::Config configuration("blocked", 0, fileManager, folder.path() / "file");
    auto failed = Files::create(configuration);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().errorCode(), 3005);
    auto files = Files::create(configuration, true);
    EXPECT_FALSE(files->storageReady());
    auto stored = files->store(Data::fromString("v"), "k");
    ASSERT_FALSE(stored);
    EXPECT_EQ(stored.error().errorCode(), 3011);
    EXPECT_FALSE(files->value("k", ExpirationExtending::none()).has_value());
}

}  // namespace
}  // namespace pictura
