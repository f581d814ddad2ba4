#pragma once

#include <atomic>
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

// The identifier a target waits for (0: none), shared with its retrieval's closures: the check made for
// every received chunk, on the download thread, reads it without taking hold of the target, which must
// only ever end on the main thread.
class TaskIdentifierCell {
public:
    std::optional<Source::Identifier::Value> get() const {
        const auto value = value_.load();
        return value ? std::optional(value) : std::nullopt;
    }
    void set(std::optional<Source::Identifier::Value> identifier) { value_.store(identifier.value_or(0)); }

private:
    std::atomic<Source::Identifier::Value> value_ = 0;
};
using TaskIdentifierCellPointer = std::shared_ptr<TaskIdentifierCell>;

// The object's cell under `key`, made on first use (on the main thread, where set-image runs).
template <class Object>
TaskIdentifierCellPointer identifierCell(const std::shared_ptr<Object>& object, const void* key) {
    if (auto cell = associatedValue<TaskIdentifierCellPointer>(object, key); cell && *cell) return *cell;
    auto cell = std::make_shared<TaskIdentifierCell>();
    setRetainedAssociatedValue(object, key, cell);
    return cell;
}

template <class Object>
std::optional<Source::Identifier::Value> storedIdentifier(const std::shared_ptr<Object>& object, const void* key) {
    auto cell = associatedValue<TaskIdentifierCellPointer>(object, key);
    return cell && *cell ? (*cell)->get() : std::nullopt;
}

// True while the target lives and still waits for `identifier`. Any thread; never holds the target.
std::function<bool()> currentTaskCheck(std::weak_ptr<const void> target, TaskIdentifierCellPointer cell,
                                       Source::Identifier::Value identifier);

// A target that shows one plain image. Every member holds the target weakly: a target that is gone
// reads as waiting for nothing, so its results are stale.
struct PlainImageTarget {
    std::function<void(std::shared_ptr<gfx::Image>)> setImage;
    std::function<std::optional<Source::Identifier::Value>()> identifier;
    std::function<void(std::optional<Source::Identifier::Value>)> setIdentifier;
    std::function<void(std::optional<DownloadTask>)> setTask;
    // The check for a request with the given identifier (`currentTaskCheck`), made when it starts.
    std::function<std::function<bool()>(Source::Identifier::Value)> checkFor;
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
        return strong ? storedIdentifier(strong, identifierKey) : std::nullopt;
    };
    target.setIdentifier = [weak, identifierKey](std::optional<Source::Identifier::Value> identifier) {
        if (auto strong = weak.lock()) identifierCell(strong, identifierKey)->set(identifier);
    };
    target.checkFor = [weak, identifierKey](Source::Identifier::Value identifier) {
        auto strong = weak.lock();
        return currentTaskCheck(weak, strong ? identifierCell(strong, identifierKey) : nullptr, identifier);
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
