#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/CallbackQueue.h"
#include "pictura/Delegate.h"
#include "pictura/ImageProcessor.h"
#include "pictura/PicturaError.h"
#include "pictura/SessionDataTask.h"

namespace pictura {

// Makes every waiting consumer's image from one download's bytes, running each distinct processor
// (by identifier) once, off the session's queue.
class ImageDataProcessor : public std::enable_shared_from_this<ImageDataProcessor> {
public:
    using ProcessingResult = std::expected<std::shared_ptr<gfx::Image>, PicturaError>;
    using ImageProcessed = std::pair<ProcessingResult, SessionDataTask::TaskCallback>;

    // Without a queue, the downloader processing queue. The body is kept once, as the processors' item.
    static std::shared_ptr<ImageDataProcessor> make(foundation::Data data,
                                                    std::vector<SessionDataTask::TaskCallback> callbacks,
                                                    std::optional<CallbackQueue> processingQueue);
    // "com.tolvane.Pictura.ImageDownloader.Process", shared by every downloader. Passes given to it run
    // side by side, as many at once as there are cores; each pass still runs whole on one thread, so a
    // download's consumers get their results in their order.
    static const CallbackQueue& downloaderProcessingQueue();

    const foundation::Data& data() const { return std::get<foundation::Data>(*item_); }
    // The body as one immutable buffer that results share; it lives as long as any of them holds it.
    std::shared_ptr<const foundation::Data> sharedData() const { return {item_, &data()}; }
    const std::vector<SessionDataTask::TaskCallback>& callbacks() const { return callbacks_; }
    const CallbackQueue& queue() const { return queue_; }

    // Runs the pass on the queue; the pass keeps the processor alive until it ends.
    void process();

    // One result per consumer, on the queue, as each is made.
    Delegate<ImageProcessed, void> onImageProcessed;

private:
    ImageDataProcessor(foundation::Data data, std::vector<SessionDataTask::TaskCallback> callbacks, CallbackQueue queue)
        : item_(std::make_shared<const ImageProcessItem>(std::move(data))), callbacks_(std::move(callbacks)),
          queue_(std::move(queue)) {}
    void doProcess();

    const std::shared_ptr<const ImageProcessItem> item_;
    const std::vector<SessionDataTask::TaskCallback> callbacks_;
    const CallbackQueue queue_;
};

}  // namespace pictura
