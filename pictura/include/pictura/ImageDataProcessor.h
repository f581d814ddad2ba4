#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/CallbackQueue.h"
#include "pictura/Delegate.h"
#include "pictura/PicturaError.h"
#include "pictura/SessionDataTask.h"

namespace pictura {

// Makes every waiting consumer's image from one download's bytes, running each distinct processor
// (by identifier) once, off the session's queue.
class ImageDataProcessor : public std::enable_shared_from_this<ImageDataProcessor> {
public:
    using ProcessingResult = std::expected<std::shared_ptr<gfx::Image>, PicturaError>;
    using ImageProcessed = std::pair<ProcessingResult, SessionDataTask::TaskCallback>;

    // Without a queue, the downloader processing queue.
    static std::shared_ptr<ImageDataProcessor> make(foundation::Data data,
                                                    std::vector<SessionDataTask::TaskCallback> callbacks,
                                                    std::optional<CallbackQueue> processingQueue);
    // One serial queue, "com.tolvane.Pictura.ImageDownloader.Process", shared by every downloader.
    static const CallbackQueue& downloaderProcessingQueue();

    const foundation::Data& data() const { return data_; }
    const std::vector<SessionDataTask::TaskCallback>& callbacks() const { return callbacks_; }
    const CallbackQueue& queue() const { return queue_; }

    // Runs the pass on the queue; the pass keeps the processor alive until it ends.
    void process();

    // One result per consumer, on the queue, as each is made.
    Delegate<ImageProcessed, void> onImageProcessed;

private:
    ImageDataProcessor(foundation::Data data, std::vector<SessionDataTask::TaskCallback> callbacks, CallbackQueue queue)
        : data_(std::move(data)), callbacks_(std::move(callbacks)), queue_(std::move(queue)) {}
    void doProcess();

    const foundation::Data data_;
    const std::vector<SessionDataTask::TaskCallback> callbacks_;
    const CallbackQueue queue_;
};

}  // namespace pictura
