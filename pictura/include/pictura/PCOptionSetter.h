#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "gfx/Image.h"
#include "net/Request.h"
#include "pictura/CacheSerializer.h"
#include "pictura/CallbackQueue.h"
#include "pictura/Delegate.h"
#include "pictura/DrawingParameters.h"
#include "pictura/ImageFormat.h"
#include "pictura/ImageModifier.h"
#include "pictura/ImageProcessor.h"
#include "pictura/ImageProcessors.h"
#include "pictura/PC.h"
#include "pictura/PicturaError.h"
#include "pictura/PicturaOptions.h"
#include "pictura/RedirectHandler.h"
#include "pictura/RequestModifier.h"
#include "pictura/RetrieveImageResult.h"
#include "pictura/RetryStrategy.h"
#include "pictura/SizeGeometry.h"
#include "pictura/Source.h"
#include "pictura/StorageExpiration.h"

namespace pictura {

using OnFailureDelegate = Delegate<PicturaError, void>;
using OnSuccessDelegate = Delegate<RetrieveImageResult, void>;
// Received size, expected total size.
using OnProgressDelegate = Delegate<std::pair<std::int64_t, std::int64_t>, void>;

// The fluent configuration of a retrieval: one setter per option, each changing the receiver's options
// (or one of its three callbacks) and returning the receiver, so that calls chain. A conformer supplies
// only storage, as members of its own:
//   PicturaParsedOptionsInfo& options();            shared by every copy of the receiver
//   OnFailureDelegate& onFailureDelegate();  OnSuccessDelegate& onSuccessDelegate();
//   OnProgressDelegate& onProgressDelegate();
//   std::shared_ptr<T> delegateObserver();           bounds the callbacks' lifetime
//   R receiver();                                     what each setter returns
// No lock: a receiver is configured on one thread (the main thread, where its views live).
template <class Self>
class PCOptionSetter {
public:
    using ProgressBlock = std::function<void(std::int64_t receivedSize, std::int64_t expectedSize)>;
    using SuccessBlock = std::function<void(const RetrieveImageResult&)>;
    using FailureBlock = std::function<void(const PicturaError&)>;
    using RequestModifyBlock = std::function<void(net::Request&)>;
    using RedirectBlock = std::function<void(PC::RedirectPayload)>;
    // May throw; the image handed back is then the unmodified one.
    using ImageModifyBlock = std::function<void(std::shared_ptr<gfx::Image>&)>;

    // A later registration replaces the earlier block; none installs one that does nothing.
    decltype(auto) onProgress(ProgressBlock block) {
        bind(self().onProgressDelegate(), [block = std::move(block)](const std::pair<std::int64_t, std::int64_t>& sizes) {
            if (block) block(sizes.first, sizes.second);
        });
        return self().receiver();
    }
    decltype(auto) onSuccess(SuccessBlock block) {
        bind(self().onSuccessDelegate(), [block = std::move(block)](const RetrieveImageResult& result) {
            if (block) block(result);
        });
        return self().receiver();
    }
    decltype(auto) onFailure(FailureBlock block) {
        bind(self().onFailureDelegate(), [block = std::move(block)](const PicturaError& error) {
            if (block) block(error);
        });
        return self().receiver();
    }

