#include "pictura/PicturaOptions.h"

namespace pictura {

PicturaParsedOptionsInfo::PicturaParsedOptionsInfo(const std::vector<PicturaOptionsInfoItem>& items) {
    for (const auto& item : items) item.apply(*this);
    if (!originalCache) originalCache = targetCache;
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::targetCache(std::shared_ptr<ImageCache> cache) {
    return {Kind::targetCache, [cache = std::move(cache)](PicturaParsedOptionsInfo& options) { options.targetCache = cache; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::originalCache(std::shared_ptr<ImageCache> cache) {
    return {Kind::originalCache, [cache = std::move(cache)](PicturaParsedOptionsInfo& options) { options.originalCache = cache; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::downloader(std::shared_ptr<ImageDownloader> downloader) {
    return {Kind::downloader, [downloader = std::move(downloader)](PicturaParsedOptionsInfo& options) { options.downloader = downloader; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::transition(ImageTransition transition) {
    return {Kind::transition, [transition = std::move(transition)](PicturaParsedOptionsInfo& options) { options.transition = transition; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::downloadPriority(float priority) {
    return {Kind::downloadPriority, [priority = std::move(priority)](PicturaParsedOptionsInfo& options) { options.downloadPriority = priority; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::callbackQueue(CallbackQueue queue) {
    return {Kind::callbackQueue, [queue = std::move(queue)](PicturaParsedOptionsInfo& options) { options.callbackQueue = queue; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::scaleFactor(double scale) {
    return {Kind::scaleFactor, [scale = std::move(scale)](PicturaParsedOptionsInfo& options) { options.scaleFactor = scale; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::requestModifier(std::shared_ptr<const AsyncImageDownloadRequestModifier> modifier) {
    return {Kind::requestModifier, [modifier = std::move(modifier)](PicturaParsedOptionsInfo& options) { options.requestModifier = modifier; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::redirectHandler(std::shared_ptr<const ImageDownloadRedirectHandler> handler) {
    return {Kind::redirectHandler, [handler = std::move(handler)](PicturaParsedOptionsInfo& options) { options.redirectHandler = handler; }};
}

// None given means the default, as when the item is left out: every user of the options relies on one.
PicturaOptionsInfoItem PicturaOptionsInfoItem::processor(std::shared_ptr<const ImageProcessor> processor) {
    if (!processor) processor = DefaultImageProcessor::defaultProcessor();
    return {Kind::processor, [processor = std::move(processor)](PicturaParsedOptionsInfo& options) { options.processor = processor; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::cacheSerializer(std::shared_ptr<const CacheSerializer> serializer) {
    if (!serializer) serializer = DefaultCacheSerializer::defaultSerializer();
    return {Kind::cacheSerializer, [serializer = std::move(serializer)](PicturaParsedOptionsInfo& options) { options.cacheSerializer = serializer; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::imageModifier(std::shared_ptr<const ImageModifier> modifier) {
    return {Kind::imageModifier, [modifier = std::move(modifier)](PicturaParsedOptionsInfo& options) { options.imageModifier = modifier; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::onFailureImage(std::shared_ptr<gfx::Image> image) {
    return {Kind::onFailureImage, [image = std::move(image)](PicturaParsedOptionsInfo& options) { options.onFailureImage = image; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::diskStoreWriteOptions(foundation::WriteOptions writeOptions) {
    return {Kind::diskStoreWriteOptions, [writeOptions](PicturaParsedOptionsInfo& options) { options.diskStoreWriteOptions = writeOptions; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::memoryCacheExpiration(StorageExpiration expiration) {
    return {Kind::memoryCacheExpiration, [expiration = std::move(expiration)](PicturaParsedOptionsInfo& options) { options.memoryCacheExpiration = expiration; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::memoryCacheAccessExtendingExpiration(ExpirationExtending extending) {
    return {Kind::memoryCacheAccessExtendingExpiration, [extending = std::move(extending)](PicturaParsedOptionsInfo& options) { options.memoryCacheAccessExtendingExpiration = extending; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::diskCacheExpiration(StorageExpiration expiration) {
    return {Kind::diskCacheExpiration, [expiration = std::move(expiration)](PicturaParsedOptionsInfo& options) { options.diskCacheExpiration = expiration; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::diskCacheAccessExtendingExpiration(ExpirationExtending extending) {
    return {Kind::diskCacheAccessExtendingExpiration, [extending = std::move(extending)](PicturaParsedOptionsInfo& options) { options.diskCacheAccessExtendingExpiration = extending; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::processingQueue(CallbackQueue queue) {
    return {Kind::processingQueue, [queue = std::move(queue)](PicturaParsedOptionsInfo& options) { options.processingQueue = queue; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::progressiveJPEG(ImageProgressive progressive) {
    return {Kind::progressiveJPEG, [progressive = std::move(progressive)](PicturaParsedOptionsInfo& options) { options.progressiveJPEG = progressive; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::alternativeSources(std::vector<Source> sources) {
    return {Kind::alternativeSources, [sources = std::move(sources)](PicturaParsedOptionsInfo& options) { options.alternativeSources = sources; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::retryStrategy(std::shared_ptr<const RetryStrategy> strategy) {
    return {Kind::retryStrategy, [strategy = std::move(strategy)](PicturaParsedOptionsInfo& options) { options.retryStrategy = strategy; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::lowDataMode(std::optional<Source> source) {
    return {Kind::lowDataMode, [source = std::move(source)](PicturaParsedOptionsInfo& options) { options.lowDataModeSource = source; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::imagePixelLimit(std::int64_t pixels) {
    return {Kind::imagePixelLimit, [pixels](PicturaParsedOptionsInfo& options) { options.imagePixelLimit = pixels; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::forceRefresh() {
    return {Kind::forceRefresh, [](PicturaParsedOptionsInfo& options) { options.forceRefresh = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::fromMemoryCacheOrRefresh() {
    return {Kind::fromMemoryCacheOrRefresh, [](PicturaParsedOptionsInfo& options) { options.fromMemoryCacheOrRefresh = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::forceTransition() {
    return {Kind::forceTransition, [](PicturaParsedOptionsInfo& options) { options.forceTransition = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::cacheMemoryOnly() {
    return {Kind::cacheMemoryOnly, [](PicturaParsedOptionsInfo& options) { options.cacheMemoryOnly = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::waitForCache() {
    return {Kind::waitForCache, [](PicturaParsedOptionsInfo& options) { options.waitForCache = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::onlyFromCache() {
    return {Kind::onlyFromCache, [](PicturaParsedOptionsInfo& options) { options.onlyFromCache = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::backgroundDecode() {
    return {Kind::backgroundDecode, [](PicturaParsedOptionsInfo& options) { options.backgroundDecode = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::preloadAllAnimationData() {
    return {Kind::preloadAllAnimationData, [](PicturaParsedOptionsInfo& options) { options.preloadAllAnimationData = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::keepCurrentImageWhileLoading() {
    return {Kind::keepCurrentImageWhileLoading, [](PicturaParsedOptionsInfo& options) { options.keepCurrentImageWhileLoading = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::onlyLoadFirstFrame() {
    return {Kind::onlyLoadFirstFrame, [](PicturaParsedOptionsInfo& options) { options.onlyLoadFirstFrame = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::cacheOriginalImage() {
    return {Kind::cacheOriginalImage, [](PicturaParsedOptionsInfo& options) { options.cacheOriginalImage = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::alsoPrefetchToMemory() {
    return {Kind::alsoPrefetchToMemory, [](PicturaParsedOptionsInfo& options) { options.alsoPrefetchToMemory = true; }};
}

PicturaOptionsInfoItem PicturaOptionsInfoItem::loadDiskFileSynchronously() {
    return {Kind::loadDiskFileSynchronously, [](PicturaParsedOptionsInfo& options) { options.loadDiskFileSynchronously = true; }};
}

}  // namespace pictura
