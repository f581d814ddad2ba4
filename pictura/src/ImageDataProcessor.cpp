#include "pictura/ImageDataProcessor.h"

#include <string>
#include <unordered_map>

#include "dispatch/Queue.h"

namespace pictura {

namespace {

// A fresh copy of the pixels, so nothing of the download's decoding is shared or done later. Images
// keeping frames are used as they are, like images without a bitmap.
std::shared_ptr<gfx::Image> decodedImage(const std::shared_ptr<gfx::Image>& image) {
    if (!image || !image->bitmap() || image->isAnimated()) return image;
    return gfx::Image::make(std::make_shared<const gfx::Bitmap>(*image->bitmap()), image->scale(),
                            image->orientation());
}

}  // namespace

std::shared_ptr<ImageDataProcessor> ImageDataProcessor::make(foundation::Data data,
                                                             std::vector<SessionDataTask::TaskCallback> callbacks,
                                                             std::optional<CallbackQueue> processingQueue) {
    return std::shared_ptr<ImageDataProcessor>(new ImageDataProcessor(
        std::move(data), std::move(callbacks), processingQueue.value_or(downloaderProcessingQueue())));
}

const CallbackQueue& ImageDataProcessor::downloaderProcessingQueue() {
    // Never destroyed: a held transfer that completes while the process ends still hands its data
    // over here, after the exit handlers have run.
    static const auto* queue =
        new CallbackQueue(CallbackQueue::dispatch(::dispatch::Queue::serial("com.tolvane.Pictura.ImageDownloader.Process")));
    return *queue;
}

void ImageDataProcessor::process() {
    queue_.execute([self = shared_from_this()] { self->doProcess(); });
}

void ImageDataProcessor::doProcess() {
    std::unordered_map<std::string, std::shared_ptr<gfx::Image>> processedImages;
    std::optional<ImageProcessItem> item;  // the bytes copied into an item once, when a processor first runs
    for (const auto& callback : callbacks_) {
        const auto processor = callback.options.processor ? callback.options.processor
                                                          : DefaultImageProcessor::defaultProcessor();
        const auto identifier = processor->identifier();
        std::shared_ptr<gfx::Image> image;
        if (auto found = processedImages.find(identifier); found != processedImages.end()) {
            image = found->second;
        } else {
            if (!item) item.emplace(data_);
            image = processor->process(*item, callback.options);
            // A failed run is not remembered: the next consumer with this identifier tries again.
            if (image) processedImages.emplace(identifier, image);
        }
        if (!image) {
            onImageProcessed({std::unexpected(PicturaError::processorError(PicturaError::ProcessingFailed{processor, data_})),
                              callback});
            continue;
        }
        onImageProcessed({callback.options.backgroundDecode ? decodedImage(image) : image, callback});
    }
}

}  // namespace pictura
