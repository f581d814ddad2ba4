#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "foundation/URL.h"
#include "gfx/Image.h"
#include "pictura/AssociatedValues.h"
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

// A target whose identifier and task are per-object values under the given keys, and whose image is
// set by `setImage`.
template <class Object>
PlainImageTarget keyedTarget(const std::shared_ptr<Object>& object, const void* identifierKey, const void* taskKey,
                             std::function<void(Object&, std::shared_ptr<gfx::Image>)> setImage) {
    std::weak_ptr<Object> weak = object;
    PlainImageTarget target;
    target.setImage = [weak, setImage = std::move(setImage)](std::shared_ptr<gfx::Image> image) {
        if (auto strong = weak.lock()) setImage(*strong, std::move(image));
    };
    target.identifier = [weak, identifierKey]() -> std::optional<Source::Identifier::Value> {
        auto strong = weak.lock();
        return strong ? associatedValue<Source::Identifier::Value>(strong, identifierKey) : std::nullopt;
    };
    target.setIdentifier = [weak, identifierKey](std::optional<Source::Identifier::Value> identifier) {
        if (auto strong = weak.lock())
            setRetainedAssociatedValue(strong, identifierKey, identifier ? std::any(*identifier) : std::any());
    };
    // Every task the retrieval reports is kept, the ones of retries and alternative sources too, so a
    // cancel reaches the download that is running.
    target.setTask = [weak, taskKey](std::optional<DownloadTask> task) {
        if (auto strong = weak.lock())
            setRetainedAssociatedValue(strong, taskKey, task ? std::any(std::move(*task)) : std::any());
    };
    return target;
}

// The flow of a plain-image target: placeholder unless kept, an identifier, the retrieval, and on the
// main thread the stale check, the image or the failure image, then the completion.
std::optional<DownloadTask> setPlainImage(const PlainImageTarget& target, const std::optional<Source>& source,
                                          const std::shared_ptr<gfx::Image>& placeholder,
                                          const PicturaParsedOptionsInfo& parsedOptions,
                                          DownloadProgressBlock progressBlock,
                                          SetImageCompletionHandler completionHandler);

// Takes a view that set-image laid over an image view (an indicator's, a placeholder) out of it, with the
// constraints that placed it there.
void removeLaidOverView(const std::shared_ptr<ui::View>& view, const std::shared_ptr<ui::ImageView>& imageView);

// Cancels the target's task, if any.
void cancel(const std::optional<DownloadTask>& task);

}  // namespace pictura::detail
