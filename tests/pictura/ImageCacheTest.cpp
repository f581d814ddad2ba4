#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <future>
#include <thread>

#include "CacheTestSupport.h"
#include "ImageSamples.h"
#include "dispatch/RunLoop.h"
#include "foundation/Assertion.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "gfx/ImageEncoder.h"
#include "pictura/ImageCache.h"
#include "pictura/ImageWrapper.h"
#include "ui/Application.h"

namespace pictura {
namespace {

using foundation::Data;
using ImagePointer = std::shared_ptr<gfx::Image>;

class NamedProcessor final : public ImageProcessor {
public:
    explicit NamedProcessor(std::string name) : name_(std::move(name)) {}
    std::string identifier() const override { return name_; }
    ImagePointer process(const ImageProcessItem&, const PicturaParsedOptionsInfo&) const override { return nullptr; }

private:
    std::string name_;
};

class ImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto made = ImageCache::create("test", folder.path());
        ASSERT_TRUE(made);
        cache = *made;
        options.callbackQueue = CallbackQueue::untouch();
    }

    CacheStoreResult storeAndWait(const ImagePointer& image, const std::string& key, bool toDisk = true,
                                  std::optional<Data> original = std::nullopt) {
        std::promise<CacheStoreResult> done;
        cache->store(image, original, key, options, toDisk, [&](CacheStoreResult result) { done.set_value(result); });
        return done.get_future().get();
    }
    std::expected<ImageCacheResult, PicturaError> retrieve(const std::string& key) {
        std::promise<std::expected<ImageCacheResult, PicturaError>> done;
        cache->retrieveImage(key, options, CallbackQueue::untouch(), [&](auto result) { done.set_value(result); });
        return done.get_future().get();
    }
    void runMainUntil(const std::function<bool()>& predicate) {
        ASSERT_TRUE(dispatch::RunLoop::main()->runUntil(predicate, 10));
    }

    testing::TempFolder folder;
    std::shared_ptr<ImageCache> cache;
    PicturaParsedOptionsInfo options;
};

TEST_F(ImageCacheTest, anImageGoesToMemoryAtOnceAndToDiskThenComesBackFromDiskIntoMemory) {
    auto image = testing::gradientImage(20, 10);
    auto stored = storeAndWait(image, "http://host/a.png");
    EXPECT_TRUE(stored.memoryCacheResult && stored.diskCacheResult);
    EXPECT_EQ(cache->imageCachedType("http://host/a.png"), CacheType::memory);
    EXPECT_TRUE(std::filesystem::exists(cache->cachePath("http://host/a.png")));
    EXPECT_EQ(cache->cachePath("k"), (folder.path() / "com.tolvane.Pictura.ImageCache.test" / cache->hash("k")).string());

    cache->clearMemoryCache();
    EXPECT_EQ(cache->imageCachedType("http://host/a.png"), CacheType::disk);
    auto fromDisk = retrieve("http://host/a.png");
    ASSERT_TRUE(fromDisk);
    EXPECT_EQ(fromDisk->cacheType(), CacheType::disk);
    ASSERT_TRUE(fromDisk->image());
    EXPECT_EQ(fromDisk->image()->pixelWidth(), 20);
    EXPECT_EQ(retrieve("http://host/a.png")->cacheType(), CacheType::memory);

    // Another processor's key misses even though the plain key is cached.
    options.processor = std::make_shared<NamedProcessor>("p");
    EXPECT_EQ(retrieve("http://host/a.png")->cacheType(), CacheType::none);
    EXPECT_EQ(processedKey("a@b", "p"), "a@b@p");
    EXPECT_EQ(processedKey("a", ""), "a");

    // Memory only: both results succeed, nothing on disk.
    storeAndWait(image, "memory-only", false);
    EXPECT_FALSE(std::filesystem::exists(cache->cachePath("memory-only", "p")));
    options.fromMemoryCacheOrRefresh = true;
    cache->clearMemoryCache();
    EXPECT_EQ(retrieve("memory-only")->cacheType(), CacheType::none);
}

