#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "foundation/FileManager.h"

using namespace foundation;
namespace fs = std::filesystem;

namespace {

class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (fs::temp_directory_path() / "sorvane-files-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Runs each test against native extended attributes and against the sidecar that stands in for them.
class FileManagerTest : public testing::TestWithParam<bool> {
protected:
    FileManager files{FileManagerConfiguration{.sidecarExtendedAttributes = GetParam()}};
    TemporaryDirectory temporary;
    fs::path root = temporary.path();

    void put(const fs::path& path, std::string_view text) { ASSERT_TRUE(files.write(path, Data::fromString(text))); }
    std::string text(const fs::path& path) { return files.contents(path).value_or(Data::fromString("<none>")).toString(); }
};

const Date tenOClock = Date::fromUnix(1'700'000'000);

}  // namespace

TEST_P(FileManagerTest, CreatesNestedDirectoriesAndReportsWhatIsInTheWay) {
    fs::path nested = root / "com.tolvane.Pictura.ImageCache.default" / "a" / "b";
    ASSERT_TRUE(files.createDirectory(nested, true));
    EXPECT_TRUE(files.createDirectory(nested, true));  // already there is fine with intermediates
    bool isDirectory = false;
    EXPECT_TRUE(files.fileExists(nested, &isDirectory));
    EXPECT_TRUE(isDirectory);

    auto again = files.createDirectory(nested, false);
    ASSERT_FALSE(again);
    EXPECT_TRUE(again.error().isFileExists());

    put(root / "file", "x");
    auto throughFile = files.createDirectory(root / "file" / "sub", true);
    ASSERT_FALSE(throughFile);
    EXPECT_EQ(throughFile.error().code, ENOTDIR);
    EXPECT_TRUE(files.fileExists(root / "file", &isDirectory));
    EXPECT_FALSE(isDirectory);
}

TEST_P(FileManagerTest, WritesAndReadsBackBytes) {
    Data bytes(std::vector<std::uint8_t>{0, 1, 2, 255, 0});
    ASSERT_TRUE(files.write(root / "plain", bytes));
    ASSERT_TRUE(files.write(root / "atomic", bytes, {.atomic = true}));
    EXPECT_EQ(files.readData(root / "plain"), bytes);
    EXPECT_EQ(files.readData(root / "atomic"), bytes);
    EXPECT_EQ(files.contentsOfDirectory(root), (std::vector<std::string>{"atomic", "plain"}));  // no temporaries left
}

TEST_P(FileManagerTest, WriteWithoutOverwritingRefusesAnExistingFileAndKeepsIt) {
    put(root / "app 2024.log", "first");
    for (bool atomic : {false, true}) {
        auto result = files.write(root / "app 2024.log", Data::fromString("second"),
                                  {.atomic = atomic, .withoutOverwriting = true});
        ASSERT_FALSE(result);
        EXPECT_TRUE(result.error().isFileExists());
    }
    EXPECT_EQ(text(root / "app 2024.log"), "first");
    EXPECT_EQ(files.contentsOfDirectory(root)->size(), 1u);
}

TEST_P(FileManagerTest, MissingFilesGiveNoSuchFileErrorsNamingThePath) {
    auto read = files.readData(root / "missing");
    ASSERT_FALSE(read);
    EXPECT_TRUE(read.error().isNoSuchFile());
    EXPECT_NE(read.error().message.find((root / "missing").string()), std::string::npos);
    EXPECT_FALSE(files.contents(root / "missing"));
    EXPECT_FALSE(files.fileExists(root / "missing"));
    EXPECT_TRUE(files.removeItem(root / "missing").error().isNoSuchFile());
    EXPECT_TRUE(files.moveItem(root / "missing", root / "other").error().isNoSuchFile());
    EXPECT_TRUE(files.attributesOfItem(root / "missing").error().isNoSuchFile());
    EXPECT_TRUE(files.contentsOfDirectory(root / "missing").error().isNoSuchFile());
    EXPECT_TRUE(files.enumerator(root / "missing").error().isNoSuchFile());
    EXPECT_TRUE(files.setAttributes({.modificationDate = tenOClock}, root / "missing").error().isNoSuchFile());
}

TEST_P(FileManagerTest, EnumeratesTheTreeWithItsAttributes) {
    ASSERT_TRUE(files.createDirectory(root / "sub" / "deeper", true));
    put(root / "b.png", "12345");
    put(root / "sub" / "c", "123");
    put(root / "sub" / "deeper" / "d", "");
    put(root / ".hidden", "h");
    ASSERT_TRUE(files.setAttributes({.modificationDate = tenOClock}, root / "b.png"));

    auto enumerator = files.enumerator(root, {.skipsHiddenFiles = true});
    ASSERT_TRUE(enumerator);
    std::vector<std::string> seen;
    for (const auto& entry : enumerator->allObjects()) {
        ASSERT_TRUE(entry.attributes);
        seen.push_back(entry.path.lexically_relative(root).string() + ":" + std::to_string(entry.level) + ":" +
                       (entry.attributes->isDirectory() ? "dir" : std::to_string(entry.attributes->size)));
        if (entry.path.filename() == "b.png") {
            EXPECT_EQ(entry.attributes->modificationDate, tenOClock);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"b.png:1:5", "sub:1:dir", "sub/c:2:3", "sub/deeper:2:dir", "sub/deeper/d:3:0"}));
}

TEST_P(FileManagerTest, EnumeratorCanSkipADirectorysDescendants) {
    ASSERT_TRUE(files.createDirectory(root / "a" / "inner", true));
    ASSERT_TRUE(files.createDirectory(root / "b", true));
    put(root / "b" / "kept", "");
    auto enumerator = files.enumerator(root);
    ASSERT_TRUE(enumerator);
    std::vector<std::string> seen;
    while (auto entry = enumerator->next()) {
        seen.push_back(entry->path.lexically_relative(root).string());
        if (entry->path.filename() == "a") enumerator->skipDescendants();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "b/kept"}));

    auto shallow = files.enumerator(root, {.skipsSubdirectoryDescendants = true});
    EXPECT_EQ(shallow->allObjects().size(), 2u);
}

