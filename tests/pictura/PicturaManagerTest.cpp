#include <gtest/gtest.h>

#include "CountingProcessor.h"
#include "RetrievalTestSupport.h"
#include "net/ProtocolRegistry.h"
#include "net/URLError.h"
#include "pictura/ImageDataProviders.h"
#include "pictura/ImageModifier.h"

namespace pictura {
namespace {

using Item = PicturaOptionsInfoItem;

std::string notExistingKey(const PicturaManager::RetrieveResult& result) {
    if (result) return "(success)";
    const auto* reason = result.error().cacheErrorReason();
    const auto* missing = reason ? std::get_if<PicturaError::ImageNotExisting>(reason) : nullptr;
    return missing ? missing->key : "(other error)";
}

const std::vector<PropagationError>* exhausted(const PicturaManager::RetrieveResult& result) {
    if (result) return nullptr;
    const auto* reason = result.error().imageSettingErrorReason();
    const auto* all = reason ? std::get_if<PicturaError::AlternativeSourcesExhausted>(reason) : nullptr;
    return all ? &all->errors : nullptr;
}

// Answers retry as many times as scripted, then stop, writing down each retried count it was shown.
class ScriptedRetry final : public RetryStrategy {
public:
    explicit ScriptedRetry(int retries) : retries_(retries) {}
    void retry(const std::shared_ptr<RetryContext>& context, std::function<void(RetryDecision)> handler) const override {
        std::size_t asked;
        {
            std::lock_guard guard(lock_);
            counts.push_back(context->retriedCount);
            asked = counts.size();
        }
        handler(static_cast<int>(asked) <= retries_ ? RetryDecision::retry() : RetryDecision::stop());
    }
    mutable std::vector<int> counts;

private:
    int retries_;
    mutable std::mutex lock_;
};

class PicturaManagerTest : public testing::RetrievalFixture {};

TEST_F(PicturaManagerTest, aDownloadIsServedFromMemoryThenFromDiskWithoutLoadingAgain) {
    const auto source = network("/image/a");
    auto first = retrieve(source, {Item::waitForCache()});
    ASSERT_TRUE(first) << first.error();
    EXPECT_EQ(first->cacheType, CacheType::none);
    EXPECT_EQ(first->data(), server.picture);
    EXPECT_EQ(first->originalSource, source);

    auto memory = retrieve(source);
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->cacheType, CacheType::memory);

    cache->clearMemoryCache();
    auto disk = retrieve(source);
    ASSERT_TRUE(disk);
    EXPECT_EQ(disk->cacheType, CacheType::disk);
    EXPECT_EQ(disk->image->pixelWidth(), 16);
    EXPECT_EQ(server.hits("/image/a"), 1);

    // Forced: loaded again and stored again, even with onlyFromCache, which is read only after a look-up.
    auto forced = retrieve(source, {Item::forceRefresh(), Item::onlyFromCache()});
    ASSERT_TRUE(forced);
    EXPECT_EQ(forced->cacheType, CacheType::none);
    EXPECT_EQ(server.hits("/image/a"), 2);
}

TEST_F(PicturaManagerTest, fromMemoryOrRefreshLoadsAgainWhatOnlyTheDiskHolds) {
    const auto source = network("/image/b");
    ASSERT_TRUE(retrieve(source, {Item::waitForCache()}));
    cache->clearMemoryCache();
    auto refreshed = retrieve(source, {Item::fromMemoryCacheOrRefresh()});
    ASSERT_TRUE(refreshed);
    EXPECT_EQ(refreshed->cacheType, CacheType::none);
    EXPECT_EQ(server.hits("/image/b"), 2);
    auto memory = retrieve(source, {Item::fromMemoryCacheOrRefresh()});
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->cacheType, CacheType::memory);
}

