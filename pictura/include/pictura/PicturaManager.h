#pragma once

#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "pictura/CallbackQueue.h"
#include "pictura/ImageCache.h"
#include "pictura/ImageDownloader.h"
#include "pictura/PicturaError.h"
#include "pictura/PicturaOptions.h"
#include "pictura/RetrieveImageResult.h"
#include "pictura/RetryStrategy.h"
#include "pictura/Source.h"

namespace pictura {

// A load under way as the manager hands it out: a download, or a data provider's read, which has
// nothing to cancel.
struct DataProviding {};
using WrappedTask = std::variant<DownloadTask, DataProviding>;

// The state of one retrieval, shared by all its attempts; touched by one attempt at a time.
class RetrievingContext {
public:
    RetrievingContext(PicturaParsedOptionsInfo options, Source originalSource)
        : options(std::move(options)), originalSource(std::move(originalSource)) {}

    // The first alternative source, taken off the list; nothing when none is left.
    std::optional<Source> takeNextAlternativeSource();
    void recordFailure(const PicturaError& error, const Source& source) { propagationErrors.push_back({source, error}); }

    PicturaParsedOptionsInfo options;
    const Source originalSource;
    std::vector<PropagationError> propagationErrors;
};

// The one road to an image: the caches, then the source, the processor, the stores, with retry, the
// low-data source and alternative sources. Every completion runs on the options' callback queue.
class PicturaManager : public std::enable_shared_from_this<PicturaManager> {
public:
    using RetrieveResult = std::expected<RetrieveImageResult, PicturaError>;
    using CompletionHandler = std::function<void(RetrieveResult)>;
    using DownloadTaskUpdated = std::function<void(std::optional<DownloadTask>)>;
    using ProgressBlock = ImageLoadingProgressSideEffect::Block;
    using ProgressiveImageUpdater = std::function<void(std::shared_ptr<gfx::Image>)>;
    using CurrentTaskCheck = std::function<bool()>;

    static std::shared_ptr<PicturaManager> make(std::shared_ptr<ImageDownloader> downloader,
                                                std::shared_ptr<ImageCache> cache);
    // Over the default downloader and the default cache, made on first use.
    static const std::shared_ptr<PicturaManager>& shared();
    virtual ~PicturaManager() = default;

    // Set these before retrievals start; they are not guarded.
    virtual std::shared_ptr<ImageCache> cache() const { return cache_; }
    virtual void setCache(std::shared_ptr<ImageCache> cache) { cache_ = std::move(cache); }
    virtual std::shared_ptr<ImageDownloader> downloader() const { return downloader_; }
    virtual void setDownloader(std::shared_ptr<ImageDownloader> downloader) { downloader_ = std::move(downloader); }
    virtual const PicturaOptionsInfo& defaultOptions() const { return defaultOptions_; }
    virtual void setDefaultOptions(PicturaOptionsInfo options) { defaultOptions_ = std::move(options); }
    // The downloader and the cache as options, then `defaultOptions`.
    virtual PicturaOptionsInfo effectiveDefaultOptions() const;

    std::optional<DownloadTask> retrieveImage(const ImageResource& resource,
                                              const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                              ProgressBlock progressBlock = nullptr,
                                              DownloadTaskUpdated downloadTaskUpdated = nullptr,
                                              CompletionHandler completionHandler = nullptr);
    std::optional<DownloadTask> retrieveImage(const Source& source, const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                              ProgressBlock progressBlock = nullptr,
                                              DownloadTaskUpdated downloadTaskUpdated = nullptr,
                                              CompletionHandler completionHandler = nullptr);
    std::optional<DownloadTask> retrieveImage(const Source& source, const PicturaParsedOptionsInfo& options,
                                              ProgressBlock progressBlock, DownloadTaskUpdated downloadTaskUpdated,
                                              CompletionHandler completionHandler);
    // The full retrieval: partial images of a progressive JPEG go to `progressiveImageUpdater`, and
    // progress stops reaching the caller once `currentTaskCheck` answers false.
    virtual std::optional<DownloadTask> retrieveImage(const Source& source, const PicturaParsedOptionsInfo& options,
                                                      DownloadTaskUpdated downloadTaskUpdated,
                                                      ProgressiveImageUpdater progressiveImageUpdater,
                                                      CurrentTaskCheck currentTaskCheck,
                                                      CompletionHandler completionHandler);

    // True when a cache read was started; it completes the attempt.
    virtual bool lookUpInCaches(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                CompletionHandler completionHandler);
    virtual std::optional<WrappedTask> loadFromSourceAndStore(const Source& source,
                                                              const std::shared_ptr<RetrievingContext>& context,
                                                              CompletionHandler completionHandler);

    // Where cache images and provider bytes are processed when the options name no queue.
    const CallbackQueue processingQueue;

protected:
    PicturaManager(std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache);

    virtual std::optional<DownloadTask> attempt(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                                CompletionHandler completionHandler);
    virtual void storeRetrievedImage(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                     ImageLoadingOutcome result, CompletionHandler completionHandler);

private:
    struct Retrieval;

    std::shared_ptr<ImageCache> targetCache(const PicturaParsedOptionsInfo& options) const;
    const CallbackQueue& processingQueueOf(const PicturaParsedOptionsInfo& options) const;
    void handleAttemptResult(const std::shared_ptr<Retrieval>& retrieval, RetrieveResult result, const Source& current);
    void handleSourceFailure(const std::shared_ptr<Retrieval>& retrieval, const Source& current, PicturaError error);
    void restartWithSource(const std::shared_ptr<Retrieval>& retrieval, const Source& source);
    void finishCachedImage(const std::shared_ptr<RetrievingContext>& context, const Source& source,
                           std::shared_ptr<gfx::Image> image, CacheType cacheType, const CompletionHandler& completion);
    void reprocessOriginalImage(const std::shared_ptr<RetrievingContext>& context, const Source& source,
                                const std::shared_ptr<gfx::Image>& image, const CompletionHandler& completion);

    std::shared_ptr<ImageDownloader> downloader_;
    std::shared_ptr<ImageCache> cache_;
    PicturaOptionsInfo defaultOptions_;
};

}  // namespace pictura