TEST_P(FileManagerTest, SetDatesReadBackExactly) {
    fs::path file = root / "entry";
    put(file, "bytes");
    Date lastAccess = tenOClock.addingTimeInterval(1);
    Date expiry = tenOClock.addingTimeInterval(61);
    ASSERT_TRUE(files.setAttributes({.creationDate = lastAccess, .modificationDate = expiry}, file));
    auto attributes = files.attributesOfItem(file);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->creationDate, lastAccess);
    EXPECT_EQ(attributes->modificationDate, expiry);
    EXPECT_EQ(attributes->size, 5u);
    EXPECT_EQ(attributes->type, FileType::regular);

    // Setting one date leaves the other alone.
    ASSERT_TRUE(files.setAttributes({.creationDate = tenOClock}, file));
    EXPECT_EQ(files.attributesOfItem(file)->modificationDate, expiry);
    EXPECT_EQ(files.attributesOfItem(file)->creationDate, tenOClock);
}

TEST_P(FileManagerTest, DatesBeyondTheFileSystemsRangeSurviveUntilTheFileChanges) {
    fs::path file = root / "never";
    put(file, "bytes");
    Date beyond = Date::distantFuture().addingTimeInterval(86400);
    ASSERT_TRUE(files.setAttributes({.modificationDate = beyond}, file));
    EXPECT_EQ(files.attributesOfItem(file)->modificationDate, beyond);
    ASSERT_TRUE(files.setAttributes({.modificationDate = Date::distantPast()}, file));
    EXPECT_EQ(files.attributesOfItem(file)->modificationDate, Date::distantPast());

    ASSERT_TRUE(files.setAttributes({.modificationDate = beyond}, file));
    put(file, "rewritten");  // a real write moves the modification date to now
    EXPECT_LT(files.attributesOfItem(file)->modificationDate, Date::distantFuture());
}

TEST_P(FileManagerTest, DatesPastWhatTheSystemCountsSaturateAndNotANumberIsRefused) {
    fs::path file = root / "far";
    put(file, "bytes");
    // Beyond 2^63 seconds either way (a huge cache expiry): the system keeps its extreme, the date reads back.
    for (double seconds : {1e19, 1e300, -1e19}) {
        Date far = Date::fromUnix(seconds);
        ASSERT_TRUE(files.setAttributes({.modificationDate = far}, file)) << seconds;
        EXPECT_EQ(files.attributesOfItem(file)->modificationDate, far) << seconds;
    }
    EXPECT_FALSE(files.setAttributes({.modificationDate = Date::fromUnix(std::nan(""))}, file));
    EXPECT_EQ(files.attributesOfItem(file)->modificationDate, Date::fromUnix(-1e19));
    // Infinity is no number a date record keeps: the file keeps the system's latest time.
    ASSERT_TRUE(files.setAttributes({.modificationDate = Date::fromUnix(INFINITY)}, file));
    EXPECT_GT(files.attributesOfItem(file)->modificationDate, Date::fromUnix(1e10));
}

