#pragma once

// One random drawing of a small path, filled or stroked (wide, hairline, dashed, turned, partly off
// the canvas), read from a source of choices, and drawn both by the converter's fast paths and by
// plain Cairo: the suite draws thousands from fixed seeds, the fuzzing harness from its input.

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "ScanConverter.h"
#include "gfx/Context.h"

namespace gfx::testing {

struct ReferenceDrawing {
    static constexpr int side = 48;
    // Pixels whose alpha may differ by more than half the range. Flattenings a tenth of a pixel apart
    // move an edge over a pixel's centre along a few pixels of a long one; beyond that, where a curve
    // bends tighter than half the line's width Cairo's solid stroke falls short of the outline (up to
    // 22 pixels here, StrokerTest's TightCurvesAreTheLinesEveryPointOfThemDraws), and at a turn right
    // back its joins take a side of their own. More than this is a fault.
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
        // Miter limits hold for the user's corner, as browsers draw them; Cairo measures the device's.
        // Where the transform stretches one way more than the other, the two differ: no miters there.
        if (transform >= 4 && d.join == LineJoin::miter) d.join = LineJoin::bevel;
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

    void paint(Context& context) const {
        context.concatenate(transform);
        if (fill) {
            context.setFillColor(Color{0, 0, 0, 1});
            context.fill(path, rule);
            return;
        }
        context.setLineWidth(width);
        context.setLineCap(cap);
        context.setLineJoin(join);
        context.setMiterLimit(miterLimit);
        context.setLineDash(phase, dashes);
        context.setStrokeColor(Color{0, 0, 0, 1});
        context.stroke(path);
    }

    Bitmap draw(bool converter) const {
        raster::setScanConverterEnabled(converter);
        auto context = Context::create(side, side, {});
        paint(*context);
        raster::setScanConverterEnabled(true);
        return context->takeImage();
    }

    // Pixels whose alpha differs by more than half the range between the two drawings.
    int pixelsApart() const {
        Bitmap ours = draw(true), cairo = draw(false);
        int apart = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                apart += std::abs(int(ours.pixel(x, y) >> 24) - int(cairo.pixel(x, y) >> 24)) > 127;
        return apart;
    }

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