    decltype(auto) targetCache(std::shared_ptr<ImageCache> cache) {
        return set([&](auto& o) { o.targetCache = std::move(cache); });
    }
    decltype(auto) originalCache(std::shared_ptr<ImageCache> cache) {
        return set([&](auto& o) { o.originalCache = std::move(cache); });
    }
    decltype(auto) downloader(std::shared_ptr<ImageDownloader> downloader) {
        return set([&](auto& o) { o.downloader = std::move(downloader); });
    }
    decltype(auto) downloadPriority(float priority) {
        return set([&](auto& o) { o.downloadPriority = priority; });
    }
    decltype(auto) forceRefresh(bool enabled = true) {
        return set([&](auto& o) { o.forceRefresh = enabled; });
    }
    decltype(auto) fromMemoryCacheOrRefresh(bool enabled = true) {
        return set([&](auto& o) { o.fromMemoryCacheOrRefresh = enabled; });
    }
    decltype(auto) cacheMemoryOnly(bool enabled = true) {
        return set([&](auto& o) { o.cacheMemoryOnly = enabled; });
    }
    decltype(auto) waitForCache(bool enabled = true) {
        return set([&](auto& o) { o.waitForCache = enabled; });
    }
    decltype(auto) onlyFromCache(bool enabled = true) {
        return set([&](auto& o) { o.onlyFromCache = enabled; });
    }
    decltype(auto) backgroundDecode(bool enabled = true) {
        return set([&](auto& o) { o.backgroundDecode = enabled; });
    }
    decltype(auto) callbackQueue(CallbackQueue queue) {
        return set([&](auto& o) { o.callbackQueue = std::move(queue); });
    }
    decltype(auto) scaleFactor(double scale) {
        return set([&](auto& o) { o.scaleFactor = scale; });
    }
    decltype(auto) cacheOriginalImage(bool enabled = true) {
        return set([&](auto& o) { o.cacheOriginalImage = enabled; });
    }
    decltype(auto) diskStoreWriteOptions(foundation::WriteOptions writeOptions) {
        return set([&](auto& o) { o.diskStoreWriteOptions = writeOptions; });
    }
    decltype(auto) loadDiskFileSynchronously(bool enabled = true) {
        return set([&](auto& o) { o.loadDiskFileSynchronously = enabled; });
    }
    decltype(auto) processingQueue(std::optional<CallbackQueue> queue) {
        return set([&](auto& o) { o.processingQueue = std::move(queue); });
    }
    decltype(auto) alternativeSources(std::optional<std::vector<Source>> sources) {
        return set([&](auto& o) { o.alternativeSources = std::move(sources); });
    }
    decltype(auto) retry(std::shared_ptr<const RetryStrategy> strategy) {
        return set([&](auto& o) { o.retryStrategy = std::move(strategy); });
    }
    decltype(auto) retry(int maxCount, DelayRetryStrategy::Interval interval = DelayRetryStrategy::Interval::seconds(3)) {
        return retry(std::make_shared<const DelayRetryStrategy>(maxCount, std::move(interval)));
    }
    decltype(auto) lowDataModeSource(std::optional<Source> source) {
        return set([&](auto& o) { o.lowDataModeSource = std::move(source); });
    }
    decltype(auto) forceTransition(bool enabled = true) {
        return set([&](auto& o) { o.forceTransition = enabled; });
    }
    // Even with no image the option counts as set: a failure then clears the target.
    decltype(auto) onFailureImage(std::shared_ptr<gfx::Image> image) {
        return set([&](auto& o) { o.onFailureImage = std::move(image); });
    }

    decltype(auto) requestModifier(std::shared_ptr<const AsyncImageDownloadRequestModifier> modifier) {
        return set([&](auto& o) { o.requestModifier = std::move(modifier); });
    }
    decltype(auto) requestModifier(RequestModifyBlock block) {
        return requestModifier(std::make_shared<const AnyModifier>([block = std::move(block)](net::Request request) {
            if (block) block(request);
            return std::optional<net::Request>(std::move(request));
        }));
    }
    decltype(auto) redirectHandler(std::shared_ptr<const ImageDownloadRedirectHandler> handler) {
        return set([&](auto& o) { o.redirectHandler = std::move(handler); });
    }
    // The closure decides the redirect by calling the payload's completion handler.
    decltype(auto) redirectHandler(RedirectBlock block) {
        return redirectHandler(std::make_shared<const AnyRedirectHandler>(
            [block = std::move(block)](const std::shared_ptr<SessionDataTask>& task, const net::HTTPResponse& response,
                                       const net::Request& newRequest,
                                       ImageDownloadRedirectHandler::CompletionHandler completion) {
                if (!block) return completion(newRequest);
                block(PC::RedirectPayload{task, response, newRequest, std::move(completion)});
            }));
    }

