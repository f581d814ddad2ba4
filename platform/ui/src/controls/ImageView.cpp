#include "ui/ImageView.h"

#include <algorithm>
#include <cmath>

#include "foundation/Clock.h"

namespace ui {

namespace {

double uptime() { return foundation::Clock::current()->uptime(); }

Size pointSize(const gfx::Image& image) { return {image.size().width, image.size().height}; }

}  // namespace

Rect contentRect(ContentMode mode, Size content, const Rect& bounds) {
    double w = bounds.width(), h = bounds.height();
    switch (mode) {
        case ContentMode::scaleToFill:
        case ContentMode::redraw: return bounds;
        case ContentMode::scaleAspectFit:
        case ContentMode::scaleAspectFill: {
            if (content.width <= 0 || content.height <= 0) return bounds;
            double sx = w / content.width, sy = h / content.height;
            double scale = mode == ContentMode::scaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
            Size size{content.width * scale, content.height * scale};
            return {bounds.minX() + (w - size.width) / 2, bounds.minY() + (h - size.height) / 2, size.width,
                    size.height};
        }
        default: break;
    }
    // The remaining modes keep the content's size and only place it.
    double left = bounds.minX(), centerX = bounds.minX() + (w - content.width) / 2,
           right = bounds.maxX() - content.width;
    double top = bounds.minY(), centerY = bounds.minY() + (h - content.height) / 2,
           bottom = bounds.maxY() - content.height;
    double x = centerX, y = centerY;
    switch (mode) {
        case ContentMode::top: y = top; break;
        case ContentMode::bottom: y = bottom; break;
        case ContentMode::left: x = left; break;
        case ContentMode::right: x = right; break;
        case ContentMode::topLeft: x = left, y = top; break;
        case ContentMode::topRight: x = right, y = top; break;
        case ContentMode::bottomLeft: x = left, y = bottom; break;
        case ContentMode::bottomRight: x = right, y = bottom; break;
        default: break;
    }
    return {x, y, content.width, content.height};
}

void drawImage(gfx::Context& context, const gfx::Image& image, const Rect& rect, std::optional<gfx::Color> tint) {
    if (!image.bitmap() || image.bitmap()->empty() || rect.isEmpty()) return;
    if (tint) {
        context.save();
        context.clipToMask(rect, *image.bitmap(), gfx::BitmapPlacement::firstRowAtMinY);
        context.setFillColor(*tint);
        context.fillRect(rect);
        context.restore();
    } else {
        context.drawBitmap(*image.bitmap(), rect, gfx::BitmapPlacement::firstRowAtMinY);
    }
}

ImageView::ImageView(std::shared_ptr<gfx::Image> image) : ImageView() {
    setImage(std::move(image));
    if (image_) setFrame({{0, 0}, pointSize(*image_)});
}

void ImageView::setImage(std::shared_ptr<gfx::Image> image) {
    if (image == image_) return;
    image_ = std::move(image);
    imageStart_ = uptime();
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void ImageView::setHighlightedImage(std::shared_ptr<gfx::Image> image) {
    highlightedImage_ = std::move(image);
    setNeedsDisplay();
}

void ImageView::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void ImageView::setContentMode(ContentMode mode) {
    contentMode_ = mode;
    setNeedsDisplay();
}

void ImageView::setRenderingMode(ImageRenderingMode mode) {
    renderingMode_ = mode;
    setNeedsDisplay();
}

void ImageView::setAnimationImages(std::vector<std::shared_ptr<gfx::Image>> images) {
    std::erase(images, nullptr);
    animationImages_ = std::move(images);
    if (animationImages_.empty()) listStart_.reset();
    setNeedsDisplay();
}

double ImageView::listDuration() const {
    return animationDuration_ > 0 ? animationDuration_ : static_cast<double>(animationImages_.size()) / 30;
}

void ImageView::startAnimating() {
    if (animationImages_.empty() || isAnimating()) return;
    listStart_ = uptime();
    setNeedsDisplay();
}

void ImageView::stopAnimating() {
    listStart_.reset();
    setNeedsDisplay();
}

bool ImageView::isAnimating() const {
    if (!listStart_) return false;
    if (animationRepeatCount_ <= 0) return true;
    return uptime() < *listStart_ + listDuration() * animationRepeatCount_;
}

std::shared_ptr<gfx::Image> ImageView::displayedImage(double time) const {
    if (isAnimating()) {
        double duration = listDuration();
        double phase = std::fmod(std::max(time - *listStart_, 0.0), duration) / duration;
        auto index = static_cast<std::size_t>(phase * static_cast<double>(animationImages_.size()));
        return animationImages_[std::min(index, animationImages_.size() - 1)];
    }
    const std::shared_ptr<gfx::Image>& still = highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
    if (!still || !still->isAnimated() || still->duration() <= 0) return still;
    const auto& frames = still->frames();
    double phase = std::fmod(std::max(time - imageStart_, 0.0), still->duration()) / still->duration();
    auto index = static_cast<std::size_t>(phase * static_cast<double>(frames.size()));
    return frames[std::min(index, frames.size() - 1)];
}

Size ImageView::intrinsicContentSize() const {
    if (!image_) return {noIntrinsicMetric, noIntrinsicMetric};
    return pointSize(*image_);
}

Size ImageView::sizeThatFits(Size) const { return image_ ? pointSize(*image_) : Size{0, 0}; }

void ImageView::draw(gfx::Context& context, const Rect& rect) {
    std::shared_ptr<gfx::Image> shown = displayedImage(uptime());
    if (!shown) return;
    std::optional<gfx::Color> tint;
    if (renderingMode_ == ImageRenderingMode::alwaysTemplate) tint = tintColor();
    drawImage(context, *shown, contentRect(contentMode_, pointSize(*shown), rect), tint);
}

bool ImageView::isAnimatingContent() const {
    if (isAnimating()) return animationImages_.size() > 1;
    return window() && image_ && image_->isAnimated() && image_->frames().size() > 1;
}

}  // namespace ui
