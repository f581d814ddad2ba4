#include "Offscreen.h"

#include <cmath>

#include "gfx/WorkMeter.h"

namespace quartz {

double pixelsPerPoint(const gfx::Context& context) {
    gfx::AffineTransform device = context.deviceTransform();
    return std::sqrt(std::abs(device.a * device.d - device.b * device.c));
}

void useDeviceSpace(gfx::Context& target) { target.concatenate(target.deviceTransform().inverted()); }

void clipToDeviceArea(gfx::Context& target, const DeviceBitmap& image) {
    gfx::AffineTransform userSpace = target.deviceTransform();
    useDeviceSpace(target);
    target.clip(gfx::Rect{double(image.x), double(image.y), double(image.bitmap.width), double(image.bitmap.height)});
    target.concatenate(userSpace.concatenating(target.deviceTransform().inverted()));
}

std::optional<gfx::Rect> offscreenArea(const gfx::Context& target, const std::optional<gfx::Rect>& userExtent,
                                       double padding, bool withinClip) {
    gfx::AffineTransform device = target.deviceTransform();
    gfx::Rect area = gfx::Rect{0, 0, double(target.pixelWidth()), double(target.pixelHeight())};
    if (withinClip) area = area.intersection(device.apply(target.clipBoundingBox()));
    area = area.insetBy(-padding, -padding);
    if (userExtent) area = area.intersection(device.apply(*userExtent));
    if (area.isEmpty() || !std::isfinite(area.width()) || !std::isfinite(area.height())) return std::nullopt;
    return area.integral();
}

std::optional<DeviceBitmap> drawOffscreenOver(gfx::Context& target, const gfx::Rect& area, gfx::PixelFormat format,
                                              const std::function<void(gfx::Context&)>& drawing) {
    gfx::AffineTransform device = target.deviceTransform();
    int x = int(area.minX()), y = int(area.minY());
    double scale = target.scale();
    // Its pixels are made and drawn into: a mask or layer drawn apart costs its area (compositing it back, or
    // clipping to it, is charged where that is done).
    if (!gfx::WorkMeter::charge(gfx::WorkMeter::aPath + area.width() * area.height() * gfx::WorkMeter::aPixel))
        return std::nullopt;
    auto offscreen = gfx::Context::create(int(area.width()), int(area.height()), {.scale = scale, .format = format});
    if (!offscreen) return std::nullopt;
    // User space -> target pixels -> this buffer's pixels -> its points (its base transform scales back up).
    offscreen->concatenate(device.concatenating(gfx::AffineTransform::translation(-x, -y))
                               .concatenating(gfx::AffineTransform::scale(1 / scale, 1 / scale)));
    drawing(*offscreen);
    return DeviceBitmap{offscreen->takeImage(), x, y};
}

std::optional<DeviceBitmap> drawOffscreen(gfx::Context& target, const std::optional<gfx::Rect>& userExtent,
                                          double padding, gfx::PixelFormat format,
                                          const std::function<void(gfx::Context&)>& drawing) {
    std::optional<gfx::Rect> area = offscreenArea(target, userExtent, padding);
    if (!area) return std::nullopt;
    return drawOffscreenOver(target, *area, format, drawing);
}

void drawInDeviceSpace(gfx::Context& target, const DeviceBitmap& image, double alpha, double dx, double dy) {
    target.save();
    useDeviceSpace(target);
    target.setAlpha(target.alpha() * alpha);
    target.setInterpolationQuality(gfx::InterpolationQuality::none);
    target.drawBitmap(image.bitmap,
                      {image.x + dx, image.y + dy, double(image.bitmap.width), double(image.bitmap.height)},
                      gfx::BitmapPlacement::firstRowAtMinY);
    target.restore();
}

}  // namespace quartz
