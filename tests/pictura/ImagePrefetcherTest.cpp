#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "RetrievalTestSupport.h"
#include "pictura/ImagePrefetcher.h"

namespace pictura {
namespace {

using Item = PicturaOptionsInfoItem;

struct Lists {
    std::vector<Source> skipped, failed, completed;
};

class ImagePrefetcherTest : public testing::RetrievalFixture {
protected:
    // The prefetcher over the fixture's cache and downloader, writing its completion into `done`.
    std::shared_ptr<ImagePrefetcher> prefetcher(std::vector<Source> sources, PicturaOptionsInfo items = {}) {
        items.insert(items.begin(), {Item::targetCache(cache), Item::downloader(downloader)});
        return ImagePrefetcher::make(std::move(sources), items, nullptr,
                                     [this](const auto& skipped, const auto& failed, const auto& completed) {
            done = Lists{skipped, failed, completed};
            ++completions;
        });
    }
    bool finished() {
        return waitUntil([&] { return done.has_value(); });
    }
    void cacheInMemory(const std::string& key) {
        cache->store(testing::gradientImage(4, 4), std::nullopt, key, PicturaParsedOptionsInfo(), false);
    }
    void cacheOnDiskOnly(const std::string& key) {
        std::atomic<bool> stored = false;
        cache->storeToDisk(server.picture, key, "", std::nullopt, CallbackQueue::untouch(),
                           [&](CacheStoreResult) { stored = true; });
        ASSERT_TRUE(waitUntil([&] { return stored.load(); }));
    }
    int heldHits(int count) {
        int hits = 0;
        for (int i = 0; i < count; ++i) hits += server.hits("/held/" + std::to_string(i));
        return hits;
    }
    std::vector<Source> held(int count) {
        std::vector<Source> sources;
        for (int i = 0; i < count; ++i) sources.push_back(network("/held/" + std::to_string(i)));
        return sources;
    }

