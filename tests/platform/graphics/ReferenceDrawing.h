#pragma once

// One random drawing of a small path, filled or stroked (wide, hairline, dashed, turned, partly off
// the canvas), read from a source of choices, and drawn both by the converter's fast paths and by
// plain Cairo: the suite draws thousands from fixed seeds, the fuzzing harness from its input.

#include <cstdint>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ScanConverter.h"
#include "Stroker.h"
#include "gfx/Context.h"

namespace gfx::testing {

struct ReferenceDrawing {
    static constexpr int side = 48;
    // Pixels whose alpha may differ by more than half the range. Flattenings a tenth of a pixel apart
    // move an edge over a pixel's centre along a few pixels of a long one, and at a turn right back
    // Cairo's joins take a side of their own. More than this is a fault.
    static constexpr int allowedApart = 24;

    Path path;
    std::string steps;  // the path, written out for a failure's message
    AffineTransform transform;
    bool fill = false;
    FillRule rule = FillRule::winding;
    double width = 1, miterLimit = 10, phase = 0;
    LineCap cap = LineCap::butt;
    LineJoin join = LineJoin::miter;
    std::vector<double> dashes;

    // `choose(n)` is one of 0..n-1.
    template <typename Choose>
    static ReferenceDrawing make(Choose choose) {
        ReferenceDrawing d;
        std::ostringstream out;
        // Whole numbers mostly, so that dashes end exactly on corners and ends; some past the canvas.
        auto coordinate = [&] { return double(int(choose(72)) - 12) + (choose(4) == 0 ? 0.5 : 0.0); };
        auto point = [&] {
            Point p{coordinate(), coordinate()};
            out << " " << p.x << "," << p.y;
            return p;
        };
        // Cairo draws nothing of a subpath whose curve ends where it began; browsers draw the curve, and
        // so does the stroker: such an end is moved half a unit.
        auto away = [&](Point end) {
            auto current = d.path.currentPoint();
            if (current && current->x == end.x && current->y == end.y) end.x += 0.5, out << "+0.5";
            return end;
        };
        int subpaths = 1 + int(choose(2));
        for (int s = 0; s < subpaths; ++s) {
            out << " M";
            d.path.moveTo(point());
            int elements = 1 + int(choose(4));
            for (int e = 0; e < elements; ++e) {
                switch (choose(5)) {
                    case 0:
                    case 1: out << " L"; d.path.lineTo(point()); break;
                    case 2: {
                        out << " Q";
                        Point c = point();
                        d.path.quadCurveTo(c, away(point()));
                        break;
                    }
                    case 3: {
                        out << " C";
                        Point c1 = point(), c2 = point();
                        d.path.curveTo(c1, c2, away(point()));
                        break;
                    }
                    default: {
                        out << " A";
                        Point centre = point();
                        double radius = 2 + double(choose(24)), start = double(choose(8)) * 0.785398;
                        double sweep = (double(choose(13)) - 6) * 0.785398;
                        out << " r" << radius << " " << start << " " << sweep;
                        d.path.addRelativeArc(centre, radius, start, sweep);
                    }
                }
            }
            if (choose(2)) {
                out << " Z";
                d.path.closeSubpath();
            }
        }
        d.steps = out.str();
        static const AffineTransform transforms[] = {
            {},
            {1.5, 0, 0, 1.5, -6, -5},
            AffineTransform::rotation(0.6).concatenating(AffineTransform::translation(10, -12)),
            {0.6, 0, 0, -0.6, 3, 40},
            {1.4, 0, 0, 0.5, -8, 9},
            {1.1, 0.2, -0.35, 0.7, 6, 2},
            {0.05, 0, 0, 1, 20, 0},
        };
        const std::size_t transform = choose(std::size(transforms));
        d.transform = transforms[transform];
        d.fill = choose(5) == 0;
        // Squashed twentyfold, every pixel of a fill lies on edges, where fills crossing themselves take
        // summed areas (a little full where windings 0 and 2 meet, ScanConverter.h): strokes only.
        if (d.fill && transform == std::size(transforms) - 1) d.transform = transforms[0];
        d.rule = choose(2) ? FillRule::evenOdd : FillRule::winding;
        static const double widths[] = {0.3, 0.7, 1, 2, 3.5, 6, 11};
        d.width = widths[choose(std::size(widths))];
        d.cap = LineCap(choose(3));
        // A subpath without length is a dot, for square caps a square along the user's axes as browsers
        // draw it; Cairo loses those under some transforms (StrokerTest's
        // SubpathsWithoutLengthAreDotsForRoundAndSquareCaps): round dots where there is one.
        if (d.cap == LineCap::square && d.hasDot()) d.cap = LineCap::round;
        d.join = LineJoin(choose(3));
        // Long miters at turns nearly right back take their length from the last pieces' directions,
        // ill-conditioned: limits up to 2 (turns up to 120 degrees mitred).
        static const double limits[] = {1, 1.5, 2};
        d.miterLimit = limits[choose(std::size(limits))];
        if (choose(4) != 0) {
            static const double lengths[] = {0, 0, 0.5, 1, 2, 3, 5, 8, 13};
            int count = 1 + int(choose(5));
            for (int k = 0; k < count; ++k) d.dashes.push_back(lengths[choose(std::size(lengths))]);
            static const double phases[] = {0, 0, 3, -7, 2.5, 1000, -1001};
            d.phase = phases[choose(std::size(phases))];
        }
        // Where a corner's miter is within a tenth of the limit, a curve's first flattened piece (whose
        // direction is off its end's by up to a few degrees) decides which side it falls on, the
        // stroker's and Cairo's apart: the limit is kept that far from every corner's.
        auto nearLimit = [&] {
            return std::ranges::any_of(d.corners(), [&](const Corner& c) {
                return std::abs(miterLength(c.in, c.out) / d.miterLimit - 1) < 0.1;
            });
        };
        // (A limit of 1 bevels every corner that turns at all, both ways.)
        for (int k = 0; k < 8 && !d.fill && d.join == LineJoin::miter && d.miterLimit > 1 && nearLimit(); ++k)
            d.miterLimit = std::max(1.0, d.miterLimit / 1.25);
        // Dashes join only the corners they run over, which the tips added to a bevelled stroke cannot
        // tell: where no one limit has Cairo mitre as the user's corners say (lists without gaps, which
        // Cairo strokes solid), they are bevelled.
        if (!d.dashes.empty() && !d.cairoMiterLimit()) d.join = LineJoin::bevel;
        return d;
    }

