#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "dispatch/Queue.h"
#include "gfx/Bitmap.h"
#include "media/Asset.h"
#include "media/AssetError.h"
#include "media/Time.h"

namespace media {

// Still frames of an asset's first video track at given times: the frame on screen at that time (the
// last one that starts at or before it; the first frame for a time before it). Work runs on a serial
// queue of the generator's own, one request after the other.
class AssetImageGenerator : public std::enable_shared_from_this<AssetImageGenerator> {
public:
    enum class Result { succeeded = 0, failed = 1, cancelled = 2 };

    // Called once per requested time, in request order, on the generator's queue. On success `image`
    // is set and `error` is not; on failure the reverse; on cancellation neither.
    using Handler = std::function<void(Time requestedTime, std::shared_ptr<const gfx::Bitmap> image, Time actualTime,
                                       Result result, std::optional<AssetError> error)>;

    static std::shared_ptr<AssetImageGenerator> make(std::shared_ptr<Asset> asset);

    const std::shared_ptr<Asset>& asset() const { return asset_; }
    // Turn frames as the track's display matrix says (multiples of 90 degrees); off by default.
    bool appliesPreferredTrackTransform() const { return appliesPreferredTrackTransform_; }
    void setAppliesPreferredTrackTransform(bool applies) { appliesPreferredTrackTransform_ = applies; }

    void generateImages(std::vector<Time> times, Handler handler);
    // Requests not yet started end as cancelled; a frame being decoded finishes.
    void cancelAllImageGeneration();

private:
    explicit AssetImageGenerator(std::shared_ptr<Asset> asset);

    std::shared_ptr<Asset> asset_;
    std::atomic<bool> appliesPreferredTrackTransform_ = false;
    std::shared_ptr<dispatch::Queue> queue_;
    std::atomic<std::uint64_t> submitted_ = 0;
    std::atomic<std::uint64_t> cancelledThrough_ = 0;
};

}  // namespace media
