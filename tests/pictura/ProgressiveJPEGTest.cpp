#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CountingProcessor.h"
#include "RetrievalTestSupport.h"
#include "pictura/ImageDataProcessor.h"
#include "pictura/ImageProgressiveProvider.h"
#include "pictura/ImageWrapper.h"

namespace pictura {
namespace {

using Item = PicturaOptionsInfoItem;
using ImageWrapper = PicturaWrapper<std::shared_ptr<gfx::Image>>;

foundation::Data progressiveFixture() {
    std::ifstream file(std::filesystem::path(SORVANE_TEST_FIXTURES) / "images/jpeg/jpg-progressive.jpg", std::ios::binary);
    return foundation::Data(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

// Where each start of scan begins.
std::vector<std::size_t> scanStarts(const foundation::Data& data) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == 0xFF && data[i + 1] == 0xDA) starts.push_back(i);
    return starts;
}

std::vector<std::uint8_t> pixelsOf(const std::shared_ptr<gfx::Image>& image) {
    return image && image->bitmap() ? image->bitmap()->pixels : std::vector<std::uint8_t>{};
}

TEST(ProgressiveDecoderTest, aScanCountsOnceTheNextOneStarts) {
    const auto data = progressiveFixture();
    ASSERT_GT(data.size(), 0u) << "fixture missing";
    const auto starts = scanStarts(data);
    ASSERT_GE(starts.size(), 4u);
    ImageProgressiveDecoder fastest({}, CallbackQueue::untouch(), {});
    // Up to just past the first start of scan: one scan seen, none known complete.
    EXPECT_FALSE(fastest.newestScanPrefix(data.subdata(0, starts[0] + 3)));
    EXPECT_EQ(fastest.scannedCount, 1);
    // Three more starts at once: one prefix, up to the last of them.
    EXPECT_EQ(fastest.newestScanPrefix(data.subdata(0, starts[3] + 3)), data.subdata(0, starts[3]));
    EXPECT_FALSE(fastest.newestScanPrefix(data.subdata(0, starts[3] + 3)));  // nothing new

    ImageProgressiveDecoder every({.isFastestScan = false}, CallbackQueue::untouch(), {});
    const auto prefixes = every.newScanPrefixes(data.subdata(0, starts[3] + 3));
    EXPECT_EQ(prefixes, (std::vector<foundation::Data>{data.subdata(0, starts[1]), data.subdata(0, starts[2]),
                                                        data.subdata(0, starts[3])}));
    // A PNG never has scans.
    EXPECT_TRUE(every.newScanPrefixes(noisePng(4, 4)).empty());

    EXPECT_EQ(ImageProgressiveDecoder::blurRadius(2), 6);
    EXPECT_EQ(ImageProgressiveDecoder::blurRadius(3), 2);
    EXPECT_EQ(ImageProgressiveDecoder::blurRadius(0), 14);
}

TEST(ProgressiveSerialQueueTest, aTaskStartsNoSoonerThanTheIntervalAfterThePreviousOneEnded) {
    testing::ClockGuard clock;
    auto queue = ImageProgressiveSerialQueue::make();
    std::atomic<int> ran = 0;
    auto task = [&](ImageProgressiveSerialQueue::Completion completion) {
        ++ran;
        completion();
    };
    // Past the running task, then past what its completion queued.
    auto settled = [&] {
        queue->queue->sync([] {});
        queue->queue->sync([] {});
    };
    queue->add(1.0, task);  // nothing ran before: at once
    queue->add(1.0, task);
    ASSERT_TRUE(testing::eventually([&] { return ran.load() == 1; }));
    settled();
    EXPECT_EQ(ran.load(), 1);
    clock->advance(1.0);
    ASSERT_TRUE(testing::eventually([&] { return ran.load() == 2; }));
    settled();
    // After a pause, only what is left of the interval since the list emptied.
    clock->advance(0.5);
    queue->add(1.0, task);
    settled();
    EXPECT_EQ(ran.load(), 2);
    clock->advance(0.5);
    EXPECT_TRUE(testing::eventually([&] { return ran.load() == 3; }));
}

// The partial images a retrieval has shown, for a server that sends each scan only once the one before it was
// shown: two chunks read at once make one partial image, as they should, and a loaded machine may read them so
// however far apart they are sent.
struct ShownScans {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    bool awaited = false;

