#include "vellum/VellumImageViews.h"

#include <algorithm>
#include <cmath>

#include "VellumGuard.h"
#include "VellumLog.h"
#include "gfx/WorkMeter.h"
#include "quartz/Renderer.h"
#include "vellum/VellumFixedContent.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumSourceString.h"

namespace vellum {

std::shared_ptr<VellumLayer> VellumLayer::make() { return std::shared_ptr<VellumLayer>(new VellumLayer); }

VellumLayer::VellumLayer() { setBorderColor(gfx::Color::black()); }

VellumLayer::~VellumLayer() {
    if (shownTree_) shownTree_->removeFromSuperlayer();
}

void VellumLayer::setSVGImage(std::shared_ptr<VellumImage> image) {
    if (image == SVGImage_) return;
    startRenderTime_.reset();
    endRenderTime_.reset();
    if (shownTree_) shownTree_->removeFromSuperlayer();
    shownTree_.reset();
    SVGImage_ = std::move(image);
    if (!SVGImage_) return;
    startRenderTime_ = foundation::Date::now();
    shownTree_ = SVGImage_->CALayerTree();
    if (shownTree_) addSublayer(shownTree_);
    endRenderTime_ = foundation::Date::now();
}

void VellumLayer::setShowBorder(bool show) {
    showBorder_ = show;
    setBorderWidth(show ? 1.0 : 0.0);
    setNeedsDisplay();
}

ui::Size VellumImageView::intrinsicContentSize() const {
    auto shown = image();
    return shown && shown->hasSize() ? shown->size() : ui::Size{0, 0};
}

VellumFastImageView::VellumFastImageView(std::shared_ptr<VellumImage> image) { populateFromImage(std::move(image)); }

VellumFastImageView::VellumFastImageView(const ui::Rect& frame) : VellumImageView(frame) { populateFromImage(nullptr); }

void VellumFastImageView::populateFromImage(std::shared_ptr<VellumImage> image) {
    if (!image) {
        vellumLogWarning(
            "[%@] WARNING: you have initialized an VellumImageView with a blank image (nil). Possibly because you're "
            "using Storyboards or NIBs which Apple won't allow us to decorate. Make sure you assign an VellumImage to "
            "the .image property!",
            "VellumFastImageView");
    }
    setImage(image);
    if (image && image->hasSize()) {
        const gfx::Size size = image->size();
        setFrame({0, 0, size.width, size.height});
    }
    tileRatio_ = {0, 0};
    setBackgroundColor(gfx::Color::clear());
}

void VellumFastImageView::changed() {
    if (!disableAutoRedraw_) setNeedsDisplay();
}

void VellumFastImageView::setImage(std::shared_ptr<VellumImage> image) {
    sizeObservation_.reset();
    image_ = std::move(image);
    // A new size is a new picture. The token dies with the view, so the call never outlives it.
    if (image_ && !disableAutoRedraw_) sizeObservation_ = image_->observeSize([this] { changed(); });
    invalidateIntrinsicContentSize();
    changed();
}

void VellumFastImageView::setShowBorder(bool show) {
    showBorder_ = show;
    changed();
}

void VellumFastImageView::setTileRatio(gfx::Size ratio) {
    tileRatio_ = ratio;
    changed();
}

void VellumFastImageView::draw(gfx::Context& context, const ui::Rect& rect) {
    startRenderTime_ = foundation::Date::now();
    guarded<int>("VellumFastImageView draw", [&] {
        if (!image_ || !image_->hasSize()) return 0;
        const gfx::Size size = image_->size();
        // Built here, it leaves the rest of its meter's budget on its root for the tiles. A refused build
        // stands for no picture.
        auto tree = image_->CALayerTree();
        if (!tree || image_->layerTreeRefused() || size.width <= 0 || size.height <= 0) return 0;
        const ui::Rect area = bounds();
        // Guard against absurd ratios: every tile is one full render.
        const double columns = std::clamp(std::ceil(tileRatio_.width), 1.0, 64.0);
        const double rows = std::clamp(std::ceil(tileRatio_.height), 1.0, 64.0);
        double scaleX = area.size.width / size.width;
        double scaleY = area.size.height / size.height;
        double tileWidth = area.size.width;
        double tileHeight = area.size.height;
        if (columns >= 2 || rows >= 2) {
            const double ratioX = std::max(tileRatio_.width, 1.0);
            const double ratioY = std::max(tileRatio_.height, 1.0);
            scaleX = area.size.width / (size.width * ratioX);
            scaleY = area.size.height / (size.height * ratioY);
            tileWidth = area.size.width / ratioX;
            tileHeight = area.size.height / ratioY;
        }
        const auto tiles = [&](gfx::Context& target) {
            for (int row = 0; row < static_cast<int>(rows); ++row) {
                for (int column = 0; column < static_cast<int>(columns); ++column) {
                    target.save();
                    target.translateBy(tileWidth * column, tileHeight * row);
                    target.scaleBy(scaleX, scaleY);
                    quartz::render(*tree, target);
                    target.restore();
                }
            }
        };
        // One meter for the draw, shared by all its tiles: past it the view shows none of them.
        const quartz::WorkBound unbuilt{gfx::WorkMeter::defaultBudget, {}};
        const auto& bound = tree->workBound();
        quartz::renderWithinBound(context, bound ? *bound : unbuilt, area, tiles);
        return 0;
    }, 0, image_ ? image_->parseErrorsAndWarnings().get() : nullptr);
    if (showBorder_) {
        context.save();
        context.setStrokeColor(gfx::Color::black());
        context.strokeRect(rect);
        context.restore();
    }
    endRenderTime_ = foundation::Date::now();
    lastRenderInterval_ = endRenderTime_->timeIntervalSince(*startRenderTime_);
}

VellumLayeredImageView::VellumLayeredImageView(std::shared_ptr<VellumImage> image) {
    gfx::Size size{100, 100};
    if (image) {
        if (auto tree = image->CALayerTree()) size = tree->frame().size;
    }
    setFrame({0, 0, size.width, size.height});
    layer()->addSublayer(backingLayer_);
    populateFromImage(std::move(image));
}

VellumLayeredImageView::VellumLayeredImageView(const ui::Rect& frame) : VellumImageView(frame) {
    layer()->addSublayer(backingLayer_);
    populateFromImage(nullptr);
}

void VellumLayeredImageView::populateFromImage(std::shared_ptr<VellumImage> image) {
    setBackgroundColor(gfx::Color::clear());
    backingLayer_->setFrame(bounds());
    if (image) {
        backingLayer_->setSVGImage(std::move(image));
        return;
    }
    vellumLogWarning(
        "[%@] WARNING: you have initialized an [%@] with a blank image (nil). Possibly because you're using "
        "Storyboards or NIBs which Apple won't allow us to decorate. Make sure you assign an VellumImage to the .image "
        "property!",
        "VellumLayeredImageView", "VellumLayeredImageView");
    backingLayer_->setSVGImage(VellumImage::imageWithSource(
        VellumSourceString::sourceFromContentsOfString(std::string(VellumGetDefaultContentString()))));
}

void VellumLayeredImageView::layoutSubviews() { backingLayer_->setFrame(bounds()); }

std::shared_ptr<VellumImage> VellumLayeredImageView::image() const { return backingLayer_->SVGImage(); }

void VellumLayeredImageView::setImage(std::shared_ptr<VellumImage> image) {
    backingLayer_->setSVGImage(std::move(image));
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

bool VellumLayeredImageView::showBorder() const { return backingLayer_->showBorder(); }

void VellumLayeredImageView::setShowBorder(bool show) {
    backingLayer_->setShowBorder(show);
    setNeedsDisplay();
}

double VellumLayeredImageView::timeIntervalForLastReRenderOfSVGFromMemory() const {
    const auto& start = backingLayer_->startRenderTime();
    const auto& end = backingLayer_->endRenderTime();
    return start && end ? end->timeIntervalSince(*start) : 0;
}

}  // namespace vellum
