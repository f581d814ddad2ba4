#pragma once

#include <memory>
#include <span>
#include <vector>

#include "gfx/Color.h"
#include "gfx/Context.h"
#include "map/Overlay.h"
#include "map/Viewport.h"

namespace map {

// Draws one overlay for a viewport into a context whose points are the viewport's screen points.
class OverlayRenderer {
public:
    explicit OverlayRenderer(std::shared_ptr<Overlay> overlay) : overlay_(std::move(overlay)) {}
    virtual ~OverlayRenderer() = default;

    const std::shared_ptr<Overlay>& overlay() const { return overlay_; }
    virtual void draw(gfx::Context& context, const Viewport& viewport) const = 0;

    double alpha = 1;

private:
    std::shared_ptr<Overlay> overlay_;
};

// Strokes a polyline in one colour; the width is in screen points whatever the zoom.
class PolylineRenderer : public OverlayRenderer {
public:
    explicit PolylineRenderer(std::shared_ptr<Polyline> polyline) : OverlayRenderer(polyline), polyline_(polyline) {}

    void draw(gfx::Context& context, const Viewport& viewport) const override;

    gfx::Color strokeColor = gfx::Color::systemBlue();
    double lineWidth = 1;
    gfx::LineCap lineCap = gfx::LineCap::round;
    gfx::LineJoin lineJoin = gfx::LineJoin::round;

protected:
    // The line's screen points per world copy, cut to the view (plus the line's width), as runs of
    // points with the fraction of the line's points at which each starts.
    struct Run {
        std::vector<gfx::Point> points;
        std::vector<double> fractions;
    };
    std::vector<Run> visibleRuns(const Viewport& viewport) const;

    std::shared_ptr<Polyline> polyline_;
};

// Strokes a polyline whose colour changes along it: colours at locations from 0 (first point) to 1
// (last point), measured in the line's points, not its length. Without locations the colours are
// spread evenly; one colour draws the whole line in it.
class GradientPolylineRenderer : public PolylineRenderer {
public:
    using PolylineRenderer::PolylineRenderer;

    // Ignored when the counts differ (locations given) or no colour is given.
    void setColors(std::span<const gfx::Color> colors, std::span<const double> locations = {});
    const std::vector<gfx::Color>& colors() const { return colors_; }
    const std::vector<double>& locations() const { return locations_; }
    // The colour at a fraction of the line's points.
    gfx::Color colorAt(double fraction) const;

    void draw(gfx::Context& context, const Viewport& viewport) const override;

private:
    std::vector<gfx::Color> colors_;
    std::vector<double> locations_;
};

}  // namespace map