    void one() {
        {
            std::lock_guard lock(mutex);
            ++count;
        }
        changed.notify_all();
    }
    void expectEvery(bool every) {
        std::lock_guard lock(mutex);
        awaited = every, count = 0;
    }
    // Until `shown` were shown where awaited (a client that never shows them fails on its count), else a while:
    // 150 ms, so that most reads take one chunk.
    void before(int shown) {
        std::unique_lock lock(mutex);
        if (!awaited) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            return;
        }
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return count >= shown; });
    }
};

class ProgressiveJPEGTest : public testing::RetrievalFixture {
protected:
    void SetUp() override {
        RetrievalFixture::SetUp();
        jpeg = progressiveFixture();
        ASSERT_GT(jpeg.size(), 0u) << "fixture missing";
        // One chunk per scan: chunk k ends just past scan k's start, so it completes partial image k.
        slow.server.Get("/slow.jpg", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(jpeg.size(), "image/jpeg", [this](size_t offset, size_t, httplib::DataSink& sink) {
                std::size_t end = jpeg.size();
                int chunk = 0;
                for (auto start : scanStarts(jpeg)) {
                    if (start > offset + 1) {
                        end = start + 2;
                        break;
                    }
                    ++chunk;
                }
                scansShown->before(chunk - 1);
                return sink.write(reinterpret_cast<const char*>(jpeg.data() + offset), end - offset);
            });
        });
        slow.start();
    }

    // The partial images a retrieval shows, in order, and its outcome; with `every`, the server waits for each.
    std::vector<std::shared_ptr<gfx::Image>> partials(const foundation::URL& url, ImageProgressive progressive,
                                                      bool every = true) {
        auto updates = std::make_shared<std::vector<std::shared_ptr<gfx::Image>>>();
        auto finished = std::make_shared<std::atomic<bool>>(false);
        PicturaParsedOptionsInfo options({Item::targetCache(cache), Item::downloader(downloader),
                                          Item::progressiveJPEG(progressive), Item::forceRefresh()});
        scansShown->expectEvery(every);
        manager->retrieveImage(Source::network(ImageResource(url)), options, nullptr,
                               [updates, shown = scansShown](std::shared_ptr<gfx::Image> image) {
            updates->push_back(std::move(image));
            shown->one();
        }, nullptr, [finished](PicturaManager::RetrieveResult result) {
            EXPECT_TRUE(result);
            *finished = true;
        });
        EXPECT_TRUE(waitUntil([&] { return finished->load(); }));
        waitUntil([] { return false; }, 0.2);  // partial images still on their way
        scansShown->expectEvery(false);
        return *updates;
    }

    foundation::Data jpeg;
    std::shared_ptr<ShownScans> scansShown = std::make_shared<ShownScans>();
    Loopback<httplib::Server> slow;
};