    // Whether a subpath stays at its start.
    bool hasDot() const {
        Point start{};
        bool moved = true;
        for (const PathElement& element : path.elements()) {
            if (element.kind == PathElement::Kind::moveTo) {
                if (!moved) return true;
                start = element.points[0], moved = false;
            } else {
                for (int i = 0; i < element.pointCount(); ++i)
                    if (element.points[i].x != start.x || element.points[i].y != start.y) moved = true;
            }
        }
        return !moved;
    }

    // A corner of the path in user space: where a piece along `in` turns to one along `out`.
    struct Corner {
        Point at, in, out;
    };
    mutable std::optional<std::vector<Corner>> drawnCorners;  // corners()

    // The corners between the path's pieces as drawn: where a curve ends, the stroker and Cairo turn
    // along the line cut next to the corner (cairoPath()), which can turn away from the curve's tangent
    // where it bends tight.
    // (Worked out once, when the drawing is made: the drawings are compared many times.)
    const std::vector<Corner>& corners() const { return once(drawnCorners, [&] { return cornersAsDrawn(); }); }

    // What `make()` gives, worked out the first time it is asked for.
    template <typename T, typename Make>
    static const T& once(std::optional<T>& cache, Make make) {
        if (!cache) cache = make();
        return *cache;
    }
    std::vector<Corner> cornersAsDrawn() const {
        std::vector<Point> ends;
        for (const PathElement& element : path.elements())
            if (element.kind != PathElement::Kind::closeSubpath) ends.push_back(element.points[element.pointCount() - 1]);
        auto all = cornersOf(cairoPath(true));
        std::erase_if(all, [&](const Corner& c) {
            return std::ranges::none_of(ends, [&](Point p) { return p.x == c.at.x && p.y == c.at.y; });
        });
        return all;
    }

