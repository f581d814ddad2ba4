#pragma once

#include <memory>
#include <vector>

#include "foundation/Data.h"
#include "gfx/Bitmap.h"
#include "gfx/Geometry.h"
#include "gfx/ImageOrientation.h"
#include "gfx/ImageSource.h"

namespace gfx {

// How views draw an image: as it is, or only its shape in the tint colour (a template).
enum class ImageRenderingMode { automatic, alwaysOriginal, alwaysTemplate };

// A platform image: an optional bitmap shown at a scale and orientation, or an animation of frames.
// Always held in a shared_ptr; two images are the same image only when they are the same object.
class Image {
public:
    using Size = gfx::Size;

    // An image over `bitmap` (which may be null: an image without bitmap content).
    static std::shared_ptr<Image> make(std::shared_ptr<const Bitmap> bitmap, double scale = 1,
                                       ImageOrientation orientation = ImageOrientation::up);
    static std::shared_ptr<Image> fromBitmap(Bitmap bitmap, double scale = 1,
                                             ImageOrientation orientation = ImageOrientation::up);
    // The first image of PNG, JPEG, GIF or WebP bytes with the stored orientation, or null when the
    // bytes do not decode or their picture is refused by `pixelLimit` (ImageSource::create). Of an animation
    // only the first frame is decoded and counted.
    static std::shared_ptr<Image> fromData(const foundation::Data& data, double scale = 1,
                                           std::int64_t pixelLimit = unlimitedPixels);
    // An animation over `frames` lasting `duration` seconds in all. It shows as its first frame
    // (bitmap, scale, size); null for an empty frame list.
    static std::shared_ptr<Image> animated(std::vector<std::shared_ptr<Image>> frames, double duration);

    const std::shared_ptr<const Bitmap>& bitmap() const { return bitmap_; }
    double scale() const { return scale_; }
    ImageOrientation orientation() const { return orientation_; }
    // Size in points: pixel size over scale, width and height swapped for the left and right kinds.
    Size size() const;
    int pixelWidth() const { return bitmap_ ? bitmap_->width : 0; }
    int pixelHeight() const { return bitmap_ ? bitmap_->height : 0; }

    // Frames of an animated image; empty for a still one.
    const std::vector<std::shared_ptr<Image>>& frames() const { return frames_; }
    bool isAnimated() const { return !frames_.empty(); }
    double duration() const { return duration_; }

    // How the image is presented, never its pixels. Each `with` form gives a new image over the same
    // bitmap and frames with that one attribute changed; the receiver is left as it is.
    ImageRenderingMode renderingMode() const { return renderingMode_; }
    bool flipsForRightToLeftLayoutDirection() const { return flipsForRightToLeftLayoutDirection_; }
    const EdgeInsets& alignmentRectInsets() const { return alignmentRectInsets_; }
    std::shared_ptr<Image> withRenderingMode(ImageRenderingMode mode) const;
    std::shared_ptr<Image> imageFlippedForRightToLeftLayoutDirection() const;
    std::shared_ptr<Image> withAlignmentRectInsets(const EdgeInsets& insets) const;

private:
    std::shared_ptr<const Bitmap> bitmap_;
    double scale_ = 1;
    ImageOrientation orientation_ = ImageOrientation::up;
    std::vector<std::shared_ptr<Image>> frames_;
    double duration_ = 0;
    ImageRenderingMode renderingMode_ = ImageRenderingMode::automatic;
    bool flipsForRightToLeftLayoutDirection_ = false;
    EdgeInsets alignmentRectInsets_;
};

}  // namespace gfx
