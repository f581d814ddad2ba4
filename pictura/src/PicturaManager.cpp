#include "pictura/PicturaManager.h"

#include "foundation/UUID.h"
#include "pictura/CacheCallbackCoordinator.h"
#include "pictura/ImageProgressiveProvider.h"
#include "pictura/ImageWrapper.h"

namespace pictura {

namespace {

const std::string& defaultIdentifier() {
    static const std::string identifier = DefaultImageProcessor::defaultProcessor()->identifier();
    return identifier;
}

// Runs at once when already where the queue would run it, so a hand-over from one step of the
// retrieval to the next costs no second hop.
void deliver(const CallbackQueue& queue, ::dispatch::Block block) {
    if (queue.kind() == CallbackQueue::Kind::dispatch && queue.queue()->isCurrent())
        block();
    else
        queue.execute(std::move(block));
}

// The handler moved onto the caller's callback queue, whatever thread a step ends on (a retry
// strategy's timer, the cache's disk queue). Null stays null.
PicturaManager::CompletionHandler onQueue(const CallbackQueue& queue, PicturaManager::CompletionHandler handler) {
    if (!handler) return nullptr;
    return [queue, handler = std::move(handler)](PicturaManager::RetrieveResult result) {
        deliver(queue, [handler, result = std::move(result)] { handler(result); });
    };
}

PicturaError imageNotExisting(const std::string& key) {
    return PicturaError::cacheError(PicturaError::ImageNotExisting{key});
}

std::shared_ptr<gfx::Image> modified(const PicturaParsedOptionsInfo& options, const std::shared_ptr<gfx::Image>& image) {
    return options.imageModifier ? options.imageModifier->modify(image) : image;
}

std::function<std::optional<foundation::Data>()> serializedData(const PicturaParsedOptionsInfo& options,
                                                                std::shared_ptr<gfx::Image> image) {
    return [serializer = options.cacheSerializer, image = std::move(image)] {
        return serializer->data(image, std::nullopt);
    };
}

std::optional<DownloadTask> downloadOf(const std::optional<WrappedTask>& task) {
    if (!task) return std::nullopt;
    if (const auto* download = std::get_if<DownloadTask>(&*task)) return *download;
    return std::nullopt;
}

}  // namespace

std::optional<Source> RetrievingContext::takeNextAlternativeSource() {
    if (!options.alternativeSources || options.alternativeSources->empty()) return std::nullopt;
    auto next = options.alternativeSources->front();
    options.alternativeSources->erase(options.alternativeSources->begin());
    return next;
}

struct PicturaManager::Retrieval {
    std::shared_ptr<RetrievingContext> context;
    std::shared_ptr<RetryContext> retryContext;
    CompletionHandler completion;
    DownloadTaskUpdated downloadTaskUpdated;
};

std::shared_ptr<PicturaManager> PicturaManager::make(std::shared_ptr<ImageDownloader> downloader,
                                                     std::shared_ptr<ImageCache> cache) {
    return std::shared_ptr<PicturaManager>(new PicturaManager(std::move(downloader), std::move(cache)));
}

const std::shared_ptr<PicturaManager>& PicturaManager::shared() {
    // Never destroyed: worker threads may still reach it while the process exits.
    static const auto* manager = new auto(make(ImageDownloader::defaultDownloader(), ImageCache::defaultCache()));
    return *manager;
}

PicturaManager::PicturaManager(std::shared_ptr<ImageDownloader> downloader, std::shared_ptr<ImageCache> cache)
    : processingQueue(CallbackQueue::dispatch(::dispatch::Queue::serial(
          "com.tolvane.Pictura.PicturaManager.processQueue." + foundation::UUID::random().uuidString()))),
      downloader_(std::move(downloader)),
      cache_(std::move(cache)) {}

PicturaOptionsInfo PicturaManager::effectiveDefaultOptions() const {
    PicturaOptionsInfo items{PicturaOptionsInfoItem::downloader(downloader()), PicturaOptionsInfoItem::targetCache(cache())};
    const auto& defaults = defaultOptions();
    items.insert(items.end(), defaults.begin(), defaults.end());
    return items;
}

std::optional<DownloadTask> PicturaManager::retrieveImage(const ImageResource& resource,
                                                          const std::optional<PicturaOptionsInfo>& options,
                                                          ProgressBlock progressBlock,
                                                          DownloadTaskUpdated downloadTaskUpdated,
                                                          CompletionHandler completionHandler) {
    return retrieveImage(resource.convertToSource(), options, std::move(progressBlock), std::move(downloadTaskUpdated),
                         std::move(completionHandler));
}

std::optional<DownloadTask> PicturaManager::retrieveImage(const Source& source, const std::optional<PicturaOptionsInfo>& options,
                                                          ProgressBlock progressBlock,
                                                          DownloadTaskUpdated downloadTaskUpdated,
                                                          CompletionHandler completionHandler) {
    auto items = effectiveDefaultOptions();
    if (options) items.insert(items.end(), options->begin(), options->end());
    return retrieveImage(source, PicturaParsedOptionsInfo(items), std::move(progressBlock),
                         std::move(downloadTaskUpdated), std::move(completionHandler));
}

std::optional<DownloadTask> PicturaManager::retrieveImage(const Source& source, const PicturaParsedOptionsInfo& options,
                                                          ProgressBlock progressBlock,
                                                          DownloadTaskUpdated downloadTaskUpdated,
                                                          CompletionHandler completionHandler) {
    auto copied = options;
    if (progressBlock) {
        if (!copied.onDataReceived) copied.onDataReceived.emplace();
        copied.onDataReceived->push_back(
            std::make_shared<ImageLoadingProgressSideEffect>([] { return true; }, std::move(progressBlock)));
    }
    return retrieveImage(source, copied, std::move(downloadTaskUpdated), nullptr, nullptr, std::move(completionHandler));
}

std::optional<DownloadTask> PicturaManager::retrieveImage(const Source& source, const PicturaParsedOptionsInfo& options,
                                                          DownloadTaskUpdated downloadTaskUpdated,
                                                          ProgressiveImageUpdater progressiveImageUpdater,
                                                          CurrentTaskCheck currentTaskCheck,
                                                          CompletionHandler completionHandler) {
    auto retrievalOptions = options;
    // Options assembled field by field may carry none; they mean the defaults.
    if (!retrievalOptions.processor) retrievalOptions.processor = DefaultImageProcessor::defaultProcessor();
    if (!retrievalOptions.cacheSerializer) retrievalOptions.cacheSerializer = DefaultCacheSerializer::defaultSerializer();
    auto refresh = [updater = std::move(progressiveImageUpdater),
                    progressive = options.progressiveJPEG](std::shared_ptr<gfx::Image> image) {
        if (!updater) return;
        const auto strategy = progressive ? progressive->onImageUpdated->call(image) : std::nullopt;
        if (!strategy || strategy->kind == ImageProgressive::UpdatingStrategy::Kind::defaultStrategy)
            updater(std::move(image));
        else if (strategy->kind == ImageProgressive::UpdatingStrategy::Kind::replace)
            updater(strategy->replacement);
    };
    if (auto provider = ImageProgressiveProvider::make(retrievalOptions, std::move(refresh))) {
        if (!retrievalOptions.onDataReceived) retrievalOptions.onDataReceived.emplace();
        retrievalOptions.onDataReceived->push_back(std::move(provider));
    }
    if (currentTaskCheck && retrievalOptions.onDataReceived)
        for (const auto& effect : *retrievalOptions.onDataReceived) effect->onShouldApply = currentTaskCheck;

    auto retrieval = std::make_shared<Retrieval>();
    retrieval->context = std::make_shared<RetrievingContext>(retrievalOptions, source);
    retrieval->completion = onQueue(retrievalOptions.callbackQueue, std::move(completionHandler));
    retrieval->downloadTaskUpdated = std::move(downloadTaskUpdated);
    return attempt(source, retrieval->context, [self = shared_from_this(), retrieval, source](RetrieveResult result) {
        self->handleAttemptResult(retrieval, std::move(result), source);
    });
}

std::optional<DownloadTask> PicturaManager::attempt(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                                    CompletionHandler completionHandler) {
    const auto& options = context->options;
    if (options.forceRefresh) return downloadOf(loadFromSourceAndStore(source, context, std::move(completionHandler)));
    if (lookUpInCaches(source, context, completionHandler)) return std::nullopt;
    if (options.onlyFromCache) {
        if (auto finish = onQueue(options.callbackQueue, std::move(completionHandler)))
            finish(std::unexpected(imageNotExisting(source.cacheKey())));
        return std::nullopt;
    }
    return downloadOf(loadFromSourceAndStore(source, context, std::move(completionHandler)));
}

void PicturaManager::handleAttemptResult(const std::shared_ptr<Retrieval>& retrieval, RetrieveResult result,
                                         const Source& current) {
    if (result) {
        if (retrieval->completion) retrieval->completion(std::move(result));
        return;
    }
    const auto error = result.error();
    const auto strategy = retrieval->context->options.retryStrategy;
    if (!strategy) return handleSourceFailure(retrieval, current, error);
    if (retrieval->retryContext) {
        ++retrieval->retryContext->retriedCount;
        retrieval->retryContext->latestError = error;
    } else {
        retrieval->retryContext = std::make_shared<RetryContext>(retrieval->context->originalSource, error);
    }
    strategy->retry(retrieval->retryContext, [self = shared_from_this(), retrieval, current, error](RetryDecision decision) {
        if (decision.kind == RetryDecision::Kind::stop) return self->handleSourceFailure(retrieval, current, error);
        retrieval->retryContext->userInfo = std::move(decision.userInfo);
        self->restartWithSource(retrieval, retrieval->context->originalSource);
    });
}

void PicturaManager::restartWithSource(const std::shared_ptr<Retrieval>& retrieval, const Source& source) {
    auto task = attempt(source, retrieval->context, [self = shared_from_this(), retrieval, source](RetrieveResult result) {
        self->handleAttemptResult(retrieval, std::move(result), source);
    });
    if (retrieval->downloadTaskUpdated) retrieval->downloadTaskUpdated(task);
}

void PicturaManager::handleSourceFailure(const std::shared_ptr<Retrieval>& retrieval, const Source& current,
                                         PicturaError error) {
    auto& context = *retrieval->context;
    auto fail = [&](PicturaError failure) {
        if (retrieval->completion) retrieval->completion(std::unexpected(std::move(failure)));
    };
    if (error.isTaskCancelled()) return fail(std::move(error));
    if (error.isConstrainedNetworkError()) {
        if (!context.options.lowDataModeSource) return fail(std::move(error));
        auto lowData = *context.options.lowDataModeSource;
        context.options.lowDataModeSource.reset();
        return restartWithSource(retrieval, lowData);
    }
    if (auto next = context.takeNextAlternativeSource()) {
        context.recordFailure(error, current);
        return restartWithSource(retrieval, *next);
    }
    if (context.propagationErrors.empty()) return fail(std::move(error));
    context.recordFailure(error, current);
    fail(PicturaError::imageSettingError(PicturaError::AlternativeSourcesExhausted{context.propagationErrors}));
}

std::shared_ptr<ImageCache> PicturaManager::targetCache(const PicturaParsedOptionsInfo& options) const {
    return options.targetCache ? options.targetCache : cache();
}

const CallbackQueue& PicturaManager::processingQueueOf(const PicturaParsedOptionsInfo& options) const {
    return options.processingQueue ? *options.processingQueue : processingQueue;
}

bool PicturaManager::lookUpInCaches(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                    CompletionHandler completionHandler) {
    const auto options = context->options;
    const auto target = targetCache(options);
    const auto key = source.cacheKey();
    auto finish = onQueue(options.callbackQueue, completionHandler);
    // A file that was there but gave no image (damaged, or another key's, and now removed by the
    // cache) is a miss like any other: the image comes from the source, unless only the cache may
    // serve it.
    auto missed = [self = shared_from_this(), context, source, key, completionHandler, finish] {
        if (context->options.onlyFromCache) {
            if (finish) finish(std::unexpected(imageNotExisting(key)));
            return;
        }
        self->loadFromSourceAndStore(source, context, completionHandler);
    };
    const auto cachedType = target->imageCachedType(key, options.processor->identifier());
    if (cachedType != CacheType::none && (!options.fromMemoryCacheOrRefresh || cachedType == CacheType::memory)) {
        target->retrieveImage(key, options, CallbackQueue::mainCurrentOrAsync(),
                              [self = shared_from_this(), context, source, key, options, finish, missed](
                                  std::expected<ImageCacheResult, PicturaError> result) {
            if (result && (result->cacheType() == CacheType::none || !result->image())) return missed();
            if (!finish) return;
            if (!result) return finish(std::unexpected(imageNotExisting(key)));
            const auto image = result->image();
            const auto type = result->cacheType();
            if (!options.cacheSerializer->originalDataUsed())
                return self->finishCachedImage(context, source, image, type, finish);
            // Bytes kept as downloaded were never processed: the processor runs on them now.
            self->processingQueueOf(options).execute([self, context, source, options, image, type, finish] {
                auto processed = options.processor->process(image, options);
                if (!processed)
                    return finish(std::unexpected(
                        PicturaError::processorError(PicturaError::ProcessingFailed{options.processor, image})));
                self->finishCachedImage(context, source, processed, type, finish);
            });
        });
        return true;
    }

    auto original = options.originalCache;
    if (!original || original == target) {
        if (options.processor->identifier() == defaultIdentifier()) return false;
        original = target;
    }
    const auto originalType = original->imageCachedType(key, defaultIdentifier());
    if (!(originalType == CacheType::memory || (originalType == CacheType::disk && !options.fromMemoryCacheOrRefresh)))
        return false;
    auto originalOptions = options;
    originalOptions.processor = DefaultImageProcessor::defaultProcessor();
    original->retrieveImage(key, originalOptions, CallbackQueue::mainCurrentOrAsync(),
                            [self = shared_from_this(), context, source, key, options, finish, missed](
                                std::expected<ImageCacheResult, PicturaError> result) {
        // Found by the look-up but gone or unusable by the read: a miss like any other.
        if (result && !result->image()) return missed();
        if (!result) {
            if (finish) finish(std::unexpected(imageNotExisting(key)));
            return;
        }
        const auto image = result->image();
        self->processingQueueOf(options).execute(
            [self, context, source, image, finish] { self->reprocessOriginalImage(context, source, image, finish); });
    });
    return true;
}

void PicturaManager::finishCachedImage(const std::shared_ptr<RetrievingContext>& context, const Source& source,
                                       std::shared_ptr<gfx::Image> image, CacheType cacheType,
                                       const CompletionHandler& completion) {
    const auto& options = context->options;
    const auto frameCount = pc(image).imageFrameCount();
    if (frameCount && *frameCount != 1) {
        if (auto data = pc(image).animationData()) {
            // An animation that no longer decodes is left as the still image the cache gave.
            auto animated =
                PicturaWrapper<std::shared_ptr<gfx::Image>>::animatedImage(*data, options.imageCreatingOptions());
            if (animated) image = std::move(animated);
        }
    }
    completion(RetrieveImageResult{modified(options, image), cacheType, source, context->originalSource,
                                   serializedData(options, image)});
}

void PicturaManager::reprocessOriginalImage(const std::shared_ptr<RetrievingContext>& context, const Source& source,
                                            const std::shared_ptr<gfx::Image>& image,
                                            const CompletionHandler& completion) {
    const auto options = context->options;
    auto processed = options.processor->process(image, options);
    if (!processed) {
        if (completion)
            completion(std::unexpected(PicturaError::processorError(PicturaError::ProcessingFailed{options.processor, image})));
        return;
    }
    auto storeOptions = options;
    storeOptions.callbackQueue = CallbackQueue::untouch();
    auto coordinator = std::make_shared<CacheCallbackCoordinator>(options.waitForCache, false);
    RetrieveImageResult result{modified(options, processed), CacheType::none, source, context->originalSource,
                               serializedData(options, processed)};
    auto trigger = [completion, result] {
        if (completion) completion(result);
    };
    targetCache(options)->store(processed, std::nullopt, source.cacheKey(), storeOptions, !options.cacheMemoryOnly,
                                [coordinator, trigger](CacheStoreResult) {
        coordinator->handle(CacheCallbackCoordinator::Action::imageStored, trigger);
    });
    coordinator->handle(CacheCallbackCoordinator::Action::storeStarted, trigger);
}

std::optional<WrappedTask> PicturaManager::loadFromSourceAndStore(const Source& source,
                                                                  const std::shared_ptr<RetrievingContext>& context,
                                                                  CompletionHandler completionHandler) {
    const auto options = context->options;
    if (const auto* resource = source.resource()) {
        const auto loader = options.downloader ? options.downloader : downloader();
        auto task = loader->downloadImage(resource->downloadURL, options,
                                          [self = shared_from_this(), source, context, completionHandler](
                                              ImageLoadingOutcome outcome) {
            self->storeRetrievedImage(source, context, std::move(outcome), completionHandler);
        });
        if (!task) return std::nullopt;
        return WrappedTask{*task};
    }
    const auto provider = source.dataProvider();
    provider->data([self = shared_from_this(), source, context, options, provider,
                    completionHandler](ImageDataProvider::Result data) {
        if (!data) {
            auto error = PicturaError::imageSettingError(PicturaError::DataProviderError{provider, data.error()});
            return deliver(options.callbackQueue, [self, source, context, error, completionHandler] {
                self->storeRetrievedImage(source, context, std::unexpected(error), completionHandler);
            });
        }
        // Shared from here on, so the result takes the bytes without a copy.
        self->processingQueueOf(options).execute([self, source, context, options,
                                                  bytes = std::make_shared<const foundation::Data>(std::move(*data)),
                                                  completionHandler] {
            auto image = options.processor->process(*bytes, options);
            if (!image) {
                if (auto finish = onQueue(options.callbackQueue, completionHandler))
                    finish(std::unexpected(PicturaError::processorError(PicturaError::ProcessingFailed{options.processor, *bytes})));
                return;
            }
            deliver(options.callbackQueue, [self, source, context, image, bytes, completionHandler] {
                self->storeRetrievedImage(source, context, ImageLoadingResult{image, std::nullopt, bytes}, completionHandler);
            });
        });
    });
    return WrappedTask{DataProviding{}};
}

void PicturaManager::storeRetrievedImage(const Source& source, const std::shared_ptr<RetrievingContext>& context,
                                         ImageLoadingOutcome result, CompletionHandler completionHandler) {
    const auto options = context->options;
    auto finish = onQueue(options.callbackQueue, std::move(completionHandler));
    if (!result) {
        if (finish) finish(std::unexpected(result.error()));
        return;
    }
    const bool needsOriginal = options.cacheOriginalImage && options.processor->identifier() != defaultIdentifier();
    auto coordinator = std::make_shared<CacheCallbackCoordinator>(options.waitForCache, needsOriginal);
    const auto originalData = result->originalData ? result->originalData : std::make_shared<const foundation::Data>();
    RetrieveImageResult retrieved{modified(options, result->image), CacheType::none, source, context->originalSource,
                                  [originalData] { return std::optional<foundation::Data>(*originalData); }};
    auto trigger = [finish, retrieved] {
        if (finish) finish(retrieved);
    };
    const auto target = targetCache(options);
    const auto key = source.cacheKey();
    target->store(result->image, *originalData, key, options, !options.cacheMemoryOnly, [coordinator, trigger](CacheStoreResult) {
        coordinator->handle(CacheCallbackCoordinator::Action::imageStored, trigger);
    });
    if (needsOriginal) {
        const auto original = options.originalCache ? options.originalCache : target;
        // The original goes to disk only, and also under cacheMemoryOnly.
        original->storeToDisk(*originalData, key, defaultIdentifier(), options.diskCacheExpiration, CallbackQueue::untouch(),
                              [coordinator, trigger](CacheStoreResult) {
            coordinator->handle(CacheCallbackCoordinator::Action::originalImageStored, trigger);
        });
    }
    coordinator->handle(CacheCallbackCoordinator::Action::storeStarted, trigger);
}

}  // namespace pictura