    std::optional<Lists> done;
    int completions = 0;
};

TEST_F(ImagePrefetcherTest, nothingToDoCompletesWithEmptyLists) {
    prefetcher({})->start();
    ASSERT_TRUE(finished());
    EXPECT_TRUE(done->skipped.empty() && done->failed.empty() && done->completed.empty());

    done.reset();
    auto limited = prefetcher({network("/image/a")});
    limited->maxConcurrentDownloads = 0;
    limited->start();
    ASSERT_TRUE(finished());
    EXPECT_TRUE(done->skipped.empty() && done->failed.empty() && done->completed.empty());
    EXPECT_EQ(server.hits("/image/a"), 0);
}

TEST_F(ImagePrefetcherTest, noMoreThanTheLimitRunAtOnce) {
    auto sources = held(10);
    auto running = prefetcher(sources);
    running->maxConcurrentDownloads = 3;
    running->start();
    ASSERT_TRUE(waitUntil([&] { return heldHits(10) >= 3; }));
    waitUntil([] { return false; }, 0.2);
    EXPECT_EQ(heldHits(10), 3);
    server.openGate();
    ASSERT_TRUE(finished());
    EXPECT_EQ(done->completed.size(), 10u);
    EXPECT_EQ(heldHits(10), 10);
    for (const auto& source : sources) EXPECT_EQ(cache->imageCachedType(source.cacheKey()), CacheType::memory);
}

TEST_F(ImagePrefetcherTest, cachedSourcesAreSkippedUnlessForced) {
    const auto inMemory = network("/image/memory");
    const auto onDisk = network("/image/disk");
    cacheInMemory(inMemory.cacheKey());
    cacheOnDiskOnly(onDisk.cacheKey());
    prefetcher({inMemory, onDisk})->start();
    ASSERT_TRUE(finished());
    EXPECT_EQ(done->skipped, (std::vector<Source>{inMemory, onDisk}));
    EXPECT_EQ(server.hits("/image/memory") + server.hits("/image/disk"), 0);
    EXPECT_EQ(cache->imageCachedType(onDisk.cacheKey()), CacheType::disk);

    done.reset();
    prefetcher({inMemory, onDisk}, {Item::forceRefresh()})->start();
    ASSERT_TRUE(finished());
    EXPECT_EQ(done->completed.size(), 2u);
    EXPECT_EQ(server.hits("/image/memory") + server.hits("/image/disk"), 2);
}

TEST_F(ImagePrefetcherTest, aNullProcessorTakesTheDefault) {
    const auto source = network("/image/null");
    prefetcher({source}, {Item::processor(nullptr)})->start();
    ASSERT_TRUE(finished());
    EXPECT_EQ(done->completed, std::vector<Source>{source});
}

TEST_F(ImagePrefetcherTest, diskHitsAreBroughtIntoMemoryOrSkippedWhenNoReadStarts) {
    const auto onDisk = network("/image/disk");
    cacheOnDiskOnly(onDisk.cacheKey());
    prefetcher({onDisk}, {Item::alsoPrefetchToMemory()})->start();
    ASSERT_TRUE(finished());
    EXPECT_EQ(done->skipped, std::vector<Source>{onDisk});
    EXPECT_EQ(cache->imageCachedType(onDisk.cacheKey()), CacheType::memory);

    // Memory-or-refresh makes the look-up refuse a disk hit: it starts no read and never calls back.
    const auto other = network("/image/other");
    cacheOnDiskOnly(other.cacheKey());
    done.reset();
    prefetcher({other}, {Item::alsoPrefetchToMemory(), Item::fromMemoryCacheOrRefresh()})->start();
    ASSERT_TRUE(finished());
    EXPECT_EQ(done->skipped, std::vector<Source>{other});
    EXPECT_EQ(server.hits("/image/other"), 0);
}

TEST_F(ImagePrefetcherTest, stopCancelsTheRunningAndFailsThePendingInOrder) {
    auto sources = held(7);
    auto running = prefetcher(sources);
    running->maxConcurrentDownloads = 3;
    running->start();
    ASSERT_TRUE(waitUntil([&] { return heldHits(7) >= 3; }));
    running->stop();
    ASSERT_TRUE(finished());
    ASSERT_EQ(done->failed.size(), 7u);
    const std::vector<Source> pending(sources.begin() + 3, sources.end());
    EXPECT_EQ(std::vector<Source>(done->failed.begin() + 3, done->failed.end()), pending);
    server.openGate();
    waitUntil([] { return false; }, 0.1);
    EXPECT_EQ(heldHits(7), 3);
    EXPECT_EQ(completions, 1);
}

TEST_F(ImagePrefetcherTest, nothingBeginsAfterStopWhileCachedSourcesAreSkipped) {
    std::vector<Source> sources;
    for (int i = 0; i < 100; ++i) {
        sources.push_back(network("/image/cached" + std::to_string(i)));
        cacheInMemory(sources.back().cacheKey());
    }
    const auto last = network("/image/after-stop");
    sources.push_back(last);
    // The default processor's identifier, but its first use on the prefetcher's queue waits until the
    // stop is queued: the skips cannot outrun the stop however the threads are scheduled.
    struct GatedProcessor final : ImageProcessor {
        std::string identifier() const override {
            if (std::this_thread::get_id() != testThread && !passed.exchange(true))
                for (int i = 0; i < 5000 && !open; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return "";
        }
        std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override {
            return DefaultImageProcessor::defaultProcessor()->process(item, options);
        }
        std::thread::id testThread = std::this_thread::get_id();
        mutable std::atomic<bool> passed = false;
        std::atomic<bool> open = false;
    };
    auto gate = std::make_shared<GatedProcessor>();
    auto running = prefetcher(sources, {Item::processor(gate)});
    running->start();
    running->stop();
    gate->open = true;
    ASSERT_TRUE(finished());
    EXPECT_EQ(done->skipped.size() + done->failed.size(), sources.size());
    EXPECT_EQ(done->failed.back(), last);
    waitUntil([] { return false; }, 0.1);
    EXPECT_EQ(server.hits("/image/after-stop"), 0);
}

TEST_F(ImagePrefetcherTest, twoSourcesWithOneKeyAreBothCancelledByStop) {
    const auto source = network("/held/0");
    auto running = prefetcher({source, source});
    running->start();
    ASSERT_TRUE(waitUntil([&] { return heldHits(1) >= 1; }));
    waitUntil([] { return false; }, 0.05);
    running->stop();
    // Both fetches cancelled, so the run ends without the server ever answering.
    ASSERT_TRUE(waitUntil([&] { return done.has_value(); }, 5));
    EXPECT_EQ(done->failed, (std::vector<Source>{source, source}));
}

TEST_F(ImagePrefetcherTest, resourceListsLeaveProvidersOutAndTheCompletionRunsOnce) {
    struct Bytes final : ImageDataProvider {
        explicit Bytes(foundation::Data data) : bytes(std::move(data)) {}
        std::string cacheKey() const override { return "provided"; }
        void data(Handler handler) const override { handler(bytes); }
        foundation::Data bytes;
    };
    auto provided = Source::provider(std::make_shared<Bytes>(server.picture));
    std::vector<std::size_t> resourceCounts;
    std::vector<Lists> sourceLists;
    // The Source-shaped closures see the provider; the Resource-shaped ones only downloads.
    auto sourceShaped = ImagePrefetcher::make(std::vector<Source>{provided, network("/image/a")},
                                              PicturaOptionsInfo{Item::targetCache(cache), Item::downloader(downloader)},
                                              nullptr, [&](const auto& skipped, const auto& failed, const auto& completed) {
        sourceLists.push_back({skipped, failed, completed});
    });
    sourceShaped->start();
    ASSERT_TRUE(waitUntil([&] { return !sourceLists.empty(); }));
    EXPECT_EQ(sourceLists[0].completed.size(), 2u);
    EXPECT_EQ(cache->imageCachedType("provided"), CacheType::memory);

    auto resourceShaped = ImagePrefetcher::make(std::vector<ImageResource>{ImageResource(server.url("/image/b"))},
                                                PicturaOptionsInfo{Item::targetCache(cache), Item::downloader(downloader)},
                                                nullptr, [&](const auto&, const auto&, const auto& completed) {
        resourceCounts.push_back(completed.size());
    });
    resourceShaped->start();
    ASSERT_TRUE(waitUntil([&] { return !resourceCounts.empty(); }));
    resourceShaped->start();  // delivers again, but the one-shot completion is gone
    sourceShaped->start();
    ASSERT_TRUE(waitUntil([&] { return sourceLists.size() == 2; }));
    EXPECT_EQ(resourceCounts, std::vector<std::size_t>{1});
    EXPECT_EQ(resourceShaped->description().size(), 18u);
}

}  // namespace
}  // namespace pictura
