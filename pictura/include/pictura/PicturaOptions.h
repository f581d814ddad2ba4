#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "foundation/Data.h"
#include "foundation/FileManager.h"
#include "gfx/Image.h"
#include "net/SessionTask.h"
#include "pictura/CacheSerializer.h"
#include "pictura/CallbackQueue.h"
#include "pictura/ImageCreating.h"
#include "pictura/ImageModifier.h"
#include "pictura/ImageProcessor.h"
#include "pictura/ImageProgressive.h"
#include "pictura/ImageTransition.h"
#include "pictura/RedirectHandler.h"
#include "pictura/RequestModifier.h"
#include "pictura/RetryStrategy.h"
#include "pictura/Source.h"
#include "pictura/StorageExpiration.h"

namespace net {
class Session;
}

namespace pictura {

class ImageCache;
class ImageDownloader;
class CacheSerializer;
class SessionDataTask;
class PicturaOptionsInfoItem;

// Told about every chunk a download receives (progress reporting, progressive display). Shared
// objects: a retrieval replaces `onShouldApply` in place.
class DataReceivingSideEffect {
public:
    virtual ~DataReceivingSideEffect() = default;
    std::function<bool()> onShouldApply = [] { return true; };
    virtual void onDataReceived(const std::shared_ptr<net::Session>& session, const SessionDataTask& task,
                                const foundation::Data& data) = 0;
};

// The settings of one operation, parsed once at its entry from a list of items and then copied along.
struct PicturaParsedOptionsInfo {
    std::shared_ptr<ImageCache> targetCache;
    // Absent after parsing only when targetCache is absent too.
    std::shared_ptr<ImageCache> originalCache;
    std::shared_ptr<ImageDownloader> downloader;
    ImageTransition transition;
    float downloadPriority = net::SessionTask::defaultPriority;
    bool forceRefresh = false;
    bool fromMemoryCacheOrRefresh = false;
    bool forceTransition = false;
    bool cacheMemoryOnly = false;
    bool waitForCache = false;
    bool onlyFromCache = false;
    bool backgroundDecode = false;
    bool preloadAllAnimationData = false;
    CallbackQueue callbackQueue = CallbackQueue::mainCurrentOrAsync();
    double scaleFactor = 1.0;
    std::shared_ptr<const AsyncImageDownloadRequestModifier> requestModifier;
    std::shared_ptr<const ImageDownloadRedirectHandler> redirectHandler;
    std::shared_ptr<const ImageProcessor> processor = DefaultImageProcessor::defaultProcessor();
    std::shared_ptr<const ImageModifier> imageModifier;
    std::shared_ptr<const CacheSerializer> cacheSerializer = DefaultCacheSerializer::defaultSerializer();
    bool keepCurrentImageWhileLoading = false;
    bool onlyLoadFirstFrame = false;
    bool cacheOriginalImage = false;
    // Present holding null (a failure clears the target's image) differs from absent.
    std::optional<std::shared_ptr<gfx::Image>> onFailureImage;
    bool alsoPrefetchToMemory = false;
    bool loadDiskFileSynchronously = false;
    foundation::WriteOptions diskStoreWriteOptions;
    std::optional<StorageExpiration> memoryCacheExpiration;
    ExpirationExtending memoryCacheAccessExtendingExpiration = ExpirationExtending::cacheTime();
    std::optional<StorageExpiration> diskCacheExpiration;
    ExpirationExtending diskCacheAccessExtendingExpiration = ExpirationExtending::cacheTime();
    std::optional<CallbackQueue> processingQueue;
    std::optional<ImageProgressive> progressiveJPEG;
    std::optional<std::vector<Source>> alternativeSources;
    std::shared_ptr<const RetryStrategy> retryStrategy;
    std::optional<Source> lowDataModeSource;
    std::optional<std::vector<std::shared_ptr<DataReceivingSideEffect>>> onDataReceived;
    // Pictures of this many pixels or more (every frame of an animation counted) are refused from their
    // headers, wherever bytes become an image: downloads, data providers, cache reads. A processor that
    // asks for a size decodes the picture to it instead where the decoder can (JPEG, WebP).
    std::int64_t imagePixelLimit = defaultImagePixelLimit;

    PicturaParsedOptionsInfo() = default;
    // Defaults, then each item in order (the last of a kind wins), then originalCache falls back to
    // targetCache.
    explicit PicturaParsedOptionsInfo(const std::vector<PicturaOptionsInfoItem>& items);

