#pragma once

#include <optional>
#include <string>

#include "gfx/Color.h"
#include "gfx/Context.h"
#include "gfx/Geometry.h"
#include "pictura/DrawingParameters.h"
#include "pictura/ImageProcessor.h"
#include "pictura/SizeGeometry.h"

namespace pictura {

// The library's processors. Each is an immutable value whose identifier names it and every parameter
// that changes its output; the identifiers are part of cache keys and file names, so their texts are
// fixed to the character. An image is first brought to the options' scale (except by the border and
// downsampling processors); data is decoded by the default processor first (except by downsampling).
// Only a failed decode or downsample gives nothing; every other failure gives the (rescaled) input.

class BlendImageProcessor final : public ImageProcessor {
public:
    BlendImageProcessor(gfx::BlendMode blendMode, double alpha, std::optional<gfx::Color> backgroundColor);
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    gfx::BlendMode blendMode() const { return blendMode_; }
    double alpha() const { return alpha_; }
    const std::optional<gfx::Color>& backgroundColor() const { return backgroundColor_; }

private:
    std::string identifier_;
    gfx::BlendMode blendMode_;
    double alpha_;
    std::optional<gfx::Color> backgroundColor_;
};

class RoundCornerImageProcessor final : public ImageProcessor {
public:
    RoundCornerImageProcessor(Radius radius, std::optional<gfx::Size> targetSize, RectCorner roundingCorners,
                              std::optional<gfx::Color> backgroundColor);
    RoundCornerImageProcessor(double cornerRadius, std::optional<gfx::Size> targetSize, RectCorner roundingCorners,
                              std::optional<gfx::Color> backgroundColor)
        : RoundCornerImageProcessor(Radius::point(cornerRadius), targetSize, roundingCorners, backgroundColor) {}
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    Radius radius() const { return radius_; }
    RectCorner roundingCorners() const { return roundingCorners_; }
    const std::optional<gfx::Size>& targetSize() const { return targetSize_; }
    const std::optional<gfx::Color>& backgroundColor() const { return backgroundColor_; }

private:
    std::string identifier_;
    Radius radius_;
    RectCorner roundingCorners_;
    std::optional<gfx::Size> targetSize_;
    std::optional<gfx::Color> backgroundColor_;
};

class BorderImageProcessor final : public ImageProcessor {
public:
    explicit BorderImageProcessor(Border border) : border_(border) {}
    // Computed on each read; it begins like a round-corner identifier.
    std::string identifier() const override;
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    const Border& border() const { return border_; }

private:
    Border border_;
};

class ResizingImageProcessor final : public ImageProcessor {
public:
    ResizingImageProcessor(gfx::Size referenceSize, ContentMode mode);
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    gfx::Size referenceSize() const { return referenceSize_; }
    ContentMode targetContentMode() const { return targetContentMode_; }

private:
    std::string identifier_;
    gfx::Size referenceSize_;
    ContentMode targetContentMode_;
};

class BlurImageProcessor final : public ImageProcessor {
public:
    explicit BlurImageProcessor(double blurRadius);
    std::string identifier() const override { return identifier_; }
    // The radius is in points: it is multiplied by the options' scale factor.
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    double blurRadius() const { return blurRadius_; }

private:
    std::string identifier_;
    double blurRadius_;
};

class OverlayImageProcessor final : public ImageProcessor {
public:
    OverlayImageProcessor(gfx::Color overlay, double fraction);
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    gfx::Color overlay() const { return overlay_; }
    double fraction() const { return fraction_; }

private:
    std::string identifier_;
    gfx::Color overlay_;
    double fraction_;
};

class TintImageProcessor final : public ImageProcessor {
public:
    explicit TintImageProcessor(gfx::Color tint);
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    gfx::Color tint() const { return tint_; }

private:
    std::string identifier_;
    gfx::Color tint_;
};

class ColorControlsProcessor final : public ImageProcessor {
public:
    ColorControlsProcessor(double brightness, double contrast, double saturation, double inputEV);
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    double brightness() const { return brightness_; }
    double contrast() const { return contrast_; }
    double saturation() const { return saturation_; }
    double inputEV() const { return inputEV_; }

private:
    std::string identifier_;
    double brightness_;
    double contrast_;
    double saturation_;
    double inputEV_;
};

// Colour controls without saturation and slightly brighter; its identifier never changes.
class BlackWhiteProcessor final : public ImageProcessor {
public:
    std::string identifier() const override { return "com.tolvane.Pictura.BlackWhiteProcessor"; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;
};

class CroppingImageProcessor final : public ImageProcessor {
public:
    CroppingImageProcessor(gfx::Size size, gfx::Point anchor);
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    gfx::Size size() const { return size_; }
    gfx::Point anchor() const { return anchor_; }

private:
    std::string identifier_;
    gfx::Size size_;
    gfx::Point anchor_;
};

// Keeps memory low for large pictures shown small: data is decoded straight at the bounded size (a GIF
// gives its first frame, still), an image's upright pixels are scaled down.
class DownsamplingImageProcessor final : public ImageProcessor {
public:
    explicit DownsamplingImageProcessor(gfx::Size size);
    std::string identifier() const override { return identifier_; }
    std::shared_ptr<gfx::Image> process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const override;

    gfx::Size size() const { return size_; }

private:
    gfx::Size size_;
    std::string identifier_;
};

}  // namespace pictura
