#include "pictura/ImagePrefetcher.h"

#include <cinttypes>
#include <cstdio>

namespace pictura {

namespace {

const std::shared_ptr<::dispatch::Queue>& requestingQueue() {
    // Never destroyed: worker threads may still reach it while the process exits.
    static const auto* queue = new auto(::dispatch::Queue::serial("com.tolvane.Pictura.ImagePrefetcher.requestingQueue"));
    return *queue;
}

std::vector<ImageResource> resourcesOf(const std::vector<Source>& sources) {
    std::vector<ImageResource> resources;
    for (const auto& source : sources)
        if (const auto* resource = source.resource()) resources.push_back(*resource);
    return resources;
}

PicturaParsedOptionsInfo prefetchOptions(const std::optional<PicturaOptionsInfo>& items,
                                         const std::shared_ptr<::dispatch::Queue>& queue) {
    auto options = items ? PicturaParsedOptionsInfo(*items) : PicturaParsedOptionsInfo();
    options.callbackQueue = CallbackQueue::dispatch(queue);
    return options;
}

std::vector<Source> sourcesOf(const std::vector<ImageResource>& resources) {
    std::vector<Source> sources;
    sources.reserve(resources.size());
    for (const auto& resource : resources) sources.push_back(resource.convertToSource());
    return sources;
}

}  // namespace

std::shared_ptr<ImagePrefetcher> ImagePrefetcher::make(const std::vector<foundation::URL>& urls,
                                                       const std::optional<PicturaOptionsInfo>& options,
                                                       Block progressBlock, Block completionHandler) {
    std::vector<ImageResource> resources;
    resources.reserve(urls.size());
    for (const auto& url : urls) resources.emplace_back(url);
    return make(resources, options, std::move(progressBlock), std::move(completionHandler));
}

std::shared_ptr<ImagePrefetcher> ImagePrefetcher::make(const std::vector<ImageResource>& resources,
                                                       const std::optional<PicturaOptionsInfo>& options,
                                                       Block progressBlock, Block completionHandler) {
    auto prefetcher = std::shared_ptr<ImagePrefetcher>(new ImagePrefetcher(sourcesOf(resources), options));
    prefetcher->progressBlock_ = std::move(progressBlock);
    prefetcher->completionHandler_ = std::move(completionHandler);
    return prefetcher;
}

std::shared_ptr<ImagePrefetcher> ImagePrefetcher::make(std::vector<Source> sources,
                                                       const std::optional<PicturaOptionsInfo>& options,
                                                       SourceBlock progressBlock, SourceBlock completionHandler) {
    auto prefetcher = std::shared_ptr<ImagePrefetcher>(new ImagePrefetcher(std::move(sources), options));
    prefetcher->progressSourceBlock_ = std::move(progressBlock);
    prefetcher->completionSourceHandler_ = std::move(completionHandler);
    return prefetcher;
}

ImagePrefetcher::ImagePrefetcher(std::vector<Source> sources, const std::optional<PicturaOptionsInfo>& options)
    : prefetchSources(std::move(sources)),
      optionsInfo(prefetchOptions(options, ::dispatch::Queue::serial("com.tolvane.Pictura.ImagePrefetcher.pretchQueue"))),
      manager(PicturaManager::make(optionsInfo.downloader ? optionsInfo.downloader : ImageDownloader::defaultDownloader(),
                                   optionsInfo.targetCache ? optionsInfo.targetCache : ImageCache::defaultCache())),
      pretchQueue_(optionsInfo.callbackQueue.queue()) {}

std::string ImagePrefetcher::description() const {
    char text[32];
    std::snprintf(text, sizeof text, "0x%016" PRIxPTR, reinterpret_cast<std::uintptr_t>(this));
    return text;
}

void ImagePrefetcher::start() {
    pretchQueue_->async([self = shared_from_this()] {
        // Stopped or finished: a run is never restarted, its completion only delivered again.
        const bool finished = self->pendingIndex_ > 0 && self->isDone();
        if (self->stopped_ || finished || self->maxConcurrentDownloads < 1 || self->prefetchSources.empty())
            return self->deliverCompletion();
        const auto count = std::min(static_cast<std::size_t>(self->maxConcurrentDownloads), self->prefetchSources.size());
        for (std::size_t i = 0; i < count && self->pendingIndex_ < self->prefetchSources.size(); ++i)
            self->beginSource(self->prefetchSources[self->pendingIndex_++]);
    });
}

void ImagePrefetcher::stop() {
    pretchQueue_->async([self = shared_from_this()] {
        if (self->isDone()) return;
        self->stopped_ = true;
        for (const auto& [fetch, task] : self->tasks_)
            if (const auto* download = std::get_if<DownloadTask>(&task)) download->cancel();
        // Nothing running (only cached sources so far): nothing else would end the run.
        self->finishIfStopped();
    });
}

std::shared_ptr<RetrievingContext> ImagePrefetcher::makeContext(const Source& source) const {
    return std::make_shared<RetrievingContext>(optionsInfo, source);
}

void ImagePrefetcher::beginSource(const Source& source) {
    if (optionsInfo.forceRefresh) return fetchAndStore(source);
    const auto type = manager->cache()->imageCachedType(source.cacheKey(), optionsInfo.processor->identifier());
    if (type == CacheType::memory) return recordSkipped(source);
    if (type == CacheType::disk) {
        if (!optionsInfo.alsoPrefetchToMemory) return recordSkipped(source);
        ++lookingUp_;
        const bool started = manager->lookUpInCaches(source, makeContext(source),
                                                     [self = shared_from_this(), source](PicturaManager::RetrieveResult) {
            --self->lookingUp_;
            self->recordSkipped(source);
        });
        // A look-up that started no read never calls back: the source is skipped now.
        if (!started) {
            --lookingUp_;
            recordSkipped(source);
        }
        return;
    }
    fetchAndStore(source);
}

void ImagePrefetcher::fetchAndStore(const Source& source) {
    const auto fetch = nextFetch_++;
    // In place before the call, so a completion that arrives first finds and removes it.
    tasks_.emplace(fetch, DataProviding{});
    std::optional<WrappedTask> task;
    requestingQueue()->sync([&] {
        task = manager->loadFromSourceAndStore(source, makeContext(source),
                                               [self = shared_from_this(), fetch, source](PicturaManager::RetrieveResult result) {
            self->fetchCompleted(fetch, source, result.has_value());
        });
    });
    if (auto entry = tasks_.find(fetch); entry != tasks_.end() && task) entry->second = *task;
}

void ImagePrefetcher::fetchCompleted(std::uint64_t fetch, const Source& source, bool succeeded) {
    tasks_.erase(fetch);
    (succeeded ? completedSources_ : failedSources_).push_back(source);
    publishProgress();
    if (!stopped_) return advanceOrFinish();
    finishIfStopped();
}

void ImagePrefetcher::recordSkipped(const Source& source) {
    skippedSources_.push_back(source);
    publishProgress();
    if (stopped_) return finishIfStopped();
    advanceOrFinish();
}

void ImagePrefetcher::advanceOrFinish() {
    if (pendingIndex_ < prefetchSources.size()) {
        // Queued, not nested: long runs of cached sources would otherwise nest ever deeper. The source
        // is taken when the item runs, so a stop in between still finds it pending.
        pretchQueue_->async([self = shared_from_this()] {
            if (self->stopped_ || self->pendingIndex_ >= self->prefetchSources.size()) return;
            self->beginSource(self->prefetchSources[self->pendingIndex_++]);
        });
        return;
    }
    if (allAccounted()) deliverCompletion();
}

void ImagePrefetcher::finishIfStopped() {
    if (!tasks_.empty() || lookingUp_ > 0) return;
    while (pendingIndex_ < prefetchSources.size()) failedSources_.push_back(prefetchSources[pendingIndex_++]);
    if (allAccounted()) deliverCompletion();
}

bool ImagePrefetcher::allAccounted() const {
    return failedSources_.size() + skippedSources_.size() + completedSources_.size() == prefetchSources.size();
}

void ImagePrefetcher::deliverCompletion() {
    if (!completionHandler_ && !completionSourceHandler_) return;
    // The lists are copied here, on the prefetcher's queue, and the one-shot closures are let go here.
    CallbackQueue::mainCurrentOrAsync().execute([sourceHandler = completionSourceHandler_,
                                                 handler = std::exchange(completionHandler_, nullptr),
                                                 skipped = skippedSources_, failed = failedSources_,
                                                 completed = completedSources_] {
        if (sourceHandler) sourceHandler(skipped, failed, completed);
        if (handler) handler(resourcesOf(skipped), resourcesOf(failed), resourcesOf(completed));
    });
    progressBlock_ = nullptr;
}

void ImagePrefetcher::publishProgress() {
    if (!progressBlock_ && !progressSourceBlock_) return;
    CallbackQueue::mainCurrentOrAsync().execute([sourceBlock = progressSourceBlock_, block = progressBlock_,
                                                 skipped = skippedSources_, failed = failedSources_,
                                                 completed = completedSources_] {
        if (sourceBlock) sourceBlock(skipped, failed, completed);
        if (block) block(resourcesOf(skipped), resourcesOf(failed), resourcesOf(completed));
    });
}

}  // namespace pictura
