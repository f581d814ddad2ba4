#pragma once

#include <memory>
#include <optional>

#include "foundation/URL.h"
#include "gfx/Image.h"
#include "pictura/ImageViewWrapper.h"
#include "pictura/PicturaWrapper.h"
#include "ui/Button.h"

namespace pictura {

template <>
inline constexpr bool isPicturaCompatible<ui::Button> = true;

// Set-image on buttons, per control state: the image channel (`setImage`) and the background channel
// (`setBackgroundImage`) each keep their own identifier per state (a combined state is a state of its
// own) and their own running-task slot, so an image and a background for one state load side by side,
// and states never make each other stale. A plain image as placeholder; no indicator, no transition.
// Main thread only.
template <>
struct PicturaWrapper<std::shared_ptr<ui::Button>> : PicturaWrapperBase<std::shared_ptr<ui::Button>> {
    using PicturaWrapperBase::PicturaWrapperBase;
    using CompletionHandler = SetImageCompletionHandler;

    // The shared manager's default options, then `options`. A nil source sets the placeholder for the
    // state and reports `emptySource` (5001) before returning nil.
    std::optional<DownloadTask> setImage(const std::optional<Source>& source, ui::ControlState state,
                                         std::shared_ptr<gfx::Image> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         DownloadProgressBlock progressBlock = nullptr,
                                         CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setImage(const std::optional<ImageResource>& resource, ui::ControlState state,
                                         std::shared_ptr<gfx::Image> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         DownloadProgressBlock progressBlock = nullptr,
                                         CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setImage(const std::optional<foundation::URL>& url, ui::ControlState state,
                                         std::shared_ptr<gfx::Image> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         DownloadProgressBlock progressBlock = nullptr,
                                         CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setImage(const std::optional<Source>& source, ui::ControlState state,
                                         std::shared_ptr<gfx::Image> placeholder,
                                         const PicturaParsedOptionsInfo& parsedOptions,
                                         DownloadProgressBlock progressBlock, CompletionHandler completionHandler) const;

    std::optional<DownloadTask> setBackgroundImage(const std::optional<Source>& source, ui::ControlState state,
                                                   std::shared_ptr<gfx::Image> placeholder = nullptr,
                                                   const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                                   DownloadProgressBlock progressBlock = nullptr,
                                                   CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setBackgroundImage(const std::optional<ImageResource>& resource, ui::ControlState state,
                                                   std::shared_ptr<gfx::Image> placeholder = nullptr,
                                                   const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                                   DownloadProgressBlock progressBlock = nullptr,
                                                   CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setBackgroundImage(const std::optional<foundation::URL>& url, ui::ControlState state,
                                                   std::shared_ptr<gfx::Image> placeholder = nullptr,
                                                   const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                                   DownloadProgressBlock progressBlock = nullptr,
                                                   CompletionHandler completionHandler = nullptr) const;
    std::optional<DownloadTask> setBackgroundImage(const std::optional<Source>& source, ui::ControlState state,
                                                   std::shared_ptr<gfx::Image> placeholder,
                                                   const PicturaParsedOptionsInfo& parsedOptions,
                                                   DownloadProgressBlock progressBlock,
                                                   CompletionHandler completionHandler) const;

    // The identifier the state waits for in each channel; nothing when it waits for none.
    std::optional<Source::Identifier::Value> taskIdentifier(ui::ControlState state) const;
    std::optional<Source::Identifier::Value> backgroundTaskIdentifier(ui::ControlState state) const;
    // Cancel the task in the channel's slot, if any; the slot and the identifiers stay.
    void cancelImageDownloadTask() const;
    void cancelBackgroundImageDownloadTask() const;
};

}  // namespace pictura