TEST_F(ProgressiveJPEGTest, aSlowDownloadShowsEveryScanInOrder) {
    const auto starts = scanStarts(jpeg);
    std::vector<std::vector<std::uint8_t>> expected;
    for (std::size_t k = 1; k < starts.size(); ++k)
        expected.push_back(pixelsOf(ImageWrapper::image(jpeg.subdata(0, starts[k]), {})));

    auto shown = partials(slow.url("/slow.jpg"), {.isBlur = false, .isFastestScan = false});
    ASSERT_EQ(shown.size(), expected.size());
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(pixelsOf(shown[i]), expected[i]) << "scan " << i + 2;

    // Keep-current shows nothing; pictures that are not progressive JPEGs never show a scan.
    ImageProgressive keep{.isBlur = false};
    keep.onImageUpdated->delegate(cache, [](ImageCache&, const std::shared_ptr<gfx::Image>&) {
        return ImageProgressive::UpdatingStrategy::keepCurrent();
    });
    EXPECT_TRUE(partials(slow.url("/slow.jpg"), keep, false).empty());
    EXPECT_TRUE(partials(server.url("/image/png"), {}).empty());

    // Replace shows the given picture in place of each partial image.
    const auto stand = gfx::Image::fromData(noisePng(3, 3));
    ImageProgressive replace{.isBlur = false};
    replace.onImageUpdated->delegate(cache, [stand](ImageCache&, const std::shared_ptr<gfx::Image>&) {
        return ImageProgressive::UpdatingStrategy::replace(stand);
    });
    const auto replaced = partials(slow.url("/slow.jpg"), replace);
    ASSERT_FALSE(replaced.empty());
    for (const auto& image : replaced) EXPECT_EQ(image, stand);
}

TEST_F(ProgressiveJPEGTest, theFirstScansAreBlurredAndFromTheSixthOnShownAsDecoded) {
    const auto starts = scanStarts(jpeg);
    const auto shown = partials(slow.url("/slow.jpg"), {.isBlur = true, .isFastestScan = false});
    ASSERT_EQ(shown.size(), starts.size() - 1);
    // The partial image ending before start k is made when k + 1 scans have been seen.
    for (std::size_t k = 1; k < starts.size(); ++k) {
        const auto plain = pixelsOf(ImageWrapper::image(jpeg.subdata(0, starts[k]), {}));
        if (k + 1 < 6)
            EXPECT_NE(pixelsOf(shown[k - 1]), plain) << "scan " << k + 1;
        else
            EXPECT_EQ(pixelsOf(shown[k - 1]), plain) << "scan " << k + 1;
    }
}

TEST_F(ProgressiveJPEGTest, onceTheTargetStopsWaitingPendingScansAreDroppedUnprocessed) {
    auto runs = std::make_shared<std::atomic<int>>(0);
    auto waiting = std::make_shared<std::atomic<bool>>(true);
    auto updates = std::make_shared<std::atomic<int>>(0);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    PicturaParsedOptionsInfo options({Item::targetCache(cache), Item::downloader(downloader), Item::forceRefresh(),
                                      Item::processor(std::make_shared<CountingProcessor>("P", runs)),
                                      Item::progressiveJPEG({.isBlur = false, .isFastestScan = false})});
    manager->retrieveImage(Source::network(ImageResource(slow.url("/slow.jpg"))), options, nullptr,
                           [updates, waiting](std::shared_ptr<gfx::Image>) {
        ++*updates;
        *waiting = false;
    }, [waiting] { return waiting->load(); }, [finished](PicturaManager::RetrieveResult) { *finished = true; });
    ASSERT_TRUE(waitUntil([&] { return finished->load(); }));
    waitUntil([] { return false; }, 0.2);
    EXPECT_EQ(updates->load(), 1);
    EXPECT_EQ(runs->load(), 2);  // the one partial image and the final image
}

