#include "quartz/Animation.h"

#include <algorithm>
#include <cmath>

namespace quartz {

namespace {

struct Curve {
    double x1, y1, x2, y2;
};

double bezier(double t, double p1, double p2) {
    double u = 1 - t;
    return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

// Finds t with x(t) = x by bisection: x(t) is monotonic for control x values inside [0, 1].
double solveCurve(const Curve& curve, double x) {
    double low = 0, high = 1;
    for (int step = 0; step < 40; ++step) {
        double middle = (low + high) / 2;
        (bezier(middle, curve.x1, curve.x2) < x ? low : high) = middle;
    }
    return bezier((low + high) / 2, curve.y1, curve.y2);
}

}  // namespace

double applyTimingFunction(TimingFunction function, double fraction) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    switch (function) {
        case TimingFunction::linear: return fraction;
        case TimingFunction::easeIn: return solveCurve({0.42, 0, 1, 1}, fraction);
        case TimingFunction::easeOut: return solveCurve({0, 0, 0.58, 1}, fraction);
        case TimingFunction::easeInEaseOut: return solveCurve({0.42, 0, 0.58, 1}, fraction);
        case TimingFunction::systemDefault: return solveCurve({0.25, 0.1, 0.25, 1}, fraction);
    }
    return fraction;
}

AnimationValue interpolate(const AnimationValue& from, const AnimationValue& to, double progress) {
    if (auto* a = std::get_if<double>(&from))
        if (auto* b = std::get_if<double>(&to)) return *a + (*b - *a) * progress;
    if (auto* a = std::get_if<gfx::Point>(&from))
        if (auto* b = std::get_if<gfx::Point>(&to))
            return gfx::Point{a->x + (b->x - a->x) * progress, a->y + (b->y - a->y) * progress};
    return to;
}

double BasicAnimation::activeDuration() const {
    if (std::isinf(repeatCount)) return forever;
    double passes = repeatCount > 0 ? repeatCount : 1;
    return effectiveDuration() * passes * (autoreverses ? 2 : 1);
}

std::optional<double> BasicAnimation::progress(double time) const {
    double local = time - beginTime;
    double pass = effectiveDuration();
    double active = activeDuration();
    if (!(local >= 0)) {
        if (fillMode != FillMode::backwards && fillMode != FillMode::both) return std::nullopt;
        return applyTimingFunction(timingFunction, 0);
    }
    if (local >= active) {
        if (fillMode != FillMode::forwards && fillMode != FillMode::both) return std::nullopt;
        local = active;
    }
    // Each repeat is a forward pass, followed by a backward one when autoreversing.
    double cycle = autoreverses ? 2 * pass : pass;
    double intoCycle = std::fmod(local, cycle);
    if (local > 0 && intoCycle == 0) intoCycle = cycle;  // the end of a pass shows its last value
    double fraction = intoCycle / pass;
    if (fraction > 1) fraction = 2 - fraction;
    return applyTimingFunction(timingFunction, fraction);
}

}  // namespace quartz
