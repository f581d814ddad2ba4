#include "gfx/Gradient.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "ContextImpl.h"
#include "gfx/WorkMeter.h"

namespace gfx {

// The cairo patterns made of a gradient's stops, in a fixed geometry that a pattern matrix places:
// cairo files each stop by walking those it has, so making a pattern costs the square of the stops, and
// a gradient drawn many times makes its pattern once. Drawing sets the pattern's matrix and extend, so
// one drawing at a time holds the lock.
struct Gradient::Patterns {
    std::mutex lock;
    cairo_pattern_t* linear = nullptr;  // from (0, 0) to (1, 0)
    cairo_pattern_t* radial = nullptr;  // from `radialStart` (centre x, y, radius) to the unit circle
    double radialStart[3] = {};

    Patterns() = default;
    Patterns(const Patterns&) = delete;
    Patterns& operator=(const Patterns&) = delete;
    ~Patterns() {
        if (linear) cairo_pattern_destroy(linear);
        if (radial) cairo_pattern_destroy(radial);
    }
};

std::optional<Gradient> Gradient::make(std::span<const Color> colors, std::span<const double> locations) {
    if (colors.empty() || (!locations.empty() && locations.size() != colors.size())) return std::nullopt;
    std::vector<GradientStop> stops;
    stops.reserve(colors.size());
    for (std::size_t index = 0; index < colors.size(); ++index) {
        double location = !locations.empty() ? locations[index]
                          : colors.size() == 1 ? 0
                                               : double(index) / double(colors.size() - 1);
        stops.push_back({colors[index], std::clamp(std::isnan(location) ? 0.0 : location, 0.0, 1.0)});
    }
    const auto earlier = [](const GradientStop& a, const GradientStop& b) { return a.location < b.location; };
    if (!std::is_sorted(stops.begin(), stops.end(), earlier)) {
        // Stops at one location keep their order: the index breaks ties.
        std::vector<std::pair<double, std::size_t>> order;
        order.reserve(stops.size());
        for (std::size_t index = 0; index < stops.size(); ++index) order.emplace_back(stops[index].location, index);
        std::sort(order.begin(), order.end());
        std::vector<GradientStop> sorted;
        sorted.reserve(stops.size());
        for (const auto& [location, index] : order) sorted.push_back(stops[index]);
        stops = std::move(sorted);
    }
    Gradient gradient;
    std::vector<GradientStop> merged;
    merged.reserve(stops.size());
    for (std::size_t index = 0; index < stops.size(); ++index) {
        const bool inRun = index > 0 && index + 1 < stops.size() && stops[index - 1].location == stops[index].location &&
                           stops[index + 1].location == stops[index].location;
        if (!inRun) merged.push_back(stops[index]);
    }
    if (merged.size() <= maximumStops) {
        gradient.stops_ = std::move(merged);
    } else {
        for (std::size_t kept = 0; kept < maximumStops; ++kept) {
            gradient.stops_.push_back(merged[kept * (merged.size() - 1) / (maximumStops - 1)]);
        }
    }
    gradient.patterns_ = std::make_shared<Patterns>();
    return gradient;
}

namespace {

void addStops(cairo_pattern_t* pattern, const Gradient& gradient) {
    for (const GradientStop& stop : gradient.stops())
        cairo_pattern_add_color_stop_rgba(pattern, stop.location, stop.color.red, stop.color.green, stop.color.blue,
                                          stop.color.alpha);
}

// Sets the pattern's matrix; false (the pattern untouched) when the matrix has no inverse.
bool placePattern(cairo_pattern_t* pattern, const cairo_matrix_t& matrix) {
    cairo_matrix_t inverse = matrix;
    if (cairo_matrix_invert(&inverse) != CAIRO_STATUS_SUCCESS) return false;
    cairo_pattern_set_matrix(pattern, &matrix);
    return true;
}

// Cairo extends both ends or neither; one end alone is drawn by extending both and clipping the other
// away. `clipToAllowedSide` does that clipping, given how far the clip area reaches (in user space).
void drawGradient(Context::Impl& impl, cairo_pattern_t* pattern, unsigned options,
                  const std::function<void(double reach)>& clipToAllowedSide) {
    cairo_t* cr = impl.cairo;
    bool before = options & drawsBeforeStartLocation, after = options & drawsAfterEndLocation;
    if (options & (repeatsBeyondEnds | reflectsBeyondEnds)) {
        before = after = true;
        cairo_pattern_set_extend(pattern, options & reflectsBeyondEnds ? CAIRO_EXTEND_REFLECT : CAIRO_EXTEND_REPEAT);
    } else {
        cairo_pattern_set_extend(pattern, before || after ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    }
    if (before == after && impl.paintThroughClipMask(pattern)) return;
    impl.composite(
        [&] {
            if (before != after) {
                double x1, y1, x2, y2;
                cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
                clipToAllowedSide(std::max({std::abs(x1), std::abs(x2), std::abs(y1), std::abs(y2)}) * 4 + 1);
            }
            cairo_set_source(cr, pattern);
            cairo_paint_with_alpha(cr, impl.state.alpha);
        },
        [] {});
}

// A gradient paints the whole clip area, its stops resolved for it; each pixel's colour is looked up among
// the stops (Cairo's walk along them costs more the more there are). A linear gradient's pixels walk on
// along a row; a radial one's each work out their distance and look it up among the stops anew.
bool admitGradient(Context::Impl& impl, const Gradient& gradient, bool radial) {
    const raster::PixelBox box = impl.reachable();
    const double stops = double(gradient.stops().size());
    const double pixels = double(std::max(box.right - box.left, 0)) * std::max(box.bottom - box.top, 0);
    const double perPixel = radial ? WorkMeter::aRadialPixel * (1 + stops / WorkMeter::stopsARadialPixelPasses)
                                   : WorkMeter::aComposedPixel * (1 + stops / WorkMeter::stopsAPixelPasses);
    return WorkMeter::charge(WorkMeter::aPath + stops * WorkMeter::aStop + pixels * perPixel);
}

}  // namespace

void Context::drawLinearGradient(const Gradient& gradient, Point start, Point end, unsigned options) {
    double dx = end.x - start.x, dy = end.y - start.y;
    double length = std::hypot(dx, dy);
    if (length == 0 || !std::isfinite(length) || !admitGradient(*impl_, gradient, false)) return;
    cairo_t* cr = impl_->synced();
    // The shared pattern runs along x from 0 to 1: user space goes there by the axis and its normal.
    const double squared = length * length;
    cairo_matrix_t matrix;
    cairo_matrix_init(&matrix, dx / squared, -dy / squared, dy / squared, dx / squared,
                      -(dx * start.x + dy * start.y) / squared, (dy * start.x - dx * start.y) / squared);
    std::unique_lock<std::mutex> shared;
    cairo_pattern_t* pattern = nullptr;
    if (Gradient::Patterns* patterns = gradient.patterns_.get()) {
        shared = std::unique_lock(patterns->lock);
        if (!patterns->linear) {
            patterns->linear = cairo_pattern_create_linear(0, 0, 1, 0);
            addStops(patterns->linear, gradient);
        }
        if (placePattern(patterns->linear, matrix)) {
            pattern = cairo_pattern_reference(patterns->linear);
        } else {
            shared.unlock();
        }
    }
    if (!pattern) {
        pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
        addStops(pattern, gradient);
    }
    bool before = options & drawsBeforeStartLocation;
    drawGradient(*impl_, pattern, options, [&](double reach) {
        // The band of the gradient's axis from t0 to t1, `reach` wide on either side.
        reach += std::abs(start.x) + std::abs(start.y) + std::abs(end.x) + std::abs(end.y);
        double extra = reach / length + 1;
        double t0 = before ? -extra : 0, t1 = before ? 1 : extra;
        double ux = dx / length * reach, uy = dy / length * reach;  // along the axis, `reach` long
        auto at = [&](double t, double side) {
            return Point{start.x + dx * t - uy * side, start.y + dy * t + ux * side};
        };
        Point corners[4] = {at(t0, -1), at(t1, -1), at(t1, 1), at(t0, 1)};
        cairo_new_path(cr);
        cairo_move_to(cr, corners[0].x, corners[0].y);
        for (int index = 1; index < 4; ++index) cairo_line_to(cr, corners[index].x, corners[index].y);
        cairo_close_path(cr);
        cairo_clip(cr);
    });
    cairo_pattern_destroy(pattern);
}

void Context::drawRadialGradient(const Gradient& gradient, Point startCenter, double startRadius, Point endCenter,
                                 double endRadius, unsigned options) {
    if (startRadius < 0 || endRadius < 0 || (startRadius == 0 && endRadius == 0)) return;
    if (!admitGradient(*impl_, gradient, true)) return;
    cairo_t* cr = impl_->synced();
    // The shared pattern ends on the unit circle at the origin; the start circle goes along, and the
    // pattern is made again only when that changes (for concentric gradients it never does).
    std::unique_lock<std::mutex> shared;
    cairo_pattern_t* pattern = nullptr;
    Gradient::Patterns* patterns = gradient.patterns_.get();
    if (patterns && endRadius > 0) {
        const double startCircle[3] = {(startCenter.x - endCenter.x) / endRadius, (startCenter.y - endCenter.y) / endRadius,
                                       startRadius / endRadius};
        cairo_matrix_t matrix;
        cairo_matrix_init(&matrix, 1 / endRadius, 0, 0, 1 / endRadius, -endCenter.x / endRadius, -endCenter.y / endRadius);
        shared = std::unique_lock(patterns->lock);
        if (!patterns->radial || !std::equal(startCircle, startCircle + 3, patterns->radialStart)) {
            if (patterns->radial) cairo_pattern_destroy(patterns->radial);
            patterns->radial = cairo_pattern_create_radial(startCircle[0], startCircle[1], startCircle[2], 0, 0, 1);
            addStops(patterns->radial, gradient);
            std::copy(startCircle, startCircle + 3, patterns->radialStart);
        }
        if (placePattern(patterns->radial, matrix)) {
            pattern = cairo_pattern_reference(patterns->radial);
        } else {
            shared.unlock();
        }
    }
    if (!pattern) {
        pattern = cairo_pattern_create_radial(startCenter.x, startCenter.y, startRadius, endCenter.x, endCenter.y, endRadius);
        addStops(pattern, gradient);
    }
    bool before = options & drawsBeforeStartLocation;
    drawGradient(*impl_, pattern, options, [&](double reach) {
        // Before the start fills inside the start circle's side, after the end outside the end circle:
        // exact when one circle holds the other, as concentric gradients do.
        cairo_new_path(cr);
        if (before) {
            cairo_arc(cr, endCenter.x, endCenter.y, endRadius, 0, 2 * M_PI);
        } else {
            cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
            cairo_rectangle(cr, -reach, -reach, 2 * reach, 2 * reach);
            cairo_new_sub_path(cr);
            cairo_arc(cr, startCenter.x, startCenter.y, startRadius, 0, 2 * M_PI);
        }
        cairo_clip(cr);
    });
    cairo_pattern_destroy(pattern);
}

}  // namespace gfx
