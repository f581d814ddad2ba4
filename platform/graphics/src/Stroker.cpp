#include "Stroker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "gfx/WorkMeter.h"

namespace gfx::raster {

namespace {

// Points closer than this (device pixels) are one: the segment between them has no direction.
constexpr double shortestSegment = 1e-9;

// One subpath flattened in device space. `smooth` marks the points inside a curve: the stroke turns
// round there whatever the join, since those corners are the flattening's, not the outline's.
struct Scratch {
    std::vector<Point> points;
    std::vector<std::uint8_t> smooth;
    // Solid with butt caps: the curve's own direction at each point inside it (none elsewhere).
    std::vector<Point> directions;
    // Dashed: how long the segment ending at each point runs, NaN where that is its own length.
    std::vector<double> spans;
    // Dashed: how long each segment runs to Cairo's dasher, in user units.
    std::vector<double> lengths;
    // The two sides of a band of segments (see Builder::bandEnd).
    std::vector<Point> left, right;
    StrokePieces pieces;
    // The dash being walked, and a closed subpath's first dash until its last is known.
    std::vector<Point> dash, firstDash;
    std::vector<std::uint8_t> dashSmooth, firstDashSmooth;
};

thread_local Scratch scratch;

#ifdef SORVANE_STROKER_FAULTS
thread_local StrokerFault fault = StrokerFault::none;
#else
constexpr StrokerFault fault = StrokerFault::none;
#endif

// Whether the line from `b` to `c` goes straight on along the one from `a` to `b` (points on Cairo's grid).
bool continuesLine(Point a, Point b, Point c) {
    const double ux = b.x - a.x, uy = b.y - a.y, vx = c.x - b.x, vy = c.y - b.y;
    return ux * vy == uy * vx && ux * vx + uy * vy > 0;
}

bool samePoint(Point a, Point b, double within = shortestSegment) {
    double dx = b.x - a.x, dy = b.y - a.y;
    return dx * dx + dy * dy <= within * within;
}

// Device points as Cairo keeps them, on a grid of 1/256 pixel: dashes laid along the same lengths end
// on the same side of a corner.
Point onGrid(Point p) { return {std::nearbyint(p.x * 256) / 256, std::nearbyint(p.y * 256) / 256}; }

// Whether `path` is lines only, each along an axis of the device on Cairo's grid.
bool linesAlongAxes(const Path& path, const AffineTransform& t) {
    Point at{}, from{};
    for (const PathElement& element : path.elements()) {
        if (element.kind == PathElement::Kind::quadCurveTo || element.kind == PathElement::Kind::curveTo) return false;
        Point to = element.kind == PathElement::Kind::closeSubpath ? from : onGrid(t.apply(element.points[0]));
        if (element.kind == PathElement::Kind::moveTo) from = to;
        else if (to.x != at.x && to.y != at.y) return false;
        at = to;
    }
    return true;
}

// Whether Cairo strokes `path` as boxes, one a segment (solid or dashed): lines along the device's axes,
// mitred with right angles within the limit, not round-capped, under a transform that only scales.
bool strokedAsBoxes(const Path& path, const AffineTransform& t, const StrokeStyle& style) {
    return style.join == StrokeStyle::Join::miter && style.miterLimit >= std::numbers::sqrt2 &&
           style.cap != StrokeStyle::Cap::round && t.b == 0 && t.c == 0 && linesAlongAxes(path, t);
}

// The unit direction from `a` to `b` and their distance.
struct Direction {
    Point unit;
    double length;
};

Direction between(Point a, Point b) {
    double dx = b.x - a.x, dy = b.y - a.y, length = std::sqrt(dx * dx + dy * dy);
    return {{dx / length, dy / length}, length};
}

// Appends the pieces, built in the pen's space (where it is a circle of radius `half`) and mapped to
// the device by `toDevice` when that is not the device itself.
class Builder {
public:
    Builder(const StrokeStyle& style, double half, double tolerance, const AffineTransform* toDevice,
            const PixelBox& clip, Scratch& scratch, StrokePieces& out)
        : style_(style),
          half_(half),
          tolerance_(tolerance),
          arcStep_(2 * std::acos(std::max(-1.0, 1 - tolerance / half))),
          toDevice_(toDevice),
          clip_(clip),
          left_(scratch.left),
          right_(scratch.right),
          out_(out) {}

    // Consecutive segments make one band: one polygon whose sides are the segments pushed out either
    // way, turning at each corner as the join does on the outer side and meeting where the pushed-in
    // segments cross on the inner side. That is the union of the segments' quads and their joins as
    // long as the inner side does not fold back, with about a third of the edges the separate pieces
    // would have. A band begins at `a` along `d`, turns at corners, and ends at `b`.
    void bandStart(Point a, Point d) {
        bandClear();
        Point n{-d.y * half_, d.x * half_};
        left_.push_back({a.x + n.x, a.y + n.y});
        right_.push_back({a.x - n.x, a.y - n.y});
    }

    // Turns the band at `v` from `d1` to `d2`, returning how far into the next segment its inner side
    // cut; nothing, without adding to the band, at a turn right back (or, unless `throughCorner`, one the
    // segments are too short for). Inlined where the bands are built: a call a corner costs wide strokes
    // more than the corner's own work.
    [[gnu::always_inline]] std::optional<double> bandTurn(Point v, Point d1, Point d2, bool smooth, double cutAlready,
                                                          double length1, double length2, bool throughCorner = true) {
        double cosine = d1.x * d2.x + d1.y * d2.y, cross = d1.x * d2.y - d1.y * d2.x;
        if (!(1 + cosine > 1e-12)) return std::nullopt;
        // The pushed segments cross this far past (or short of) the pushed corner.
        double reach = half_ * std::sqrt((1 - cosine) / (1 + cosine));
        double way = cross > 0 ? 1 : -1;
        auto& inner = way > 0 ? left_ : right_;
        auto& outer = way > 0 ? right_ : left_;
        // Each quad is whole in Cairo's picture at a corner of the line, and a dash's at a curve's too: at a
        // shallow turn the next one's inner corner reaches back past the crossing, by half the width times
        // the turn's sine, and shows past the start of a segment shorter than that (or where a dash begins
        // just before).
        const double inset = dashQuads_ || !smooth ? std::max(reach, half_ * std::abs(cross)) : reach;
        if ((cutAlready + inset < length1 && inset < length2) || fault == StrokerFault::innerBandFolds) {
            // The inner side turns where the pushed-in segments cross.
            double scale = half_ / (1 + cosine);
            inner.push_back({v.x - way * (d1.y + d2.y) * scale, v.y + way * (d1.x + d2.x) * scale});
        } else if (smooth && foldsInCurves_) {
            // Cairo strokes an undashed line as one outline, a curve's points pushed out along their normals
            // however tight it turns: where that folds back across a butt cap, less than the union is filled.
            // Where the flattened pieces turn sharply (by over about 37 degrees) the normal is the curve's own
            // there, not the pieces': it is what leaves the wedge by a cap on a tight bend filled, as Cairo's.
            // Past a right angle (a hook's tip) no point is pushed out: the inner side runs straight on to
            // the next one and fills the wedge by the cap that Cairo fills and a point at the tip leaves out.
            if (cosine >= 0) {
                const double length = direction_ && cosine < 0.8 ? std::hypot(direction_->x, direction_->y) : 0;
                if (length > 0) {
                    const double scale = half_ / length;
                    inner.push_back({v.x - way * direction_->y * scale, v.y + way * direction_->x * scale});
                } else {
                    const double scale = half_ / std::sqrt(2 + 2 * cosine);
                    inner.push_back({v.x - way * (d1.y + d2.y) * scale, v.y + way * (d1.x + d2.x) * scale});
                }
            }
            reach = 0;
        } else if (!throughCorner) {
            return std::nullopt;
        } else {
            // The segments are too short for the turn (`cutAlready` of the first one taken by its
            // start): the inner side would fold back. It runs through the corner point instead, from
            // the first segment's pushed end to the next one's pushed start, so the band covers the
            // two quads and the join there, overlapping (the fill traces their union): what a band
            // ended there, a wedge and a band begun there would cover, in one polygon for three.
            inner.push_back({v.x - way * d1.y * half_, v.y + way * d1.x * half_});
            inner.push_back(v);
            inner.push_back({v.x - way * d2.y * half_, v.y + way * d2.x * half_});
            if (cosine == 0) cornerBoxes(v, d1, d2, length1, length2);
            reach = 0;
        }
        if (fault == StrokerFault::joinsDropped && !smooth) return dropJoin(v, d1, d2, way, outer), reach;
        // On the outer side, the pushed-out segments' ends are on the band's sides already.
        outerCorner(v, d1, d2, cornerJoin(faultyCosine(d1, d2, cosine), smooth), [&](Point p) { outer.push_back(p); });
        return reach;
    }

