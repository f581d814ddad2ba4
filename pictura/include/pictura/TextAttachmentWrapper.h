#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "foundation/URL.h"
#include "gfx/AttributedString.h"
#include "gfx/Image.h"
#include "pictura/ImageViewWrapper.h"
#include "pictura/PicturaWrapper.h"
#include "ui/View.h"

namespace pictura {

template <>
inline constexpr bool isPicturaCompatible<gfx::TextAttachment> = true;

// Gives the view that draws the text holding an attachment (a label); asked only once the image has
// arrived. Null asks no view to redraw.
using AttributedViewProvider = std::function<std::shared_ptr<ui::View>()>;

// The image an attachment shows: its upright pixels at its scale; null (no image) gives an empty bitmap.
void setAttachmentImage(gfx::TextAttachment& attachment, const std::shared_ptr<gfx::Image>& image);

// Set-image on inline images of text: the image-view flow with a plain image as placeholder and no
// indicator or transition. A current success sets the attachment's image, then asks the attributed
// view once to redraw. Main thread only.
template <>
struct PicturaWrapper<std::shared_ptr<gfx::TextAttachment>> : PicturaWrapperBase<std::shared_ptr<gfx::TextAttachment>> {
    using PicturaWrapperBase::PicturaWrapperBase;
    using CompletionHandler = SetImageCompletionHandler;

    // The shared manager's default options, then `options`. Without `keepCurrentImageWhileLoading` the
    // placeholder (nil included) is set first. A nil source sets the placeholder and reports
    // `emptySource` (5001) before returning nil.
    std::optional<DownloadTask> setImage(const std::optional<Source>& source, AttributedViewProvider attributedView,
                                         std::shared_ptr<gfx::Image> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         DownloadProgressBlock progressBlock = nullptr,
                                         CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setImage(const std::optional<ImageResource>& resource,
                                         AttributedViewProvider attributedView,
                                         std::shared_ptr<gfx::Image> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         DownloadProgressBlock progressBlock = nullptr,
                                         CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setImage(const std::optional<foundation::URL>& url, AttributedViewProvider attributedView,
                                         std::shared_ptr<gfx::Image> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         DownloadProgressBlock progressBlock = nullptr,
                                         CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setImage(const std::optional<Source>& source, AttributedViewProvider attributedView,
                                         std::shared_ptr<gfx::Image> placeholder,
                                         const PicturaParsedOptionsInfo& parsedOptions,
                                         DownloadProgressBlock progressBlock, CompletionHandler completionHandler) const;

    void cancelDownloadTask() const;
    std::optional<Source::Identifier::Value> taskIdentifier() const;
};

}  // namespace pictura
