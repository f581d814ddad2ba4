#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "gfx/Image.h"
#include "dispatch/Queue.h"
#include "pictura/ImageCreating.h"
#include "pictura/ImageProgressive.h"
#include "pictura/PicturaOptions.h"
#include "pictura/SessionDataTask.h"

namespace pictura {

class ImageProgressiveDecoder;
class ImageProgressiveSerialQueue;

// Shows a progressive JPEG scan by scan while it downloads: each chunk looks for newly completed
// scans, decodes the prefix up to the newest (blurred while the scans are coarse), runs it through
// this retrieval's processor and hands it to `refresh` on the main thread.
class ImageProgressiveProvider final : public DataReceivingSideEffect,
                                       public std::enable_shared_from_this<ImageProgressiveProvider> {
public:
    using Refresh = std::function<void(std::shared_ptr<gfx::Image>)>;

    // Null unless the options carry progressiveJPEG.
    static std::shared_ptr<ImageProgressiveProvider> make(const PicturaParsedOptionsInfo& options, Refresh refresh);
    ~ImageProgressiveProvider() override;

    void onDataReceived(const std::shared_ptr<net::Session>& session, const SessionDataTask& task,
                        const foundation::Data& data) override;

    const ImageProgressive option;

private:
    ImageProgressiveProvider(const PicturaParsedOptionsInfo& options, Refresh refresh);
    void update(foundation::Data data, std::vector<SessionDataTask::TaskCallback> callbacks);

    Refresh refresh_;
    std::shared_ptr<ImageProgressiveDecoder> decoder_;
    std::shared_ptr<ImageProgressiveSerialQueue> queue_;
};

// Finds the scans of a progressive JPEG as its bytes grow; every byte position is examined once over
// a download. Used by one task at a time.
class ImageProgressiveDecoder {
public:
    ImageProgressiveDecoder(ImageProgressive option, CallbackQueue processingQueue, ImageCreatingOptions creatingOptions)
        : option(std::move(option)), processingQueue(std::move(processingQueue)), creatingOptions(creatingOptions) {}

    // The prefix ending before the newest start of scan, once a second one shows the first complete;
    // nothing when no new scan was found.
    std::optional<foundation::Data> newestScanPrefix(const foundation::Data& data);
    // One prefix per newly completed scan, in order.
    std::vector<foundation::Data> newScanPrefixes(const foundation::Data& data);
    // The picture of the prefix blurred for `scanned` scans; as JPEG bytes, the prefix itself when
    // it does not decode.
    std::shared_ptr<gfx::Image> blurredPartialImage(const foundation::Data& prefix, int scanned) const;
    foundation::Data blurredPartialData(const foundation::Data& prefix, int scanned) const;
    // max(2, 14 - 4 x scans).
    static int blurRadius(int scannedCount);
    // Each partial picture is a whole decode of the prefix: past this many pixels a download shows
    // none, or a small file announcing a huge picture would cost a huge decode for every scan.
    static constexpr std::int64_t previewPixelBudget = 4096LL * 4096;
    // Whether the picture the data announces is within the budget; false while its size is unknown.
    bool previewsAllowed(const foundation::Data& data);

    const ImageProgressive option;
    const CallbackQueue processingQueue;
    const ImageCreatingOptions creatingOptions;
    int scannedCount = 0;
    long scannedIndex = -1;
    std::optional<bool> withinBudget;

private:
    bool scan(const foundation::Data& data, std::vector<foundation::Data>* prefixes, std::size_t& last);
};

// Runs one decode task at a time, each at least `minimum` seconds after the previous one finished.
class ImageProgressiveSerialQueue : public std::enable_shared_from_this<ImageProgressiveSerialQueue> {
public:
    using Completion = std::function<void()>;
    static std::shared_ptr<ImageProgressiveSerialQueue> make();

    void add(double minimum, std::function<void(Completion)> closure);
    // Drops every pending task; a running one still completes.
    void clean();

    const std::shared_ptr<::dispatch::Queue> queue;

private:
    ImageProgressiveSerialQueue();
    struct Item;
    void schedule(const std::shared_ptr<Item>& item, double delay);

    std::vector<std::shared_ptr<Item>> items_;
    std::optional<double> lastTime_;
};

}  // namespace pictura