TEST_P(FileManagerTest, CreateFileReplacesContentsAndAppliesDates) {
    fs::path file = root / "created";
    put(file, "old");
    ASSERT_TRUE(files.setAttributes({.creationDate = Date::fromUnix(1000)}, file));
    ASSERT_TRUE(files.createFile(file, Data::fromString("new"), {.modificationDate = tenOClock}));
    EXPECT_EQ(text(file), "new");
    auto attributes = files.attributesOfItem(file);
    EXPECT_EQ(attributes->modificationDate, tenOClock);
    // A replaced file is a new file: the old creation date does not carry over.
    EXPECT_GT(attributes->creationDate, Date::fromUnix(1000));
}

TEST_P(FileManagerTest, ExtendedAttributesRoundTrip) {
    fs::path file = root / "app 2024-01-01--10-00-00-000.log";
    put(file, "log");
    EXPECT_TRUE(files.extendedAttribute(file, "app.log.archived").error().isAttributeNotFound());
    ASSERT_TRUE(files.setExtendedAttribute(file, "app.log.archived", Data()));
    EXPECT_EQ(files.extendedAttribute(file, "app.log.archived"), Data());
    Data marked(std::vector<std::uint8_t>{0x01});
    ASSERT_TRUE(files.setExtendedAttribute(file, "app.log.archived", marked));
    ASSERT_TRUE(files.setExtendedAttribute(file, "other", Data::fromString("a b\n\0c")));
    ASSERT_TRUE(files.setAttributes({.creationDate = tenOClock}, file));  // kept in a private attribute

    EXPECT_EQ(files.extendedAttribute(file, "app.log.archived"), marked);
    auto names = files.extendedAttributeNames(file);
    ASSERT_TRUE(names);
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string>{"app.log.archived", "other"}));

    ASSERT_TRUE(files.removeExtendedAttribute(file, "app.log.archived"));
    EXPECT_TRUE(files.extendedAttribute(file, "app.log.archived").error().isAttributeNotFound());
    EXPECT_TRUE(files.removeExtendedAttribute(file, "app.log.archived").error().isAttributeNotFound());
    EXPECT_TRUE(files.extendedAttribute(root / "gone", "other").error().isNoSuchFile());
    EXPECT_EQ(files.contentsOfDirectory(root), std::vector<std::string>{file.filename().string()});
}

TEST_P(FileManagerTest, AttributesFollowAMovedFileAndDoNotPassToANewFileOfTheSameName) {
    ASSERT_TRUE(files.createDirectory(root / "archive", false));
    put(root / "first", "1");
    ASSERT_TRUE(files.setExtendedAttribute(root / "first", "mark", Data::fromString("x")));
    ASSERT_TRUE(files.setAttributes({.creationDate = tenOClock}, root / "first"));

    ASSERT_TRUE(files.moveItem(root / "first", root / "archive" / "renamed"));
    EXPECT_EQ(files.extendedAttribute(root / "archive" / "renamed", "mark"), Data::fromString("x"));
    EXPECT_EQ(files.attributesOfItem(root / "archive" / "renamed")->creationDate, tenOClock);

    put(root / "first", "new file, old name");
    EXPECT_TRUE(files.extendedAttribute(root / "first", "mark").error().isAttributeNotFound());
    ASSERT_TRUE(files.removeItem(root / "archive" / "renamed"));
    put(root / "archive" / "renamed", "again");
    EXPECT_TRUE(files.extendedAttribute(root / "archive" / "renamed", "mark").error().isAttributeNotFound());
}