    // The corners between a path's pieces (lines, curves: their directions at their ends), those of no
    // turn left out.
    static std::vector<Corner> cornersOf(const Path& path) {
        std::vector<Corner> all;
        Point start{}, current{}, firstOut{}, lastIn{};
        bool begun = false;
        auto corner = [&](Point in, Point out) {
            if (in.x * out.y != in.y * out.x || in.x * out.x + in.y * out.y < 0) all.push_back({current, in, out});
        };
        // Each piece from `current` through `points`; none without length.
        auto piece = [&](std::initializer_list<Point> points) {
            std::vector<Point> run{current};
            run.insert(run.end(), points);
            auto same = [](Point a, Point b) { return a.x == b.x && a.y == b.y; };
            auto next = std::find_if(run.begin(), run.end(), [&](Point p) { return !same(p, current); });
            if (next == run.end()) return;
            auto before = std::find_if(run.rbegin(), run.rend(), [&](Point p) { return !same(p, run.back()); });
            Point in{next->x - current.x, next->y - current.y}, out{run.back().x - before->x, run.back().y - before->y};
            if (begun) corner(lastIn, in);
            else firstOut = in, begun = true;
            lastIn = out;
            current = run.back();
        };
        for (const PathElement& element : path.elements()) {
            const auto& p = element.points;
            switch (element.kind) {
                case PathElement::Kind::moveTo: start = current = p[0], begun = false; break;
                case PathElement::Kind::lineTo: piece({p[0]}); break;
                case PathElement::Kind::quadCurveTo: piece({p[0], p[1]}); break;
                case PathElement::Kind::curveTo: piece({p[0], p[1], p[2]}); break;
                case PathElement::Kind::closeSubpath:
                    piece({start});
                    if (begun) corner(lastIn, firstOut);
                    current = start, begun = false;
                    break;
            }
        }
        return all;
    }

    // Whether the limit mitres a corner measured at the user's and bevels it measured on the device, or
    // the other way round.
    bool mitresOneWayOnly() const {
        return !fill && join == LineJoin::miter && std::ranges::any_of(corners(), [&](const Corner& c) {
                   return (miterLength(c.in, c.out) <= miterLimit) != (miterLength(onDevice(c.in), onDevice(c.out)) <= miterLimit);
               });
    }

    // The miter's length in line widths where a line along `in` turns to `out`.
    static double miterLength(Point in, Point out) {
        double cosine = (in.x * out.x + in.y * out.y) / std::hypot(in.x, in.y) / std::hypot(out.x, out.y);
        return std::sqrt(2 / (1 + cosine));
    }
    Point onDevice(Point d) const { return {transform.a * d.x + transform.c * d.y, transform.b * d.x + transform.d * d.y}; }

    // Whether Cairo dashes the stroke: a list of no length is a solid line (Context::setLineDash drops
    // it), and so is one without gaps to Cairo.
    bool dashedByCairo() const {
        const bool listed = std::ranges::any_of(dashes, [](double length) { return length > 0; });
        bool gaps = dashes.size() % 2 != 0;
        for (std::size_t k = 1; k < dashes.size() && !gaps; k += 2) gaps = dashes[k] > 0;
        return listed && gaps;
    }

    // The miter limit holds for the user's corner, as browsers and the stroker take it; so does Cairo's
    // dasher, but Cairo's solid stroke takes it for the device's, which differs where the transform
    // stretches one way more than the other. Cairo stroking solid is given a limit that mitres the same
    // corners: one between the device's miters of the corners mitred and of those bevelled. Nothing
    // where no limit parts them so (miterTips() then).
    std::optional<double> cairoMiterLimit() const {
        if (fill || join != LineJoin::miter || dashedByCairo()) return miterLimit;
        double mitred = 1, bevelled = INFINITY;
        for (const Corner& c : corners()) {
            double user = miterLength(c.in, c.out), device = miterLength(onDevice(c.in), onDevice(c.out));
            // Within a hundredth of straight, a miter and a bevel are the same picture.
            if (user < 1.01 && device < 1.01) continue;
            if (user <= miterLimit) mitred = std::max(mitred, device);
            else bevelled = std::min(bevelled, device);
        }
        if (mitred < miterLimit && miterLimit < bevelled) return miterLimit;
        // A tenth from each at least, as the limit is kept from the user's corners (make()).
        if (!(bevelled > mitred * 1.21)) return std::nullopt;
        return std::isinf(bevelled) ? mitred * 1.1 : std::sqrt(mitred * bevelled);
    }

    // The unit normals of a corner's two lines on its outer side, the cosine of its turn and the sign
    // of the turn's way (its cross product).
    struct OuterSide {
        Point n1, n2;
        double cosine, cross;
    };
    static OuterSide outerSide(const Corner& c) {
        Point d1 = c.in, d2 = c.out;
        double l1 = std::hypot(d1.x, d1.y), l2 = std::hypot(d2.x, d2.y);
        d1 = {d1.x / l1, d1.y / l1}, d2 = {d2.x / l2, d2.y / l2};
        double cross = d1.x * d2.y - d1.y * d2.x;
        auto outwards = [&](Point d) { return cross > 0 ? Point{d.y, -d.x} : Point{-d.y, d.x}; };
        return {outwards(d1), outwards(d2), d1.x * d2.x + d1.y * d2.y, cross};
    }

