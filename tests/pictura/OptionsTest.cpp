#include <gtest/gtest.h>

#include "pictura/ImageDataProviders.h"
#include "pictura/PicturaOptions.h"

namespace pictura {
namespace {

// Stands for a cache: the options only hold the reference, so only its identity matters here.
std::shared_ptr<ImageCache> cacheIdentity() {
    auto owner = std::make_shared<int>(0);
    return std::shared_ptr<ImageCache>(owner, reinterpret_cast<ImageCache*>(owner.get()));
}

using Item = PicturaOptionsInfoItem;

struct NamedProcessor final : ImageProcessor {
    explicit NamedProcessor(std::string name) : name(std::move(name)) {}
    std::string identifier() const override { return name; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem&, const PicturaParsedOptionsInfo&) const override {
        return nullptr;
    }
    std::string name;
};

Source rawSource(const char* key) { return Source::provider(std::make_shared<RawImageDataProvider>(foundation::Data(), key)); }

TEST(ParsedOptions, anEmptyListGivesEveryDefault) {
    PicturaParsedOptionsInfo options(PicturaOptionsInfo{});
    EXPECT_FALSE(options.targetCache);
    EXPECT_FALSE(options.originalCache);
    EXPECT_FALSE(options.downloader);
    EXPECT_EQ(options.transition.kind, ImageTransition::Kind::none);
    EXPECT_EQ(options.downloadPriority, net::SessionTask::defaultPriority);
    EXPECT_FALSE(options.forceRefresh || options.fromMemoryCacheOrRefresh || options.forceTransition ||
                 options.cacheMemoryOnly || options.waitForCache || options.onlyFromCache || options.backgroundDecode ||
                 options.preloadAllAnimationData || options.keepCurrentImageWhileLoading || options.onlyLoadFirstFrame ||
                 options.cacheOriginalImage || options.alsoPrefetchToMemory || options.loadDiskFileSynchronously);
    EXPECT_EQ(options.callbackQueue, CallbackQueue::mainCurrentOrAsync());
    EXPECT_EQ(options.scaleFactor, 1.0);
    EXPECT_EQ(options.processor, DefaultImageProcessor::defaultProcessor());
    EXPECT_EQ(options.processor->identifier(), "");
    EXPECT_FALSE(options.onFailureImage.has_value());
    EXPECT_FALSE(options.diskStoreWriteOptions.atomic || options.diskStoreWriteOptions.withoutOverwriting);
    EXPECT_FALSE(options.memoryCacheExpiration || options.diskCacheExpiration);
    EXPECT_EQ(options.memoryCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
    EXPECT_EQ(options.diskCacheAccessExtendingExpiration, ExpirationExtending::cacheTime());
    EXPECT_FALSE(options.processingQueue || options.progressiveJPEG || options.alternativeSources ||
                 options.lowDataModeSource || options.onDataReceived);
    EXPECT_FALSE(options.requestModifier || options.redirectHandler || options.imageModifier || options.retryStrategy);
}

TEST(ParsedOptions, originalCacheFallsBackToTheTargetCacheUnlessGiven) {
    auto a = cacheIdentity();
    auto b = cacheIdentity();
    PicturaParsedOptionsInfo targetOnly({Item::targetCache(a)});
    EXPECT_EQ(targetOnly.targetCache, a);
    EXPECT_EQ(targetOnly.originalCache, a);
    PicturaParsedOptionsInfo both({Item::originalCache(b), Item::targetCache(a)});
    EXPECT_EQ(both.targetCache, a);
    EXPECT_EQ(both.originalCache, b);
}

TEST(ParsedOptions, theLastItemOfAKindWinsAndFlagsOnlyTurnOn) {
    auto p = std::make_shared<NamedProcessor>("P");
    auto q = std::make_shared<NamedProcessor>("Q");
    PicturaParsedOptionsInfo options({Item::processor(p), Item::forceRefresh(), Item::scaleFactor(2),
                                      Item::processor(q), Item::forceRefresh(), Item::scaleFactor(3)});
    EXPECT_EQ(options.processor, q);
    EXPECT_TRUE(options.forceRefresh);
    EXPECT_EQ(options.scaleFactor, 3);
}

TEST(ParsedOptions, anAbsentLowDataSourceClearsAnEarlierOne) {
    PicturaParsedOptionsInfo cleared({Item::lowDataMode(rawSource("s")), Item::lowDataMode(std::nullopt)});
    EXPECT_FALSE(cleared.lowDataModeSource);
    PicturaParsedOptionsInfo kept({Item::lowDataMode(rawSource("s"))});
    ASSERT_TRUE(kept.lowDataModeSource);
    EXPECT_EQ(kept.lowDataModeSource->cacheKey(), "s");
}

TEST(ParsedOptions, aFailureImageOfNothingIsPresent) {
    PicturaParsedOptionsInfo options({Item::onFailureImage(nullptr)});
    ASSERT_TRUE(options.onFailureImage.has_value());
    EXPECT_EQ(*options.onFailureImage, nullptr);
}

TEST(ParsedOptions, everyItemSetsItsOwnField) {
    auto queue = dispatch::Queue::serial("pictura.test.options");
    auto modifier = std::make_shared<AnyModifier>([](net::Request request) { return request; });
    auto redirect = std::make_shared<AnyRedirectHandler>([](auto&&...) {});
    auto imageModifier = std::make_shared<FlipsForRightToLeftLayoutDirectionImageModifier>();
    auto retry = std::make_shared<DelayRetryStrategy>(2, DelayRetryStrategy::Interval::seconds(1));
    ImageProgressive progressive;
    progressive.isBlur = false;
    PicturaParsedOptionsInfo options({
        Item::transition(ImageTransition::fade(0.3)), Item::downloadPriority(0.9f), Item::fromMemoryCacheOrRefresh(),
        Item::forceTransition(), Item::cacheMemoryOnly(), Item::waitForCache(), Item::onlyFromCache(),
        Item::backgroundDecode(), Item::callbackQueue(CallbackQueue::dispatch(queue)), Item::preloadAllAnimationData(),
        Item::requestModifier(modifier), Item::redirectHandler(redirect), Item::imageModifier(imageModifier),
        Item::keepCurrentImageWhileLoading(), Item::onlyLoadFirstFrame(), Item::cacheOriginalImage(),
        Item::alsoPrefetchToMemory(), Item::loadDiskFileSynchronously(),
        Item::diskStoreWriteOptions({.atomic = true}), Item::memoryCacheExpiration(StorageExpiration::seconds(5)),
        Item::memoryCacheAccessExtendingExpiration(ExpirationExtending::none()),
        Item::diskCacheExpiration(StorageExpiration::days(2)),
        Item::diskCacheAccessExtendingExpiration(ExpirationExtending::expirationTime(StorageExpiration::never())),
        Item::processingQueue(CallbackQueue::untouch()), Item::progressiveJPEG(progressive),
        Item::alternativeSources({rawSource("alt")}), Item::retryStrategy(retry),
    });
    EXPECT_EQ(options.transition.kind, ImageTransition::Kind::fade);
    EXPECT_EQ(options.transition.duration, 0.3);
    EXPECT_EQ(options.downloadPriority, 0.9f);
    EXPECT_TRUE(options.fromMemoryCacheOrRefresh && options.forceTransition && options.cacheMemoryOnly &&
                options.waitForCache && options.onlyFromCache && options.backgroundDecode &&
                options.preloadAllAnimationData && options.keepCurrentImageWhileLoading && options.onlyLoadFirstFrame &&
                options.cacheOriginalImage && options.alsoPrefetchToMemory && options.loadDiskFileSynchronously);
    EXPECT_FALSE(options.forceRefresh);
    EXPECT_EQ(options.callbackQueue.queue(), queue);
    EXPECT_EQ(options.requestModifier, modifier);
    EXPECT_EQ(options.redirectHandler, redirect);
    EXPECT_EQ(options.imageModifier, imageModifier);
    EXPECT_TRUE(options.diskStoreWriteOptions.atomic);
    EXPECT_EQ(options.memoryCacheExpiration, StorageExpiration::seconds(5));
    EXPECT_EQ(options.memoryCacheAccessExtendingExpiration, ExpirationExtending::none());
    EXPECT_EQ(options.diskCacheExpiration, StorageExpiration::days(2));
    EXPECT_EQ(options.diskCacheAccessExtendingExpiration, ExpirationExtending::expirationTime(StorageExpiration::never()));
    EXPECT_EQ(options.processingQueue, CallbackQueue::untouch());
    ASSERT_TRUE(options.progressiveJPEG);
    EXPECT_FALSE(options.progressiveJPEG->isBlur);
    EXPECT_EQ(options.progressiveJPEG->onImageUpdated, progressive.onImageUpdated);  // copies share the delegate
    ASSERT_TRUE(options.alternativeSources);
    EXPECT_EQ(options.alternativeSources->front().cacheKey(), "alt");
    EXPECT_EQ(options.retryStrategy, retry);
    EXPECT_FALSE(options.onDataReceived);  // no item sets it
}

TEST(ParsedOptions, eachItemReportsItsKind) {
    EXPECT_EQ(Item::forceRefresh().kind(), Item::Kind::forceRefresh);
    EXPECT_EQ(Item::lowDataMode(std::nullopt).kind(), Item::Kind::lowDataMode);
    EXPECT_EQ(Item::processor(nullptr).kind(), Item::Kind::processor);
}

TEST(ImageProgressiveTest, eachNewValueHasItsOwnEmptyDelegate) {
    ImageProgressive first;
    ImageProgressive second;
    EXPECT_NE(first.onImageUpdated, second.onImageUpdated);
    EXPECT_EQ(first.onImageUpdated->call(nullptr), std::nullopt);
}

}  // namespace
}  // namespace pictura
