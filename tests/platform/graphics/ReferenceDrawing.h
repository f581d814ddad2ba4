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
    bool alongAxes = false;  // a subpath runs along the axes by whole steps

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
        // Cairo draws nothing of a curve that ends where it began on its grid of 256ths of a pixel;
        // browsers draw the curve, and so does the stroker: such an end is moved half a unit. (An arc's
        // ends, of angles a millionth off, lie within a thousandth of a unit of whole ones.)
        auto away = [&](Point end) {
            auto current = d.path.currentPoint();
            if (current && std::abs(current->x - end.x) < 1e-3 && std::abs(current->y - end.y) < 1e-3) end.x += 0.5, out << "+0.5";
            return end;
        };
        int subpaths = 1 + int(choose(2));
        for (int s = 0; s < subpaths; ++s) {
            // Some subpaths run along the axes by multiples of 4: with the whole dash lengths below, dash
            // boundaries fall on their corners.
            const bool square = choose(3) == 0;
            d.alongAxes = d.alongAxes || square;
            out << " M";
            if (square) {
                Point p{4.0 * double(choose(12)), 4.0 * double(choose(12))};
                out << " " << p.x << "," << p.y;
                d.path.moveTo(p);
            } else {
                d.path.moveTo(point());
            }
            int elements = 1 + int(choose(4));
            Point before = *d.path.currentPoint();
            for (int e = 0; e < elements; ++e) {
                const Point from = *d.path.currentPoint();
                switch (choose(e > 0 ? 6 : 5)) {
                    case 0:
                    case 1:
                        if (square) {
                            Point p = from;
                            (choose(2) ? p.x : p.y) += 4 * (double(choose(13)) - 6);
                            out << " L " << p.x << "," << p.y;
                            d.path.lineTo(p);
                        } else {
                            out << " L";
                            d.path.lineTo(point());
                        }
                        break;
                    case 5:
                        // Right back along the last piece (a dash boundary there is a turn-back's).
                        out << " L " << before.x << "," << before.y;
                        d.path.lineTo(before);
                        break;
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
                before = from;
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
            // Zeros and odd counts; half the time lengths dividing 4, whose boundaries fall on the corners
            // of the subpaths along the axes.
            static const double lengths[] = {0, 0, 0.5, 1, 2, 3, 4, 5, 8, 10, 13}, quarters[] = {0, 1, 2, 4};
            const bool whole = choose(2);
            int count = 1 + int(choose(5));
            for (int k = 0; k < count; ++k)
                d.dashes.push_back(whole ? quarters[choose(std::size(quarters))] : lengths[choose(std::size(lengths))]);
            static const double phases[] = {0, 0, 3, -7, 2.5, 1000, -1001}, wholePhases[] = {0, 1, -2, 1000};
            d.phase = whole ? wholePhases[choose(std::size(wholePhases))] : phases[choose(std::size(phases))];
        }
        // Where a corner's miter is within a tenth of the limit, a curve's first flattened piece (whose
        // direction is off its end's by up to a few degrees) decides which side it falls on, the
        // stroker's and Cairo's apart: the limit is kept that far from every corner's (the device's for a
        // list without gaps, which both stroke as Cairo's solid line; a list of no length is dropped, and
        // the line is the user's).
        const bool deviceMiters = d.listed() && !d.dashedByCairo();
        auto nearLimit = [&] {
            return std::ranges::any_of(d.corners(), [&](const Corner& c) {
                double length = deviceMiters ? miterLength(d.onDevice(c.in), d.onDevice(c.out)) : miterLength(c.in, c.out);
                return std::abs(length / d.miterLimit - 1) < 0.1;
            });
        };
        // (A limit of 1 bevels every corner that turns at all, both ways.)
        for (int k = 0; k < 8 && !d.fill && d.join == LineJoin::miter && d.miterLimit > 1 && nearLimit(); ++k)
            d.miterLimit = std::max(1.0, d.miterLimit / 1.25);
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

    // The corners between the path's pieces, turning from one's tangent to the next's as Cairo turns.
    // (Worked out once, when the drawing is made: the drawings are compared many times.)
    const std::vector<Corner>& corners() const { return once(drawnCorners, [&] { return cornersOf(path); }); }

    // What `make()` gives, worked out the first time it is asked for.
    template <typename T, typename Make>
    static const T& once(std::optional<T>& cache, Make make) {
        if (!cache) cache = make();
        return *cache;
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
        bool gaps = dashes.size() % 2 != 0;
        for (std::size_t k = 1; k < dashes.size() && !gaps; k += 2) gaps = dashes[k] > 0;
        return listed() && gaps;
    }

    // The miter limit holds for the user's corner, as browsers and the stroker take it for a solid
    // line; so does Cairo's dasher, but Cairo's solid stroke takes it for the device's, which differs
    // where the transform stretches one way more than the other. A dash list, gaps or none, is Cairo's
    // own either way and the stroker's as Cairo draws it. Cairo stroking a line without one is given a
    // limit that mitres the same corners: one between the device's miters of the corners mitred and of
    // those bevelled. Nothing where no limit parts them so (miterTips() then).
    std::optional<double> cairoMiterLimit() const {
        if (fill || join != LineJoin::miter || listed()) return miterLimit;
        double mitred = 1, bevelled = INFINITY;
        for (const Corner& c : corners()) {
            // A turn right back has no miter, on the device either, whatever the mapped directions round to.
            const bool back = c.in.x * c.out.y == c.in.y * c.out.x;
            double user = back ? INFINITY : miterLength(c.in, c.out);
            double device = back ? INFINITY : miterLength(onDevice(c.in), onDevice(c.out));
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

    // The path with each point moved to where Cairo puts it on the device, to the nearest 256th of a
    // pixel. Drawn finer, Cairo would round to finer 256ths: lines measured a 512th of a pixel longer or
    // shorter, twenty times that along the user's x squashed twentyfold, move a dash's end that falls
    // on a corner or turn-back to the other side of it, its join there drawn or not.
    Path pathOnCairosGrid() const {
        const AffineTransform back = transform.inverted();
        auto grid = [&](Point p) {
            p = transform.apply(p);
            return back.apply(Point{std::nearbyint(p.x * 256) / 256, std::nearbyint(p.y * 256) / 256});
        };
        Path moved;
        for (const PathElement& element : path.elements()) {
            const auto& p = element.points;
            switch (element.kind) {
                case PathElement::Kind::moveTo: moved.moveTo(grid(p[0])); break;
                case PathElement::Kind::lineTo: moved.lineTo(grid(p[0])); break;
                case PathElement::Kind::quadCurveTo: moved.quadCurveTo(grid(p[0]), grid(p[1])); break;
                case PathElement::Kind::curveTo: moved.curveTo(grid(p[0]), grid(p[1]), grid(p[2])); break;
                case PathElement::Kind::closeSubpath: moved.closeSubpath(); break;
            }
        }
        return moved;
    }

    // Drawn as the stroker draws it, or by Cairo (the converter off) as the reference: the path as it
    // is, flattened, dashed, joined and capped by Cairo, so that a fault in any of those of ours shows.
    // Both flatten finely (a hundredth of a pixel): along curves flattened more coarsely Cairo's dashes
    // fall where its flattening's length puts them, a dot at a line's end on or off it.
    Bitmap draw(bool converter, int finer = 0) const {
        if (finer == 0) finer = converter ? 1 : cairoFiner();
        raster::setScanConverterEnabled(converter);
        auto context = canvas(finer);
        context->concatenate(transform);
        const Path onGrid = finer == 1 ? Path{} : pathOnCairosGrid();
        const Path& path = finer == 1 ? this->path : onGrid;
        if (fill) {
            context->setFillColor(Color{0, 0, 0, 1});
            context->fill(path, rule);
        } else {
            auto limit = converter ? miterLimit : cairoMiterLimit();
            context->setLineWidth(width);
            context->setLineCap(cap);
            context->setLineJoin(limit ? join : LineJoin::bevel);
            context->setMiterLimit(limit.value_or(miterLimit));
            context->setLineDash(phase, dashes);
            context->setStrokeColor(Color{0, 0, 0, 1});
            context->stroke(path);
            if (!limit) {
                // The tips abut the bevelled stroke along their bases: their coverage adds.
                context->setBlendMode(BlendMode::plusLighter);
                context->setFillColor(Color{0, 0, 0, 1});
                context->fill(miterTips());
            }
        }
        raster::setScanConverterEnabled(true);
        return averagedDown(context->takeImage(), finer);
    }

    // How many times finer each way Cairo's picture is drawn: squashed twentyfold, finer (allowedInk()
    // says why and how much).
    int cairoFiner() const { return !squashed() ? 1 : curved() && !dashedByCairo() ? 2 : 8; }

    // A canvas `finer` times finer each way than the drawing's, to be averaged down: Cairo's geometry as
    // it is (the flattening as fine in the final pixels, and so its pen), its sampling error that much
    // smaller.
    static std::shared_ptr<Context> canvas(int finer) {
        auto context = Context::create(side * finer, side * finer, {});
        // Cairo's tolerance is a tenth of the flatness, a hundredth of a pixel at least.
        context->setFlatness(finer == 1 ? 0.02 : 0.1 * finer);
        context->concatenate(AffineTransform::scale(finer, finer));
        return context;
    }
    static Bitmap averagedDown(Bitmap fine, int finer) {
        if (finer == 1) return fine;
        Bitmap picture = Bitmap::make(side, side);
        const int n = finer * finer;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                std::uint32_t sums[4] = {};
                for (int v = 0; v < finer; ++v)
                    for (int u = 0; u < finer; ++u)
                        for (int c = 0; c < 4; ++c) sums[c] += fine.pixel(x * finer + u, y * finer + v) >> (8 * c) & 0xFF;
                std::uint32_t pixel = 0;
                for (int c = 0; c < 4; ++c) pixel |= (sums[c] + n / 2) / n << (8 * c);
                picture.row(y)[x] = pixel;
            }
        return picture;
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

    // How far two pictures of the drawing are apart: pixels whose alpha differs by more than half the
    // range, and the most ink (in whole pixels) that any 3 by 3 pixels hold more in one than in the
    // other. The second sees what stays under half the range: hairlines, dashes moved along thin lines,
    // caps and joins. It sums over its 9 pixels, so that ink spread across a line differently (the
    // hairline's one-pixel band against Cairo's exact strip) or an edge a tenth of a pixel off weighs
    // little, while ink moved along the line or left out weighs whole. Near a curve bending tighter than
    // half the line's width (nearTightBends()), where Cairo's own stroke falls short of the outline,
    // the ink `a` holds more is apart (`overBends`), what it holds less is not.
    struct Apart {
        int pixels = 0;
        double ink = 0, overBends = 0;
    };
    Apart apart(const Bitmap& a, const Bitmap& b) const {
        std::vector<int> difference(side * side);
        static const std::vector<bool> none(side * side, false);
        const auto& near = fill ? none : nearTightBends();
        Apart result;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                int d = int(a.pixel(x, y) >> 24) - int(b.pixel(x, y) >> 24);
                difference[std::size_t(y * side + x)] = d;
                result.pixels += d < -127 || (d > 127 && !near[std::size_t(y * side + x)]);
            }
        // Summed along the rows' 3 pixels, then over 3 rows.
        std::vector<int> across(side * side);
        for (int i = 0; i < side * side; ++i)
            across[std::size_t(i)] = difference[std::size_t(i)] + (i % side > 0 ? difference[std::size_t(i - 1)] : 0) +
                                     (i % side + 1 < side ? difference[std::size_t(i + 1)] : 0);
        int most = 0, over = 0;
        for (int i = 0; i < side * side; ++i) {
            const int sum = across[std::size_t(i)] + (i >= side ? across[std::size_t(i - side)] : 0) +
                            (i + side < side * side ? across[std::size_t(i + side)] : 0);
            if (near[std::size_t(i)] && sum > 0) over = std::max(over, sum);
            else most = std::max(most, std::abs(sum));
        }
        result.ink = most / 255.0, result.overBends = over / 255.0;
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
            auto at = [](const Point* given, int count, double t) {
                Point p[4];
                std::copy(given, given + count, p);
                for (int m = count; m > 1; --m)
                    for (int i = 0; i + 1 < m; ++i) p[i] = {p[i].x + (p[i + 1].x - p[i].x) * t, p[i].y + (p[i + 1].y - p[i].y) * t};
                return p[0];
            };
            for (int k = 0; k <= 256; ++k) {
                const double t = k / 256.0;
                Point v = at(d1, n, t), acceleration = at(d2, n - 1, t);
                double speed = std::hypot(v.x, v.y), cross = std::abs(v.x * acceleration.y - v.y * acceleration.x);
                // A cusp right on a sample (speed and cross both nothing there) bends tighter than any width,
                // though the samples either side, bending ever tighter towards it, may still seem wide.
                const bool cusp = speed == 0 && k > 0 && k < 256 && [&] {
                    Point before = at(d1, n, t - 1 / 512.0), after = at(d1, n, t + 1 / 512.0);
                    return before.x * after.x + before.y * after.y < 0;
                }();
                if (speed * speed * speed >= half * cross && !cusp) continue;
                Point p = at(c, n + 1, t);
                if (std::hypot(p.x - marked.x, p.y - marked.y) < 0.5) continue;
                mark(marked = p);
            }
        }
        return near;
    }

    // A solid stroke of curves joined other than round, where Cairo's own picture is the loosest.
    bool curvesCornered() const {
        return !fill && curved() && join != LineJoin::round && std::ranges::none_of(dashes, [](double length) { return length > 0; });
    }

    // The most ink any 3 by 3 pixels may hold more in one picture than in the other (`overBends`: the
    // converter's more near tight bends). Strokes differ by Cairo's sampling (a fifth of a pixel here,
    // under 0.4 along lines), dashed curves by a thirtieth of a pixel a width where the two place a
    // dash's end. Solid curves joined other than round, a tenth: Cairo takes the join where a curve
    // meets a corner. Near a tight bend Cairo's solid stroke of a curve falls short of the outline by
    // up to a width (0.98 and 1.0 seen over seeds 1-200, its picture moving under a pixel with its
    // flattening: its geometry, not its sampling).
    // Squashed twentyfold, strokes are slivers whose sides Cairo samples 15 times a row, up to 3 pixels
    // of ink off: its picture is drawn 8 times finer and averaged down (draw()), and lines then differ
    // as elsewhere. But Cairo cuts curves into lines on a grid that much finer than the 256ths of a
    // pixel the stroker keeps as Cairo does at the size drawn: the direction a curve leaves its ends in,
    // and a dash's ends along it, move, twenty times more along x. Solid curves, whose bands need no
    // finer sampling, are drawn only twice finer and take a thirtieth of a pixel a width (0.001 seen
    // over 200 seeds), where they meet corners or lists a sixteenth (0.05); dashed curves a tenth
    // (0.084), near tight bends 0.22 (0.2).
    // Fills crossing themselves take summed areas where a pixel holds several edges (ScanConverter.h),
    // and Cairo inks a sheared fill of no area by up to 4 pixels; hairlines add up the coverage of their
    // one-pixel quads where they cross or overlap at a turn: those more.
    double allowedInk(bool overBends = false) const {
        if (fill) return 4;
        const double deviceWidth = width * raster::largestStretch(transform);
        if (hairline()) return 3;
        const double slivers = std::max(1 + 0.4 * deviceWidth, 1.1 * deviceWidth), sampling = 0.5;
        const bool cornered = curvesCornered(), squashedCurves = squashed() && curved();
        if (overBends) {
            if (curved() && !dashedByCairo()) return slivers;
            return sampling + (squashedCurves ? 0.22 : 0.15) * deviceWidth;
        }
        if (squashedCurves) return sampling + (dashedByCairo() ? 0.1 : cornered || listed() ? 0.06 : 0.03) * deviceWidth;
        return sampling + (cornered ? 0.12 : curved() && listed() ? 0.03 : 0.025) * deviceWidth;
    }

    // Whether it is dashed: a list of no length is a solid line (Context::setLineDash drops it).
    bool listed() const { return std::ranges::any_of(dashes, [](double length) { return length > 0; }); }

    // A solid stroke under a pixel wide on the device: a hairline, judged by its ink alone.
    bool hairline() const { return !fill && !listed() && width * raster::largestStretch(transform) < 1; }

    bool tooFarApart(const Apart& a) const {
        return a.pixels > allowedApart || a.ink > allowedInk() || a.overBends > allowedInk(true);
    }

public:
    // The converter's picture against Cairo's.
    Apart apartFromCairo() const { return apartFromCairo(draw(true)); }

    // How far `ours` is from Cairo's picture. Where Cairo's own sampling puts it too far (beside a turn
    // right back Cairo inks a pixel's worth more than the exact area, where ours and Cairo's picture
    // drawn finer agree to a fiftieth), that finer picture decides: Cairo's geometry still, its sampling
    // error a sixteenth. (Already finer, squashed twentyfold, it is not drawn again.) Sixteen, not eight:
    // at a curve turning right back on itself to a cusp, Cairo's own picture of the stretch before the
    // cusp changes with its flattening, and only the finer one is whole there, as ours is.
    Apart apartFromCairo(const Bitmap& ours) const {
        Apart native = apart(ours, once(cairoPicture, [&] { return draw(false); }));
        if (!tooFarApart(native) || cairoFiner() > 1) return native;
        return apart(ours, once(cairoFinePicture, [&] { return draw(false, 16); }));
    }
    mutable std::optional<Bitmap> cairoPicture, cairoFinePicture;  // apartFromCairo()

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