    // What a miter adds to a bevel at each corner the limit mitres measured at the user's: the triangle
    // from the bevel's edge to the tip. Cairo draws the stroke bevelled and these added to it.
    Path miterTips() const {
        Path tips;
        const double half = width / 2;
        for (const Corner& c : corners()) {
            if (!(miterLength(c.in, c.out) <= miterLimit)) continue;
            const auto [n1, n2, cosine, cross] = outerSide(c);
            double reach = half / (1 + cosine);
            tips.moveTo({c.at.x + n1.x * half, c.at.y + n1.y * half});
            tips.lineTo({c.at.x + (n1.x + n2.x) * reach, c.at.y + (n1.y + n2.y) * reach});
            tips.lineTo({c.at.x + n2.x * half, c.at.y + n2.y * half});
            tips.closeSubpath();
        }
        return tips;
    }

    // The curves' tolerance on the device: what Context::setFlatness(0.02) gives the stroker (draw()).
    static constexpr double tolerance = 0.01;

    // The stroke's path as Cairo is given it: each curve cut into lines on the device where the stroker
    // cuts it (in equal steps; dashed, where Cairo lays dashes along it), so that Cairo's own stroke of
    // a curve, which falls short of the outline where the curve bends tighter than half the line's
    // width, plays no part. Under a dash list Cairo turns the line at a curve's ends along its tangents:
    // there a line an eighth of a pixel long (long enough for Cairo's grid to keep its direction) runs
    // along the tangent first.
    // (`endsOnly`: each curve's first and last lines, all its corners need. `finer`: joined other than
    // round, see below.)
    // (`curves`: each curve's lines also handed back as a subpath of its own, with the length of its
    // subpath before it, for asCairoDrawsIt().)
    Path cairoPath(bool endsOnly = false, bool finer = false, std::vector<std::pair<double, Path>>* curves = nullptr) const {
        const bool listed = std::ranges::any_of(dashes, [](double length) { return length > 0; });
        const bool dashed = dashedByCairo();
        const AffineTransform back = transform.inverted();
        const raster::CurveSteps steps(tolerance, raster::mostCurveSegments);
        Path lines;
        Point last{};
        double along = 0;  // since the subpath's start
        bool inCurve = false;
        auto lineTo = [&](Point p) {
            along += std::hypot(p.x - last.x, p.y - last.y);
            lines.lineTo(last = p);
            if (inCurve) curves->back().second.lineTo(p);
        };
        std::vector<Point> cut;
        // (The detour lengthens the line by up to the step's length where the tangent turns away from
        // the first line cut, moving every dash after it: the step is kept short enough for a 256th.)
        auto tangentStep = [](Point from, Point toward, Point next) {
            double dx = toward.x - from.x, dy = toward.y - from.y, length = std::hypot(dx, dy);
            double nx = next.x - from.x, ny = next.y - from.y, chord = std::hypot(nx, ny);
            double cosine = chord > 0 ? (dx * nx + dy * ny) / length / chord : 1;
            double step = std::min({0.125, chord / 2, 1 / 256.0 / std::max(1 - cosine, 1e-9)});
            return Point{from.x + dx / length * step, from.y + dy / length * step};
        };
        auto cubic = [&](Point p0, Point p1, Point p2, Point p3) {
            cut.clear();
            if (dashed) {
                raster::cutAsCairoDashes(p0, p1, p2, p3, tolerance, [&](Point p) { cut.push_back(p); });
            } else {
                // The stroker's steps, those inside the curve cut finer still: Cairo joins them as the
                // corners are joined, and where the curve bends tight a miter there reaches past the sweep.
                int count = steps(p0, p1, p2, p3).value_or(1);
                const int cuts = finer && !endsOnly ? 8 : 1;
                // (Ends only: the first cut and the last.)
                for (int i = 1; i < count; i = endsOnly && i < count - 1 ? count - 1 : i + 1)
                    for (int k = 0; k < (i + 1 < count ? cuts : 1); ++k) {
                        double u = (i + double(k) / cuts) / count, v = 1 - u;
                        double w0 = v * v * v, w1 = 3 * v * v * u, w2 = 3 * v * u * u, w3 = u * u * u;
                        cut.push_back({w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x, w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y});
                    }
            }
            if (listed) {
                auto same = [](Point a, Point b) { return a.x == b.x && a.y == b.y; };
                Point toward = !same(p0, p1) ? p1 : !same(p0, p2) ? p2 : p3;
                Point backward = !same(p3, p2) ? p2 : !same(p3, p1) ? p1 : p0;
                if (!same(p0, toward)) {
                    cut.insert(cut.begin(), tangentStep(p0, toward, cut.empty() ? p3 : cut.front()));
                    cut.push_back(tangentStep(p3, backward, cut.back()));
                }
            }
            if (endsOnly && cut.size() > 2) cut.erase(cut.begin() + 1, cut.end() - 1);
            if (curves) {
                curves->push_back({along, Path{}});
                curves->back().second.moveTo(last);
                inCurve = true;
            }
            for (Point p : cut) lineTo(back.apply(p));
        };
        Point current{}, start{};
        for (const PathElement& element : path.elements()) {
            const auto& q = element.points;
            switch (element.kind) {
                case PathElement::Kind::moveTo:
                    lines.moveTo(start = current = last = q[0]);
                    along = 0;
                    break;
                case PathElement::Kind::lineTo: lineTo(current = q[0]); break;
                case PathElement::Kind::quadCurveTo: {
                    auto [c1, c2] = cubicControls(current, q[0], q[1]);
                    cubic(transform.apply(current), transform.apply(c1), transform.apply(c2), transform.apply(q[1]));
                    lineTo(current = q[1]);
                    inCurve = false;
                    break;
                }
                case PathElement::Kind::curveTo:
                    cubic(transform.apply(current), transform.apply(q[0]), transform.apply(q[1]), transform.apply(q[2]));
                    lineTo(current = q[2]);
                    inCurve = false;
                    break;
                case PathElement::Kind::closeSubpath:
                    lines.closeSubpath();
                    current = last = start;
                    break;
            }
        }
        return lines;
    }

