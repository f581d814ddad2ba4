#include <algorithm>
#include <cmath>
#include <numbers>

#include "gfx/BoxBlur.h"
#include "gfx/ImageRenderer.h"
#include "pictura/ImageWrapper.h"

namespace pictura {

namespace {

using ImageWrapper = PicturaWrapper<std::shared_ptr<gfx::Image>>;
using gfx::ImageOrientation;

bool hasBitmap(const std::shared_ptr<gfx::Image>& image) { return image && image->bitmap() && !image->bitmap()->empty(); }

// The image as the platform draws an image object: upright by its orientation, into `rect` of a
// top-left context, with the context's blend mode and alpha.
void drawImage(gfx::Context& context, const gfx::Image& image, const gfx::Rect& rect) {
    if (image.orientation() == ImageOrientation::up)
        context.drawBitmap(*image.bitmap(), rect, gfx::BitmapPlacement::firstRowAtMinY);
    else
        context.drawBitmap(gfx::orientedBitmap(*image.bitmap(), image.orientation()), rect,
                           gfx::BitmapPlacement::firstRowAtMinY);
}

gfx::Rect canvas(gfx::Size size) { return {{0, 0}, size}; }

// `rect` of the picture as seen (in pixels, within `seen`) as a rectangle of the stored pixels.
gfx::Rect storedRect(const gfx::Rect& rect, ImageOrientation orientation, int storedWidth, int storedHeight) {
    const double x0 = rect.minX(), x1 = rect.maxX(), y0 = rect.minY(), y1 = rect.maxY();
    const double w = storedWidth, h = storedHeight;
    auto make = [](double left, double top, double right, double bottom) {
        return gfx::Rect(left, top, right - left, bottom - top);
    };
    switch (orientation) {
        case ImageOrientation::up: return make(x0, y0, x1, y1);
        case ImageOrientation::upMirrored: return make(w - x1, y0, w - x0, y1);
        case ImageOrientation::down: return make(w - x1, h - y1, w - x0, h - y0);
        case ImageOrientation::downMirrored: return make(x0, h - y1, x1, h - y0);
        case ImageOrientation::right: return make(y0, h - x1, y1, h - x0);
        case ImageOrientation::left: return make(w - y1, x0, w - y0, x1);
        case ImageOrientation::leftMirrored: return make(y0, x0, y1, x1);
        case ImageOrientation::rightMirrored: return make(w - y1, h - x1, w - y0, h - x0);
    }
    return rect;
}

gfx::Bitmap croppedBitmap(const gfx::Bitmap& bitmap, int left, int top, int width, int height) {
    gfx::Bitmap result = gfx::Bitmap::make(width, height);
    for (int y = 0; y < height; ++y) std::copy_n(bitmap.row(top + y) + left, width, result.row(y));
    return result;
}

// The box size that approximates a Gaussian of `radius`, odd and within what the box blur takes.
int blurKernelSize(double radius) {
    const double s = std::isnan(radius) ? 2.0 : std::max(radius, 2.0);
    const double size = std::floor(s * 3 * 2.5066282746310002 * 0.25 + 0.5);
    constexpr int largest = 4095;
    int kernel = size < largest ? static_cast<int>(size) : largest;
    return kernel % 2 == 0 ? kernel + 1 : kernel;
}

}  // namespace

double Radius::compute(gfx::Size size) const {
    switch (kind_) {
        case Kind::widthFraction: return value_ * size.width;
        case Kind::heightFraction: return value_ * size.height;
        case Kind::point: return value_;
    }
    return value_;
}

ImageWrapper::ImagePointer ImageWrapper::draw(gfx::Size size, bool inverting, std::optional<double> scale,
                                              const ImagePointer& refImage,
                                              const std::function<bool(gfx::Context&)>& drawing) const {
    if (!base) return base;
    gfx::ImageRenderer renderer(size, {.scale = scale.value_or(base->scale())});
    bool keepsOrientation = false;
    auto rendered = renderer.image([&](gfx::Context& context) {
        if (inverting) {
            context.scaleBy(1, -1);
            context.translateBy(0, -size.height);
        }
        keepsOrientation = drawing(context);
    });
    // A canvas that cannot be made (empty, not finite, too large) draws nothing: the input stands.
    if (rendered.bitmap.empty()) return base;
    const auto orientation = keepsOrientation ? (refImage ? refImage : base)->orientation() : ImageOrientation::up;
    return gfx::Image::fromBitmap(std::move(rendered.bitmap), rendered.scale, orientation);
}

ImageWrapper::ImagePointer ImageWrapper::normalized() const {
    if (!base) return base;
    if (base->isAnimated() || base->orientation() == ImageOrientation::up) return std::make_shared<gfx::Image>(*base);
    if (!hasBitmap(base)) return base;
    // Turning the stored pixels is the orientation fix drawn exactly, without resampling.
    return gfx::Image::fromBitmap(gfx::orientedBitmap(*base->bitmap(), base->orientation()), base->scale(),
                                  ImageOrientation::up);
}

ImageWrapper::ImagePointer ImageWrapper::decoded() const { return base ? decoded(base->scale()) : base; }

bool ImageWrapper::isAnimation() const { return base && (base->isAnimated() || imageSource()); }

ImageWrapper::ImagePointer ImageWrapper::decoded(double scale) const {
    if (!hasBitmap(base) || isAnimation()) return base;
    const auto& bitmap = *base->bitmap();
    const gfx::Size size{bitmap.width / scale, bitmap.height / scale};
    return draw(size, true, scale, nullptr, [&](gfx::Context& context) {
        context.drawBitmap(bitmap, canvas(size));
        return true;
    });
}

ImageWrapper::ImagePointer ImageWrapper::decoded(gfx::Context& context) const {
    if (!hasBitmap(base) || isAnimation()) return base;
    const auto& bitmap = *base->bitmap();
    context.drawBitmap(bitmap, {0, 0, bitmap.width / base->scale(), bitmap.height / base->scale()});
    auto pixels = context.makeImage();
    if (pixels.empty()) return base;
    return gfx::Image::fromBitmap(std::move(pixels), base->scale(), base->orientation());
}

ImageWrapper::ImagePointer ImageWrapper::imageWithBlendMode(gfx::BlendMode blendMode, double alpha,
                                                            std::optional<gfx::Color> backgroundColor) const {
    if (!hasBitmap(base)) return base;
    const auto size = base->size();
    return draw(size, false, std::nullopt, nullptr, [&](gfx::Context& context) {
        if (backgroundColor) {
            context.setFillColor(*backgroundColor);
            context.fillRect(canvas(size));
        }
        context.setBlendMode(blendMode);
        context.setAlpha(alpha);
        drawImage(context, *base, canvas(size));
        return false;
    });
}

ImageWrapper::ImagePointer ImageWrapper::imageWithRadius(Radius radius, gfx::Size fit, RectCorner roundingCorners,
                                                         std::optional<gfx::Color> backgroundColor) const {
    if (!hasBitmap(base)) return base;
    return draw(fit, false, std::nullopt, nullptr, [&](gfx::Context& context) {
        const auto rect = canvas(fit);
        if (backgroundColor) {
            context.setFillColor(*backgroundColor);
            context.fillRect(rect);
        }
        const double cornerRadius = radius.compute(fit);
        gfx::Path path;
        path.addRoundedRect(rect, static_cast<unsigned>(roundingCorners.rawValue), {cornerRadius, cornerRadius});
        context.clip(path, gfx::FillRule::winding);
        // On the still transparent canvas, copying is what drawing over it gives, without the blending.
        if (!backgroundColor) context.setBlendMode(gfx::BlendMode::copy);
        drawImage(context, *base, rect);
        return false;
    });
}

ImageWrapper::ImagePointer ImageWrapper::imageWithRoundRadius(double radius, gfx::Size fit,
                                                              RectCorner roundingCorners,
                                                              std::optional<gfx::Color> backgroundColor) const {
    return imageWithRadius(Radius::point(radius), fit, roundingCorners, backgroundColor);
}

ImageWrapper::ImagePointer ImageWrapper::resize(gfx::Size size) const {
    if (!hasBitmap(base)) return base;
    return draw(size, false, std::nullopt, nullptr, [&](gfx::Context& context) {
        drawImage(context, *base, canvas(size));
        return false;
    });
}

ImageWrapper::ImagePointer ImageWrapper::resize(gfx::Size size, ContentMode mode) const {
    if (!hasBitmap(base)) return base;
    return resize(pc(base->size()).resize(size, mode));
}

ImageWrapper::ImagePointer ImageWrapper::crop(gfx::Size size, gfx::Point anchor) const {
    if (!hasBitmap(base)) return base;
    const auto& bitmap = *base->bitmap();
    const gfx::Rect seen = pc(base->size()).constrainedRect(size, anchor);
    auto finite = [](const gfx::Rect& rect) {
        return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) && std::isfinite(rect.size.width) &&
               std::isfinite(rect.size.height);
    };
    if (!finite(seen) || seen.isEmpty()) return base;
    const double scale = base->scale();
    gfx::Rect pixels = gfx::Rect(seen.minX() * scale, seen.minY() * scale, seen.width() * scale, seen.height() * scale)
                           .integral();
    // The rectangle is placed on the picture as seen; the stored pixels may be turned.
    const bool swaps = gfx::swapsWidthAndHeight(base->orientation());
    const gfx::Rect seenBounds(0, 0, swaps ? bitmap.height : bitmap.width, swaps ? bitmap.width : bitmap.height);
    pixels = pixels.intersection(seenBounds);
    if (pixels.isEmpty()) return base;
    const gfx::Rect stored = storedRect(pixels, base->orientation(), bitmap.width, bitmap.height);
    return gfx::Image::fromBitmap(
        croppedBitmap(bitmap, static_cast<int>(stored.minX()), static_cast<int>(stored.minY()),
                      static_cast<int>(stored.width()), static_cast<int>(stored.height())),
        scale, base->orientation());
}

