#pragma once

#include <memory>
#include <optional>

#include "foundation/URL.h"
#include "gfx/Image.h"
#include "pictura/ImageViewWrapper.h"
#include "pictura/PicturaWrapper.h"
#include "ui/ListItem.h"

namespace pictura {

template <>
inline constexpr bool isPicturaCompatible<ui::ListItem> = true;

// Set-image on list items: the image-view flow with a plain image as placeholder and no indicator,
// transition or animation preloading; the result is set at once whatever the transition options say.
// Main thread only.
template <>
struct PicturaWrapper<std::shared_ptr<ui::ListItem>> : PicturaWrapperBase<std::shared_ptr<ui::ListItem>> {
    using PicturaWrapperBase::PicturaWrapperBase;
    using CompletionHandler = SetImageCompletionHandler;

    // The shared manager's default options, then `options`. Without `keepCurrentImageWhileLoading` the
    // placeholder (nil included) is set first. A nil source sets the placeholder and reports
    // `emptySource` (5001) before returning nil.
    std::optional<DownloadTask> setImage(const std::optional<Source>& source,
                                         std::shared_ptr<gfx::Image> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         DownloadProgressBlock progressBlock = nullptr,
                                         CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setImage(const std::optional<ImageResource>& resource,
                                         std::shared_ptr<gfx::Image> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         DownloadProgressBlock progressBlock = nullptr,
                                         CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setImage(const std::optional<foundation::URL>& url,
                                         std::shared_ptr<gfx::Image> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         DownloadProgressBlock progressBlock = nullptr,
                                         CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setImage(const std::optional<Source>& source, std::shared_ptr<gfx::Image> placeholder,
                                         const PicturaParsedOptionsInfo& parsedOptions,
                                         DownloadProgressBlock progressBlock, CompletionHandler completionHandler) const;

    void cancelDownloadTask() const;
    std::optional<Source::Identifier::Value> taskIdentifier() const;
};

}  // namespace pictura