TEST_F(ImageCacheTest, removalAndSynchronousDiskLoading) {
    storeAndWait(testing::gradientImage(6, 6), "k");
    cache->clearMemoryCache();
    options.loadDiskFileSynchronously = true;
    std::optional<CacheType> found;
    cache->retrieveImage("k", options, CallbackQueue::untouch(), [&](auto result) { found = result->cacheType(); });
    EXPECT_EQ(found, CacheType::disk);  // delivered before the call returned
    cache->retrieveImage("k", options, CallbackQueue::untouch(), nullptr);  // no handler: nothing at all

    bool removed = false;
    cache->removeImage("k", "", true, false, CallbackQueue::untouch(), [&] { removed = true; });
    EXPECT_TRUE(removed);
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::disk);
    std::promise<void> done;
    cache->removeImage("k", "", false, true, CallbackQueue::untouch(), [&] { done.set_value(); });
    done.get_future().get();
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::none);
    std::promise<void> again;  // a missing file: the error is ignored, the handler still runs
    cache->removeImage("k", "", true, true, CallbackQueue::untouch(), [&] { again.set_value(); });
    again.get_future().get();
}

TEST_F(ImageCacheTest, backgroundDecodingLeavesAnimationsFromDiskAnimated) {
    std::promise<void> stored;
    cache->storeToDisk(samples::gif({0.1, 0.2, 0.3}), "gif", "", std::nullopt, CallbackQueue::untouch(),
                       [&](CacheStoreResult) { stored.set_value(); });
    stored.get_future().wait();
    options.backgroundDecode = true;
    options.loadDiskFileSynchronously = true;
    for (bool preloaded : {true, false}) {
        options.preloadAllAnimationData = preloaded;
        cache->clearMemoryCache();
        auto found = retrieve("gif");
        ASSERT_TRUE(found && found->image());
        EXPECT_EQ(found->cacheType(), CacheType::disk);
        const auto image = found->image();
        EXPECT_EQ(image->frames().size(), preloaded ? 3u : 0u);
        EXPECT_EQ(pc(image).imageSource() != nullptr, !preloaded);
        EXPECT_EQ(pc(image).animationData(), samples::gif({0.1, 0.2, 0.3}));
        EXPECT_EQ(cache->retrieveImageInMemoryCache("gif", options), image);  // stored back as it came
    }
}

TEST_F(ImageCacheTest, failuresOfTheStoreAreReportedAndTheMemoryLevelStillServes) {
    auto withoutBitmap = gfx::Image::make(nullptr);
    auto stored = storeAndWait(withoutBitmap, "nothing-to-encode");
    EXPECT_TRUE(stored.memoryCacheResult);
    ASSERT_FALSE(stored.diskCacheResult);
    EXPECT_EQ(stored.diskCacheResult.error().errorCode(), 3008);
    EXPECT_EQ(cache->imageCachedType("nothing-to-encode"), CacheType::memory);

    options.diskCacheExpiration = StorageExpiration::expired();
    stored = storeAndWait(testing::gradientImage(2, 2), "expired");
    EXPECT_TRUE(stored.diskCacheResult);
    EXPECT_FALSE(std::filesystem::exists(cache->cachePath("expired")));

    // An endless period is kept for good rather than failing the write.
    options.diskCacheExpiration = StorageExpiration::seconds(std::numeric_limits<double>::infinity());
    stored = storeAndWait(testing::gradientImage(2, 2), "endless");
    EXPECT_TRUE(stored.diskCacheResult);
    cache->clearMemoryCache();
    EXPECT_EQ(cache->imageCachedType("endless"), CacheType::disk);

    { std::ofstream(folder.path() / "file") << "x"; }
    auto blocked = ImageCache::create("blocked", folder.path() / "file");
    ASSERT_FALSE(blocked);
    EXPECT_EQ(blocked.error().errorCode(), 3005);
}

TEST(ImageCacheNameTest, anEmptyNameStopsTheProgramThroughEitherMaker) {
    EXPECT_DEATH(ImageCache::create(""), "\\[Pictura\\] You should specify a name for the cache");
    EXPECT_DEATH((void)ImageCache::create("", std::filesystem::temp_directory_path()),
                 "\\[Pictura\\] You should specify a name for the cache");
}

TEST_F(ImageCacheTest, corruptTruncatedAndForeignFilesAreMissesNeverCrashes) {
    const auto png = *gfx::encodePng(*testing::gradientImage(40, 40)->bitmap());
    const auto write = [&](const std::string& key, const Data& bytes) {
        std::promise<void> done;
        cache->storeToDisk(bytes, key, "", std::nullopt, CallbackQueue::untouch(), [&](CacheStoreResult) { done.set_value(); });
        done.get_future().get();
    };
    write("truncated", png.subdata(0, png.size() / 2));
    write("garbage", Data::fromString("\x89PNG\r\n\x1a\n this is not a picture at all"));
    write("empty", Data());
    write("random", Data(std::vector<std::uint8_t>(4096, 0xA5)));
    for (const auto* key : {"truncated", "garbage", "empty", "random"}) {
        auto result = retrieve(key);
        ASSERT_TRUE(result) << key;
        EXPECT_EQ(result->cacheType(), CacheType::none) << key;  // the image is fetched again
        EXPECT_FALSE(std::filesystem::exists(cache->cachePath(key))) << key << ": a file that never decodes stays";
    }
    // A folder where a file should be, and files the cache never wrote.
    std::filesystem::create_directory(cache->cachePath("folder"));
    const auto cacheFolder = std::filesystem::path(cache->cachePath("x")).parent_path();
    { std::ofstream(cacheFolder / "foreign.bin") << "foreign"; }
    auto result = retrieve("folder");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->cacheType(), CacheType::none);
    EXPECT_EQ(cache->imageCachedType("folder"), CacheType::none);

    // A good copy stored again replaces the truncated one.
    write("truncated", png);
    EXPECT_EQ(retrieve("truncated")->cacheType(), CacheType::disk);
}

