#include "SetImageSupport.h"

#include "pictura/CallbackQueue.h"
#include "pictura/ImageLoadingProgressSideEffect.h"
#include "ui/LayoutConstraint.h"

namespace pictura::detail {

PicturaParsedOptionsInfo parseWithSharedDefaults(const std::optional<PicturaOptionsInfo>& items) {
    auto all = PicturaManager::shared()->effectiveDefaultOptions();
    if (items) all.insert(all.end(), items->begin(), items->end());
    return PicturaParsedOptionsInfo(all);
}

std::optional<Source> sourceOf(const std::optional<ImageResource>& resource) {
    if (!resource) return std::nullopt;
    return resource->convertToSource();
}

std::optional<Source> sourceOf(const std::optional<foundation::URL>& url) {
    if (!url) return std::nullopt;
    return convertToSource(*url);
}

std::optional<Source> sourceOf(const std::shared_ptr<const ImageDataProvider>& provider) {
    if (!provider) return std::nullopt;
    return Source::provider(provider);
}

void appendProgress(PicturaParsedOptionsInfo& options, DownloadProgressBlock progressBlock) {
    if (!progressBlock) return;
    if (!options.onDataReceived) options.onDataReceived.emplace();
    options.onDataReceived->push_back(
        std::make_shared<ImageLoadingProgressSideEffect>([] { return true; }, std::move(progressBlock)));
}

PicturaError emptySource() { return PicturaError::imageSettingError(PicturaError::EmptySource{}); }

PicturaError notCurrentSourceTask(const PicturaManager::RetrieveResult& result, const Source& source) {
    PicturaError::NotCurrentSourceTask reason{std::nullopt, std::nullopt, source};
    if (result) reason.result = *result;
    else reason.error = AnyError(result.error());
    return PicturaError::imageSettingError(std::move(reason));
}

std::optional<DownloadTask> setPlainImage(const PlainImageTarget& target, const std::optional<Source>& source,
                                          const std::shared_ptr<gfx::Image>& placeholder,
                                          const PicturaParsedOptionsInfo& parsedOptions,
                                          DownloadProgressBlock progressBlock,
                                          SetImageCompletionHandler completionHandler) {
    if (!source) {
        target.setImage(placeholder);
        target.setIdentifier(std::nullopt);
        if (completionHandler) completionHandler(std::unexpected(emptySource()));
        return std::nullopt;
    }
    auto options = parsedOptions;
    if (!options.keepCurrentImageWhileLoading) target.setImage(placeholder);
    const auto identifier = Source::Identifier::next();
    target.setIdentifier(identifier);
    appendProgress(options, std::move(progressBlock));

    // A retry or an alternative source reports its task wherever it starts; the target is touched on
    // the main thread only.
    auto task = PicturaManager::shared()->retrieveImage(
        *source, options,
        [setTask = target.setTask](std::optional<DownloadTask> task) {
            CallbackQueue::mainCurrentOrAsync().execute([setTask, task = std::move(task)] { setTask(task); });
        },
        [setImage = target.setImage](std::shared_ptr<gfx::Image> image) {
            CallbackQueue::mainCurrentOrAsync().execute([setImage, image = std::move(image)] { setImage(image); });
        },
        target.checkFor(identifier),
        [target, identifier, source = *source, options,
         completionHandler = std::move(completionHandler)](PicturaManager::RetrieveResult result) {
            CallbackQueue::mainCurrentOrAsync().execute([target, identifier, source, options, completionHandler,
                                                         result = std::move(result)] {
                if (target.identifier() != identifier) {
                    if (completionHandler) completionHandler(std::unexpected(notCurrentSourceTask(result, source)));
                    return;
                }
                target.setTask(std::nullopt);
                target.setIdentifier(std::nullopt);
                if (result) {
                    target.setImage(result->image);
                    if (target.didSetImage) target.didSetImage();
                } else if (options.onFailureImage) {
                    target.setImage(*options.onFailureImage);
                }
                if (completionHandler) completionHandler(result);
            });
        });
    target.setTask(task);
    return task;
}

std::function<bool()> currentTaskCheck(std::weak_ptr<const void> target, TaskIdentifierCellPointer cell,
                                       Source::Identifier::Value identifier) {
    return [target = std::move(target), cell = std::move(cell), identifier] {
        return cell && !target.expired() && cell->get() == identifier;
    };
}

void removeLaidOverView(const std::shared_ptr<ui::View>& view, const std::shared_ptr<ui::ImageView>& imageView) {
    if (!view) return;
    if (imageView) {
        std::vector<std::shared_ptr<ui::LayoutConstraint>> placing;
        for (const auto& constraint : imageView->constraints())
            if (constraint->firstItem() == view || constraint->secondItem() == view) placing.push_back(constraint);
        imageView->removeConstraints(placing);
    }
    view->removeFromSuperview();
}

void cancel(const std::optional<DownloadTask>& task) {
    if (task && task->sessionTask) task->cancel();
}

}  // namespace pictura::detail
