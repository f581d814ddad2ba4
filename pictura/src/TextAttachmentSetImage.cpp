#include "SetImageSupport.h"
#include "gfx/ImageOrientation.h"
#include "pictura/AssociatedValues.h"
#include "pictura/TextAttachmentWrapper.h"

namespace pictura {

namespace {

const char taskIdentifierKey = 0;
const char imageTaskKey = 0;

using Wrapper = PicturaWrapper<std::shared_ptr<gfx::TextAttachment>>;

detail::PlainImageTarget targetOf(const std::shared_ptr<gfx::TextAttachment>& attachment,
                                  AttributedViewProvider attributedView) {
    auto target = detail::keyedTarget<gfx::TextAttachment>(
        attachment, &taskIdentifierKey, &imageTaskKey,
        [](gfx::TextAttachment& target, std::shared_ptr<gfx::Image> image) { setAttachmentImage(target, image); });
    target.didSetImage = [attributedView = std::move(attributedView)] {
        if (!attributedView) return;
        if (auto view = attributedView()) view->setNeedsDisplay();
    };
    return target;
}

}  // namespace

void setAttachmentImage(gfx::TextAttachment& attachment, const std::shared_ptr<gfx::Image>& image) {
    if (!image || !image->bitmap()) {
        attachment.image = gfx::Bitmap{};
        return;
    }
    attachment.image = gfx::orientedBitmap(*image->bitmap(), image->orientation());
    attachment.imageScale = image->scale();
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<Source>& source, AttributedViewProvider attributedView,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(source, std::move(attributedView), std::move(placeholder), detail::parseWithSharedDefaults(options),
                    std::move(progressBlock), std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<ImageResource>& resource,
                                              AttributedViewProvider attributedView,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(resource), std::move(attributedView), std::move(placeholder), options,
                    std::move(progressBlock), std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<foundation::URL>& url,
                                              AttributedViewProvider attributedView,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const std::optional<PicturaOptionsInfo>& options,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return setImage(detail::sourceOf(url), std::move(attributedView), std::move(placeholder), options,
                    std::move(progressBlock), std::move(completionHandler));
}

std::optional<DownloadTask> Wrapper::setImage(const std::optional<Source>& source, AttributedViewProvider attributedView,
                                              std::shared_ptr<gfx::Image> placeholder,
                                              const PicturaParsedOptionsInfo& parsedOptions,
                                              DownloadProgressBlock progressBlock,
                                              CompletionHandler completionHandler) const {
    return detail::setPlainImage(targetOf(base, std::move(attributedView)), source, placeholder, parsedOptions,
                                 std::move(progressBlock), std::move(completionHandler));
}

void Wrapper::cancelDownloadTask() const { detail::cancel(associatedValue<DownloadTask>(base, &imageTaskKey)); }

std::optional<Source::Identifier::Value> Wrapper::taskIdentifier() const {
    return detail::storedIdentifier(base, &taskIdentifierKey);
}

}  // namespace pictura