TEST_F(ImageCacheTest, clearingTheDiskLeavesMemoryAndTheApplicationsEndsCleanExpiredFiles) {
    storeAndWait(testing::gradientImage(4, 4), "kept-in-memory");
    bool cleared = false;
    cache->clearDiskCache([&] {
        EXPECT_TRUE(dispatch::isMainThread());
        cleared = true;
    });
    runMainUntil([&] { return cleared; });
    EXPECT_EQ(cache->imageCachedType("kept-in-memory"), CacheType::memory);
    cache->clearMemoryCache();
    EXPECT_EQ(cache->imageCachedType("kept-in-memory"), CacheType::none);

    // Termination and the move to the background each clean the expired files, and only those.
    testing::ClockGuard clock;
    for (const auto& notification : {ui::Application::willTerminateNotification, ui::Application::didEnterBackgroundNotification}) {
        options.diskCacheExpiration = StorageExpiration::seconds(0.5);
        storeAndWait(testing::gradientImage(4, 4), "stale");
        options.diskCacheExpiration.reset();
        storeAndWait(testing::gradientImage(4, 4), "fresh");
        clock->advance(60);
        const auto stale = cache->cachePath("stale");
        ASSERT_TRUE(std::filesystem::exists(stale));
        foundation::NotificationCenter::defaultCenter().post(notification);
        // The clean runs on the disk queue; a measure asked for after it reports after it.
        bool after = false;
        cache->calculateDiskStorageSize([&](std::expected<std::uint64_t, PicturaError>) { after = true; });
        runMainUntil([&] { return after; });
        EXPECT_FALSE(std::filesystem::exists(stale)) << notification.rawValue;
        EXPECT_TRUE(std::filesystem::exists(cache->cachePath("fresh"))) << notification.rawValue;
    }
}

TEST_F(ImageCacheTest, memoryWarningsEmptyOnlyTheMemoryLevel) {
    storeAndWait(testing::gradientImage(4, 4), "k");
    ui::Application::shared().receiveMemoryWarning();
    EXPECT_EQ(cache->imageCachedType("k"), CacheType::disk);
}