    // Drawn as the stroker draws it, or by Cairo (the converter off) as the reference: Cairo strokes
    // the lines of cairoPath(), joined as `joined` says.
    void paint(Context& context, bool reference, LineJoin joined) const {
        context.concatenate(transform);
        if (fill) {
            context.setFillColor(Color{0, 0, 0, 1});
            context.fill(path, rule);
            return;
        }
        auto limit = reference && joined == join ? cairoMiterLimit() : miterLimit;
        context.setLineWidth(width);
        context.setLineCap(cap);
        context.setLineJoin(limit ? joined : LineJoin::bevel);
        context.setMiterLimit(limit.value_or(miterLimit));
        context.setLineDash(phase, dashes);
        context.setStrokeColor(Color{0, 0, 0, 1});
        context.stroke(reference ? cairoPath(false, joined != LineJoin::round) : path);
        if (limit) return;
        // The tips abut the bevelled stroke along their bases: their coverage adds.
        context.setBlendMode(BlendMode::plusLighter);
        context.setFillColor(Color{0, 0, 0, 1});
        context.fill(miterTips());
    }

    Bitmap draw(bool converter) const {
        return converter ? drawJoined(true, join) : asCairoDrawsIt([&](LineJoin joined) { return drawJoined(false, joined); }, [&] { return drawSwept(); });
    }

    // Cairo's picture of the stroke from `drawn(join)`, its picture of cairoPath() joined so. Cairo joins
    // the lines a curve is cut into as the corners are joined, where a sweep of the pen along the curve
    // is round: away from the corners (nearCorners()) the picture is the one joined round.
    // Near a corner, where a curve bends tighter than half the line's width (nearTightBends()), Cairo's
    // lines joined so leave notches (bevels) the pen's sweep fills: there the picture takes the more ink
    // of that and of `swept()`, the curves alone joined round and ended flat.
    template <typename Draw, typename Sweep>
    Bitmap asCairoDrawsIt(Draw drawn, Sweep swept) const {
        if (fill || join == LineJoin::round || !curved()) return drawn(join);
        Bitmap cornered = drawn(join);
        const Bitmap rounded = drawn(LineJoin::round);
        const auto& near = nearCorners();
        const auto& bends = nearTightBends();
        // (Squashed twentyfold, everything is near a tight bend, and Cairo's own lines are the nearer.)
        const bool bent = !squashed() && std::ranges::find(bends, true) != bends.end();
        const Bitmap curves = bent ? swept() : Bitmap{};
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const std::size_t i = std::size_t(y * side + x);
                if (!near[i]) cornered.row(y)[x] = rounded.pixel(x, y);
                else if (bent && bends[i]) cornered.row(y)[x] = std::max(cornered.pixel(x, y), curves.pixel(x, y));
            }
        return cornered;
    }

