#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "foundation/Data.h"
#include "gfx/Context.h"
#include "gfx/Image.h"
#include "gfx/ImageSource.h"
#include "pictura/DrawingParameters.h"
#include "pictura/Filter.h"
#include "pictura/ImageCreating.h"
#include "pictura/ImageFormat.h"
#include "pictura/PicturaWrapper.h"
#include "pictura/SizeGeometry.h"

namespace pictura {

template <>
inline constexpr bool isPicturaCompatible<gfx::Image> = true;

// The library's operations on images, through `pc(image)`. Every operation gives a new image and
// leaves its input alone; an operation that has nothing to work on (no image, no bitmap, a canvas
// that cannot be made) gives its input back, the same object.
template <>
struct PicturaWrapper<std::shared_ptr<gfx::Image>> : PicturaWrapperBase<std::shared_ptr<gfx::Image>> {
    using PicturaWrapperBase::PicturaWrapperBase;
    using ImagePointer = std::shared_ptr<gfx::Image>;

    // Encoding (ImageEncoding.cpp). `unknown` encodes the upright picture as PNG; GIF hands back the
    // bytes the image was made from, nothing for any other image.
    std::optional<foundation::Data> data(ImageFormat format, double compressionQuality) const;
    std::optional<foundation::Data> pngRepresentation() const;
    std::optional<foundation::Data> jpegRepresentation(double compressionQuality) const;
    std::optional<foundation::Data> gifRepresentation() const;

    // Images from data (ImageCreating.cpp); null when the bytes do not make one.
    static ImagePointer image(const foundation::Data& data, const ImageCreatingOptions& options);
    static ImagePointer animatedImage(const foundation::Data& data, const ImageCreatingOptions& options);
    // The first image of the bytes at the size that covers `size` points at `scale`, upright, at that
    // scale. JPEG (baseline or progressive) is scaled down by up to 1/8 while decoding and a still WebP
    // decoded straight to the size; PNG, GIF and animated WebP are decoded at full size first and then
    // scaled. What the decoder makes must stay below `pixelLimit` (ImageCreatingOptions), the whole of a
    // progressive JPEG included: its decoder holds every coefficient of the picture.
    static ImagePointer downsampledImage(const foundation::Data& data, gfx::Size size, double scale,
                                         std::int64_t pixelLimit = defaultImagePixelLimit);
    // Kept beside an image made from GIF bytes: the source its frames are decoded from later (animated
    // GIFs not preloaded), the bytes, and the number of frames in them.
    std::shared_ptr<gfx::ImageSource> imageSource() const;
    std::optional<foundation::Data> animationData() const;
    std::optional<int> imageFrameCount() const;
    void setImageFrameCount(std::optional<int> count) const;

    // Drawing (ImageDrawing.cpp). The shared helper: renders `drawing` on a transparent canvas of
    // `size` points at `scale` (the image's own when absent), flipped to y-up when `inverting`. A
    // drawing that answers false gives the upright rendered picture; one that answers true drew a raw
    // bitmap, whose result keeps the orientation of `refImage` (or of this image).
    ImagePointer draw(gfx::Size size, bool inverting, std::optional<double> scale, const ImagePointer& refImage,
                      const std::function<bool(gfx::Context&)>& drawing) const;
    ImagePointer normalized() const;
    // Frames, or a source to decode them from: drawing would keep only the first.
    bool isAnimation() const;
    // Drawn once into a fresh bitmap so that nothing is decoded later; animations are left as they
    // are (a source's frames are decoded on demand).
    ImagePointer decoded() const;
    ImagePointer decoded(double scale) const;
    ImagePointer decoded(gfx::Context& context) const;
    ImagePointer imageWithBlendMode(gfx::BlendMode blendMode, double alpha,
                                    std::optional<gfx::Color> backgroundColor) const;
    ImagePointer imageWithRadius(Radius radius, gfx::Size fit, RectCorner roundingCorners,
                                 std::optional<gfx::Color> backgroundColor) const;
    ImagePointer imageWithRoundRadius(double radius, gfx::Size fit, RectCorner roundingCorners,
                                      std::optional<gfx::Color> backgroundColor) const;
    ImagePointer resize(gfx::Size size) const;
    ImagePointer resize(gfx::Size size, ContentMode mode) const;
    // The part of the picture as seen, cut from the stored pixels; keeps scale and orientation.
    ImagePointer crop(gfx::Size size, gfx::Point anchor) const;
    // One to three box-blur passes over the stored pixels; keeps scale and orientation.
    ImagePointer blurred(double radius) const;
    ImagePointer addingBorder(const Border& border) const;
    ImagePointer overlaying(gfx::Color color, double fraction) const;
    ImagePointer scaled(double scale) const;

    // Filters (Filter.cpp).
    ImagePointer apply(const Filter& filter) const;
    ImagePointer tinted(gfx::Color color) const;
    ImagePointer adjusted(double brightness, double contrast, double saturation, double inputEV) const;
};

}  // namespace pictura