    // Whether the inner side folds at a curve's tight turns, as Cairo's outline of an undashed open line
    // with butt caps does (a cap or join drawn apart would cancel where the fold winds backwards).
    void foldInCurves(bool fold) { foldsInCurves_ = fold && style_.cap == StrokeStyle::Cap::butt; }

    // The curve's own direction at the corner turned next, where known.
    void curveDirection(const Point* direction) { direction_ = direction; }

    // Whether the segments are a dash's, whose band covers every quad whole (see bandTurn).
    void dashQuads(bool dash) { dashQuads_ = dash; }

    // Cairo strokes a solid path of lines along the device's axes, mitred (right angles within the limit)
    // and not round-capped, under a transform that only scales, as boxes: each segment's reaches on by
    // half the width, whole across, at a right-angle corner (not at a turn right back). The miter covers
    // the outer half of that and the next segment the inner one, unless it is shorter than half the
    // width: there the box shows past it. `path` is the one stroked, on the device by `toDevice`; whether
    // it is stroked so is asked when a corner first needs to know (cornerBoxes).
    void boxesAtCorners(const Path* path, const AffineTransform* toDevice) {
        boxPath_ = path, boxTransform_ = toDevice, alongAxes_ = -1;
    }
    // At the right-angle corner `v` from `d1` to `d2`, what the boxes add past segments too short for it.
    [[gnu::noinline]] void cornerBoxes(Point v, Point d1, Point d2, double length1, double length2) {
        if (alongAxes_ < 0) {
            alongAxes_ = !dashQuads_ && strokedAsBoxes(*boxPath_, *boxTransform_, style_);
        }
        if (!alongAxes_) return;
        if (length2 < half_) box(v, d1, std::nullopt);
        if (length1 < half_) box(v, {-d2.x, -d2.y}, std::nullopt);
    }

    // Cairo draws a list without gaps as its solid stroke, which holds the miter limit for the device's corner.
    void measureMitersOnDevice(bool onDevice) { mitersOnDevice_ = onDevice; }

    void bandEnd(Point b, Point d) {
        Point n{-d.y * half_, d.x * half_};
        left_.push_back({b.x + n.x, b.y + n.y});
        right_.push_back({b.x - n.x, b.y - n.y});
        emitBand();
    }

    // A closed subpath's band may begin by turning at its start (from empty sides) and, still whole
    // when it is back there, end where it began: each side closes into a loop, and the edges joining
    // the two loops at the start cancel out.
    void bandClear() {
        left_.clear();
        right_.clear();
    }
    void bandLoop() {
        left_.push_back(Point(left_.front()));
        right_.push_back(Point(right_.front()));
        emitBand();
    }

    // The points of the pieces so far.
    std::size_t pointCount() const { return out_.points.size(); }
    bool roundCaps() const { return style_.cap == StrokeStyle::Cap::round; }

    // Whether the pieces and the band being built hold more points than the converter takes.
    bool full() const { return out_.points.size() + left_.size() + right_.size() > mostPoints; }

    // What fills the gap on the outer side where a segment along `d1` meets one along `d2` at `v`.
    void join(Point v, Point d1, Point d2, bool smooth) {
        double cosine = d1.x * d2.x + d1.y * d2.y, cross = d1.x * d2.y - d1.y * d2.x;
        if ((cross == 0 && cosine > 0) || (fault == StrokerFault::joinsDropped && !smooth)) return;
        auto join = cornerJoin(faultyCosine(d1, d2, cosine), smooth);
        Point n1 = outwards(d1, cross), n2 = outwards(d2, cross);
        // A miter's tip alone leaves out the pushed-out segments' ends.
        bool mitred = join == StrokeStyle::Join::miter;
        add(v);
        if (mitred) add({v.x + n1.x * half_, v.y + n1.y * half_});
        outerCorner(v, d1, d2, join, [this](Point p) { add(p); });
        if (mitred) add({v.x + n2.x * half_, v.y + n2.y * half_});
        finish();
    }

    // The cap at an open subpath's end `p`, `outward` the unit direction away from the line.
    void cap(Point p, Point outward) {
        if (fault == StrokerFault::capsDropped) return;
        Point n{-outward.y, outward.x};
        if (style_.cap == StrokeStyle::Cap::round) {
            arc(p, n, -std::numbers::pi);
        } else if (style_.cap == StrokeStyle::Cap::square) {
            Point o{outward.x * half_, outward.y * half_};
            add({p.x + n.x * half_, p.y + n.y * half_});
            add({p.x + n.x * half_ + o.x, p.y + n.y * half_ + o.y});
            add({p.x - n.x * half_ + o.x, p.y - n.y * half_ + o.y});
            add({p.x - n.x * half_, p.y - n.y * half_});
        }
        finish();
    }

    // A box from `p` reaching half the width along `d`, and across it to the `side` given, or to both.
    void box(Point p, Point d, std::optional<Point> side) {
        Point a{d.x * half_, d.y * half_};
        Point s = side ? Point{side->x * half_, side->y * half_} : Point{-a.y, a.x};
        Point from = side ? p : Point{p.x - s.x, p.y - s.y};
        add(from);
        add({from.x + a.x, from.y + a.y});
        add({p.x + a.x + s.x, p.y + a.y + s.y});
        add({p.x + s.x, p.y + s.y});
        finish();
    }

    // A subpath without length, as browsers draw it: a disc for round caps, for square ones a square
    // whose sides run along `along` (the user space's x axis) and across it.
    void dot(Point p, Point along) {
        if (style_.cap == StrokeStyle::Cap::butt) return;
        if (style_.cap == StrokeStyle::Cap::round) {
            arc(p, {1, 0}, 2 * std::numbers::pi);
        } else {
            Point a{along.x * half_, along.y * half_}, n{-a.y, a.x};
            add({p.x - a.x - n.x, p.y - a.y - n.y});
            add({p.x + a.x - n.x, p.y + a.y - n.y});
            add({p.x + a.x + n.x, p.y + a.y + n.y});
            add({p.x - a.x + n.x, p.y - a.y + n.y});
        }
        finish();
    }

private:
    // The unit normal of `d` on the side away from a turn that way (`cross` its sign; either side
    // where the line turns right back).
    static Point outwards(Point d, double cross) { return cross > 0 ? Point{d.y, -d.x} : Point{-d.y, d.x}; }