    decltype(auto) setProcessor(std::shared_ptr<const ImageProcessor> processor) {
        return set([&](auto& o) { o.processor = std::move(processor); });
    }
    // Chained in list order; none gives the default processor, one is stored as it is.
    decltype(auto) setProcessors(const std::vector<std::shared_ptr<const ImageProcessor>>& processors) {
        std::shared_ptr<const ImageProcessor> chained = DefaultImageProcessor::defaultProcessor();
        if (!processors.empty()) {
            chained = processors.front();
            for (std::size_t i = 1; i < processors.size(); ++i) chained = append(chained, processors[i]);
        }
        return setProcessor(std::move(chained));
    }
    decltype(auto) appendProcessor(std::shared_ptr<const ImageProcessor> processor) {
        return set([&](auto& o) { o.processor = append(o.processor, std::move(processor)); });
    }
    decltype(auto) roundCorner(Radius radius, std::optional<gfx::Size> targetSize = std::nullopt,
                               RectCorner roundingCorners = RectCorner::all(),
                               std::optional<gfx::Color> backgroundColor = std::nullopt) {
        return appendProcessor(
            std::make_shared<const RoundCornerImageProcessor>(radius, targetSize, roundingCorners, backgroundColor));
    }
    decltype(auto) blur(double radius) { return appendProcessor(std::make_shared<const BlurImageProcessor>(radius)); }
    decltype(auto) overlay(gfx::Color color, double fraction = 0.5) {
        return appendProcessor(std::make_shared<const OverlayImageProcessor>(color, fraction));
    }
    decltype(auto) tint(gfx::Color color) { return appendProcessor(std::make_shared<const TintImageProcessor>(color)); }
    decltype(auto) blackWhite() { return appendProcessor(std::make_shared<const BlackWhiteProcessor>()); }
    decltype(auto) cropping(gfx::Size size, gfx::Point anchor = {0.5, 0.5}) {
        return appendProcessor(std::make_shared<const CroppingImageProcessor>(size, anchor));
    }
    // Takes the place of a processor that is still the default one, so its key carries no chain mark.
    decltype(auto) downsampling(gfx::Size size) {
        auto downsampling = std::make_shared<const DownsamplingImageProcessor>(size);
        if (self().options().processor->identifier() == DefaultImageProcessor::defaultProcessor()->identifier())
            return setProcessor(std::move(downsampling));
        return appendProcessor(std::move(downsampling));
    }
    decltype(auto) resizing(gfx::Size referenceSize, ContentMode mode = ContentMode::none) {
        return appendProcessor(std::make_shared<const ResizingImageProcessor>(referenceSize, mode));
    }

    decltype(auto) serialize(std::shared_ptr<const CacheSerializer> serializer) {
        return set([&](auto& o) { o.cacheSerializer = std::move(serializer); });
    }
    // PNG for PNG and unknown, GIF for GIF, JPEG at the given quality (1.0 when none); the quality counts
    // for JPEG only.
    decltype(auto) serialize(ImageFormat format, std::optional<double> jpegCompressionQuality = std::nullopt) {
        std::shared_ptr<const CacheSerializer> serializer = FormatIndicatedCacheSerializer::png();
        if (format == ImageFormat::GIF) serializer = FormatIndicatedCacheSerializer::gif();
        if (format == ImageFormat::JPEG) serializer = FormatIndicatedCacheSerializer::jpeg(jpegCompressionQuality.value_or(1.0));
        return serialize(std::move(serializer));
    }

    decltype(auto) imageModifier(std::shared_ptr<const ImageModifier> modifier) {
        return set([&](auto& o) { o.imageModifier = std::move(modifier); });
    }
    decltype(auto) imageModifier(ImageModifyBlock block) {
        return imageModifier(std::make_shared<const AnyImageModifier>([block = std::move(block)](const std::shared_ptr<gfx::Image>& image) {
            auto modified = image;
            if (block) block(modified);
            return modified;
        }));
    }

    decltype(auto) memoryCacheExpiration(std::optional<StorageExpiration> expiration) {
        return set([&](auto& o) { o.memoryCacheExpiration = std::move(expiration); });
    }
    decltype(auto) memoryCacheAccessExtending(ExpirationExtending extending) {
        return set([&](auto& o) { o.memoryCacheAccessExtendingExpiration = std::move(extending); });
    }
    decltype(auto) diskCacheExpiration(std::optional<StorageExpiration> expiration) {
        return set([&](auto& o) { o.diskCacheExpiration = std::move(expiration); });
    }
    decltype(auto) diskCacheAccessExtending(ExpirationExtending extending) {
        return set([&](auto& o) { o.diskCacheAccessExtendingExpiration = std::move(extending); });
    }

protected:
    PCOptionSetter() = default;
    ~PCOptionSetter() = default;

private:
    Self& self() { return static_cast<Self&>(*this); }

    template <class Change>
    decltype(auto) set(Change&& change) {
        change(self().options());
        return self().receiver();
    }

    // Binds to the observer weakly: once it is gone the callback is never called.
    template <class Input, class Block>
    void bind(Delegate<Input, void>& delegate, Block block) {
        auto observer = self().delegateObserver();
        using Observer = typename decltype(observer)::element_type;
        delegate.delegate(observer, [block = std::move(block)](Observer&, const Input& input) { block(input); });
    }
};

}  // namespace pictura