ImageWrapper::ImagePointer ImageWrapper::blurred(double radius) const {
    if (!hasBitmap(base)) return base;
    const int kernel = blurKernelSize(radius);
    const int passes = radius < 0.5 ? 1 : radius < 1.5 ? 2 : 3;
    gfx::Bitmap pixels = gfx::boxBlur(*base->bitmap(), kernel, kernel);
    for (int pass = 1; pass < passes && !pixels.empty(); ++pass) pixels = gfx::boxBlur(pixels, kernel, kernel);
    if (pixels.empty()) return base;
    return gfx::Image::fromBitmap(std::move(pixels), base->scale(), base->orientation());
}

ImageWrapper::ImagePointer ImageWrapper::addingBorder(const Border& border) const {
    if (!hasBitmap(base)) return base;
    const auto size = base->size();
    return draw(size, false, std::nullopt, nullptr, [&](gfx::Context& context) {
        const auto rect = canvas(size);
        context.setBlendMode(gfx::BlendMode::copy);
        context.setAlpha(1);
        drawImage(context, *base, rect);
        context.setBlendMode(gfx::BlendMode::normal);
        if (!(border.lineWidth > 0) || !std::isfinite(border.lineWidth)) return false;
        const auto strokeRect = rect.insetBy(border.lineWidth / 2, border.lineWidth / 2);
        if (strokeRect.isNull()) return false;
        // The colour carries its alpha; the context's alpha stays 1 so that it counts once.
        context.setStrokeColor(border.color);
        const double radius = std::max(0.0, border.radius.compute(strokeRect.size) - border.lineWidth / 2);
        gfx::Path path;
        path.addRoundedRect(strokeRect, static_cast<unsigned>(border.roundingCorners.rawValue), {radius, radius});
        context.setLineCap(gfx::LineCap::square);
        context.setLineWidth(border.lineWidth);
        context.stroke(path);
        return false;
    });
}

ImageWrapper::ImagePointer ImageWrapper::overlaying(gfx::Color color, double fraction) const {
    if (!hasBitmap(base)) return base;
    const auto size = base->size();
    return draw(size, false, std::nullopt, nullptr, [&](gfx::Context& context) {
        const auto rect = canvas(size);
        context.setFillColor(color);
        context.setStrokeColor(color);
        context.fillRect(rect);
        context.setBlendMode(gfx::BlendMode::destinationIn);
        context.setAlpha(1);
        drawImage(context, *base, rect);
        if (fraction > 0) {
            context.setBlendMode(gfx::BlendMode::sourceAtop);
            context.setAlpha(fraction);
            drawImage(context, *base, rect);
        }
        return false;
    });
}

ImageWrapper::ImagePointer ImageWrapper::scaled(double scale) const {
    if (!base || base->scale() == scale || !base->bitmap()) return base;
    return gfx::Image::make(base->bitmap(), scale, base->orientation());
}

}  // namespace pictura
