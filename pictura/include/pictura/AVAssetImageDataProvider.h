#pragma once

#include <memory>

#include "gfx/Bitmap.h"
#include "media/AssetImageGenerator.h"
#include "media/Time.h"
#include "pictura/Source.h"

namespace pictura {

// Why a video frame gave no bytes (besides the generator's own errors, passed on unchanged).
struct AVAssetImageDataProviderError {
    enum class Kind { userCancelled, invalidImage };
    Kind kind = Kind::userCancelled;
    // invalidImage: the frame that could not be encoded, or null when none came.
    std::shared_ptr<const gfx::Bitmap> image;

    friend std::ostream& operator<<(std::ostream& stream, const AVAssetImageDataProviderError& error);
};

// The frame of a video at a time, as JPEG bytes. The handler runs on the generator's queue.
class AVAssetImageDataProvider final : public ImageDataProvider {
public:
    AVAssetImageDataProvider(std::shared_ptr<media::AssetImageGenerator> assetImageGenerator, media::Time time)
        : assetImageGenerator(std::move(assetImageGenerator)), time(time) {}
    // A generator over the URL's asset that applies the track's display matrix.
    AVAssetImageDataProvider(const foundation::URL& assetURL, media::Time time);
    // The time on a timescale of 600.
    AVAssetImageDataProvider(const foundation::URL& assetURL, double seconds);

    std::shared_ptr<media::AssetImageGenerator> assetImageGenerator;
    media::Time time;

    // The asset's URL text (a fresh UUID each time for an asset without URL), "_", the time in seconds.
    std::string cacheKey() const override;
    void data(Handler handler) const override;
    std::string description() const override;
};

// Seconds as the platform writes a double: the shortest text that reads back the same, at least one
// digit after the point, exponent notation outside 1e-4 ..< 1e16 ("2.0", "0.5", "1e-05").
std::string shortestSecondsText(double seconds);

}  // namespace pictura
