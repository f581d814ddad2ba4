#pragma once

#include <concepts>
#include <memory>
#include <optional>

#include "foundation/URL.h"
#include "pictura/Indicator.h"
#include "pictura/PicturaManager.h"
#include "pictura/PicturaOptions.h"
#include "pictura/PicturaWrapper.h"
#include "pictura/Placeholder.h"
#include "pictura/SessionDataTask.h"
#include "pictura/Source.h"
#include "ui/ImageView.h"

namespace pictura {

// Reports a download's progress: the bytes received so far and the expected total.
using DownloadProgressBlock = ImageLoadingProgressSideEffect::Block;
// Where set-image reports: the retrieval's result, or why the image was not set.
using SetImageCompletionHandler = PicturaManager::CompletionHandler;

// An image view that decides for itself whether retrievals for it load every frame of an animation up
// front (an animated image view plays frames as they come and says no). A plain image view says yes.
class AnimationPreloading {
public:
    virtual ~AnimationPreloading() = default;
    virtual bool shouldPreloadAllAnimation() const = 0;
};
bool shouldPreloadAllAnimation(const ui::ImageView& view);

template <>
inline constexpr bool isPicturaCompatible<ui::ImageView> = true;

// Set-image on image views: `pc(imageView).setImage(url)`. One call hands the view and a source to the
// shared retrieval manager and puts the result on the view on the main thread, with a placeholder, an
// indicator, a transition and progress on the way. A newer call on the same view makes the result of an
// older one stale: it is dropped and its completion told `notCurrentSourceTask` (5002). Main thread only;
// the result holds the view weakly, so a view that is gone by then is not kept alive (its completion is
// told `notCurrentSourceTask`).
template <>
struct PicturaWrapper<std::shared_ptr<ui::ImageView>> : PicturaWrapperBase<std::shared_ptr<ui::ImageView>> {
    using PicturaWrapperBase::PicturaWrapperBase;
    using CompletionHandler = SetImageCompletionHandler;

    // The shared manager's default options, then `options` (so the caller's items win). A nil source
    // shows the placeholder and reports `emptySource` (5001) before returning nil.
    std::optional<DownloadTask> setImage(const std::optional<Source>& source,
                                         std::shared_ptr<const Placeholder> placeholder,
                                         const std::optional<PicturaOptionsInfo>& options,
                                         DownloadProgressBlock progressBlock, CompletionHandler completionHandler) const;
    std::optional<DownloadTask> setImage(const std::optional<Source>& source,
                                         std::shared_ptr<const Placeholder> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         CompletionHandler completionHandler = nullptr) const;
    // A resource, converted to its source (a file URL to a local-file provider).
    std::optional<DownloadTask> setImage(const std::optional<ImageResource>& resource,
                                         std::shared_ptr<const Placeholder> placeholder,
                                         const std::optional<PicturaOptionsInfo>& options,
                                         DownloadProgressBlock progressBlock, CompletionHandler completionHandler) const;
    std::optional<DownloadTask> setImage(const std::optional<ImageResource>& resource,
                                         std::shared_ptr<const Placeholder> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         CompletionHandler completionHandler = nullptr) const;
    // A URL as a resource with its own key.
    std::optional<DownloadTask> setImage(const std::optional<foundation::URL>& url,
                                         std::shared_ptr<const Placeholder> placeholder,
                                         const std::optional<PicturaOptionsInfo>& options,
                                         DownloadProgressBlock progressBlock, CompletionHandler completionHandler) const;
    std::optional<DownloadTask> setImage(const std::optional<foundation::URL>& url,
                                         std::shared_ptr<const Placeholder> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         CompletionHandler completionHandler = nullptr) const;
    // A data provider as a provider source; null is no source.
    std::optional<DownloadTask> setImage(const std::shared_ptr<const ImageDataProvider>& provider,
                                         std::shared_ptr<const Placeholder> placeholder,
                                         const std::optional<PicturaOptionsInfo>& options,
                                         DownloadProgressBlock progressBlock, CompletionHandler completionHandler) const;
    std::optional<DownloadTask> setImage(const std::shared_ptr<const ImageDataProvider>& provider,
                                         std::shared_ptr<const Placeholder> placeholder = nullptr,
                                         const std::optional<PicturaOptionsInfo>& options = std::nullopt,
                                         CompletionHandler completionHandler = nullptr) const;
    // The core, with options parsed already (the builder's road); every form above ends here.
    std::optional<DownloadTask> setImage(const std::optional<Source>& source,
                                         std::shared_ptr<const Placeholder> placeholder,
                                         const PicturaParsedOptionsInfo& parsedOptions,
                                         DownloadProgressBlock progressBlock, CompletionHandler completionHandler) const;

    // Cancels the running download, if any; its completion then reports the cancellation.
    void cancelDownloadTask() const;
    // The identifier of the retrieval the view waits for; nothing when it waits for none.
    std::optional<Source::Identifier::Value> taskIdentifier() const;

    // `none` when never set. Setting it installs the indicator it names (none for image bytes that do
    // not decode) and stores the type.
    IndicatorType indicatorType() const;
    void setIndicatorType(const IndicatorType& type) const;
    std::shared_ptr<Indicator> indicator() const;
    // The placeholder applied now, if any.
    std::shared_ptr<const Placeholder> placeholder() const;

private:
    void setTaskIdentifier(std::optional<Source::Identifier::Value> identifier) const;
    void setPlaceholder(std::shared_ptr<const Placeholder> placeholder) const;
    void setIndicator(std::shared_ptr<Indicator> indicator) const;
    std::optional<DownloadTask> imageTask() const;
    void setImageTask(std::optional<DownloadTask> task) const;
};

// Image views of a kind of their own (an animated image view) take the image view's set-image.
template <class View>
    requires(std::derived_from<View, ui::ImageView> && !isPicturaCompatible<View>)
PicturaWrapper<std::shared_ptr<ui::ImageView>> pc(const std::shared_ptr<View>& view) {
    return PicturaWrapper<std::shared_ptr<ui::ImageView>>(view);
}

}  // namespace pictura