TEST_F(PicturaManagerTest, processedImagesKeepTheirOriginalForOtherProcessors) {
    const auto source = network("/image/c");
    const auto key = source.cacheKey();
    auto runsP = std::make_shared<std::atomic<int>>(0);
    auto runsQ = std::make_shared<std::atomic<int>>(0);
    auto p = std::make_shared<CountingProcessor>("P", runsP);
    auto q = std::make_shared<CountingProcessor>("Q", runsQ);

    // The processed image in memory only; the original bytes on disk all the same.
    ASSERT_TRUE(retrieve(source, {Item::processor(p), Item::cacheOriginalImage(), Item::cacheMemoryOnly(),
                                  Item::waitForCache()}));
    EXPECT_EQ(cache->imageCachedType(key, "P"), CacheType::memory);
    EXPECT_EQ(cache->imageCachedType(key, ""), CacheType::disk);

    auto reprocessed = retrieve(source, {Item::processor(q), Item::waitForCache()});
    ASSERT_TRUE(reprocessed) << reprocessed.error();
    EXPECT_EQ(reprocessed->cacheType, CacheType::none);
    EXPECT_EQ(runsQ->load(), 1);
    EXPECT_EQ(server.hits("/image/c"), 1);
    EXPECT_EQ(cache->imageCachedType(key, "Q"), CacheType::memory);
    cache->clearMemoryCache();
    EXPECT_EQ(cache->imageCachedType(key, "Q"), CacheType::disk);

    // With the default processor there is no original apart from the image itself.
    ASSERT_TRUE(retrieve(network("/image/d"), {Item::cacheOriginalImage(), Item::waitForCache()}));
    EXPECT_EQ(server.hits("/image/d"), 1);
}