    // The transform's least stretch on the device, over all directions.
    double leastStretch() const {
        const AffineTransform& t = transform;
        double x = t.a * t.a + t.b * t.b, y = t.c * t.c + t.d * t.d;
        return std::sqrt(std::max((x + y) / 2 - std::hypot((x - y) / 2, t.a * t.c + t.b * t.d), 0.0));
    }
    // Stretched one way ten times more than the other, or more (the twentyfold squash).
    bool squashed() const { return leastStretch() * 10 < raster::largestStretch(transform); }

    bool curved() const {
        return std::ranges::any_of(path.elements(), [](const PathElement& element) {
            return element.kind == PathElement::Kind::quadCurveTo || element.kind == PathElement::Kind::curveTo;
        });
    }

    // The pixels within a pixel and a half of what a join adds at a corner past its bevel, on the device:
    // the pen's arc between the two lines' outer sides, and a miter's tip.
    mutable std::optional<std::vector<bool>> cornerPixels;  // nearCorners()
    const std::vector<bool>& nearCorners() const { return once(cornerPixels, [&] { return pixelsNearCorners(); }); }
    std::vector<bool> pixelsNearCorners() const {
        std::vector<bool> near(side * side, false);
        const double half = width / 2;
        for (const Corner& c : corners()) {
            const auto [n1, n2, cosine, cross] = outerSide(c);
            std::vector<Point> added;
            const double turn = std::acos(std::clamp(n1.x * n2.x + n1.y * n2.y, -1.0, 1.0)) * (cross > 0 ? 1 : -1);
            for (int k = 0; k <= 8; ++k) {
                double angle = turn * k / 8, cs = std::cos(angle), sn = std::sin(angle);
                added.push_back({c.at.x + (n1.x * cs - n1.y * sn) * half, c.at.y + (n1.x * sn + n1.y * cs) * half});
            }
            if (join == LineJoin::miter && miterLength(c.in, c.out) <= miterLimit) {
                double reach = half / (1 + cosine);
                added.push_back({c.at.x + (n1.x + n2.x) * reach, c.at.y + (n1.y + n2.y) * reach});
            }
            std::vector<Point> device;
            double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
            for (Point p : added) {
                device.push_back(transform.apply(p));
                minX = std::min(minX, device.back().x), maxX = std::max(maxX, device.back().x);
                minY = std::min(minY, device.back().y), maxY = std::max(maxY, device.back().y);
            }
            // Inside the points' hull, or within the margin of an edge between two of them.
            auto within = [&](Point q) {
                bool inside = true;
                double sign = 0;
                for (std::size_t i = 0; i < device.size(); ++i) {
                    Point a = device[i], b = device[(i + 1) % device.size()];
                    double dx = b.x - a.x, dy = b.y - a.y, squared = dx * dx + dy * dy;
                    double along = squared > 0 ? std::clamp(((q.x - a.x) * dx + (q.y - a.y) * dy) / squared, 0.0, 1.0) : 0;
                    if (std::hypot(q.x - a.x - along * dx, q.y - a.y - along * dy) <= 1.5) return true;
                    double side = dx * (q.y - a.y) - dy * (q.x - a.x);
                    if (side != 0) {
                        if (sign == 0) sign = side;
                        else if ((side > 0) != (sign > 0)) inside = false;
                    }
                }
                return inside;
            };
            for (int y = std::max(0, int(std::floor(minY - 2))); y <= std::min(side - 1, int(std::ceil(maxY + 2))); ++y)
                for (int x = std::max(0, int(std::floor(minX - 2))); x <= std::min(side - 1, int(std::ceil(maxX + 2))); ++x)
                    if (within({x + 0.5, y + 0.5})) near[std::size_t(y * side + x)] = true;
        }
        return near;
    }

private:
    // Cairo's picture of the curves of cairoPath() alone, each dashed from where it starts along its
    // subpath, joined round and ended flat.
    Bitmap drawSwept() const {
        raster::setScanConverterEnabled(false);
        auto context = Context::create(side, side, {});
        context->setFlatness(0.02);
        context->concatenate(transform);
        context->setLineWidth(width);
        context->setLineCap(LineCap::butt);
        context->setLineJoin(LineJoin::round);
        context->setStrokeColor(Color{0, 0, 0, 1});
        std::vector<std::pair<double, Path>> curves;
        cairoPath(false, false, &curves);
        for (const auto& [along, lines] : curves) {
            context->setLineDash(phase + along, dashes);
            context->stroke(lines);
        }
        raster::setScanConverterEnabled(true);
        return context->takeImage();
    }

