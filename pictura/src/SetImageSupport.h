#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "foundation/URL.h"
#include "gfx/Image.h"
#include "pictura/ImageViewWrapper.h"

// What the set-image targets share: options with the shared defaults, sources from resources, the two
// errors of set-image, and the flow of the targets that take a plain image (buttons, list items, text
// attachments).
namespace pictura::detail {

// The shared manager's defaults (its downloader and cache first), then the caller's items.
PicturaParsedOptionsInfo parseWithSharedDefaults(const std::optional<PicturaOptionsInfo>& items);
std::optional<Source> sourceOf(const std::optional<ImageResource>& resource);
std::optional<Source> sourceOf(const std::optional<foundation::URL>& url);
std::optional<Source> sourceOf(const std::shared_ptr<const ImageDataProvider>& provider);
void appendProgress(PicturaParsedOptionsInfo& options, DownloadProgressBlock progressBlock);

PicturaError emptySource();
// The result or the error of a retrieval that no target waits for any more.
PicturaError notCurrentSourceTask(const PicturaManager::RetrieveResult& result, const Source& source);

// A target that shows one plain image. Every member holds the target weakly: a target that is gone
// reads as waiting for nothing, so its results are stale.
struct PlainImageTarget {
    std::function<void(std::shared_ptr<gfx::Image>)> setImage;
    std::function<std::optional<Source::Identifier::Value>()> identifier;
    std::function<void(std::optional<Source::Identifier::Value>)> setIdentifier;
    std::function<void(std::optional<DownloadTask>)> setTask;
    // After a current success has been set (a text attachment's redraw); may be empty.
    std::function<void()> didSetImage;
};

// The flow of a plain-image target: placeholder unless kept, an identifier, the retrieval, and on the
// main thread the stale check, the image or the failure image, then the completion.
std::optional<DownloadTask> setPlainImage(const PlainImageTarget& target, const std::optional<Source>& source,
                                          const std::shared_ptr<gfx::Image>& placeholder,
                                          const PicturaParsedOptionsInfo& parsedOptions,
                                          DownloadProgressBlock progressBlock,
                                          SetImageCompletionHandler completionHandler);

// Cancels the target's task, if any.
void cancel(const std::optional<DownloadTask>& task);

}  // namespace pictura::detail
