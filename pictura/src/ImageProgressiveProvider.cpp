#include "pictura/ImageProgressiveProvider.h"

#include <algorithm>
#include <atomic>

#include "dispatch/WorkItem.h"
#include "foundation/Clock.h"
#include "gfx/ImageSource.h"
#include "pictura/ImageDataProcessor.h"
#include "pictura/ImageWrapper.h"
#include "pictura/PlatformWrappers.h"

namespace pictura {

namespace {

// The clock the queue's deadlines are set on, so that the time since the last task counts against them.
double monotonicSeconds() { return foundation::Clock::current()->uptime(); }

// Whether a consumer of the download is the retrieval this provider belongs to.
bool belongsTo(const SessionDataTask::TaskCallback& callback, const DataReceivingSideEffect* provider) {
    if (!callback.options.onDataReceived) return false;
    return std::ranges::any_of(*callback.options.onDataReceived,
                               [&](const auto& effect) { return effect.get() == provider; });
}

}  // namespace

// ---- decoder

bool ImageProgressiveDecoder::scan(const foundation::Data& data, std::vector<foundation::Data>* prefixes,
                                   std::size_t& last) {
    if (!pc(data).contains(JPEGMarker::SOF2())) return false;
    const auto size = static_cast<long>(data.size());
    if (scannedIndex + 1 >= size) return false;
    long index = scannedIndex + 1;
    int count = scannedCount;
    last = 0;
    while (index < size - 1) {
        scannedIndex = index;
        if (data[index] == 0xFF && data[index + 1] == 0xDA) {
            if (prefixes && count > 0) prefixes->push_back(data.subdata(0, static_cast<std::size_t>(index)));
            last = static_cast<std::size_t>(index);
            ++count;
        }
        ++index;
    }
    if (count <= scannedCount) return false;
    scannedCount = count;
    return count >= 2;
}

std::optional<foundation::Data> ImageProgressiveDecoder::newestScanPrefix(const foundation::Data& data) {
    std::size_t last = 0;
    if (!scan(data, nullptr, last) || last < 1) return std::nullopt;
    return data.subdata(0, last);
}

std::vector<foundation::Data> ImageProgressiveDecoder::newScanPrefixes(const foundation::Data& data) {
    std::vector<foundation::Data> prefixes;
    std::size_t last = 0;
    if (!scan(data, &prefixes, last)) return {};
    return prefixes;
}

int ImageProgressiveDecoder::blurRadius(int scannedCount) { return std::max(2, 14 - 4 * scannedCount); }

bool ImageProgressiveDecoder::previewsAllowed(const foundation::Data& data) {
    if (withinBudget) return *withinBudget;
    auto source = gfx::ImageSource::create(data);
    auto properties = source ? source->propertiesAt(0) : std::nullopt;
    if (!properties) return false;
    withinBudget = static_cast<std::int64_t>(properties->pixelWidth) * properties->pixelHeight <= previewPixelBudget;
    return *withinBudget;
}

std::shared_ptr<gfx::Image> ImageProgressiveDecoder::blurredPartialImage(const foundation::Data& prefix,
                                                                         int scanned) const {
    auto image = PicturaWrapper<std::shared_ptr<gfx::Image>>::image(prefix, creatingOptions);
    if (!image) return nullptr;
    return pc(image).blurred(blurRadius(scanned));
}

foundation::Data ImageProgressiveDecoder::blurredPartialData(const foundation::Data& prefix, int scanned) const {
    auto blurred = blurredPartialImage(prefix, scanned);
    if (!blurred) return prefix;
    return pc(blurred).jpegRepresentation(1.0).value_or(prefix);
}

// ---- serial queue

struct ImageProgressiveSerialQueue::Item {
    std::shared_ptr<::dispatch::WorkItem> work;
};

std::shared_ptr<ImageProgressiveSerialQueue> ImageProgressiveSerialQueue::make() {
    return std::shared_ptr<ImageProgressiveSerialQueue>(new ImageProgressiveSerialQueue());
}

ImageProgressiveSerialQueue::ImageProgressiveSerialQueue()
    : queue(::dispatch::Queue::serial("com.tolvane.Pictura.ImageProgressive.SerialQueue")) {}

void ImageProgressiveSerialQueue::schedule(const std::shared_ptr<Item>& item, double delay) {
    if (delay > 0)
        queue->asyncAfter(::dispatch::Deadline::after(delay), item->work);
    else
        queue->async(item->work);
}

void ImageProgressiveSerialQueue::add(double minimum, std::function<void(Completion)> closure) {
    std::weak_ptr<ImageProgressiveSerialQueue> weakSelf = weak_from_this();
    queue->async([weakSelf, minimum, closure = std::move(closure)] {
        auto self = weakSelf.lock();
        if (!self) return;
        // Runs on `queue`: the item list is touched there only.
        Completion completion = [weakSelf, minimum] {
            auto self = weakSelf.lock();
            if (!self) return;
            self->queue->async([weakSelf, minimum] {
                auto self = weakSelf.lock();
                if (!self || self->items_.empty()) return;
                self->items_.erase(self->items_.begin());
                if (self->items_.empty())
                    self->lastTime_ = monotonicSeconds();
                else
                    self->schedule(self->items_.front(), minimum);
            });
        };
        auto item = std::make_shared<Item>();
        item->work = ::dispatch::WorkItem::create([closure, completion] { closure(completion); });
        if (self->items_.empty()) {
            const double elapsed = monotonicSeconds() - self->lastTime_.value_or(0);
            self->schedule(item, elapsed < minimum ? minimum - elapsed : 0);
        }
        self->items_.push_back(item);
    });
}

void ImageProgressiveSerialQueue::clean() {
    std::weak_ptr<ImageProgressiveSerialQueue> weakSelf = weak_from_this();
    queue->async([weakSelf] {
        auto self = weakSelf.lock();
        if (!self) return;
        for (const auto& item : self->items_) item->work->cancel();
        self->items_.clear();
    });
}

// ---- provider

std::shared_ptr<ImageProgressiveProvider> ImageProgressiveProvider::make(const PicturaParsedOptionsInfo& options,
                                                                         Refresh refresh) {
    if (!options.progressiveJPEG) return nullptr;
    return std::shared_ptr<ImageProgressiveProvider>(new ImageProgressiveProvider(options, std::move(refresh)));
}

ImageProgressiveProvider::ImageProgressiveProvider(const PicturaParsedOptionsInfo& options, Refresh refresh)
    : option(*options.progressiveJPEG),
      refresh_(std::move(refresh)),
      decoder_(std::make_shared<ImageProgressiveDecoder>(
          option, options.processingQueue.value_or(ImageDataProcessor::downloaderProcessingQueue()),
          options.imageCreatingOptions())),
      queue_(ImageProgressiveSerialQueue::make()) {}

ImageProgressiveProvider::~ImageProgressiveProvider() = default;

void ImageProgressiveProvider::onDataReceived(const std::shared_ptr<net::Session>&, const SessionDataTask& task,
                                              const foundation::Data&) {
    std::weak_ptr<ImageProgressiveProvider> weakSelf = weak_from_this();
    auto sessionTask = const_cast<SessionDataTask&>(task).shared_from_this();
    // The body so far is read here, on the session's queue, which alone writes it and at the end takes it.
    ::dispatch::Queue::main()->async([weakSelf, sessionTask, data = task.mutableData()]() mutable {
        auto self = weakSelf.lock();
        if (!self || !self->onShouldApply()) return;
        self->update(std::move(data), sessionTask->callbacks());
    });
}

void ImageProgressiveProvider::update(foundation::Data data, std::vector<SessionDataTask::TaskCallback> callbacks) {
    if (data.empty()) return;
    // Only this retrieval's own processor makes the partial images it shows.
    std::erase_if(callbacks, [this](const auto& callback) { return !belongsTo(callback, this); });
    std::weak_ptr<ImageProgressiveProvider> weakSelf = weak_from_this();
    queue_->add(option.scanInterval, [weakSelf, data = std::move(data), callbacks = std::move(callbacks)](
                                         ImageProgressiveSerialQueue::Completion completion) {
        // Asked on the main thread first; the scan then runs back on the serial queue, where the
        // decoder's counters live.
        ::dispatch::Queue::main()->async([weakSelf, data, callbacks, completion] {
            auto self = weakSelf.lock();
            if (!self) return completion();
            if (!self->onShouldApply()) {
                self->queue_->clean();
                return completion();
            }
            self->queue_->queue->async([weakSelf, data, callbacks, completion] {
                auto self = weakSelf.lock();
                if (!self) return completion();
                auto& decoder = *self->decoder_;
                std::vector<foundation::Data> prefixes;
                if (decoder.option.isFastestScan) {
                    if (auto prefix = decoder.newestScanPrefix(data)) prefixes.push_back(std::move(*prefix));
                } else {
                    prefixes = decoder.newScanPrefixes(data);
                }
                if (prefixes.empty() || callbacks.empty() || !decoder.previewsAllowed(data)) return completion();
                // One completion for the task, once every prefix has come back for every consumer.
                auto remaining = std::make_shared<std::atomic<std::size_t>>(prefixes.size() * callbacks.size());
                auto finishOne = [weakSelf, remaining, completion](std::shared_ptr<gfx::Image> image) {
                    CallbackQueue::mainCurrentOrAsync().execute([weakSelf, remaining, completion, image] {
                        auto self = weakSelf.lock();
                        if (self && image && self->onShouldApply() && self->refresh_) self->refresh_(image);
                        if (--*remaining == 0) completion();
                    });
                };
                const int scanned = decoder.scannedCount;
                // The scans of one update in one block, in order, each processed in place: a processing
                // queue that runs blocks side by side must not show a later scan before an earlier one.
                decoder.processingQueue.execute([decoderPointer = self->decoder_, prefixes = std::move(prefixes), callbacks,
                                                 scanned, finishOne] {
                    for (const auto& prefix : prefixes) {
                        auto bytes = decoderPointer->option.isBlur && scanned < 6
                                         ? decoderPointer->blurredPartialData(prefix, scanned)
                                         : prefix;
                        auto processor = ImageDataProcessor::make(std::move(bytes), callbacks, CallbackQueue::untouch());
                        processor->onImageProcessed.delegate(
                            decoderPointer, [finishOne](ImageProgressiveDecoder&, const ImageDataProcessor::ImageProcessed& result) {
                                finishOne(result.first ? *result.first : nullptr);
                            });
                        processor->process();
                    }
                });
            });
        });
    });
}

}  // namespace pictura
