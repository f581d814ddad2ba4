#include "pictura/PCImageBinder.h"

#include "declarative/Animation.h"
#include "pictura/CallbackQueue.h"
#include "pictura/PicturaManager.h"

namespace pictura {

void PCImageBinder::setLoadedImage(std::shared_ptr<gfx::Image> image) {
    objectWillChange();
    loadedImage_ = std::move(image);
}

void PCImageBinder::startLoading(const std::shared_ptr<PCImageContextBase>& context) {
    const std::uint64_t generation = ++generation_;
    if (!context->source) {
        CallbackQueue::mainCurrentOrAsync().execute([self = shared_from_this(), context] {
            context->onFailureDelegate.call(PicturaError::imageSettingError(PicturaError::EmptySource{}));
            if (context->options.onFailureImage) self->setLoadedImage(*context->options.onFailureImage);
            self->loading_ = false;
            self->loaded_ = true;
        });
        return;
    }
    loading_ = true;
    progress_ = std::make_shared<foundation::Progress>();
    auto progressBlock = [self = shared_from_this(), context, generation](std::int64_t received, std::int64_t total) {
        if (self->generation_ != generation) return;
        self->progress_->setTotalUnitCount(total);
        self->progress_->setCompletedUnitCount(received);
        self->objectWillChange();
        context->onProgressDelegate.call({received, total});
    };
    auto completion = [weak = weak_from_this(), context, generation](PicturaManager::RetrieveResult result) {
        auto self = weak.lock();
        if (!self) return;
        CallbackQueue::mainCurrentOrAsync().execute([self, context, generation, result = std::move(result)] {
            if (self->generation_ != generation) return;
            self->finish(context, result);
        });
    };
    auto task = PicturaManager::shared()->retrieveImage(*context->source, context->options, std::move(progressBlock),
                                                        nullptr, std::move(completion));
    // A result delivered inline (a memory hit on the main thread) has already finished this load.
    if (generation_ == generation && loading_) downloadTask_ = std::move(task);
}

void PCImageBinder::finish(const std::shared_ptr<PCImageContextBase>& context,
                           const std::expected<RetrieveImageResult, PicturaError>& result) {
    downloadTask_.reset();
    loading_ = false;
    if (result) {
        if (auto duration = context->fadeDuration(result->cacheType)) {
            animating_ = true;
            declarative::withAnimation(declarative::Animation::linear(*duration), [&] {
                loaded_ = true;
                objectWillChange();
            });
        } else {
            loaded_ = true;
        }
        setLoadedImage(result->image);
        animating_ = false;
        CallbackQueue::mainAsync().execute([context, value = *result] { context->onSuccessDelegate.call(value); });
    } else {
        if (context->options.onFailureImage) setLoadedImage(*context->options.onFailureImage);
        loaded_ = true;
        objectWillChange();
        CallbackQueue::mainAsync().execute([context, error = result.error()] { context->onFailureDelegate.call(error); });
    }
}

void PCImageBinder::startLoadingLater(const std::shared_ptr<PCImageContextBase>& context) {
    loading_ = true;
    CallbackQueue::mainAsync().execute([weak = weak_from_this(), context, generation = generation_] {
        auto self = weak.lock();
        if (self && self->generation_ == generation) self->startLoading(context);
    });
}

void PCImageBinder::cancelLoading() {
    ++generation_;
    if (downloadTask_) downloadTask_->cancel();
    downloadTask_.reset();
    loading_ = false;
}

}  // namespace pictura
