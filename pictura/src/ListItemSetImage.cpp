#include "SetImageSupport.h"
#include "pictura/AssociatedValues.h"
#include "pictura/ListItemWrapper.h"

namespace pictura {

namespace {

const char taskIdentifierKey = 0;
const char imageTaskKey = 0;

using Wrapper = PicturaWrapper<std::shared_ptr<ui::ListItem>>;

detail::PlainImageTarget targetOf(const std::shared_ptr<ui::ListItem>& item) {
    return detail::keyedTarget<ui::ListItem>(item, &taskIdentifierKey, &imageTaskKey,
                                             [](ui::ListItem& target, std::shared_ptr<gfx::Image> image) {
                                                 target.setImage(std::move(image));
                                             });
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
    return detail::storedIdentifier(base, &taskIdentifierKey);
}

}  // namespace pictura