    // `cosine`, the turn from `d1` to `d2`; the device's for a list without gaps (as Cairo's solid stroke)
    // or where a test's fault measures the limit there.
    double faultyCosine(Point d1, Point d2, double cosine) const {
        if ((fault != StrokerFault::miterLimitOnDevice && !mitersOnDevice_) || !toDevice_) return cosine;
        return deviceCosine(d1, d2);
    }

    // A test's faults, apart: kept out of the corners' code, which is inlined where bands are built.
    [[gnu::noinline]] double deviceCosine(Point d1, Point d2) const {
        const AffineTransform& t = *toDevice_;
        Point e1{t.a * d1.x + t.c * d1.y, t.b * d1.x + t.d * d1.y}, e2{t.a * d2.x + t.c * d2.y, t.b * d2.x + t.d * d2.y};
        return (e1.x * e2.x + e1.y * e2.y) / std::sqrt((e1.x * e1.x + e1.y * e1.y) * (e2.x * e2.x + e2.y * e2.y));
    }
    [[gnu::noinline]] void dropJoin(Point v, Point d1, Point d2, double way, std::vector<Point>& outer) const {
        outer.insert(outer.end(), {{v.x + way * d1.y * half_, v.y - way * d1.x * half_}, v,
                                   {v.x + way * d2.y * half_, v.y - way * d2.x * half_}});
    }

    // How a corner is drawn: inside a curve round, or as a miter where that is within half the
    // tolerance of round (its tip reaches half / cos(turn / 2) past the corner); elsewhere as the
    // style says, a miter past its limit bevelled.
    StrokeStyle::Join cornerJoin(double cosine, bool smooth) const {
        double tip = std::sqrt(2 / (1 + cosine));
        if (smooth) return half_ * (tip - 1) <= tolerance_ / 2 ? StrokeStyle::Join::miter : StrokeStyle::Join::round;
        if (style_.join == StrokeStyle::Join::miter && !(tip <= style_.miterLimit)) return StrokeStyle::Join::bevel;
        return style_.join;
    }

    // The corner's outer side past the pushed-out segments' ends, handed to `to` in order: a miter's
    // tip, a bevel's two ends, or the arc between them.
    template <typename To>
    void outerCorner(Point v, Point d1, Point d2, StrokeStyle::Join join, To to) {
        double cosine = d1.x * d2.x + d1.y * d2.y, cross = d1.x * d2.y - d1.y * d2.x;
        Point n1 = outwards(d1, cross), n2 = outwards(d2, cross);
        if (join == StrokeStyle::Join::miter) {
            double scale = half_ / (1 + cosine);
            to(Point{v.x + (n1.x + n2.x) * scale, v.y + (n1.y + n2.y) * scale});
        } else if (join == StrokeStyle::Join::round) {
            double angle = std::acos(std::clamp(n1.x * n2.x + n1.y * n2.y, -1.0, 1.0));
            arc(v, n1, cross > 0 ? angle : -angle, to);
        } else {
            to(Point{v.x + n1.x * half_, v.y + n1.y * half_});
            to(Point{v.x + n2.x * half_, v.y + n2.y * half_});
        }
    }

    void emitBand() {
        auto& points = out_.points;
        if (toDevice_) {
            for (Point p : left_) add(p);
            for (auto p = right_.rbegin(); p != right_.rend(); ++p) add(*p);
        } else {
            points.insert(points.end(), left_.begin(), left_.end());
            points.insert(points.end(), right_.rbegin(), right_.rend());
        }
        finish();
    }

    // Points on the circle around `centre` from the unit direction `from` through `sweep` radians, at
    // most `arcStep_` apart, handed to `to` (the piece being built unless given).
    template <typename To>
    void arc(Point centre, Point from, double sweep, To to) {
        int steps = std::max(1, int(std::ceil(std::abs(sweep) / arcStep_)));
        double step = sweep / steps, c = std::cos(step), s = std::sin(step);
        Point u = from;
        for (int k = 0; k <= steps; ++k) {
            to(Point{centre.x + u.x * half_, centre.y + u.y * half_});
            u = {u.x * c - u.y * s, u.x * s + u.y * c};
        }
    }

    void arc(Point centre, Point from, double sweep) {
        arc(centre, from, sweep, [this](Point p) { add(p); });
    }

    void add(Point p) { out_.points.push_back(toDevice_ ? toDevice_->apply(p) : p); }

    // Ends the piece begun after the last one: turned clockwise, or dropped when it has no area or
    // lies wholly outside the clip (a closed outline there changes no pixel inside).
    void finish() {
        auto& points = out_.points;
        std::size_t first = out_.ends.empty() ? 0 : out_.ends.back(), end = points.size();
        double twiceArea = 0, minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
        for (std::size_t i = first; i < end; ++i) {
            Point a = points[i], b = points[i + 1 < end ? i + 1 : first];
            twiceArea += a.x * b.y - b.x * a.y;
            minX = std::min(minX, a.x), maxX = std::max(maxX, a.x);
            minY = std::min(minY, a.y), maxY = std::max(maxY, a.y);
        }
        bool outside = maxX <= clip_.left || minX >= clip_.right || maxY <= clip_.top || minY >= clip_.bottom;
        if (end - first < 3 || !(std::abs(twiceArea) > 0) || outside) {
            points.resize(first);
            return;
        }
        if (twiceArea < 0) std::reverse(points.begin() + std::ptrdiff_t(first), points.end());
        out_.ends.push_back(std::uint32_t(end));
    }