    Bitmap drawJoined(bool converter, LineJoin joined) const {
        raster::setScanConverterEnabled(converter);
        auto context = Context::create(side, side, {});
        // Curves flattened finely, so that the two flattenings lie close.
        context->setFlatness(0.02);
        paint(*context, !converter, joined);
        raster::setScanConverterEnabled(true);
        return context->takeImage();
    }

public:

    // How far two pictures of the drawing are apart: pixels whose alpha differs by more than half the
    // range, and the most ink (in whole pixels) that any 3 by 3 pixels hold more in one than in the
    // other. The second sees what stays under half the range: hairlines, dashes moved along thin lines,
    // caps and joins. It sums over its 9 pixels, so that ink spread across a line differently (the
    // hairline's one-pixel band against Cairo's exact strip) or an edge a tenth of a pixel off weighs
    // little, while ink moved along the line or left out weighs whole.
    struct Apart {
        int pixels = 0;
        double ink = 0;
        double inkAwayFromBends = 0;  // centred away from tight bends at corners (nearTightBends(), nearCorners())
    };
    Apart apart(const Bitmap& a, const Bitmap& b) const {
        std::vector<int> difference(side * side);
        Apart result;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                int d = int(a.pixel(x, y) >> 24) - int(b.pixel(x, y) >> 24);
                difference[std::size_t(y * side + x)] = d;
                result.pixels += std::abs(d) > 127;
            }
        // Only where the allowances differ.
        auto near = std::vector<bool>(side * side, false);
        if (allowedInkAwayFromBends() < allowedInk()) {
            near = nearTightBends();
            const auto& corners = nearCorners();
            for (std::size_t i = 0; i < near.size(); ++i) near[i] = near[i] && corners[i];
        }
        // Summed along the rows' 3 pixels, then over 3 rows.
        std::vector<int> across(side * side);
        for (int i = 0; i < side * side; ++i)
            across[std::size_t(i)] = difference[std::size_t(i)] + (i % side > 0 ? difference[std::size_t(i - 1)] : 0) +
                                     (i % side + 1 < side ? difference[std::size_t(i + 1)] : 0);
        int most = 0, mostAway = 0;
        for (int i = 0; i < side * side; ++i) {
            const int sum = std::abs(across[std::size_t(i)] + (i >= side ? across[std::size_t(i - side)] : 0) +
                                     (i + side < side * side ? across[std::size_t(i + side)] : 0));
            most = std::max(most, sum);
            if (!near[std::size_t(i)]) mostAway = std::max(mostAway, sum);
        }
        result.ink = most / 255.0, result.inkAwayFromBends = mostAway / 255.0;
        return result;
    }

    // The pixels near where a curve bends tighter than half the line's width on the device (or has a
    // cusp): within half a width and a pixel and a half of such a point.
    mutable std::optional<std::vector<bool>> tightBends;  // nearTightBends()
    const std::vector<bool>& nearTightBends() const { return once(tightBends, [&] { return pixelsNearTightBends(); }); }
    std::vector<bool> pixelsNearTightBends() const {
        std::vector<bool> near(side * side, false);
        const double half = width * raster::largestStretch(transform) / 2, reach = half + 1.5;
        auto mark = [&](Point p) {
            for (int y = std::max(0, int(std::floor(p.y - reach))); y <= std::min(side - 1, int(std::ceil(p.y + reach))); ++y)
                for (int x = std::max(0, int(std::floor(p.x - reach))); x <= std::min(side - 1, int(std::ceil(p.x + reach))); ++x)
                    if ((x + 0.5 - p.x) * (x + 0.5 - p.x) + (y + 0.5 - p.y) * (y + 0.5 - p.y) <= reach * reach) near[std::size_t(y * side + x)] = true;
        };
        Point current{}, start{};
        for (const PathElement& element : path.elements()) {
            const auto& q = element.points;
            switch (element.kind) {
                case PathElement::Kind::moveTo: start = current = q[0]; continue;
                case PathElement::Kind::lineTo: current = q[0]; continue;
                case PathElement::Kind::closeSubpath: current = start; continue;
                default: break;
            }
            // The Bezier's control points on the device, and its first and second derivatives' (by
            // their differences).
            const int n = element.pointCount();
            Point c[4] = {transform.apply(current)}, d1[3], d2[2];
            for (int i = 0; i < n; ++i) c[i + 1] = transform.apply(q[i]);
            current = q[n - 1];
            for (int i = 0; i < n; ++i) d1[i] = {n * (c[i + 1].x - c[i].x), n * (c[i + 1].y - c[i].y)};
            for (int i = 0; i + 1 < n; ++i) d2[i] = {(n - 1) * (d1[i + 1].x - d1[i].x), (n - 1) * (d1[i + 1].y - d1[i].y)};
            Point marked{INFINITY, INFINITY};
            for (int k = 0; k <= 256; ++k) {
                const double t = k / 256.0;
                auto at = [t](const Point* given, int count) {
                    Point p[4];
                    std::copy(given, given + count, p);
                    for (int m = count; m > 1; --m)
                        for (int i = 0; i + 1 < m; ++i) p[i] = {p[i].x + (p[i + 1].x - p[i].x) * t, p[i].y + (p[i + 1].y - p[i].y) * t};
                    return p[0];
                };
                Point v = at(d1, n), acceleration = at(d2, n - 1);
                double speed = std::hypot(v.x, v.y), cross = std::abs(v.x * acceleration.y - v.y * acceleration.x);
                if (speed * speed * speed >= half * cross) continue;
                Point p = at(c, n + 1);
                if (std::hypot(p.x - marked.x, p.y - marked.y) < 0.5) continue;
                mark(marked = p);
            }
        }
        return near;
    }

    // The most ink any 3 by 3 pixels may hold more in one picture than in the other. Strokes differ by
    // Cairo's sampling (a fifth of a pixel here, under 0.4 along lines) and the flattenings' angles (a
    // fortieth of a pixel per width). Where a corner's join meets a curve bending tighter than half the line's width, about
    // a width: Cairo's own stroke of such a curve (which the gradient shapes' test compares with) falls
    // short of the outline there. Dashed curves differ more at a dash's end: a twenty-fifth of a pixel
    // per width joined round, a tenth joined otherwise. Squashed twentyfold, round caps and joins
    // on lines and the round caps of dashes are slivers whose curves the two cut apart: about a width;
    // other curves there a thirtieth of a pixel per width, dashed a tenth. Fills crossing themselves
    // take summed areas where a pixel holds several edges (ScanConverter.h), and hairlines add up the
    // coverage of their one-pixel quads where they cross or overlap at a turn: those more.
    double allowedInk() const { return allowedInk(true); }

    // The same away from tight bends at corners.
    double allowedInkAwayFromBends() const { return allowedInk(false); }

    bool tooFarApart(const Apart& a) const {
        return a.pixels > allowedApart || a.ink > allowedInk() || a.inkAwayFromBends > allowedInkAwayFromBends();
    }

