#include "media/AssetImageGenerator.h"

#include "FrameExtraction.h"

namespace media {

std::shared_ptr<AssetImageGenerator> AssetImageGenerator::make(std::shared_ptr<Asset> asset) {
    return std::shared_ptr<AssetImageGenerator>(new AssetImageGenerator(std::move(asset)));
}

AssetImageGenerator::AssetImageGenerator(std::shared_ptr<Asset> asset)
    : asset_(std::move(asset)), queue_(dispatch::Queue::serial("media.AssetImageGenerator")) {}

void AssetImageGenerator::generateImages(std::vector<Time> times, Handler handler) {
    const std::uint64_t request = ++submitted_;
    auto self = shared_from_this();
    queue_->async([self, request, times = std::move(times), handler = std::move(handler)] {
        for (const Time& time : times) {
            if (request <= self->cancelledThrough_.load()) {
                handler(time, nullptr, Time{}, Result::cancelled, std::nullopt);
                continue;
            }
            auto* urlAsset = dynamic_cast<const URLAsset*>(self->asset_.get());
            if (!urlAsset) {
                handler(time, nullptr, Time{}, Result::failed,
                        AssetError{AssetError::fileFormatNotRecognized, "the asset has no media to read"});
                continue;
            }
            const auto& url = urlAsset->url();
            auto frame = extractFrame(url.isFileURL() ? url.path() : url.absoluteString(), time.seconds(),
                                      self->appliesPreferredTrackTransform());
            if (!frame) {
                handler(time, nullptr, Time{}, Result::failed, frame.error());
                continue;
            }
            handler(time, std::make_shared<const gfx::Bitmap>(std::move(frame->bitmap)),
                    Time::withSeconds(frame->seconds, 600), Result::succeeded, std::nullopt);
        }
    });
}

void AssetImageGenerator::cancelAllImageGeneration() { cancelledThrough_.store(submitted_.load()); }

}  // namespace media
