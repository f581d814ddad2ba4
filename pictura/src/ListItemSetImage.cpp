#include "SetImageSupport.h"
#include "pictura/AssociatedValues.h"
#include "pictura/ListItemWrapper.h"

namespace pictura {

namespace {

const char taskIdentifierKey = 0;
const char imageTaskKey = 0;

using Wrapper = PicturaWrapper<std::shared_ptr<ui::ListItem>>;

detail::PlainImageTarget targetOf(const std::shared_ptr<ui::ListItem>& item) {
    std::weak_ptr<ui::ListItem> weak = item;
    detail::PlainImageTarget target;
    target.setImage = [weak](std::shared_ptr<gfx::Image> image) {
        if (auto strong = weak.lock()) strong->setImage(std::move(image));
    };
    target.identifier = [weak]() -> std::optional<Source::Identifier::Value> {
        auto strong = weak.lock();
        return strong ? associatedValue<Source::Identifier::Value>(strong, &taskIdentifierKey) : std::nullopt;
    };
    target.setIdentifier = [weak](std::optional<Source::Identifier::Value> identifier) {
        if (auto strong = weak.lock())
            setRetainedAssociatedValue(strong, &taskIdentifierKey, identifier ? std::any(*identifier) : std::any());
    };
    target.setTask = [weak](std::optional<DownloadTask> task) {
        if (auto strong = weak.lock())
            setRetainedAssociatedValue(strong, &imageTaskKey, task ? std::any(std::move(*task)) : std::any());
    };
    return target;
}

}  // namespace

std::optional<DownloadTask> Wrapper::setImage(const std::optional<Source>& source, std::shared_ptr<gfx::Image> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(source, std::move(placeholder), detail::parseWithSharedDefaults(options), std::move(progressBlock),
                    std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<ImageResource>& resource,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(resource), std::move(placeholder), options, std::move(progressBlock),
                    std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<foundation::URL>& url,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(url), std::move(placeholder), options, std::move(progressBlock),
                    std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<Source>& source, std::shared_ptr<gfx::Image> placeholder,
                                              const PicturaParsedOptionsInfo& parsedOptions,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return detail::setPlainImage(targetOf(base), source, placeholder, parsedOptions, std::move(progressBlock),
                                 std::move(completionHandler));
}

void Wrapper::cancelDownloadTask() const { detail::cancel(associatedValue<DownloadTask>(base, &imageTaskKey)); }

std::optional<Source::Identifier::Value> Wrapper::taskIdentifier() const {
    return associatedValue<Source::Identifier::Value>(base, &taskIdentifierKey);
}

}  // namespace pictura