TEST_F(ProgressiveJPEGTest, partialImagesGoThroughTheirOwnRetrievalsProcessorOnly) {
    // Two retrievals share one download; only the first shows partial images.
    auto runsP = std::make_shared<std::atomic<int>>(0);
    auto runsQ = std::make_shared<std::atomic<int>>(0);
    auto updates = std::make_shared<std::vector<std::shared_ptr<gfx::Image>>>();
    auto finished = std::make_shared<std::atomic<int>>(0);
    const auto source = Source::network(ImageResource(slow.url("/slow.jpg")));
    auto retrieve = [&](std::shared_ptr<const ImageProcessor> processor, std::optional<ImageProgressive> progressive) {
        PicturaOptionsInfo items{Item::targetCache(cache), Item::downloader(downloader), Item::forceRefresh(),
                                 Item::processor(std::move(processor))};
        if (progressive) items.push_back(Item::progressiveJPEG(*progressive));
        manager->retrieveImage(source, PicturaParsedOptionsInfo(items), nullptr,
                               [updates, shown = scansShown](std::shared_ptr<gfx::Image> image) {
            updates->push_back(std::move(image));
            shown->one();
        }, nullptr, [finished](PicturaManager::RetrieveResult) { ++*finished; });
    };
    scansShown->expectEvery(true);
    retrieve(std::make_shared<CountingProcessor>("P", runsP), ImageProgressive{.isBlur = false, .isFastestScan = false});
    retrieve(std::make_shared<CountingProcessor>("Q", runsQ), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return finished->load() == 2; }));
    waitUntil([] { return false; }, 0.2);
    EXPECT_EQ(updates->size(), scanStarts(jpeg).size() - 1);
    EXPECT_EQ(runsQ->load(), 1);  // the final image only
    EXPECT_EQ(runsP->load(), static_cast<int>(scanStarts(jpeg).size()));
}

TEST_F(ProgressiveJPEGTest, aPictureOverThePreviewBudgetShowsNoPartialImages) {
    // The fixture's scans under a frame of 4608 x 4608 (21 megapixels), with enough bytes in its first
    // scan that the decoder takes them: every partial image would be a decode of that size.
    auto bytes = jpeg.bytes();
    const std::uint8_t progressiveFrame[] = {0xFF, 0xC2};
    const auto frame = std::search(bytes.begin(), bytes.end(), std::begin(progressiveFrame), std::end(progressiveFrame));
    ASSERT_NE(frame, bytes.end());
    for (int i : {5, 7}) {
        frame[i] = 4608 >> 8;
        frame[i + 1] = 4608 & 0xFF;
    }
    const auto second = scanStarts(foundation::Data(bytes))[1];
    bytes.insert(bytes.begin() + static_cast<long>(second), 4000, 0x00);
    jpeg = foundation::Data(std::move(bytes));
    ASSERT_GT(static_cast<std::int64_t>(4608) * 4608, ImageProgressiveDecoder::previewPixelBudget);

    EXPECT_TRUE(partials(slow.url("/slow.jpg"), {.isBlur = false, .isFastestScan = false}, false).empty());
}

// Decodes like the default processor, counting the runs made off the downloader processing queue.
class QueueCheckingProcessor final : public ImageProcessor {
public:
    std::string identifier() const override { return "queue-checking"; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override {
        ++runs;
        if (!ImageDataProcessor::downloaderProcessingQueue().queue()->isCurrent()) ++elsewhere;
        return DefaultImageProcessor::defaultProcessor()->process(item, options);
    }
    mutable std::atomic<int> runs = 0, elsewhere = 0;
};

TEST_F(ProgressiveJPEGTest, partialImagesAreMadeOnTheOneDownloaderProcessingQueue) {
    auto processor = std::make_shared<QueueCheckingProcessor>();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    PicturaParsedOptionsInfo options({Item::targetCache(cache), Item::downloader(downloader), Item::forceRefresh(),
                                      Item::processor(processor),
                                      Item::progressiveJPEG({.isBlur = false, .isFastestScan = false})});
    scansShown->expectEvery(true);
    manager->retrieveImage(Source::network(ImageResource(slow.url("/slow.jpg"))), options, nullptr,
                           [shown = scansShown](std::shared_ptr<gfx::Image>) { shown->one(); }, nullptr,
                           [finished](PicturaManager::RetrieveResult) { *finished = true; });
    ASSERT_TRUE(waitUntil([&] { return finished->load(); }));
    ASSERT_TRUE(waitUntil([&] { return processor->runs.load() == static_cast<int>(scanStarts(jpeg).size()); }));
    EXPECT_EQ(processor->elsewhere.load(), 0);
}

}  // namespace
}  // namespace pictura