TEST_F(ImageCacheTest, aDiskCleanPostsTheRemovedNamesThenCompletesOnTheMainQueue) {
    testing::ClockGuard clock;
    options.diskCacheExpiration = StorageExpiration::seconds(0.5);
    storeAndWait(testing::gradientImage(4, 4), "a");
    storeAndWait(testing::gradientImage(4, 4), "b");
    options.diskCacheExpiration.reset();
    storeAndWait(testing::gradientImage(4, 4), "live");

    std::vector<std::string> names;
    bool completed = false;
    bool postedBeforeCompletion = false;
    foundation::NotificationCenter::defaultCenter().addObserver(
        std::weak_ptr<void>(cache), PicturaDidCleanDiskCache, [&](const foundation::Notification& note) {
            if (note.object != cache) return;
            EXPECT_TRUE(dispatch::isMainThread());
            if (auto* posted = note.value<std::vector<std::string>>(std::string(PicturaDiskCacheCleanedHashKey))) names = *posted;
            postedBeforeCompletion = !completed;
        });
    clock->advance(60);
    cache->cleanExpiredDiskCache([&] { completed = true; });
    runMainUntil([&] { return completed; });
    EXPECT_TRUE(postedBeforeCompletion);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected{cache->hash("a"), cache->hash("b")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(cache->imageCachedType("live"), CacheType::memory);

    // Nothing to remove: no notification, still a completion.
    names.clear();
    completed = false;
    cache->cleanExpiredDiskCache([&] { completed = true; });
    runMainUntil([&] { return completed; });
    EXPECT_TRUE(names.empty());

    std::optional<std::uint64_t> size;
    const auto measure = [&] {
        size.reset();
        bool measured = false;
        cache->calculateDiskStorageSize([&](std::expected<std::uint64_t, PicturaError> result) {
            measured = true;
            if (result) size = *result;
        });
        runMainUntil([&] { return measured; });
    };
    measure();
    ASSERT_TRUE(size);
    EXPECT_GT(*size, 0u);

    completed = false;
    cache->clearCache([&] { completed = true; });
    runMainUntil([&] { return completed; });
    EXPECT_EQ(cache->imageCachedType("live"), CacheType::none);
    measure();
    EXPECT_EQ(size, 0u);
    auto awaited = dispatch::syncWait(cache->diskStorageSize());
    ASSERT_TRUE(awaited);
    EXPECT_EQ(*awaited, 0u);
}

TEST_F(ImageCacheTest, aCleanWithAFileThatCannotBeRemovedStillPostsAndCompletes) {
    testing::ClockGuard clock;
    options.diskCacheExpiration = StorageExpiration::seconds(0.5);
    storeAndWait(testing::gradientImage(4, 4), "a");
    const auto cacheFolder = std::filesystem::path(cache->cachePath("x")).parent_path();
    std::filesystem::create_directory(cacheFolder / "locked");
    { std::ofstream(cacheFolder / "locked" / "stale") << "stale"; }
    testing::Unremovable unremovable(cacheFolder / "locked" / "stale");
    if (!unremovable.works()) GTEST_SKIP() << "no way to make a file unremovable here";
    clock->advance(60);

    std::vector<std::string> names;
    foundation::NotificationCenter::defaultCenter().addObserver(
        std::weak_ptr<void>(cache), PicturaDidCleanDiskCache, [&](const foundation::Notification& note) {
            if (auto* posted = note.value<std::vector<std::string>>(std::string(PicturaDiskCacheCleanedHashKey))) names = *posted;
        });
    bool completed = false;
    cache->cleanExpiredDiskCache([&] { completed = true; });
    runMainUntil([&] { return completed; });
    EXPECT_EQ(names, std::vector<std::string>{cache->hash("a")});
}

TEST_F(ImageCacheTest, eightThreadsStoringAndReadingTheSameKeys) {
    constexpr int threads = 8;
    constexpr int rounds = 40;
    std::vector<ImagePointer> images;
    for (int index = 0; index < 8; ++index) images.push_back(testing::gradientImage(8 + index, 8));
    std::atomic<int> wrongImages = 0;
    std::atomic<int> failures = 0;
    std::vector<std::thread> workers;
    for (int thread = 0; thread < threads; ++thread) {
        workers.emplace_back([&, thread] {
            auto local = options;
            for (int round = 0; round < rounds; ++round) {
                const int index = (thread + round) % 8;
                const auto key = "key-" + std::to_string(index);
                std::promise<void> stored;
                cache->store(images[index], std::nullopt, key, local, true, [&](CacheStoreResult result) {
                    if (!result.diskCacheResult) ++failures;
                    stored.set_value();
                });
                if (round % 3 == 0) cache->clearMemoryCache();
                std::promise<void> read;
                cache->retrieveImage(key, local, CallbackQueue::untouch(), [&](auto result) {
                    // Every image under a key has that key's width, from either level.
                    if (!result) ++failures;
                    else if (result->image() && result->image()->pixelWidth() != 8 + index) ++wrongImages;
                    read.set_value();
                });
                read.get_future().get();
                stored.get_future().get();
                if (round % 7 == 0) cache->cleanExpiredCache();
            }
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(wrongImages, 0);
    cache->clearMemoryCache();
    for (int index = 0; index < 8; ++index) EXPECT_EQ(retrieve("key-" + std::to_string(index))->image()->pixelWidth(), 8 + index);
    // Completions of the cleans above land on the main queue; let them run here.
    dispatch::RunLoop::main()->runUntil([] { return false; }, 0.05);
}

TEST(ImageCostTest, decodedBytesOfStillAnimatedAndBitmapLessImages) {
    auto image = gfx::Image::fromBitmap(gfx::Bitmap::make(200, 100), 2);  // 100 x 50 points at 2x
    EXPECT_EQ(CacheCostCalculable<ImagePointer>::cacheCost(image), 80000);
    std::vector<ImagePointer> frames(10, image);
    EXPECT_EQ(CacheCostCalculable<ImagePointer>::cacheCost(gfx::Image::animated(frames, 1)), 800000);
    EXPECT_EQ(CacheCostCalculable<ImagePointer>::cacheCost(gfx::Image::make(nullptr)), 0);
}

}  // namespace
}  // namespace pictura