    const StrokeStyle& style_;
    double half_;
    double tolerance_;
    double arcStep_;
    const AffineTransform* toDevice_;
    bool foldsInCurves_ = false;
    const Point* direction_ = nullptr;
    bool dashQuads_ = false;
    bool mitersOnDevice_ = false;
    const Path* boxPath_ = nullptr;
    const AffineTransform* boxTransform_ = nullptr;
    int alongAxes_ = -1;  // whether the path is stroked as boxes (cornerBoxes); -1, not yet known
    const PixelBox& clip_;
    std::vector<Point>& left_;
    std::vector<Point>& right_;
    StrokePieces& out_;
};

// Strokes one flattened subpath (pen space, no two neighbours equal).
void strokeSubpath(const std::vector<Point>& points, const std::vector<std::uint8_t>& smooth, bool closed, Point along,
                   Builder& builder, bool dashed = false, const std::vector<Point>* directions = nullptr) {
    std::size_t n = points.size();
    if (n == 1) return builder.dot(points[0], along);
    std::size_t segments = closed ? n : n - 1;
    auto [d, currentLength] = between(points[0], points[1]);
    Point first = d, last{};
    double cut = 0, cutAtEnd = 0;
    bool loop = false, turnedAtStart = false;
    builder.foldInCurves(!closed && !dashed);
    if (closed) {
        auto closing = between(points[n - 1], points[0]);
        last = closing.unit;
        builder.bandClear();
        // Not through the corner point: should the band be broken further on, the inner side's point on the
        // closing segment would be left across the start of the first band, winding it back there.
        if (auto reach = builder.bandTurn(points[0], last, d, false, 0, closing.length, currentLength, false)) {
            cut = cutAtEnd = *reach;
            loop = turnedAtStart = true;
        } else {
            builder.join(points[0], last, d, false);
            builder.bandStart(points[0], d);
            if (last.x * d.x + last.y * d.y == 0) builder.cornerBoxes(points[0], last, d, closing.length, currentLength);
        }
    } else {
        builder.cap(points[0], {-d.x, -d.y});
        builder.bandStart(points[0], d);
    }
    for (std::size_t i = 1; i < segments && !builder.full(); ++i) {
        Point v = points[i];
        auto [next, nextLength] = between(v, points[(i + 1) % n]);
        if (i + 1 == segments) nextLength -= cutAtEnd;
        if (directions) builder.curveDirection(&(*directions)[i]);
        if (auto reach = builder.bandTurn(v, d, next, smooth[i], cut, currentLength, nextLength)) {
            cut = *reach;
        } else {
            builder.bandEnd(v, d);
            builder.join(v, d, next, smooth[i]);
            builder.bandStart(v, next);
            cut = 0;
            loop = false;
        }
        d = next;
        currentLength = nextLength;
    }
    if (loop) {
        builder.bandLoop();
    } else {
        builder.bandEnd(points[segments % n], d);
        // A band that began by turning at the start but was broken further on holds only the part of
        // that corner on its own side of the turn: the last band ends square at the start, and the
        // join fills the rest of its outer side.
        if (turnedAtStart) builder.join(points[0], last, first, false);
    }
    if (!closed) builder.cap(points[n - 1], d);
}

// The inverse of a transform as Cairo rounds it (cairo_matrix_invert), without the translation.
AffineTransform cairoInverse(const AffineTransform& t) {
    if (t.b == 0 && t.c == 0) return {t.a != 1 ? 1 / t.a : 1.0, 0, 0, t.d != 1 ? 1 / t.d : 1.0, 0, 0};
    double r = 1 / (t.a * t.d - t.b * t.c);
    return {t.d * r, -t.b * r, -t.c * r, t.a * r, 0, 0};
}

// A segment's user length as Cairo's dasher takes it, from its points on the device: where a dash
// ends right at a corner, the last bit of rounding decides which side of it Cairo's falls.
double cairoLength(const AffineTransform& inverse, Point from, Point to) {
    double dx = to.x - from.x, dy = to.y - from.y;
    double x = inverse.a * dx + inverse.c * dy, y = inverse.b * dx + inverse.d * dy;
    return x == 0 ? std::abs(y) : y == 0 ? std::abs(x) : std::hypot(x, y);
}

// A point a hair from a curve's end `from` along its tangent there (towards `to`, or the next control
// point where that is the same), so the line turns and is capped there along the tangent as Cairo's is.
Point tangentStep(Point from, Point to, Point also, Point last) {
    Point toward = !samePoint(from, to) ? to : !samePoint(from, also) ? also : last;
    auto [d, length] = between(from, toward);
    double hair = 1e-7 * (1 + std::abs(from.x) + std::abs(from.y));
    return length > 0 ? Point{from.x + d.x * hair, from.y + d.y * hair} : from;
}

// Hands `to` the points inside the cubic p0..p3 (on the grid) where Cairo flattens it: halved on the grid
// until both inner control points lie within `tolerance` of the chord (or 2^16 pieces).
template <typename To>
void halveCurve(Point p0, Point p1, Point p2, Point p3, double tolerance, To to, int depth = 16) {
    auto off = [&](Point p) {
        double x = p.x - p0.x, y = p.y - p0.y, dx = p3.x - p0.x, dy = p3.y - p0.y;
        double along = x * dx + y * dy, squared = dx * dx + dy * dy;
        if (squared > 0 && along > 0) {
            double share = along >= squared ? 1 : along / squared;
            x -= share * dx, y -= share * dy;
        }
        return x * x + y * y;
    };
    if (depth == 0 || std::max(off(p1), off(p2)) < tolerance * tolerance) return;
    auto mid = [](Point a, Point b) {
        return Point{a.x + std::floor((b.x - a.x) * 128) / 256, a.y + std::floor((b.y - a.y) * 128) / 256};
    };
    Point a = mid(p0, p1), b = mid(p1, p2), c = mid(p2, p3), ab = mid(a, b), bc = mid(b, c), centre = mid(ab, bc);
    halveCurve(p0, a, ab, centre, tolerance, to, depth - 1);
    to(centre);
    halveCurve(centre, bc, c, p3, tolerance, to, depth - 1);
}

// The dash pattern walked along a subpath as Cairo walks it, in user units: which length it is in,
// whether that one is on, and how much of it is left.
struct Dasher {
    std::vector<double> lengths;  // an even count, the first on
    // The same in user units, and the phase within them: where a subpath starts in the pattern is
    // found as Cairo finds it, in those (a phase of whole lengths lands on their ends exactly).
    std::vector<double> userLengths;
    double userPhase = 0, penScale = 1;
    double period = 0;
    // What is left of a length shorter than this counts as none, and the rest carries into the next
    // one (Cairo's half a unit of its fixed point, a 512th of a user unit).
    double slack = 0;
    std::size_t index = 0;
    double remain = 0;
    // Device units a user unit along the segment walked, where Cairo walks a path of boxes on the
    // device (see strokeDashed); 1, in user units. The lengths, slack and period are in those.
    double unit = 1;

