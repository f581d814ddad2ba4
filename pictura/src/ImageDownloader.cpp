#include "pictura/ImageDownloader.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "FatalStop.h"

namespace pictura {

namespace {

void deliver(const SessionDataTask::TaskCallback& callback, ImageLoadingOutcome outcome) {
    if (!callback.onCompleted) return;
    callback.options.callbackQueue.execute(
        [onCompleted = callback.onCompleted, outcome = std::move(outcome)] { (*onCompleted)(outcome); });
}

// The consumer's handler lives as long as its callback: bound to the slot itself, not to the
// downloader, so a downloader torn down mid-transfer still tells its consumers.
std::shared_ptr<const Delegate<ImageLoadingOutcome, void>> completionDelegate(ImageDownloader::CompletionHandler handler) {
    if (!handler) return nullptr;
    auto slot = std::make_shared<Delegate<ImageLoadingOutcome, void>>();
    slot->delegate(slot, [handler = std::move(handler)](auto&, const ImageLoadingOutcome& outcome) { handler(outcome); });
    return slot;
}

}  // namespace

std::optional<foundation::Data> ImageDownloaderDelegate::didDownloadDataWithTask(ImageDownloader& downloader,
                                                                                 foundation::Data data,
                                                                                 const SessionDataTask& task) {
    if (const auto& url = task.originalURL()) return didDownloadDataForURL(downloader, std::move(data), *url);
    return data;
}

void AuthenticationChallengeResponsible::didReceiveChallenge(ImageDownloader& downloader,
                                                             const net::AuthenticationChallenge& challenge,
                                                             CompletionHandler completionHandler) {
    const auto& space = challenge.protectionSpace;
    const auto& hosts = downloader.trustedHosts();
    if (space.authenticationMethod == net::ProtectionSpace::AuthenticationMethod::serverTrust && hosts &&
        hosts->contains(space.host) && space.serverTrust) {
        return completionHandler(net::ChallengeDisposition::useCredential, net::Credential::forTrust(space.serverTrust));
    }
    completionHandler(net::ChallengeDisposition::performDefaultHandling);
}

net::SessionConfiguration ImageDownloader::defaultSessionConfiguration() {
    auto configuration = net::SessionConfiguration::ephemeralConfiguration();
    configuration.timeoutIntervalForResource = defaultTransferTimeLimit;
    return configuration;
}

ImageDownloader::ImageDownloader(std::string name) : name_(std::move(name)) {
    if (name_.empty())
        detail::fatalStop("Pictura/ImageDownloader",
                          "[Pictura] You should specify a name for the downloader. "
                          "A downloader with empty name is not permitted.");
    session_ = net::Session::make(sessionConfiguration_, sessionDelegate_);
}

std::shared_ptr<ImageDownloader> ImageDownloader::make(std::string name) {
    auto downloader = std::shared_ptr<ImageDownloader>(new ImageDownloader(std::move(name)));
    downloader->authenticationChallengeResponder_ = downloader;
    downloader->setupSessionHandler();
    return downloader;
}

const std::shared_ptr<ImageDownloader>& ImageDownloader::defaultDownloader() {
    // Never destroyed: worker threads may still reach it while the process exits.
    static const auto* shared = new auto(make("default"));
    return *shared;
}

ImageDownloader::~ImageDownloader() {
    // Consumers first, so each is told it was cancelled rather than of the transport's cancellation.
    sessionDelegate_->cancelAll();
    session_->invalidateAndCancel();
}

void ImageDownloader::replaceSession() {
    // The old session's consumers are told now: its delegate may be gone before the transport reports.
    sessionDelegate_->cancelAll();
    session_->invalidateAndCancel();
    session_ = net::Session::make(sessionConfiguration_, sessionDelegate_);
}

void ImageDownloader::setSessionConfiguration(net::SessionConfiguration configuration) {
    sessionConfiguration_ = std::move(configuration);
    replaceSession();
}

void ImageDownloader::setSessionDelegate(std::shared_ptr<SessionDelegate> delegate) {
    auto old = std::exchange(sessionDelegate_, std::move(delegate));
    old->cancelAll();
    session_->invalidateAndCancel();
    session_ = net::Session::make(sessionConfiguration_, sessionDelegate_);
    setupSessionHandler();
}

void ImageDownloader::setupSessionHandler() {
    auto self = shared_from_this();
    auto& hooks = *sessionDelegate_;
    hooks.onReceiveSessionChallenge.delegate(self, [](ImageDownloader& self, const SessionDelegate::SessionChallenge& input) {
        const auto& [session, challenge, reply] = input;
        // No responder (it is held weakly) means the default handling, never an unanswered challenge.
        if (auto responder = self.authenticationChallengeResponder())
            return responder->didReceiveChallenge(self, challenge, reply);
        reply(net::ChallengeDisposition::performDefaultHandling);
    });
    hooks.onReceiveSessionTaskChallenge.delegate(
        self, [](ImageDownloader& self, const SessionDelegate::SessionTaskChallenge& input) {
            const auto& [session, task, challenge, reply] = input;
            if (auto responder = self.authenticationChallengeResponder())
                return responder->didReceiveTaskChallenge(self, task, challenge, reply);
            reply(net::ChallengeDisposition::performDefaultHandling);
        });
    hooks.onValidStatusCode.delegate(self, [](ImageDownloader& self, const int& code) {
        if (auto delegate = self.delegate()) return delegate->isValidStatusCode(code, self);
        return self.isValidStatusCode(code, self);
    });
    hooks.onDownloadingFinished.delegate(
        self, [](ImageDownloader& self, const SessionDelegate::DownloadingFinished& finished) {
            auto delegate = self.delegate();
            if (!delegate) return;
            const auto& [url, result] = finished;
            if (result) delegate->didFinishDownloadingImageForURL(self, url, *result, std::nullopt);
            else delegate->didFinishDownloadingImageForURL(self, url, std::nullopt, result.error());
        });
    hooks.onDidDownloadData.delegate(self, [](ImageDownloader& self, const std::shared_ptr<SessionDataTask>& task) {
        if (auto delegate = self.delegate()) return delegate->didDownloadDataWithTask(self, task->takeData(), *task);
        return self.didDownloadDataWithTask(self, task->takeData(), *task);
    });
}

void ImageDownloader::createDownloadContext(const foundation::URL& url, const PicturaParsedOptionsInfo& options,
                                            std::function<void(std::expected<DownloadingContext, PicturaError>)> done) {
    net::Request request(url, downloadTimeout());
    request.cachePolicy = net::CachePolicy::reloadIgnoringLocalCacheData;
    request.httpShouldUsePipelining = requestsUsePipelining();
    if (options.lowDataModeSource) request.allowsConstrainedNetworkAccess = false;

    auto finalTest = [options, done](const net::Request& request) {
        if (!request.url || request.url->absoluteString().empty())
            return done(std::unexpected(PicturaError::requestError(PicturaError::InvalidURL{request})));
        done(DownloadingContext{*request.url, request, options});
    };
    if (!options.requestModifier) return finalTest(request);
    options.requestModifier->modified(request, [done, finalTest](std::optional<net::Request> modified) {
        if (!modified) return done(std::unexpected(PicturaError::requestError(PicturaError::EmptyRequest{})));
        finalTest(*modified);
    });
}

std::optional<DownloadTask> ImageDownloader::downloadImage(const foundation::URL& url,
                                                           const PicturaParsedOptionsInfo& options,
                                                           CompletionHandler completionHandler) {
    // A modifier may answer later, on another thread, while this call returns.
    struct Slot {
        std::mutex lock;
        std::optional<DownloadTask> task;
    };
    auto slot = std::make_shared<Slot>();
    std::weak_ptr<ImageDownloader> weakSelf = weak_from_this();
    createDownloadContext(
        url, options,
        [weakSelf, slot, options, completionHandler](std::expected<DownloadingContext, PicturaError> context) {
            if (!context) {
                if (!completionHandler) return;
                return options.callbackQueue.execute(
                    [completionHandler, error = context.error()] { completionHandler(std::unexpected(error)); });
            }
            auto self = weakSelf.lock();
            if (!self) {
                // Torn down while a modifier was still at work: no transfer, but the consumer is told.
                SessionDataTask::TaskCallback callback{completionDelegate(completionHandler), options};
                return deliver(callback, std::unexpected(PicturaError::requestError(PicturaError::TaskCancelled{nullptr, 0})));
            }
            SessionDataTask::TaskCallback callback{completionDelegate(completionHandler), options};
            auto task = self->startDownloadTask(*context, std::move(callback));
            {
                std::lock_guard guard(slot->lock);
                slot->task = task;
            }
            if (options.requestModifier)
                if (auto started = options.requestModifier->onDownloadTaskStarted()) started(&task);
        });
    std::lock_guard guard(slot->lock);
    return slot->task;
}

std::optional<DownloadTask> ImageDownloader::downloadImage(const foundation::URL& url,
                                                           const std::optional<PicturaOptionsInfo>& options,
                                                           ImageLoadingProgressSideEffect::Block progressBlock,
                                                           CompletionHandler completionHandler) {
    PicturaParsedOptionsInfo parsed(options.value_or(PicturaOptionsInfo{}));
    if (progressBlock) {
        if (!parsed.onDataReceived) parsed.onDataReceived.emplace();
        parsed.onDataReceived->push_back(
            std::make_shared<ImageLoadingProgressSideEffect>([] { return true; }, std::move(progressBlock)));
    }
    return downloadImage(url, parsed, std::move(completionHandler));
}

std::optional<DownloadTask> ImageDownloader::downloadImage(const foundation::URL& url,
                                                           const std::optional<PicturaOptionsInfo>& options,
                                                           CompletionHandler completionHandler) {
    return downloadImage(url, PicturaParsedOptionsInfo(options.value_or(PicturaOptionsInfo{})),
                         std::move(completionHandler));
}

std::pair<DownloadTask, bool> ImageDownloader::addDownloadTask(const DownloadingContext& context,
                                                               SessionDataTask::TaskCallback callback) {
    // Made only when no transfer of the URL is filed, under the same lock hold as the look-up.
    auto makeTask = [this, &context] {
        auto task = session_->dataTask(context.request);
        task->setPriority(context.options.downloadPriority);
        auto dataTask = SessionDataTask::make(std::move(task));
        // Bound before the task is filed: a consumer that joins and cancels at once is still told.
        // The completion owns the context (and with it the options and the processing queue) until the
        // processing has been submitted, whatever happens to this binding meanwhile.
        dataTask->onTaskDone.delegate(dataTask, [downloader = weak_from_this(),
                                                 context = std::make_shared<const DownloadingContext>(context)](
                                                    SessionDataTask&, const SessionDataTask::TaskDone& done) {
            taskDone(downloader, context, done);
        });
        return dataTask;
    };
    return sessionDelegate_->join(context.url, std::move(callback), makeTask);
}

DownloadTask ImageDownloader::startDownloadTask(const DownloadingContext& context,
                                                SessionDataTask::TaskCallback callback) {
    auto [task, filedNow] = addDownloadTask(context, std::move(callback));
    // A consumer that joined a transfer leaves starting it to the consumer that filed it.
    if (!filedNow || task.sessionTask->started()) return task;
    reportWillStartDownload(context.url, context.request);
    task.sessionTask->start();
    return task;
}

void ImageDownloader::reportWillStartDownload(const foundation::URL& url, const net::Request& request) {
    if (auto observer = delegate()) observer->willDownloadImageForURL(*this, url, request);
}

void ImageDownloader::reportDidDownloadImageData(const SessionDataTask::DataResult& result,
                                                 const foundation::URL& url) {
    auto observer = delegate();
    if (!observer) return;
    if (result) observer->didFinishDownloadingImageForURL(*this, url, result->second, std::nullopt);
    else observer->didFinishDownloadingImageForURL(*this, url, std::nullopt, result.error());
}

void ImageDownloader::reportDidProcessImage(const ImageDataProcessor::ProcessingResult& result,
                                            const foundation::URL& url, const std::optional<net::Response>& response) {
    if (!result) return;
    if (auto observer = delegate()) observer->didDownloadImageForURL(*this, *result, url, response);
}

void ImageDownloader::taskDone(std::weak_ptr<ImageDownloader> downloader,
                               std::shared_ptr<const DownloadingContext> owned, const SessionDataTask::TaskDone& done) {
    const DownloadingContext& context = *owned;
    const auto& [result, callbacks] = done;
    if (auto self = downloader.lock()) self->reportDidDownloadImageData(result, context.url);
    if (!result) {
        for (const auto& callback : callbacks) deliver(callback, std::unexpected(result.error()));
        return;
    }
    const auto& [body, response] = *result;
    // The body is handed over here: taken, not copied, and from then on shared by every result.
    auto processor = ImageDataProcessor::make(body ? std::move(*body) : foundation::Data(), callbacks,
                                              context.options.processingQueue);
    processor->onImageProcessed.delegate(
        processor, [downloader, url = context.url, response](ImageDataProcessor& processor,
                                                             const ImageDataProcessor::ImageProcessed& processed) {
            const auto& [image, callback] = processed;
            if (auto self = downloader.lock()) self->reportDidProcessImage(image, url, response);
            if (!image) return deliver(callback, std::unexpected(image.error()));
            deliver(callback, ImageLoadingResult{*image, url, processor.sharedData()});
        });
    processor->process();
}

void ImageDownloader::cancelAll() { sessionDelegate_->cancelAll(); }

void ImageDownloader::cancel(const foundation::URL& url) {
    if (auto task = sessionDelegate_->task(url)) task->cancelAllCallbacks();
}

}  // namespace pictura