private:
    double allowedInk(bool nearBends) const {
        if (fill) return 2.75;
        const double deviceWidth = width * raster::largestStretch(transform);
        // A list of no length is a solid line (Context::setLineDash drops it).
        const bool listed = std::ranges::any_of(dashes, [](double length) { return length > 0; });
        if (!listed && deviceWidth < 1) return 3;
        const double slivers = std::max(1 + 0.4 * deviceWidth, 0.85 * deviceWidth), sampling = 0.6;
        if (!curved()) return squashed() && (cap == LineCap::round || join == LineJoin::round) ? slivers : sampling + 0.025 * deviceWidth;
        if (squashed()) return listed && cap == LineCap::round ? slivers : sampling + (listed ? 0.1 : 0.03) * deviceWidth;
        if (!listed) return nearBends && join != LineJoin::round ? slivers : sampling + 0.025 * deviceWidth;
        return sampling + (join == LineJoin::round ? 0.04 : 0.1) * deviceWidth;
    }

public:
    // The converter's picture against Cairo's.
    Apart apartFromCairo() const { return apart(draw(true), draw(false)); }

    // Pixels whose alpha differs by more than half the range between the two drawings.
    int pixelsApart() const { return apartFromCairo().pixels; }

    std::string describe() const {
        std::ostringstream out;
        out << (fill ? (rule == FillRule::evenOdd ? "fill even-odd" : "fill winding") : "stroke") << steps << " transform " << transform.a << " " << transform.b << " "
            << transform.c << " " << transform.d << " " << transform.tx << " " << transform.ty;
        if (!fill) {
            out << " width " << width << " cap " << int(cap) << " join " << int(join) << " limit " << miterLimit
                << " dashes";
            for (double length : dashes) out << " " << length;
            out << " phase " << phase;
        }
        return out.str();
    }
};

}  // namespace gfx::testing