    bool on() const { return index % 2 == 0; }
    void next() {
        index = (index + 1) % lengths.size();
        remain = lengths[index];
    }
    void walkIn(double deviceUnit) {
        if (deviceUnit == unit) return;
        remain = remain / unit * deviceUnit;
        slack = slack / unit * deviceUnit, period = period / unit * deviceUnit;
        for (std::size_t k = 0; k < lengths.size(); ++k) lengths[k] = userLengths[k] * deviceUnit;
        unit = deviceUnit;
    }
    // Each subpath starts the pattern again at the phase. A phase of none starts in the first length
    // even when that has none (a dot); any other stops in the length it falls short of.
    void start() {
        walkIn(1);
        index = 0;
        double offset = userPhase;
        for (std::size_t k = 0; k < lengths.size() && offset > 0 && offset >= userLengths[index]; ++k) {
            offset -= userLengths[index];
            index = (index + 1) % lengths.size();
        }
        remain = std::max(userLengths[index] - offset, 0.0);
    }
    // Walks `distance`, no more than what is left of the current length. Along a curve's end tangent,
    // which Cairo's dasher does not walk, only the whole length is used up: what is left of a dash begun
    // at the curve's end carries past it.
    void step(double distance, bool tangent = false) {
        remain -= distance;
        if (remain < slack && !(tangent && remain > 0)) {
            index = (index + 1) % lengths.size();
            remain += lengths[index];
        }
    }
    // Jumps `distance` ahead, over stretches that cannot show.
    void skip(double distance) {
        if (distance < remain) return (void)(remain -= distance);
        distance = std::fmod(distance - remain, period);
        next();
        while (distance > 0 && distance >= remain) {
            distance -= remain;
            next();
        }
        remain -= distance;
    }
};

// Strokes one flattened subpath dashed, each dash an open subpath of its own, as Cairo dashes: a dash
// running over a corner is joined there; one ending on a corner is capped along the segment it ends
// on; one beginning on a corner starts facing along the segment before it, capped so, and is joined
// round the corner; a dash of no length is a dot turned along the line there; on a closed subpath a
// dash still running at the end joins the one that began at the start. Those ends along a segment's
// direction are a `nudge` long. `spans`, where not NaN, is how long the segment ending at that point
// runs (a curve outside the clip drawn as its chord; none, a hair along a curve's end tangent).
// Stretches of a segment outside `window` (their ends as fractions of the segment, where it is near
// enough the clip to show) are skipped whole, so the cost is the dashes that can show, however long
// the line.
//
// A path of lines along the device's axes, mitred and not round-capped under a transform that only scales,
// Cairo dashes as boxes (`boxes`): each piece of a dash along a segment is a box, and one reaching the
// segment's end reaches on by half the width, to one side for butt caps (away from where the next piece
// heads, or the positive side where that is neither way) and to both for square ones: a dash ending on a
// corner there fills its outer corner, and one turning right back a half square past the turn. The last
// piece of an open subpath does not, nor that of a closed one that starts in a gap. Cairo walks those
// on the device, each length scaled along the segment's axis (`scales`, the pen's x and y): whether a
// dash ends right at a turn or a hair short of it is that walk's rounding.
template <typename Window, typename Room>
void strokeDashed(const std::vector<Point>& points, const std::vector<std::uint8_t>& smooth,
                  const std::vector<double>& spans, bool closed, Point along, Dasher& dasher, Window window, Room room,
                  Builder& builder, Scratch& s, bool boxes, bool squareCaps, Point flips, Point scales) {
    auto& piece = s.dash;
    auto& pieceSmooth = s.dashSmooth;
    auto& first = s.firstDash;
    auto& firstSmooth = s.firstDashSmooth;
    piece.clear(), pieceSmooth.clear(), first.clear(), firstSmooth.clear();
    dasher.start();
    const std::size_t n = points.size(), segments = closed ? n : n - 1;
    // Every dash is drawn here (one of a single point is a dot; `ring`, a closed subpath all one dash).
    // Each is charged to the render's work meter, and each point of its outline, which its filling costs
    // (a round cap's arc many times a butt end's): a spent one stops the walk (`room`).
    auto emit = [&](std::vector<Point>& dash, std::vector<std::uint8_t>& dashSmooth, bool ring = false) {
        if (dash.empty() || WorkMeter::spentNow()) return;
        if (fault == StrokerFault::emptyDashesSkipped && dash.size() <= 2 && samePoint(dash.front(), dash.back(), 1e-3))
            return;
        const std::size_t before = builder.pointCount();
        dashSmooth.front() = false;
        if (!ring) dashSmooth.back() = false;
        // A dash of no length (its end nudged along the line) is one disc or square turned along the
        // line: what its two caps cover, without the two caps' overlap to trace. Round, the disc covers
        // its turn onto a curve's first piece too.
        auto [d, length] = between(dash[0], dash.back());
        if ((dash.size() == 2 || (dash.size() == 3 && dashSmooth[1] && builder.roundCaps())) && !ring &&
            length <= 1e-6 * (1 + std::abs(dash[0].x) + std::abs(dash[0].y)))
            builder.dot(dash[0], d);
        else
            strokeSubpath(dash, dashSmooth, ring, along, builder, true);
        WorkMeter::charge(WorkMeter::aDashLaid + double(builder.pointCount() - before) * WorkMeter::aDashPoint);
    };
    // A subpath without length is a dot where the pattern starts on.
    if (n == 1) {
        if (!dasher.on()) return;
        piece.assign(1, points[0]), pieceSmooth.assign(1, 0);
        return emit(piece, pieceSmooth);
    }
    const bool holdFirst = closed && dasher.on();
    bool held = false;
    // The piece reaching its segment's end whose box waits on the next piece's direction, and the first's.
    std::optional<std::pair<Point, Point>> reaching;
    std::optional<Point> firstHeading;
    auto nextPiece = [&](Point heading) {
        if (!firstHeading) firstHeading = heading;
        if (!reaching) return;
        const auto [at, d] = *reaching;
        reaching.reset();
        if (squareCaps) return builder.box(at, d, std::nullopt);
        // Cairo's sides are the device's: `flips` turns the pen's axes to them.
        const bool across = d.y == 0 ? heading.y * flips.y > 0 : heading.x * flips.x > 0;
        const double side = across ? -1.0 : 1.0;
        builder.box(at, d, d.y == 0 ? Point{0, side * flips.y} : Point{side * flips.x, 0});
    };
    // Lines on along one direction are one to Cairo: their joint is no segment's end, save where a closed
    // subpath's closing line meets its first.
    auto reachesCorner = [&](std::size_t i, Point d) {
        if (i + 2 > segments) return true;
        const Point b = points[(i + 1) % n], c = points[(i + 2) % n];
        return between(b, c).unit != d;
    };
    auto add = [&](Point p, bool inCurve) {
        if (!piece.empty() && samePoint(piece.back(), p)) return false;
        piece.push_back(p);
        pieceSmooth.push_back(inCurve);
        return true;
    };
    auto nudged = [](Point p, Point d, double sign) {
        double nudge = 1e-7 * (1 + std::abs(p.x) + std::abs(p.y));
        return Point{p.x + sign * d.x * nudge, p.y + sign * d.y * nudge};
    };
    // Ends the dash being drawn; on a closed subpath the first is set aside until the last is known.
    auto end = [&] {
        if (piece.empty()) return;
        if (holdFirst && !held) {
            first.swap(piece), firstSmooth.swap(pieceSmooth);
            held = true;
        } else {
            emit(piece, pieceSmooth);
            room();
        }
        piece.clear(), pieceSmooth.clear();
    };
    bool skipped = false;
    for (std::size_t i = 0; i < segments && room(); ++i) {
        Point a = points[i], b = points[(i + 1) % n];
        auto [d, length] = between(a, b);
        // Walked in user units, as Cairo's dasher walks it (boxes on the device).
        length = s.lengths[i];
        if (boxes) dasher.walkIn(d.y == 0 ? scales.x : scales.y);
        auto at = [&](double distance) {
            if (distance >= length) return b;
            const double f = distance / length;
            return Point{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f};
        };
        double span = spans[(i + 1) % n];
        const bool tangent = span == 0;
        auto [from, to] = std::isnan(span) || tangent ? window(a, b) : std::pair<double, double>{1, 1};
        if (!std::isnan(span) && !tangent) length = span / dasher.penScale;
        if (from >= to) from = to = 1;
        double position = 0;
        // A stretch outside the window of a few thousand lengths at most is walked without drawing, each
        // length as Cairo's walk takes it: whether a dash ends right at the segment's end or a hair short
        // is that walk's rounding, which a jump over the stretch does not keep.
        const double lengthsIn = double(dasher.lengths.size()) / dasher.period;
        double drawFrom = 0, drawTo = INFINITY;
        if (from > 0) {
            end();
            // A first dash not begun by now begins outside the window: none is set aside.
            held = held || holdFirst;
            if (from * length * lengthsIn < 4096) {
                drawFrom = from * length;
            } else {
                position = from * length;
                dasher.skip(position);
                skipped = true;
            }
        }
        if (to < 1 && (1 - to) * length * lengthsIn < 4096) drawTo = to * length, to = 1;
        double stop = to < 1 ? to * length : length, rest = stop - position;
        const bool atEnd = to == 1;
        // Cairo's dasher does not walk a curve's end tangent. A dot where a tangent begins lies at its end
        // as well: it turns there onto the segment after. A gap of none where a curve begins begins the
        // next dash past the tangent, on the curve's first piece.
        if (tangent && from == 0 && atEnd && dasher.remain <= rest) {
            if (dasher.on()) {
                if (piece.empty()) add(a, false);
                add(b, (closed || i + 1 < segments) && smooth[(i + 1) % n]);
                if (closed || i + 1 < segments) add(nudged(b, between(b, points[(i + 2) % n]).unit, 1), false);
                end();
                dasher.step(dasher.remain);
            }
            if (!dasher.on() && dasher.remain <= rest && smooth[(i + 1) % n]) {
                end();
                dasher.step(dasher.remain);
                if (dasher.on()) continue;
            }
        }
        while (true) {
            double step = std::min(dasher.remain, rest);
            // Past a skipped stretch the walk is a hair off Cairo's: a length ending that near the
            // segment's end ends on it, as Cairo's does.
            if (skipped && std::abs(dasher.remain - rest) < 1e-9 * dasher.period) step = rest;
            rest -= step;
            position = stop - rest;
            // A dash running on past a corner by less than half a step of Cairo's grid runs on no way: it ends
            // at the corner, its box there to the positive side.
            if (position < drawFrom || position - step > drawTo) {
                end();
            } else if (dasher.on() && boxes && !piece.empty() && rest > 0 && step < 1.0 / 512) {
                nextPiece({0, 0});
                end();
            } else if (dasher.on()) {
                if (boxes) nextPiece(d);
                if (piece.empty()) add(at(position - step), false);
                bool reachesEnd = !(rest > 0) && atEnd;
                if (boxes && reachesEnd && reachesCorner(i, d)) reaching = {b, d};
                bool moved = add(at(position), reachesEnd && (closed || i + 1 < segments) && smooth[(i + 1) % n]);
                if (rest > 0) {
                    if (!moved) add(nudged(at(position), d, 1), false);
                    end();
                }
            } else {
                end();
            }
            dasher.step(step, tangent);
            if (!(rest > 0)) break;
        }
        if (!atEnd) {
            end();
            dasher.skip(length - stop);
            skipped = true;
            if (dasher.on()) add(b, false);
        } else if (dasher.on() && (piece.empty() || (piece.size() == 1 && !boxes)) &&
                   fault != StrokerFault::dashStartJoinLost) {
            // As does one begun a hair before, as Cairo's walk rounds (its point there has no direction).
            piece.clear(), pieceSmooth.clear();
            if (boxes) {
                nextPiece({0, 0});
                if (reachesCorner(i, d)) reaching = {b, d};
            }
            // A dash beginning where the segment ends starts facing along it.
            add(nudged(b, d, -1), false);
            add(b, (closed || i + 1 < segments) && smooth[(i + 1) % n]);
        }
    }
    if (reaching && closed && holdFirst && firstHeading) nextPiece(*firstHeading);
    if (!closed) return emit(piece, pieceSmooth);
    if (holdFirst && !held) {
        // One dash all the way round: the subpath closed as it is.
        if (piece.size() > 1 && samePoint(piece.back(), piece.front())) piece.pop_back(), pieceSmooth.pop_back();
        if (piece.size() > 1) emit(piece, pieceSmooth, true);
        return;
    }
    if (held && !piece.empty()) {
        // The last dash runs on into the first.
        for (std::size_t k = 0; k < first.size(); ++k) {
            if (samePoint(piece.back(), first[k])) {
                if (k == 0) pieceSmooth.back() = false;
                continue;
            }
            piece.push_back(first[k]);
            pieceSmooth.push_back(firstSmooth[k]);
        }
        first.clear();
    }
    emit(piece, pieceSmooth);
    emit(first, firstSmooth);
}

}  // namespace

bool strokePieces(const Path& path, const AffineTransform& toDevice, double tolerance, const StrokeStyle& style,
                  const PixelBox& clip, StrokePieces& pieces, const Spill* spill, std::size_t spillAt) {
    pieces.points.clear();
    pieces.ends.clear();
    // The pen is round in user space; on the device only when both axes scale alike, without shear.
    // Otherwise the pieces are built in user space and mapped.
    const AffineTransform& t = toDevice;
    double xLength = t.a * t.a + t.b * t.b, yLength = t.c * t.c + t.d * t.d, skew = t.a * t.c + t.b * t.d;
    bool round = std::abs(xLength - yLength) <= 1e-9 * xLength && std::abs(skew) <= 1e-9 * xLength;
    double determinant = t.a * t.d - t.b * t.c;
    if (!(std::abs(determinant) > 1e-12 * std::max(xLength, yLength))) return false;
    AffineTransform toPen = round ? AffineTransform{} : t.inverted();
    double stretch = largestStretch(t);
    double half = style.lineWidth / 2 * (round ? std::sqrt(xLength) : 1);
    double deviceHalf = style.lineWidth / 2 * stretch;
    tolerance = std::max(tolerance, 0.001);
    // A pen a million times the tolerance would take thousands of points for each round corner.
    bool usable = half > 0 && deviceHalf < largestCoordinate && std::isfinite(style.miterLimit);
    if (!(usable && deviceHalf <= tolerance * 1e6)) return false;
    double penTolerance = round ? tolerance : tolerance / stretch;
    // A square dot's sides run along the user space's axes.
    Point along = round ? Point{t.a / std::sqrt(xLength), t.b / std::sqrt(xLength)} : Point{1, 0};
    Scratch& s = scratch;
    Builder builder(style, half, penTolerance, round ? nullptr : &toDevice, clip, s, pieces);
    // Dashes are walked in user units, as Cairo's dasher walks them; a user length is `penScale` long
    // in the pen's space.
    const double penScale = round ? std::sqrt(xLength) : 1;
    thread_local Dasher dasher;
    // A pattern without gaps is a solid line, as Cairo draws it (an odd count's second pass is gaps too);
    // so is one whose gaps are all under 1/512 of a user unit, Cairo's fixed point rounding them away.
    const auto& given = style.dashes;
    bool gaps = given.size() % 2 != 0;
    for (std::size_t k = 1; k < given.size() && !gaps; k += 2) gaps = given[k] > 1.0 / 512;
    const bool dashed = !given.empty() && gaps;
    // Cairo turns and caps the line at a curve's ends along the curve's tangents. Solid, the first or last
    // flattened piece serves where it is near enough (the points more on every curve would cost the flags).
    const bool tangents = !given.empty();
    builder.measureMitersOnDevice(tangents && !dashed);
    builder.dashQuads(dashed);
    builder.boxesAtCorners(&path, &toDevice);
    if (dashed) {
        // As Cairo takes the list: a length of none between two others joins them into one, so only
        // the first and last can be dots or gaps of no length. One pass, however many zeros.
        auto& lengths = dasher.lengths;
        lengths.assign(1, given[0]);
        for (std::size_t k = 1; k < given.size(); ++k) {
            if (given[k] == 0 && k + 1 < given.size())
                lengths.back() += given[++k];
            else
                lengths.push_back(given[k]);
        }
        if (lengths.size() % 2) lengths.insert(lengths.end(), lengths.begin(), lengths.end());
        double userPeriod = 0;
        for (double length : dasher.lengths) userPeriod += length;
        double moved = fault == StrokerFault::dashesMovedHalfAPeriod ? userPeriod / 2 : 0;
        double userPhase = std::fmod(style.dashPhase + moved, userPeriod);
        dasher.userPhase = userPhase < 0 ? userPhase + userPeriod : userPhase;
        dasher.userLengths = dasher.lengths;
        dasher.penScale = penScale;
        dasher.period = userPeriod;
        // A pattern finer than the tolerance along any direction on the device is left to Cairo, which
        // draws it as a solid line of its share of coverage: walked here, a line squashed a billion
        // times would be a billion dashes a pixel.
        double leastStretch = std::sqrt(std::max((xLength + yLength) / 2 - std::hypot((xLength - yLength) / 2, skew), 0.0));
        if (!(dasher.period * (round ? penScale : leastStretch) >= tolerance) || !std::isfinite(dasher.period)) return false;
        dasher.slack = 1.0 / 512, dasher.unit = 1;
    }

    // Curves whose hull lies this far outside the clip are drawn as their chords: not even their
    // miters or caps can reach it.
    double reach = deviceHalf * std::max(style.join == StrokeStyle::Join::miter ? style.miterLimit : 1, 1.5) + 1;
    // The fractions of a segment (pen space) within `reach` of the clip on the device.
    auto window = [&](Point a, Point b) -> std::pair<double, double> {
        if (!round) a = t.apply(a), b = t.apply(b);
        double from = 0, to = 1;
        auto within = [&](double start, double delta, double low, double high) {
            if (delta == 0) return start >= low && start <= high;
            double u = (low - start) / delta, v = (high - start) / delta;
            if (u > v) std::swap(u, v);
            from = std::max(from, u), to = std::min(to, v);
            return from <= to;
        };
        if (!within(a.x, b.x - a.x, clip.left - reach, clip.right + reach) ||
            !within(a.y, b.y - a.y, clip.top - reach, clip.bottom + reach))
            return {1, 1};
        return {from, to};
    };
    auto& points = s.points;
    auto& smooth = s.smooth;
    auto& spans = s.spans;
    // With butt caps, where a solid line may fold (see Builder::bandTurn), the curve's own direction at
    // each point: `direction` for the point added next.
    const bool folds = !dashed && style.cap == StrokeStyle::Cap::butt;
    auto& directions = s.directions;
    Point direction{};
    points.clear();
    smooth.clear();
    spans.clear();
    directions.clear();
    bool drawable = true, drawn = false;
    // Dashes are whole subpaths: past `spillAt` points the pieces so far can be filled and let go.
    auto room = [&] {
        if (spill && pieces.points.size() > spillAt && !(*spill)(pieces)) drawable = false;
        if (WorkMeter::spentNow()) drawable = false;
        return drawable && !builder.full();
    };
    // (A curve outside the clip that comes back to where it began loses its span.)
    auto add = [&](Point device, bool inCurve, double span = NAN) {
        const Point at = direction;
        direction = {};
        if (!(std::abs(device.x) <= largestCoordinate && std::abs(device.y) <= largestCoordinate)) drawable = false;
        // Cairo keeps points to a 256th of a pixel: a line between two that round to one is none, its ends
        // one point. (Not a curve's: the hairs along its ends' tangents are shorter still.)
        if (!points.empty() && samePoint(device, points.back(), 1.0 / 512)) {
            if (samePoint(device, points.back())) {
                smooth.back() = smooth.back() && inCurve;
                return;
            }
            if (!inCurve && !dashed && !smooth.back()) {
                points.back() = device;
                if (folds) directions.back() = at;
                return;
            }
        }
        if (points.size() >= mostPoints) return (void)(drawable = false);
        points.push_back(device);
        smooth.push_back(inCurve);
        if (folds) directions.push_back(at);
        if (dashed) spans.push_back(span);
    };
    const auto& elements = path.elements();
    // Whether the subpath goes on from element `from` to a close (asked only where it begins on a curve).
    auto closes = [&](std::size_t from) {
        for (std::size_t k = from; k < elements.size(); ++k) {
            if (elements[k].kind == PathElement::Kind::closeSubpath) return true;
            if (elements[k].kind == PathElement::Kind::moveTo) return false;
        }
        return false;
    };
    // Coarser than asked by more than the reference's allowance hides: 16 times Cairo's own default.
    if (fault == StrokerFault::coarseFlattening) tolerance = std::max(tolerance, 0.1) * 16;
    const CurveSteps curveSteps(tolerance, mostCurveSegments);
    // The curve of element `index`.
    auto cubic = [&](Point p0, Point p1, Point p2, Point p3, std::size_t index) {
        if (fault == StrokerFault::curvesAsChords) return add(p3, false), true;
        double minX = std::min({p0.x, p1.x, p2.x, p3.x}), maxX = std::max({p0.x, p1.x, p2.x, p3.x});
        double minY = std::min({p0.y, p1.y, p2.y, p3.y}), maxY = std::max({p0.y, p1.y, p2.y, p3.y});
        bool outside = maxX < clip.left - reach || minX > clip.right + reach || maxY < clip.top - reach ||
                       minY > clip.bottom + reach;
        if (dashed) {
            // Dashes are laid along the curve as Cairo flattens it, by halves; one outside the clip is
            // drawn as its chord but keeps its length for the dashes after it. The hairs along its end
            // tangents have a span of none (see strokeDashed).
            if (!outside) {
                add(tangentStep(p0, p1, p2, p3), true, 0);
                halveCurve(p0, p1, p2, p3, tolerance, [&](Point p) { add(p, true); });
                add(tangentStep(p3, p2, p1, p0), true);
                return add(p3, false, 0), true;
            }
            auto pen = [&](Point p) { return round ? p : toPen.apply(p); };
            Point last = pen(p0);
            double span = 0;
            halveCurve(p0, p1, p2, p3, tolerance, [&](Point p) {
                Point q = pen(p);
                span += std::hypot(q.x - last.x, q.y - last.y);
                last = q;
            });
            Point end = pen(p3);
            return add(p3, false, span + std::hypot(end.x - last.x, end.y - last.y)), true;
        }
        if (outside) return add(p3, false), true;
        auto steps = curveSteps(p0, p1, p2, p3);
        if (!steps || points.size() + std::size_t(*steps) + 2 > mostPoints) return false;
        int count = *steps;
        // Solid, where the line is capped there, or joined other than round (a round join covers the turn on
        // from the tangent to the flattened piece too) where the curve bends tighter than half the width:
        // where the first (or last) flattened piece turns from the tangent by more than the tolerance across
        // the line.
        auto takesTangent = [&](bool atStart) {
            if (tangents) return true;
            const Point end = atStart ? p0 : p3, c1 = atStart ? p1 : p2, c2 = atStart ? p2 : p1;
            const bool begins = atStart && points.size() == 1;
            const bool ends = !atStart && (index + 1 == elements.size() || elements[index + 1].kind == PathElement::Kind::moveTo);
            const bool capped = begins ? !closes(index + 1) : ends;
            if (!capped) {
                if (style.join == StrokeStyle::Join::round) return false;
                // The radius of curvature there, 1.5 |v|^3 / |v x a| for v = c1 - end, a = end - 2 c1 + c2.
                const double vx = c1.x - end.x, vy = c1.y - end.y;
                const double ax = end.x - 2 * c1.x + c2.x, ay = end.y - 2 * c1.y + c2.y;
                const double squared = vx * vx + vy * vy, cross = vx * ay - vy * ax;
                if (!(2.25 * squared * squared * squared < deviceHalf * deviceHalf * cross * cross)) return false;
            }
            const Point hair = atStart ? tangentStep(p0, p1, p2, p3) : tangentStep(p3, p2, p1, p0);
            const double tx = hair.x - end.x, ty = hair.y - end.y;
            const double u = atStart ? 1.0 / count : 1 - 1.0 / count, v = 1 - u;
            const double w0 = v * v * v, w1 = 3 * v * v * u, w2 = 3 * v * u * u, w3 = u * u * u;
            const double cx = w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x - end.x;
            const double cy = w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y - end.y;
            return deviceHalf * std::abs(tx * cy - ty * cx) > tolerance / 2 * std::hypot(tx, ty) * std::hypot(cx, cy);
        };
        // The curve's direction at `u` (a third of its derivative).
        auto directionAt = [&](double u) {
            if (!folds) return Point{};
            double v = 1 - u;
            Point a{p1.x - p0.x, p1.y - p0.y}, b{p2.x - p1.x, p2.y - p1.y}, c{p3.x - p2.x, p3.y - p2.y};
            return Point{v * v * a.x + 2 * u * v * b.x + u * u * c.x, v * v * a.y + 2 * u * v * b.y + u * u * c.y};
        };
        if (takesTangent(true)) direction = directionAt(0), add(tangentStep(p0, p1, p2, p3), true);
        for (int i = 1; i < count; ++i) {
            double u = double(i) / count, v = 1 - u;
            double w0 = v * v * v, w1 = 3 * v * v * u, w2 = 3 * v * u * u, w3 = u * u * u;
            direction = directionAt(u);
            add({w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x, w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y}, true);
        }
        if (takesTangent(false)) direction = directionAt(1), add(tangentStep(p3, p2, p1, p0), true);
        add(p3, false);
        return true;
    };
    // Whether Cairo dashes the path as boxes (see strokeDashed).
    const bool boxes = dashed && strokedAsBoxes(path, t, style);
    const AffineTransform cairoInverted = cairoInverse(t);
    const Point flips = round ? Point{1, 1} : Point{t.a < 0 ? -1.0 : 1.0, t.d < 0 ? -1.0 : 1.0};
    // A subpath is stroked once it has a segment (a lone move draws nothing).
    auto strokeCurrent = [&](bool closed) {
        if (drawn && !points.empty()) {
            if (closed && points.size() > 1 && samePoint(points.back(), points[0])) {
                // The closing segment is the last one's, its span with it.
                if (dashed) spans[0] = spans.back(), spans.pop_back();
                points.pop_back();
                smooth.pop_back();
                if (folds) directions.pop_back();
            }
            smooth[0] = false;
            if (dashed) {
                auto& lengths = s.lengths;
                lengths.resize(points.size());
                for (std::size_t i = 0; i < points.size() && !boxes; ++i)
                    lengths[i] = cairoLength(cairoInverted, points[i], points[(i + 1) % points.size()]);
                for (std::size_t i = 0; i < points.size() && boxes; ++i) {
                    const Point from = onGrid(points[i]), to = onGrid(points[(i + 1) % points.size()]);
                    lengths[i] = std::abs(to.x - from.x) + std::abs(to.y - from.y);
                }
            }
            if (!round)
                for (Point& p : points) p = toPen.apply(p);
            // Only an open line folds (strokeSubpath): a closed one's directions go unread.
            const bool folding = folds && !closed;
            if (!round && folding)
                for (Point& p : directions) p = {toPen.a * p.x + toPen.c * p.y, toPen.b * p.x + toPen.d * p.y};
            if (dashed)
                strokeDashed(points, smooth, spans, closed, along, dasher, window, room, builder, s, boxes,
                             style.cap == StrokeStyle::Cap::square, flips, Point{std::abs(t.a), std::abs(t.d)});
            else
                strokeSubpath(points, smooth, closed, along, builder, false, folding ? &directions : nullptr);
            if (builder.full()) drawable = false;
        }
        points.clear();
        smooth.clear();
        spans.clear();
        directions.clear();
        drawn = false;
    };

    // Dashed, the device points are Cairo's.
    auto device = [&](Point p) { return dashed ? onGrid(t.apply(p)) : t.apply(p); };
    Point current{}, start{};
    // Points there are, the last segment a line of its own (none: not so).
    std::size_t lineAt = 0;
    for (std::size_t index = 0; index < elements.size(); ++index) {
        const PathElement& element = elements[index];
        const auto& p = element.points;
        switch (element.kind) {
            case PathElement::Kind::moveTo:
                strokeCurrent(false);
                current = start = p[0];
                add(device(current), false);
                break;
            case PathElement::Kind::lineTo: {
                if (points.empty()) add(device(current), false);
                const Point to = device(p[0]);
                // Dashed, a line going on along the one before is one with it, as Cairo's path keeps it: the
                // dashes walk the two as one length, no joint between.
                const std::size_t n = points.size();
                if (dashed && n > 1 && lineAt == n && continuesLine(points[n - 2], points[n - 1], to)) points.back() = to;
                else if (add(to, false); points.size() > n) lineAt = points.size();
                current = p[0];
                drawn = true;
                break;
            }
            case PathElement::Kind::quadCurveTo: {
                if (points.empty()) add(device(current), false);
                auto [c1, c2] = cubicControls(current, p[0], p[1]);
                if (!cubic(device(current), device(c1), device(c2), device(p[1]), index)) return false;
                current = p[1];
                drawn = true;
                break;
            }
            case PathElement::Kind::curveTo:
                if (points.empty()) add(device(current), false);
                if (!cubic(device(current), device(p[0]), device(p[1]), device(p[2]), index)) return false;
                current = p[2];
                drawn = true;
                break;
            case PathElement::Kind::closeSubpath: {
                // So is the line a close draws back to the start.
                const std::size_t n = points.size();
                if (dashed && n > 1 && lineAt == n && continuesLine(points[n - 2], points[n - 1], points[0]))
                    points.pop_back(), smooth.pop_back(), spans.pop_back();
                // What follows a close starts again from the subpath's start.
                drawn = drawn || !points.empty();
                strokeCurrent(true);
                current = start;
                break;
            }
        }
        if (element.kind != PathElement::Kind::lineTo) lineAt = 0;
        if (!drawable) return false;
    }
    strokeCurrent(false);
    return drawable;
}

std::optional<PixelBox> strokeWide(const Path& path, const AffineTransform& toDevice, double tolerance,
                                   const StrokeStyle& style, std::uint32_t source, const Target& target,
                                   std::size_t spillAt) {
    StrokePieces& pieces = scratch.pieces;
    // Dashes past what the converter takes at once are filled a part at a time into one coverage, parts
    // adding where they meet, and that is drawn once.
    Mask coverage;
    const Spill spill = [&](StrokePieces& part) {
        if (coverage.box.isEmpty()) {
            coverage.box = target.clip;
            coverage.coverage.assign(std::size_t(target.clip.right - target.clip.left) *
                                         std::size_t(target.clip.bottom - target.clip.top),
                                     0);
        }
        bool filled = addCoverage(part.points, part.ends, coverage);
        part.points.clear(), part.ends.clear();
        return filled;
    };
    if (!strokePieces(path, toDevice, tolerance, style, target.clip, pieces, style.dashes.empty() ? nullptr : &spill,
                      spillAt))
        return std::nullopt;
    if (coverage.box.isEmpty()) {
        if (pieces.count() == 0) return PixelBox{};
        return fillPolygons(pieces.points, pieces.ends, FillRule::winding, source, target, Overlaps::exact);
    }
    if (pieces.count() != 0 && !spill(pieces)) return std::nullopt;
    return drawCoverage(coverage, source, target);
}

void cutAsCairoDashes(Point p0, Point p1, Point p2, Point p3, double tolerance, const std::function<void(Point)>& to) {
    halveCurve(onGrid(p0), onGrid(p1), onGrid(p2), onGrid(p3), tolerance, to);
}

#ifdef SORVANE_STROKER_FAULTS
StrokerFault strokerFault() { return fault; }
void setStrokerFault(StrokerFault given) { fault = given; }
#endif

}  // namespace gfx::raster
