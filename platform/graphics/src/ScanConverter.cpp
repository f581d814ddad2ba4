#include "ScanConverter.h"

#include "Compositing.h"
#include "Coverage.h"
#include "WindingFill.h"
#include "WindingSamples.h"
#include "gfx/WorkMeter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <type_traits>
#include <vector>

namespace gfx::raster {

namespace {

thread_local bool enabled = true;

// Whole-pixel bounds of the subpaths.
thread_local std::vector<Bounds> scratchBoxes;
// The border of fills whose subpaths overlap.
thread_local BorderTracer scratchTracer;

}  // namespace

PixelBox PixelBox::intersection(const PixelBox& other) const {
    return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
            std::min(bottom, other.bottom)};
}

std::optional<DeviceRectangle> deviceRectangle(const Path& path, const AffineTransform& toDevice) {
    const auto& elements = path.elements();
    std::size_t count = elements.size();
    if (count > 0 && elements.back().kind == PathElement::Kind::closeSubpath) --count;
    if (count != 4 && count != 5) return std::nullopt;
    std::array<Vertex, 5> corners{};
    for (std::size_t i = 0; i < count; ++i) {
        auto kind = elements[i].kind;
        if (kind != (i == 0 ? PathElement::Kind::moveTo : PathElement::Kind::lineTo)) return std::nullopt;
        corners[i] = toDevice.apply(elements[i].points[0]);
    }
    // Sides are mapped one corner at a time: those along an axis in the document may come out a few
    // units in the last place apart (a layer's offset added to a translated path's corners).
    auto same = [](double a, double b) { return std::abs(a - b) <= 1e-12 * std::max(1.0, std::abs(a)); };
    if (count == 5 && !(same(corners[4].x, corners[0].x) && same(corners[4].y, corners[0].y))) return std::nullopt;
    // Each side runs along one axis, alternating.
    for (int i = 0; i < 4; ++i) {
        Vertex a = corners[i], b = corners[(i + 1) % 4];
        bool horizontal = same(a.y, b.y), vertical = same(a.x, b.x);
        bool wantHorizontal = (i % 2 == 0) == (corners[0].y == corners[1].y);
        if (!(wantHorizontal ? horizontal : vertical)) return std::nullopt;
    }
    Vertex a = corners[0], b = corners[2];
    return DeviceRectangle{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

std::optional<PixelBox> wholePixelClip(const DeviceRectangle& rectangle, const PixelBox& clip) {
    // A pixel's share of a side this near its edge rounds to all or nothing, also at a corner where
    // two such shares multiply (255 * (1 - 2 / 2048) + 0.5 is over 255).
    constexpr double nearEdge = 1.0 / 2048;
    // A side beyond the clip's opposite side leaves nothing, wherever it lies past it.
    auto side = [&](double value, int limit, int opposite, bool low) -> std::optional<int> {
        if (low ? value <= limit : value >= limit) return limit;
        if (low ? value >= opposite : value <= opposite) return opposite;
        double rounded = std::round(value);
        if (!(std::abs(value - rounded) <= nearEdge)) return std::nullopt;
        return int(rounded);
    };
    auto left = side(rectangle.left, clip.left, clip.right, true), top = side(rectangle.top, clip.top, clip.bottom, true);
    auto right = side(rectangle.right, clip.right, clip.left, false);
    auto bottom = side(rectangle.bottom, clip.bottom, clip.top, false);
    if (!left || !top || !right || !bottom) return std::nullopt;
    return clip.intersection({*left, *top, *right, *bottom});
}

namespace {

// Whether two subpaths may have edges in one pixel. Where none do, each pixel's area comes from one
// subpath's edges over the constant winding of the others: two neighbouring windings (unless that
// subpath crosses itself there), between which the coverage follows the summed area exactly. A
// subpath's edges lie within its bounds' whole pixels.
bool subpathsSharePixels(const Scratch& s) {
    auto& boxes = scratchBoxes;
    boxes.clear();
    for (std::size_t i = 0; i < s.subpaths.size(); ++i) {
        std::size_t first = s.subpaths[i].first, end = subpathEnd(s, i);
        if (end - first < 2) continue;
        double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
        for (std::size_t v = first; v < end; ++v) {
            minX = std::min(minX, s.vertices[v].x);
            maxX = std::max(maxX, s.vertices[v].x);
            minY = std::min(minY, s.vertices[v].y);
            maxY = std::max(maxY, s.vertices[v].y);
        }
        boxes.push_back({std::floor(minX), std::floor(minY), std::ceil(maxX), std::ceil(maxY)});
    }
    if (boxes.size() < 2) return false;
    // Left to right: each box meets only those starting before its right side. Past this many
    // comparisons (stacked rows of wide subpaths), tracing the border is the quicker answer.
    std::size_t comparisons = 1 << 16;
    std::sort(boxes.begin(), boxes.end(), [](const Bounds& a, const Bounds& b) { return a[0] < b[0]; });
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t j = i + 1; j < boxes.size() && boxes[j][0] < boxes[i][2]; ++j)
            if (sharePixel(boxes[i], boxes[j]) || --comparisons == 0) return true;
    return false;
}

// Whether the summed windings of the accumulated rows [0, rows) leave those of a polygon turned one
// way that winds 0 and 1 only: a pixel summing past 1 (a region of winding 2 there or beside it, which
// the fold counts fuller than it is where it shares a pixel with winding 0), or sums of both signs
// (regions winding +1 and -1, whose areas cancel where they share a pixel).
bool windsOtherThanOnce(const Accumulator& accumulator, int rows) {
    // Past 0 or 1 by more than the rounding of the cells' sums.
    constexpr float rounding = 1.0f / 1024;
    float lowest = 0, highest = 0;
    for (int row = 0; row < rows; ++row) {
        float area = 0;
        accumulator.forEachTouched(row, [&](float cell) {
            area += cell;
            lowest = std::min(lowest, area), highest = std::max(highest, area);
        });
        if (highest - lowest > 1 + rounding || std::min(highest, -lowest) > rounding) return true;
    }
    return false;
}

// The border of what `rule` covers of the scratch's subpaths within `box`, or nothing where sampling
// their windings is the quicker way.
const std::vector<BorderPiece>* traceBorder(const Scratch& s, const PixelBox& box, FillRule rule) {
    BorderTracer& tracer = scratchTracer;
    tracer.begin(box.top, box.bottom, box.right);
    for (std::size_t i = 0; i < s.subpaths.size(); ++i)
        tracer.polygon(s.vertices.data() + s.subpaths[i].first, subpathEnd(s, i) - s.subpaths[i].first);
    // Beyond this many steps of the sweep, edges cross or stand side by side so densely that
    // sampling their windings is the quicker way.
    const auto estimated = static_cast<std::size_t>(WorkMeter::traceStepsACorner) * s.vertices.size();
    std::size_t budget = estimated + (std::size_t(1) << 20);
    const std::vector<BorderPiece>* traced = tracer.trace(rule, budget);
    // The path's estimate pays for steps in proportion to its corners (their rows and crowding); those past
    // that, where outlines cross and cross again, are charged as taken.
    if (tracer.steps() > estimated) WorkMeter::charge(double(tracer.steps() - estimated) * WorkMeter::aTraceStep);
    return traced;
}

// An even-odd fill accumulated whole (its subpaths turned one way) whose sums wind past 1 or both ways
// (a subpath crossing itself, or one inside another) is accumulated again from its traced border,
// which winds 0 and 1 only. Kept apart: inline, it cost the fills' own loops more than it does.
[[gnu::noinline]] void traceEvenOddIfItCrosses(Accumulator& accumulator, Scratch& s, const PixelBox& box) {
    const int rows = box.bottom - box.top;
    if (!windsOtherThanOnce(accumulator, rows)) return;
    const std::vector<BorderPiece>* traced = traceBorder(s, box, FillRule::evenOdd);
    if (!traced) return;
    for (int row = 0; row < rows; ++row) accumulator.clearRow(row);
    for (const BorderPiece& piece : *traced) accumulator.line(piece.a, piece.b, piece.sign);
}

// Spans written by `write(y, left, right, coverage)`, a pixel as a span of one.
template <typename Write>
struct Spans {
    Write write;

    void operator()(int y, int left, int right, int coverage) const { write(y, left, right, coverage); }
    void pixel(int y, int x, int coverage) const { write(y, x, x + 1, coverage); }
    // As the compositor's: these spans have no colour, opaque or not.
    template <bool opaque>
    void pixelOf(int y, int x, int coverage) const {
        pixel(y, x, coverage);
    }
};
// Spelled out: clang 16 deduces no aggregate's arguments.
template <typename Write>
Spans(Write) -> Spans<Write>;

// Fills `shape` (a path or polygons) as spans handed to `span`, after `begin` has the box they fall
// in; nothing for shapes left to Cairo.
template <typename Shape, typename Begin, typename Span>
std::optional<PixelBox> fillSpans(const Shape& shape, const AffineTransform& toDevice, double tolerance, FillRule rule,
                                  Overlaps overlaps, const PixelBox& clip, Begin begin, Span span) {
    Scratch& s = scratch;
    PixelBox box;
    if (!flatten(shape, toDevice, tolerance, clip, 0, s, box)) return std::nullopt;

    // Even-odd parity does not depend on the way a subpath turns, so its subpaths are all turned one
    // way before their areas are summed; so are winding fills that turn both ways with no pixel shared.
    bool clockwise = false, counterclockwise = false;
    for (const Subpath& subpath : s.subpaths) {
        if (std::abs(subpath.twiceArea) < 2 * negligibleArea) continue;
        (subpath.twiceArea > 0 ? clockwise : counterclockwise) = true;
    }
    bool bothWays = rule == FillRule::winding && clockwise && counterclockwise;
    bool turnAll = rule == FillRule::evenOdd || bothWays;

    // Summed areas are exact where each pixel holds one subpath's edges. Where edges of overlapping
    // subpaths meet, or of a subpath crossing itself, regions of winding 0 and 2, or +1 and -1, can
    // share a pixel: the border of what the rule covers is traced first, which winds 0 and 1 only.
    const std::vector<BorderPiece>* border = nullptr;
    if (!box.isEmpty() && (overlaps == Overlaps::exact || (bothWays && subpathsSharePixels(s)))) {
        border = traceBorder(s, box, rule);
        if (!border) {
            begin(box);
            return renderWindingSamples(box, rule, s, span);
        }
    }

    // A fill drawn into the picture walks its edges' rows inline; masks and spans for others keep the call,
    // and their code its size.
    constexpr bool drawn = std::is_same_v<Span, Compositor>;
    auto addLines = [&](Accumulator& accumulator) {
        if (border) {
            for (const BorderPiece& piece : *border) accumulator.line(piece.a, piece.b, piece.sign);
            return;
        }
        // Each subpath's edges in a loop of their own, in forEachEdge's order, so that the line goes inline once
        // and the sign is read once a subpath: through forEachEdge it cost 1.1 M instructions more a pass of the
        // flags at 64 px.
        // The vertices taken once: the cells' bits written as bytes could otherwise be the scratch's
        // vector, read again for every edge.
        const Vertex* const vertices = s.vertices.data();
        for (std::size_t i = 0; i < s.subpaths.size(); ++i) {
            const std::size_t first = s.subpaths[i].first, end = subpathEnd(s, i);
            const double sign = turnAll && s.subpaths[i].twiceArea < 0 ? -1 : 1;
            if (end - first < 2) continue;
            for (std::size_t v = first; v < end; ++v)
                accumulator.line<drawn>(vertices[v], vertices[v + 1 < end ? v + 1 : first], sign);
        }
        // Only a box accumulated whole can be looked at before its rows are handed on.
        if (rule == FillRule::evenOdd && accumulator.bandRows() == box.bottom - box.top)
            traceEvenOddIfItCrosses(accumulator, s, box);
    };
    begin(box);
    return render(box, rule, s, addLines, span);
}

// Fills the device rectangle between opposite corners: each pixel's share is its column's share of
// the rectangle's width times its row's of its height, so the spans need no edges or cells.
std::optional<PixelBox> fillRectangle(const DeviceRectangle& rectangle, std::uint32_t source, const Target& target) {
    auto [left, top, right, bottom] = rectangle;
    if (!(std::max(std::abs(left), std::abs(right)) <= largestCoordinate &&
          std::max(std::abs(top), std::abs(bottom)) <= largestCoordinate))
        return std::nullopt;
    PixelBox box = target.clip.intersection({int(std::max(std::floor(left), -2e9)),
                                             int(std::max(std::floor(top), -2e9)), int(std::min(std::ceil(right), 2e9)),
                                             int(std::min(std::ceil(bottom), 2e9))});
    if (box.isEmpty()) return PixelBox{};
    // The share of pixel `from` (a column or a row) that [lo, hi] covers.
    auto share = [](int from, double lo, double hi) { return std::min(hi, from + 1.0) - std::max(lo, double(from)); };
    // Whole columns [firstWhole, lastWhole); a partly covered one at either side where that side is
    // not on a pixel's edge (one only when both sides fall in the same column).
    auto column = [&](double x) { return int(std::clamp(x, box.left - 1.0, box.right + 1.0)); };
    int firstWhole = column(std::ceil(left)), lastWhole = std::max(firstWhole, column(std::floor(right)));
    int leftEdge = column(std::floor(left)), rightEdge = column(std::floor(right));
    bool leftPartial = leftEdge < firstWhole, rightPartial = right > std::floor(right) && rightEdge >= firstWhole;
    auto span = compositor(source, target);
    // A row's spans depend on its share of the height alone: rows of the same share (all but the ends,
    // mostly) take those of the row before rather than working them out again.
    struct Run {
        int from, to, coverage;
    };
    Run runs[3];
    int count = 0;
    double runsHeight = NAN;
    auto add = [&](int from, int to, double coverage) {
        from = std::max(from, box.left), to = std::min(to, box.right);
        if (from < to) runs[count++] = {from, to, int(coverage * 255 + 0.5)};
    };
    for (int y = box.top; y < box.bottom; ++y) {
        double height = share(y, top, bottom);
        if (!(height == runsHeight)) {
            count = 0, runsHeight = height;
            if (leftPartial) add(leftEdge, leftEdge + 1, share(leftEdge, left, right) * height);
            add(firstWhole, lastWhole, height);
            if (rightPartial) add(rightEdge, rightEdge + 1, share(rightEdge, left, right) * height);
        }
        for (int i = 0; i < count; ++i) span(y, runs[i].from, runs[i].to, runs[i].coverage);
    }
    return box;
}

}  // namespace

std::optional<PixelBox> fillPath(const Path& path, const AffineTransform& toDevice, double tolerance, FillRule rule,
                                 std::uint32_t source, const Target& target, Overlaps overlaps) {
    if (auto rectangle = deviceRectangle(path, toDevice)) return fillRectangle(*rectangle, source, target);
    return fillSpans(path, toDevice, tolerance, rule, overlaps, target.clip, [](const PixelBox&) {}, compositor(source, target));
}

std::optional<PixelBox> fillPolygons(const std::vector<Point>& points, const std::vector<std::uint32_t>& ends,
                                     FillRule rule, std::uint32_t source, const Target& target, Overlaps overlaps) {
    // Lines only: the tolerance flattens nothing.
    return fillSpans(Polygons{points, ends}, {}, 1, rule, overlaps, target.clip, [](const PixelBox&) {},
                     compositor(source, target));
}

std::optional<PixelBox> pathSpans(const Path& path, const AffineTransform& toDevice, double tolerance, FillRule rule,
                                  const PixelBox& clip, const SpanWriter& write) {
    return fillSpans(path, toDevice, tolerance, rule, Overlaps::summed, clip, [](const PixelBox&) {}, Spans{write});
}

std::optional<PixelBox> polygonSpans(const std::vector<Point>& points, const std::vector<std::uint32_t>& ends,
                                     FillRule rule, Overlaps overlaps, const PixelBox& clip, const SpanWriter& write) {
    return fillSpans(Polygons{points, ends}, {}, 1, rule, overlaps, clip, [](const PixelBox&) {}, Spans{write});
}

bool addCoverage(const std::vector<Point>& points, const std::vector<std::uint32_t>& ends, Mask& coverage) {
    const PixelBox& box = coverage.box;
    auto add = [&](int y, int left, int right, int amount) {
        std::uint8_t* row = coverage.coverage.data() + std::size_t(y - box.top) * std::size_t(box.right - box.left);
        for (int x = left - box.left; x < right - box.left; ++x) row[x] = std::uint8_t(std::min(255, row[x] + amount));
    };
    return fillSpans(Polygons{points, ends}, {}, 1, FillRule::winding, Overlaps::exact, box, [](const PixelBox&) {},
                     Spans{add})
        .has_value();
}

PixelBox drawCoverage(const Mask& coverage, std::uint32_t source, const Target& target) {
    const PixelBox& box = coverage.box;
    const int width = box.right - box.left;
    auto span = compositor(source, target);
    for (int y = box.top; y < box.bottom; ++y) {
        const std::uint8_t* row = coverage.row(y);
        for (int x = 0; x < width;) {
            int run = x + 1;
            while (run < width && row[run] == row[x]) ++run;
            if (row[x] != 0) span(y, box.left + x, box.left + run, row[x]);
            x = run;
        }
    }
    return box;
}

std::optional<Mask> clipMask(const Path& path, const AffineTransform& toDevice, double tolerance, FillRule rule,
                             const PixelBox& clip, const Mask* previous) {
    Mask mask;
    // The box is zeroed only where no span lands: bytes before `zeroedTo` hold their coverage or zero.
    std::size_t zeroedTo = 0;
    auto begin = [&](const PixelBox& box) {
        mask.box = box;
        if (box.isEmpty()) return;
        mask.coverage.resize(std::size_t(box.right - box.left) * (box.bottom - box.top));
        mask.wholeRuns.assign(std::size_t(box.bottom - box.top), {0, 0});
    };
    auto write = [&](int y, int left, int right, int coverage) {
        std::size_t at = std::size_t(y - mask.box.top) * (mask.box.right - mask.box.left) + (left - mask.box.left);
        std::uint8_t* row = mask.coverage.data() + at;
        if (at > zeroedTo) std::fill(mask.coverage.data() + zeroedTo, row, std::uint8_t(0));
        zeroedTo = std::max(zeroedTo, at + (right - left));
        if (coverage == 255) {
            auto [from, to] = previous ? previous->wholeRun(y) : std::pair{left, right};
            from = std::max(from, left), to = std::min(to, right);
            auto& run = mask.wholeRuns[std::size_t(y - mask.box.top)];
            if (to - from > run.second - run.first) run = {from, to};
        }
        if (!previous) return (void)std::fill_n(row, right - left, std::uint8_t(coverage));
        const std::uint8_t* before = previous->row(y) + (left - previous->box.left);
        for (int i = 0; i < right - left; ++i) row[i] = std::uint8_t(std::min<int>(coverage, before[i]));
    };
    // Curved clip edges flattened at the fills' tolerance come out a shade thinner than Cairo's clips
    // and browsers' (documents clipped by circles lose their edge pixels); a quarter keeps them full.
    if (!fillSpans(path, toDevice, tolerance * 0.25, rule, Overlaps::summed, clip, begin, Spans{write}))
        return std::nullopt;
    std::fill(mask.coverage.begin() + zeroedTo, mask.coverage.end(), std::uint8_t(0));
    return mask;
}

std::optional<PixelBox> unionBox(std::span<const DeviceShape> shapes, const PixelBox& clip) {
    PixelBox box{0, 0, 0, 0};
    for (const DeviceShape& shape : shapes) {
        const Rect bounds = shape.path->boundingBox(shape.toDevice);
        if (bounds.isNull() || bounds.isEmpty()) continue;
        if (!(std::max({std::abs(bounds.minX()), std::abs(bounds.maxX()), std::abs(bounds.minY()),
                        std::abs(bounds.maxY())}) <= largestCoordinate))
            return std::nullopt;
        const auto whole = [](double value) { return int(std::clamp(value, -2e9, 2e9)); };
        const PixelBox reached = clip.intersection({whole(std::floor(bounds.minX())), whole(std::floor(bounds.minY())),
                                                    whole(std::ceil(bounds.maxX())), whole(std::ceil(bounds.maxY()))});
        if (reached.isEmpty()) continue;
        box = box.isEmpty() ? reached
                            : PixelBox{std::min(box.left, reached.left), std::min(box.top, reached.top),
                                       std::max(box.right, reached.right), std::max(box.bottom, reached.bottom)};
    }
    return box;
}

std::optional<Mask> unionClipMask(std::span<const DeviceShape> shapes, double tolerance, const PixelBox& clip,
                                  const Mask* previous) {
    // Only the pixels some shape reaches within the clip are kept: a small clip costs its size.
    const std::optional<PixelBox> reached = unionBox(shapes, clip);
    if (!reached) return std::nullopt;
    const PixelBox box = *reached;
    Mask mask;
    mask.box = box;
    if (box.isEmpty()) return mask;
    const int width = box.right - box.left;
    mask.coverage.assign(std::size_t(width) * std::size_t(box.bottom - box.top), 0);
    mask.wholeRuns.assign(std::size_t(box.bottom - box.top), {0, 0});
    auto write = [&](int y, int left, int right, int coverage) {
        std::uint8_t* row = mask.coverage.data() + std::size_t(y - box.top) * std::size_t(width) + (left - box.left);
        if (coverage == 255) {
            std::fill_n(row, right - left, std::uint8_t(255));
            auto& run = mask.wholeRuns[std::size_t(y - box.top)];
            if (right - left > run.second - run.first) run = {left, right};
            return;
        }
        if (coverage == 0) return;
        for (int i = 0; i < right - left; ++i) row[i] = std::uint8_t(row[i] + coverage - (row[i] * coverage + 127) / 255);
    };
    // At the clips' tolerance (see clipMask).
    for (const DeviceShape& shape : shapes)
        if (!fillSpans(*shape.path, shape.toDevice, tolerance * 0.25, shape.rule, Overlaps::summed, box,
                       [](const PixelBox&) {}, Spans{write}))
            return std::nullopt;
    if (!previous) return mask;
    for (int y = box.top; y < box.bottom; ++y) {
        std::uint8_t* row = mask.coverage.data() + std::size_t(y - box.top) * std::size_t(width);
        const std::uint8_t* before = previous->row(y) + (box.left - previous->box.left);
        for (int x = 0; x < width; ++x) row[x] = std::min(row[x], before[x]);
        auto& run = mask.wholeRuns[std::size_t(y - box.top)];
        auto [from, to] = previous->wholeRun(y);
        run = {std::max(run.first, from), std::min(run.second, to)};
        if (run.first >= run.second) run = {0, 0};
    }
    return mask;
}

bool scanConverterEnabled() { return enabled; }
void setScanConverterEnabled(bool value) { enabled = value; }

}  // namespace gfx::raster