    // How bytes become images under these options: at `scaleFactor`, the GIF durations as stored,
    // frames as the two animation flags say, within `imagePixelLimit`.
    ImageCreatingOptions imageCreatingOptions() const {
        return {.scale = scaleFactor, .duration = 0.0, .preloadAll = preloadAllAnimationData,
                .onlyFirstFrame = onlyLoadFirstFrame, .pixelLimit = imagePixelLimit};
    }
};

// One setting of a retrieval. Each item sets one field of the parsed options; a flag item sets its
// flag, and no item turns a flag off.
class PicturaOptionsInfoItem {
public:
    enum class Kind {
        targetCache, originalCache, downloader, transition, downloadPriority, forceRefresh,
        fromMemoryCacheOrRefresh, forceTransition, cacheMemoryOnly, waitForCache, onlyFromCache,
        backgroundDecode, callbackQueue, scaleFactor, preloadAllAnimationData, requestModifier,
        redirectHandler, processor, cacheSerializer, imageModifier, keepCurrentImageWhileLoading,
        onlyLoadFirstFrame, cacheOriginalImage, onFailureImage, alsoPrefetchToMemory,
        loadDiskFileSynchronously, diskStoreWriteOptions, memoryCacheExpiration,
        memoryCacheAccessExtendingExpiration, diskCacheExpiration, diskCacheAccessExtendingExpiration,
        processingQueue, progressiveJPEG, alternativeSources, retryStrategy, lowDataMode, imagePixelLimit,
    };

    static PicturaOptionsInfoItem targetCache(std::shared_ptr<ImageCache> cache);
    static PicturaOptionsInfoItem originalCache(std::shared_ptr<ImageCache> cache);
    static PicturaOptionsInfoItem downloader(std::shared_ptr<ImageDownloader> downloader);
    static PicturaOptionsInfoItem transition(ImageTransition transition);
    static PicturaOptionsInfoItem downloadPriority(float priority);
    static PicturaOptionsInfoItem forceRefresh();
    static PicturaOptionsInfoItem fromMemoryCacheOrRefresh();
    static PicturaOptionsInfoItem forceTransition();
    static PicturaOptionsInfoItem cacheMemoryOnly();
    static PicturaOptionsInfoItem waitForCache();
    static PicturaOptionsInfoItem onlyFromCache();
    static PicturaOptionsInfoItem backgroundDecode();
    static PicturaOptionsInfoItem callbackQueue(CallbackQueue queue);
    static PicturaOptionsInfoItem scaleFactor(double scale);
    static PicturaOptionsInfoItem preloadAllAnimationData();
    static PicturaOptionsInfoItem requestModifier(std::shared_ptr<const AsyncImageDownloadRequestModifier> modifier);
    static PicturaOptionsInfoItem redirectHandler(std::shared_ptr<const ImageDownloadRedirectHandler> handler);
    static PicturaOptionsInfoItem processor(std::shared_ptr<const ImageProcessor> processor);
    static PicturaOptionsInfoItem cacheSerializer(std::shared_ptr<const CacheSerializer> serializer);
    static PicturaOptionsInfoItem imageModifier(std::shared_ptr<const ImageModifier> modifier);
    static PicturaOptionsInfoItem keepCurrentImageWhileLoading();
    static PicturaOptionsInfoItem onlyLoadFirstFrame();
    static PicturaOptionsInfoItem cacheOriginalImage();
    static PicturaOptionsInfoItem onFailureImage(std::shared_ptr<gfx::Image> image);
    static PicturaOptionsInfoItem alsoPrefetchToMemory();
    static PicturaOptionsInfoItem loadDiskFileSynchronously();
    static PicturaOptionsInfoItem diskStoreWriteOptions(foundation::WriteOptions writeOptions);
    static PicturaOptionsInfoItem memoryCacheExpiration(StorageExpiration expiration);
    static PicturaOptionsInfoItem memoryCacheAccessExtendingExpiration(ExpirationExtending extending);
    static PicturaOptionsInfoItem diskCacheExpiration(StorageExpiration expiration);
    static PicturaOptionsInfoItem diskCacheAccessExtendingExpiration(ExpirationExtending extending);
    static PicturaOptionsInfoItem processingQueue(CallbackQueue queue);
    static PicturaOptionsInfoItem progressiveJPEG(ImageProgressive progressive);
    static PicturaOptionsInfoItem alternativeSources(std::vector<Source> sources);
    static PicturaOptionsInfoItem retryStrategy(std::shared_ptr<const RetryStrategy> strategy);
    // No source clears an earlier one.
    static PicturaOptionsInfoItem lowDataMode(std::optional<Source> source);
    // Raises (or lowers) the pixels a picture may decode to.
    static PicturaOptionsInfoItem imagePixelLimit(std::int64_t pixels);

    Kind kind() const { return kind_; }
    void apply(PicturaParsedOptionsInfo& options) const { apply_(options); }

private:
    using Apply = std::function<void(PicturaParsedOptionsInfo&)>;
    PicturaOptionsInfoItem(Kind kind, Apply apply) : kind_(kind), apply_(std::move(apply)) {}

    Kind kind_;
    Apply apply_;
};

using PicturaOptionsInfo = std::vector<PicturaOptionsInfoItem>;

}  // namespace pictura
