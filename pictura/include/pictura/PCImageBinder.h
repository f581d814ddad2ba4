#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>

#include "declarative/ObservableObject.h"
#include "foundation/Progress.h"
#include "gfx/Image.h"
#include "pictura/PCImageContext.h"
#include "pictura/SessionDataTask.h"

namespace pictura {

// The loading state of one declarative image view's identity: it loads through the shared manager and
// announces its changes (before making them) to the view that shows it. Main thread only; held in a
// shared_ptr (its loads hold it weakly).
class PCImageBinder : public declarative::ObservableObject, public std::enable_shared_from_this<PCImageBinder> {
public:
    const std::optional<DownloadTask>& downloadTask() const { return downloadTask_; }
    bool loading() const { return loading_; }
    void setLoading(bool loading) { loading_ = loading; }
    bool loaded() const { return loaded_; }
    bool animating() const { return animating_; }
    const std::shared_ptr<gfx::Image>& loadedImage() const { return loadedImage_; }
    // Announces the change first.
    void setLoadedImage(std::shared_ptr<gfx::Image> image);
    const std::shared_ptr<foundation::Progress>& progress() const { return progress_; }

    void startLoading(const std::shared_ptr<PCImageContextBase>& context);
    // Marks the binder loading now and starts at the next turn of the main queue, unless a cancel or
    // another start comes first.
    void startLoadingLater(const std::shared_ptr<PCImageContextBase>& context);
    // Withdraws the running load; its result, should it still arrive, is dropped.
    void cancelLoading();

private:
    void finish(const std::shared_ptr<PCImageContextBase>& context, const std::expected<RetrieveImageResult, PicturaError>& result);

    std::optional<DownloadTask> downloadTask_;
    bool loading_ = false;
    bool loaded_ = false;
    bool animating_ = false;
    std::shared_ptr<gfx::Image> loadedImage_;
    std::shared_ptr<foundation::Progress> progress_ = std::make_shared<foundation::Progress>();
    // Counts starts and cancels: a result or progress of any load but the latest is stale.
    std::uint64_t generation_ = 0;
};

}  // namespace pictura