TEST_F(PicturaManagerTest, aNullProcessorOrSerializerTakesTheDefault) {
    PicturaParsedOptionsInfo options({Item::targetCache(cache), Item::downloader(downloader), Item::waitForCache()});
    options.processor = nullptr;
    options.cacheSerializer = nullptr;
    const auto source = network("/image/null");
    std::optional<PicturaManager::RetrieveResult> result;
    manager->retrieveImage(source, options, nullptr, nullptr, [&](PicturaManager::RetrieveResult done) { result = done; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(result->has_value());
    EXPECT_EQ(cache->imageCachedType(source.cacheKey(), ""), CacheType::memory);
}

TEST_F(PicturaManagerTest, anOriginalThatGivesNoImageIsLoadedAgain) {
    const auto source = network("/image/e");
    std::atomic<bool> stored = false;
    cache->storeToDisk(foundation::Data::fromString("not a picture"), source.cacheKey(), "", std::nullopt,
                       CallbackQueue::untouch(), [&](CacheStoreResult) { stored = true; });
    ASSERT_TRUE(waitUntil([&] { return stored.load(); }));
    auto runs = std::make_shared<std::atomic<int>>(0);
    auto result = retrieve(source, {Item::processor(std::make_shared<CountingProcessor>("P", runs))});
    ASSERT_TRUE(result) << result.error();
    EXPECT_EQ(result->cacheType, CacheType::none);
    EXPECT_EQ(runs->load(), 1);
    EXPECT_EQ(server.hits("/image/e"), 1);
}

TEST_F(PicturaManagerTest, onlyFromCacheMissesEverySourceAndNamesThemInOrder) {
    const auto main = network("/image/f");
    auto single = retrieve(main, {Item::onlyFromCache()});
    EXPECT_EQ(notExistingKey(single), main.cacheKey());

    const std::vector<Source> alternatives{network("/image/g"), network("/image/h")};
    int updates = 0;
    std::optional<PicturaManager::RetrieveResult> outcome;
    auto task = manager->retrieveImage(main, PicturaOptionsInfo{Item::onlyFromCache(), Item::alternativeSources(alternatives),
                                                                Item::callbackQueue(CallbackQueue::untouch())},
                                       nullptr, [&](std::optional<DownloadTask>) { ++updates; },
                                       [&](PicturaManager::RetrieveResult result) { outcome = std::move(result); });
    // Everything happened before the call returned.
    EXPECT_FALSE(task);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(updates, 2);
    const auto* errors = exhausted(*outcome);
    ASSERT_TRUE(errors);
    ASSERT_EQ(errors->size(), 3u);
    EXPECT_EQ((*errors)[0].source, main);
    EXPECT_EQ((*errors)[1].source, alternatives[0]);
    EXPECT_EQ((*errors)[2].source, alternatives[1]);
    EXPECT_EQ(server.hits("/image/f") + server.hits("/image/g") + server.hits("/image/h"), 0);
}

TEST_F(PicturaManagerTest, retriesRestartTheFirstSourceBeforeTheAlternatives) {
    const auto main = network("/status/500");
    const auto alternative = network("/image/i");
    auto strategy = std::make_shared<ScriptedRetry>(2);
    int updates = 0;
    std::optional<PicturaManager::RetrieveResult> outcome;
    manager->retrieveImage(main, PicturaOptionsInfo{Item::retryStrategy(strategy), Item::alternativeSources({alternative})},
                           nullptr, [&](std::optional<DownloadTask> task) { updates += task ? 1 : 100; },
                           [&](PicturaManager::RetrieveResult result) { outcome = std::move(result); });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    ASSERT_TRUE(*outcome) << outcome->error();
    EXPECT_EQ((*outcome)->source, alternative);
    EXPECT_EQ((*outcome)->originalSource, main);
    EXPECT_EQ(server.hits("/status/500"), 3);
    EXPECT_EQ(strategy->counts, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(updates, 3);  // two retries and the alternative, each with its download
}

TEST_F(PicturaManagerTest, failingSourcesReportEachFailureOrTheOnlyOne) {
    const auto main = network("/status/404");
    auto all = retrieve(main, {Item::alternativeSources({network("/status/500"), network("/status/503")})});
    const auto* errors = exhausted(all);
    ASSERT_TRUE(errors);
    ASSERT_EQ(errors->size(), 3u);
    EXPECT_TRUE((*errors)[0].error.isInvalidResponseStatusCode(404));
    EXPECT_TRUE((*errors)[1].error.isInvalidResponseStatusCode(500));
    EXPECT_TRUE((*errors)[2].error.isInvalidResponseStatusCode(503));

    // An empty list is no list: the error passes through as it is.
    auto alone = retrieve(main, {Item::alternativeSources({})});
    ASSERT_FALSE(alone);
    EXPECT_TRUE(alone.error().isInvalidResponseStatusCode(404));
}

TEST_F(PicturaManagerTest, everyCompletionRunsOnTheCallersQueue) {
    auto queue = dispatch::Queue::serial("caller");
    auto onCaller = [&](const Source& source, PicturaOptionsInfo items) {
        items.push_back(Item::callbackQueue(CallbackQueue::dispatch(queue)));
        std::atomic<int> where = 0;  // 1 on the caller's queue, 2 elsewhere
        manager->retrieveImage(source, items, nullptr, nullptr,
                               [&](PicturaManager::RetrieveResult) { where = queue->isCurrent() ? 1 : 2; });
        EXPECT_TRUE(waitUntil([&] { return where != 0; }));
        return where.load();
    };
    auto runs = std::make_shared<std::atomic<int>>(0);
    auto processor = std::make_shared<CountingProcessor>("P", runs);
    // Waiting for the original's disk write, which reports on the cache's own queue.
    EXPECT_EQ(onCaller(network("/image/j"), {Item::processor(processor), Item::cacheOriginalImage(), Item::waitForCache()}), 1);
    EXPECT_EQ(onCaller(network("/image/j"), {Item::processor(processor)}), 1);                       // memory hit
    EXPECT_EQ(onCaller(network("/image/k"), {Item::onlyFromCache()}), 1);                            // miss at once
    EXPECT_EQ(onCaller(network("/status/500"),                                                      // a delayed retry
                       {Item::retryStrategy(std::make_shared<DelayRetryStrategy>(
                           1, DelayRetryStrategy::Interval::seconds(0.01)))}), 1);
    EXPECT_EQ(server.hits("/status/500"), 2);
}

// A transfer that the network refuses because it is constrained (the low-data mode), for a host of
// its own, counting the requests.
struct ConstrainedHost {
    explicit ConstrainedHost(const std::shared_ptr<ImageDownloader>& downloader) {
        auto configuration = downloader->sessionConfiguration();
        configuration.protocols = registry;
        registry->registerHandler("constrained.test", [requests = requests](const net::Request& request) {
            ++*requests;
            net::URLError error(net::URLError::notConnectedToInternet, request.url->absoluteString());
            error.networkUnavailableReason = net::URLError::NetworkUnavailableReason::constrained;
            return std::expected<net::ProtocolAnswer, net::URLError>(std::unexpected(error));
        });
        downloader->setSessionConfiguration(configuration);
    }
    static Source source(const std::string& name) {
        return Source::network(ImageResource(*foundation::URL::fromString("http://constrained.test/" + name)));
    }
    std::shared_ptr<net::ProtocolRegistry> registry = std::make_shared<net::ProtocolRegistry>();
    std::shared_ptr<std::atomic<int>> requests = std::make_shared<std::atomic<int>>(0);
};

TEST_F(PicturaManagerTest, aConstrainedNetworkRestartsOnceWithTheLowDataSourceAndNoMore) {
    ConstrainedHost host(downloader);
    // The low-data source loads: its image, recorded as from that source.
    const auto small = network("/image/small");
    auto served = retrieve(host.source("a.png"), {Item::lowDataMode(small)});
    ASSERT_TRUE(served) << served.error();
    EXPECT_EQ(served->source, small);
    EXPECT_EQ(served->originalSource, host.source("a.png"));
    EXPECT_EQ(host.requests->load(), 1);

    // Refused too: one restart, then the constrained failure itself (2003), nothing recorded besides.
    auto refused = retrieve(host.source("b.png"), {Item::lowDataMode(host.source("b-small.png")),
                                                   Item::alternativeSources({})});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().errorCode(), 2003);
    EXPECT_TRUE(refused.error().isConstrainedNetworkError());
    EXPECT_EQ(host.requests->load(), 3);

    // Without a low-data source: no restart.
    auto plain = retrieve(host.source("c.png"));
    ASSERT_FALSE(plain);
    EXPECT_EQ(plain.error().errorCode(), 2003);
    EXPECT_EQ(host.requests->load(), 4);
}

// Hands over its error.
class FailingProvider final : public ImageDataProvider {
public:
    std::string cacheKey() const override { return "failing-provider"; }
    void data(Handler handler) const override { handler(std::unexpected(AnyError(std::runtime_error("unreadable")))); }
};

TEST_F(PicturaManagerTest, aProviderThatFailsEndsWithItsErrorAndCachesNothing) {
    auto provider = std::make_shared<FailingProvider>();
    auto result = retrieve(Source::provider(provider));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().errorCode(), 5003);
    const auto* reason = result.error().imageSettingErrorReason();
    const auto* failed = reason ? std::get_if<PicturaError::DataProviderError>(reason) : nullptr;
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->provider, provider);
    EXPECT_EQ(cache->imageCachedType("failing-provider"), CacheType::none);
}

TEST_F(PicturaManagerTest, anImageModifierChangesWhatTheCallerGetsNeverWhatIsStored) {
    const auto replacement = testing::gradientImage(3, 3);
    auto modifier = std::make_shared<AnyImageModifier>([replacement](const std::shared_ptr<gfx::Image>&) { return replacement; });
    const auto source = network("/image/modified");
    auto loaded = retrieve(source, {Item::imageModifier(modifier), Item::waitForCache()});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->image, replacement);
    EXPECT_EQ(loaded->data(), server.picture);

    auto memory = retrieve(source, {Item::imageModifier(modifier)});
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->cacheType, CacheType::memory);
    EXPECT_EQ(memory->image, replacement);
    auto unmodified = retrieve(source);
    ASSERT_TRUE(unmodified);
    EXPECT_EQ(unmodified->image->pixelWidth(), 16);
    cache->clearMemoryCache();
    auto disk = retrieve(source);
    ASSERT_TRUE(disk);
    EXPECT_EQ(disk->cacheType, CacheType::disk);
    EXPECT_EQ(disk->image->pixelWidth(), 16);
    EXPECT_EQ(server.hits("/image/modified"), 1);
}

}  // namespace
}  // namespace pictura
