#include "gfx/Gradient.h"

#include <algorithm>
#include <cmath>

#include "ContextImpl.h"

namespace gfx {

std::optional<Gradient> Gradient::make(std::span<const Color> colors, std::span<const double> locations) {
    if (colors.empty() || (!locations.empty() && locations.size() != colors.size())) return std::nullopt;
    Gradient gradient;
    for (std::size_t index = 0; index < colors.size(); ++index) {
        double location = !locations.empty() ? locations[index]
                          : colors.size() == 1 ? 0
                                               : double(index) / double(colors.size() - 1);
        gradient.stops_.push_back({colors[index], std::clamp(location, 0.0, 1.0)});
    }
    return gradient;
}

namespace {

void addStops(cairo_pattern_t* pattern, const Gradient& gradient) {
    for (const GradientStop& stop : gradient.stops())
        cairo_pattern_add_color_stop_rgba(pattern, stop.location, stop.color.red, stop.color.green, stop.color.blue,
                                          stop.color.alpha);
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

}  // namespace

void Context::drawLinearGradient(const Gradient& gradient, Point start, Point end, unsigned options) {
    double dx = end.x - start.x, dy = end.y - start.y;
    double length = std::hypot(dx, dy);
    if (length == 0 || !std::isfinite(length)) return;
    cairo_t* cr = impl_->synced();
    cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    addStops(pattern, gradient);
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
    cairo_t* cr = impl_->synced();
    cairo_pattern_t* pattern =
        cairo_pattern_create_radial(startCenter.x, startCenter.y, startRadius, endCenter.x, endCenter.y, endRadius);
    addStops(pattern, gradient);
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
