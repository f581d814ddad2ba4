#include "pictura/ImageDataProcessor.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "dispatch/Queue.h"
#include "pictura/ImageWrapper.h"

namespace pictura {

namespace {

// Runs blocks on a concurrent queue, at most `width` at once: decoding is bound by the cores, and more
// passes than cores would only take threads from the shared pool.
class WidthLimitedQueue {
public:
    WidthLimitedQueue(std::shared_ptr<::dispatch::Queue> queue, std::size_t width)
        : queue_(std::move(queue)), width_(width) {}

    void async(::dispatch::Block block) {
        {
            std::lock_guard guard(lock_);
            pending_.push_back(std::move(block));
            if (running_ == width_) return;
            ++running_;
        }
        queue_->async([this] { drain(); });
    }

private:
    void drain() {
        while (true) {
            ::dispatch::Block block;
            {
                std::lock_guard guard(lock_);
                if (pending_.empty()) {
                    --running_;
                    return;
                }
                block = std::move(pending_.front());
                pending_.pop_front();
            }
            block();
        }
    }

    const std::shared_ptr<::dispatch::Queue> queue_;
    const std::size_t width_;
    std::mutex lock_;
    std::deque<::dispatch::Block> pending_;
    std::size_t running_ = 0;
};

// Never destroyed: a held transfer that completes while the process ends still hands its data over
// here, after the exit handlers have run.
const std::shared_ptr<::dispatch::Queue>& processingQueue() {
    static const auto* queue =
        new std::shared_ptr(::dispatch::Queue::concurrent("com.tolvane.Pictura.ImageDownloader.Process"));
    return *queue;
}

WidthLimitedQueue& processingLanes() {
    static auto* lanes = new WidthLimitedQueue(processingQueue(), std::max(1u, std::thread::hardware_concurrency()));
    return *lanes;
}

// A fresh copy of the pixels, so nothing of the download's decoding is shared or done later. Images
// keeping frames or their source are used as they are, like images without a bitmap.
std::shared_ptr<gfx::Image> decodedImage(const std::shared_ptr<gfx::Image>& image) {
    if (!image || !image->bitmap() || pc(image).isAnimation()) return image;
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
    static const auto* queue = new CallbackQueue(CallbackQueue::dispatch(processingQueue()));
    return *queue;
}

void ImageDataProcessor::process() {
    auto pass = [self = shared_from_this()] { self->doProcess(); };
    if (queue_ == downloaderProcessingQueue()) return processingLanes().async(std::move(pass));
    queue_.execute(std::move(pass));
}

void ImageDataProcessor::doProcess() {
    std::unordered_map<std::string, std::shared_ptr<gfx::Image>> processedImages;
    for (const auto& callback : callbacks_) {
        const auto processor = callback.options.processor ? callback.options.processor
                                                          : DefaultImageProcessor::defaultProcessor();
        const auto identifier = processor->identifier();
        std::shared_ptr<gfx::Image> image;
        if (auto found = processedImages.find(identifier); found != processedImages.end()) {
            image = found->second;
        } else {
            image = processor->process(*item_, callback.options);
            // A failed run is not remembered: the next consumer with this identifier tries again.
            if (image) processedImages.emplace(identifier, image);
        }
        if (!image) {
            onImageProcessed({std::unexpected(PicturaError::processorError(PicturaError::ProcessingFailed{processor, *item_})),
                              callback});
            continue;
        }
        onImageProcessed({callback.options.backgroundDecode ? decodedImage(image) : image, callback});
    }
}

}  // namespace pictura