TEST_P(FileManagerTest, MoveAndCopyRefuseAnOccupiedDestination) {
    put(root / "a", "A");
    put(root / "b", "B");
    EXPECT_TRUE(files.moveItem(root / "a", root / "b").error().isFileExists());
    EXPECT_TRUE(files.copyItem(root / "a", root / "b").error().isFileExists());
    EXPECT_EQ(text(root / "a"), "A");
    EXPECT_EQ(text(root / "b"), "B");

    ASSERT_TRUE(files.moveItem(root / "a", root / "c"));
    EXPECT_FALSE(files.fileExists(root / "a"));
    EXPECT_EQ(text(root / "c"), "A");
}

TEST_P(FileManagerTest, CopiesAndRemovesWholeTrees) {
    ASSERT_TRUE(files.createDirectory(root / "tree" / "branch", true));
    put(root / "tree" / "branch" / "leaf", "leaf");
    fs::create_symlink("branch/leaf", root / "tree" / "link");
    ASSERT_TRUE(files.copyItem(root / "tree", root / "copy"));
    EXPECT_EQ(text(root / "copy" / "branch" / "leaf"), "leaf");
    EXPECT_EQ(files.attributesOfItem(root / "copy" / "link")->type, FileType::symbolicLink);

    ASSERT_TRUE(files.removeItem(root / "tree"));
    EXPECT_FALSE(files.fileExists(root / "tree"));
    EXPECT_TRUE(files.fileExists(root / "copy" / "branch" / "leaf"));
}

TEST_P(FileManagerTest, DescribesLinksThemselvesAndPermissions) {
    put(root / "target", "12");
    ::chmod((root / "target").c_str(), 0640);
    fs::create_symlink(root / "target", root / "link");
    EXPECT_EQ(files.attributesOfItem(root / "link")->type, FileType::symbolicLink);
    EXPECT_EQ(files.attributesOfItem(root / "target")->permissions, 0640u);
    EXPECT_EQ(files.attributesOfItem(root)->type, FileType::directory);
}

TEST_P(FileManagerTest, WritesDatesAndAttributesNeverThroughALink) {
    put(root / "target", "kept");
    const auto before = files.attributesOfItem(root / "target")->modificationDate;
    fs::create_symlink(root / "target", root / "link");

    EXPECT_FALSE(files.write(root / "link", Data::fromString("through"), {.noFollow = true}));
    (void)files.setAttributes({.creationDate = tenOClock, .modificationDate = tenOClock}, root / "link");
    (void)files.setExtendedAttribute(root / "link", "digest", Data::fromString("d"));
    EXPECT_EQ(text(root / "target"), "kept");
    EXPECT_EQ(files.attributesOfItem(root / "target")->modificationDate, before);
    EXPECT_FALSE(files.extendedAttribute(root / "target", "digest"));
}

INSTANTIATE_TEST_SUITE_P(ExtendedAttributeStores, FileManagerTest, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sidecar" : "Native"; });

TEST(FileManagerDirectories, CachesAndDocumentsFollowOverridesThenXdg) {
    FileManager configured({.cachesDirectory = "/tmp/caches", .documentsDirectory = "/tmp/documents"});
    EXPECT_EQ(configured.cachesDirectory(), "/tmp/caches");
    EXPECT_EQ(configured.documentsDirectory(), "/tmp/documents");

    std::string savedCaches = std::getenv("SORVANE_CACHES_DIR") ? std::getenv("SORVANE_CACHES_DIR") : "";
    std::string savedXdg = std::getenv("XDG_CACHE_HOME") ? std::getenv("XDG_CACHE_HOME") : "";
    ::unsetenv("SORVANE_CACHES_DIR");
    ::setenv("XDG_CACHE_HOME", "/var/cache/someone", 1);
    EXPECT_EQ(FileManager().cachesDirectory(), "/var/cache/someone/sorvane");
    ::setenv("XDG_CACHE_HOME", "relative/ignored", 1);
    EXPECT_TRUE(FileManager().cachesDirectory().is_absolute());
    ::setenv("SORVANE_CACHES_DIR", "/srv/sorvane-caches", 1);
    EXPECT_EQ(FileManager().cachesDirectory(), "/srv/sorvane-caches");

    savedCaches.empty() ? ::unsetenv("SORVANE_CACHES_DIR") : ::setenv("SORVANE_CACHES_DIR", savedCaches.c_str(), 1);
    savedXdg.empty() ? ::unsetenv("XDG_CACHE_HOME") : ::setenv("XDG_CACHE_HOME", savedXdg.c_str(), 1);
}
