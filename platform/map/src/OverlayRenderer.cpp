#include "map/OverlayRenderer.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "gfx/Path.h"

namespace map {

namespace {

struct Segment {
    gfx::Point from, to;
    double fromT = 0, toT = 1;  // parameters along the original segment
};

// Liang-Barsky: the part of a segment inside a rectangle, so nothing far off screen reaches Cairo.
std::optional<Segment> clip(gfx::Point from, gfx::Point to, const gfx::Rect& rect) {
    double dx = to.x - from.x, dy = to.y - from.y;
    double low = 0, high = 1;
    auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        double r = q / p;
        if (p < 0) {
            if (r > high) return false;
            low = std::max(low, r);
        } else {
            if (r < low) return false;
            high = std::min(high, r);
        }
        return true;
    };
    if (!edge(-dx, from.x - rect.minX()) || !edge(dx, rect.maxX() - from.x) || !edge(-dy, from.y - rect.minY()) ||
        !edge(dy, rect.maxY() - from.y)) {
        return std::nullopt;
    }
    return Segment{{from.x + dx * low, from.y + dy * low}, {from.x + dx * high, from.y + dy * high}, low, high};
}

gfx::Color mix(gfx::Color a, gfx::Color b, double t) {
    return {a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t, a.blue + (b.blue - a.blue) * t,
            a.alpha + (b.alpha - a.alpha) * t};
}

}  // namespace

std::vector<PolylineRenderer::Run> PolylineRenderer::visibleRuns(const Viewport& viewport) const {
    std::vector<Run> runs;
    const std::vector<MapPoint>& points = polyline_->points();
    if (points.empty()) return runs;
    double margin = lineWidth + 2;
    gfx::Rect guard = gfx::Rect{0, 0, viewport.size().width, viewport.size().height}.insetBy(-margin, -margin);
    double last = std::max<double>(1, points.size() - 1);
    MapRect visible = viewport.visibleMapRect();
    MapRect bounds = polyline_->boundingMapRect();
    double mapMargin = margin * viewport.scale();
    MapRect reach{{visible.minX() - mapMargin, visible.minY() - mapMargin},
                  {visible.size.width + 2 * mapMargin, visible.size.height + 2 * mapMargin}};
    // The line's own copies: one a world the view reaches, shifted so its box meets the view.
    double first = std::floor((reach.minX() - bounds.maxX()) / worldSize);
    for (double k = first; k * worldSize + bounds.minX() <= reach.maxX(); ++k) {
        double offset = k * worldSize;
        if (!reach.intersects(bounds.offsetBy(offset, 0))) continue;
        if (points.size() == 1) {
            gfx::Point point = viewport.point(points[0], offset);
            if (guard.contains(point)) runs.push_back({{point, point}, {0, 0}});
            continue;
        }
        Run run;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            auto segment = clip(viewport.point(points[i], offset), viewport.point(points[i + 1], offset), guard);
            if (!segment) continue;
            double fromFraction = (i + segment->fromT) / last, toFraction = (i + segment->toT) / last;
            if (run.points.empty() || run.points.back() != segment->from) {
                if (run.points.size() > 1) runs.push_back(std::move(run));
                run = {{segment->from}, {fromFraction}};
            }
            run.points.push_back(segment->to);
            run.fractions.push_back(toFraction);
        }
        if (run.points.size() > 1) runs.push_back(std::move(run));
    }
    return runs;
}

void PolylineRenderer::draw(gfx::Context& context, const Viewport& viewport) const {
    gfx::Path path;
    for (const Run& run : visibleRuns(viewport)) path.addLines(run.points);
    if (path.isEmpty()) return;
    context.save();
    context.setAlpha(alpha);
    context.setStrokeColor(strokeColor);
    context.setLineWidth(lineWidth);
    context.setLineCap(lineCap);
    context.setLineJoin(lineJoin);
    context.stroke(path);
    context.restore();
}

void GradientPolylineRenderer::setColors(std::span<const gfx::Color> colors, std::span<const double> locations) {
    if (colors.empty() || (!locations.empty() && locations.size() != colors.size())) return;
    colors_.assign(colors.begin(), colors.end());
    locations_.assign(locations.begin(), locations.end());
}

gfx::Color GradientPolylineRenderer::colorAt(double fraction) const {
    if (colors_.empty()) return strokeColor;
    if (colors_.size() == 1) return colors_.front();
    auto location = [&](std::size_t i) {
        return locations_.empty() ? double(i) / double(colors_.size() - 1) : locations_[i];
    };
    if (fraction <= location(0)) return colors_.front();
    for (std::size_t i = 1; i < colors_.size(); ++i) {
        if (fraction <= location(i)) {
            double span = location(i) - location(i - 1);
            return mix(colors_[i - 1], colors_[i], span > 0 ? (fraction - location(i - 1)) / span : 1);
        }
    }
    return colors_.back();
}

void GradientPolylineRenderer::draw(gfx::Context& context, const Viewport& viewport) const {
    if (colors_.size() <= 1) {
        PolylineRenderer copy = *this;
        copy.strokeColor = colorAt(0);
        copy.PolylineRenderer::draw(context, viewport);
        return;
    }
    // Pieces a few points long, each in the colour at its middle; round caps hide the joins.
    constexpr double pieceLength = 3;
    context.save();
    context.setAlpha(alpha);
    context.setLineWidth(lineWidth);
    context.setLineCap(lineCap);
    context.setLineJoin(lineJoin);
    for (const Run& run : visibleRuns(viewport)) {
        for (std::size_t i = 0; i + 1 < run.points.size(); ++i) {
            gfx::Point a = run.points[i], b = run.points[i + 1];
            int pieces = std::clamp(static_cast<int>(std::hypot(b.x - a.x, b.y - a.y) / pieceLength), 1, 4096);
            for (int piece = 0; piece < pieces; ++piece) {
                double t0 = double(piece) / pieces, t1 = double(piece + 1) / pieces;
                double fraction = run.fractions[i] + (run.fractions[i + 1] - run.fractions[i]) * (t0 + t1) / 2;
                gfx::Path path;
                path.moveTo({a.x + (b.x - a.x) * t0, a.y + (b.y - a.y) * t0});
                path.lineTo({a.x + (b.x - a.x) * t1, a.y + (b.y - a.y) * t1});
                context.setStrokeColor(colorAt(fraction));
                context.stroke(path);
            }
        }
    }
    context.restore();
}

}  // namespace map
