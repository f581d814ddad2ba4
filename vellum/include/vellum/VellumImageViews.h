#pragma once

#include <memory>
#include <optional>

#include "foundation/Date.h"
#include "gfx/Geometry.h"
#include "quartz/Layer.h"
#include "quartz/ShapeLayer.h"
#include "ui/View.h"

namespace vellum {

class VellumImage;

// A layer that shows an image's layer tree as its one sublayer, with an optional black border.
class VellumLayer : public quartz::Layer {
public:
    static std::shared_ptr<VellumLayer> make();
    ~VellumLayer() override;

    const std::shared_ptr<VellumImage>& SVGImage() const { return SVGImage_; }
    // The same image again changes nothing; another replaces the previous tree. The render times
    // bracket the building of the new tree.
    void setSVGImage(std::shared_ptr<VellumImage> image);
    bool showBorder() const { return showBorder_; }
    void setShowBorder(bool show);
    const std::optional<foundation::Date>& startRenderTime() const { return startRenderTime_; }
    const std::optional<foundation::Date>& endRenderTime() const { return endRenderTime_; }

private:
    VellumLayer();
    bool showBorder_ = false;
    std::shared_ptr<VellumImage> SVGImage_;
    std::shared_ptr<quartz::Layer> shownTree_;
    std::optional<foundation::Date> startRenderTime_;
    std::optional<foundation::Date> endRenderTime_;
};

// What the image views share; only its kinds are made.
class VellumImageView : public ui::View {
public:
    // The image's size, or (0, 0) for none or one without a size.
    ui::Size intrinsicContentSize() const override;
    virtual std::shared_ptr<VellumImage> image() const = 0;
    virtual bool showBorder() const = 0;
    virtual void setShowBorder(bool show) = 0;
    virtual double timeIntervalForLastReRenderOfSVGFromMemory() const = 0;

protected:
    VellumImageView() = default;
    explicit VellumImageView(const ui::Rect& frame) : ui::View(frame) {}
};

// Draws the image itself on every drawing pass, scaled to its bounds, or tiled by `tileRatio`.
class VellumFastImageView : public VellumImageView {
public:
    // Null makes an empty view (with a warning).
    explicit VellumFastImageView(std::shared_ptr<VellumImage> image);
    explicit VellumFastImageView(const ui::Rect& frame);

    std::shared_ptr<VellumImage> image() const override { return image_; }
    void setImage(std::shared_ptr<VellumImage> image);
    bool showBorder() const override { return showBorder_; }
    void setShowBorder(bool show) override;
    // Columns and rows of copies; below 2 each way, one copy fills the view.
    gfx::Size tileRatio() const { return tileRatio_; }
    void setTileRatio(gfx::Size ratio);
    bool disableAutoRedrawAtHighestResolution() const { return disableAutoRedraw_; }
    void setDisableAutoRedrawAtHighestResolution(bool disable) { disableAutoRedraw_ = disable; }
    double timeIntervalForLastReRenderOfSVGFromMemory() const override { return lastRenderInterval_; }
    const std::optional<foundation::Date>& startRenderTime() const { return startRenderTime_; }
    const std::optional<foundation::Date>& endRenderTime() const { return endRenderTime_; }

    void draw(gfx::Context& context, const ui::Rect& rect) override;

private:
    void populateFromImage(std::shared_ptr<VellumImage> image);
    void changed();

    std::shared_ptr<VellumImage> image_;
    // Held while the image's size is watched.
    std::shared_ptr<void> sizeObservation_;
    bool showBorder_ = false;
    bool disableAutoRedraw_ = false;
    gfx::Size tileRatio_{0, 0};
    double lastRenderInterval_ = 0;
    std::optional<foundation::Date> startRenderTime_;
    std::optional<foundation::Date> endRenderTime_;
};

// Hosts the image's layer tree in a VellumLayer that fills the view.
class VellumLayeredImageView : public VellumImageView {
public:
    // Sized to the image's layer tree; 100 by 100 without an image, which then shows the default
    // document (with a warning).
    explicit VellumLayeredImageView(std::shared_ptr<VellumImage> image);
    explicit VellumLayeredImageView(const ui::Rect& frame);

    std::shared_ptr<VellumImage> image() const override;
    void setImage(std::shared_ptr<VellumImage> image);
    bool showBorder() const override;
    void setShowBorder(bool show) override;
    // The backing layer's end render time minus its start; 0 before any.
    double timeIntervalForLastReRenderOfSVGFromMemory() const override;
    const std::shared_ptr<VellumLayer>& backingLayer() const { return backingLayer_; }
    // A shape layer kept for a border of the caller's own; none at first.
    const std::shared_ptr<quartz::ShapeLayer>& internalBorderLayer() const { return internalBorderLayer_; }
    void setInternalBorderLayer(std::shared_ptr<quartz::ShapeLayer> layer) { internalBorderLayer_ = std::move(layer); }

    void layoutSubviews() override;

private:
    void populateFromImage(std::shared_ptr<VellumImage> image);

    std::shared_ptr<VellumLayer> backingLayer_ = VellumLayer::make();
    std::shared_ptr<quartz::ShapeLayer> internalBorderLayer_;
};

}  // namespace vellum
