#include "gfx/Context.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>

#include "BitmapLayout.h"
#include "ContextImpl.h"
#include "ContextTesting.h"
#include "Coverage.h"
#include "Stroker.h"
#include "gfx/WorkMeter.h"

namespace gfx {

namespace {

cairo_operator_t cairoOperator(BlendMode mode) {
    switch (mode) {
        case BlendMode::normal: return CAIRO_OPERATOR_OVER;
        case BlendMode::multiply: return CAIRO_OPERATOR_MULTIPLY;
        case BlendMode::screen: return CAIRO_OPERATOR_SCREEN;
        case BlendMode::overlay: return CAIRO_OPERATOR_OVERLAY;
        case BlendMode::darken: return CAIRO_OPERATOR_DARKEN;
        case BlendMode::lighten: return CAIRO_OPERATOR_LIGHTEN;
        case BlendMode::colorDodge: return CAIRO_OPERATOR_COLOR_DODGE;
        case BlendMode::colorBurn: return CAIRO_OPERATOR_COLOR_BURN;
        case BlendMode::softLight: return CAIRO_OPERATOR_SOFT_LIGHT;
        case BlendMode::hardLight: return CAIRO_OPERATOR_HARD_LIGHT;
        case BlendMode::difference: return CAIRO_OPERATOR_DIFFERENCE;
        case BlendMode::exclusion: return CAIRO_OPERATOR_EXCLUSION;
        case BlendMode::hue: return CAIRO_OPERATOR_HSL_HUE;
        case BlendMode::saturation: return CAIRO_OPERATOR_HSL_SATURATION;
        case BlendMode::color: return CAIRO_OPERATOR_HSL_COLOR;
        case BlendMode::luminosity: return CAIRO_OPERATOR_HSL_LUMINOSITY;
        case BlendMode::clear: return CAIRO_OPERATOR_CLEAR;
        case BlendMode::copy: return CAIRO_OPERATOR_SOURCE;
        case BlendMode::sourceIn: return CAIRO_OPERATOR_IN;
        case BlendMode::sourceOut: return CAIRO_OPERATOR_OUT;
        case BlendMode::sourceAtop: return CAIRO_OPERATOR_ATOP;
        case BlendMode::destinationOver: return CAIRO_OPERATOR_DEST_OVER;
        case BlendMode::destinationIn: return CAIRO_OPERATOR_DEST_IN;
        case BlendMode::destinationOut: return CAIRO_OPERATOR_DEST_OUT;
        case BlendMode::destinationAtop: return CAIRO_OPERATOR_DEST_ATOP;
        case BlendMode::exclusiveOr: return CAIRO_OPERATOR_XOR;
        // Cairo has no "sum minus one"; multiply darkens the same colours, less strongly.
        case BlendMode::plusDarker: return CAIRO_OPERATOR_MULTIPLY;
        case BlendMode::plusLighter: return CAIRO_OPERATOR_ADD;
    }
    return CAIRO_OPERATOR_OVER;
}

// Operators that change the destination where the source is empty; the platform limits them to the
// drawn area, so we clip them to it.
bool isUnbounded(cairo_operator_t op) {
    return op == CAIRO_OPERATOR_SOURCE || op == CAIRO_OPERATOR_IN || op == CAIRO_OPERATOR_OUT ||
           op == CAIRO_OPERATOR_DEST_IN || op == CAIRO_OPERATOR_DEST_ATOP || op == CAIRO_OPERATOR_CLEAR;
}

cairo_matrix_t toCairo(const AffineTransform& t) {
    cairo_matrix_t matrix;
    cairo_matrix_init(&matrix, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return matrix;
}

AffineTransform baseTransform(const Context::Options& options, int pixelHeight) {
    if (options.origin == Origin::bottomLeft) return {options.scale, 0, 0, -options.scale, 0, double(pixelHeight)};
    return AffineTransform::scale(options.scale, options.scale);
}

cairo_filter_t cairoFilter(InterpolationQuality quality) {
    switch (quality) {
        case InterpolationQuality::none: return CAIRO_FILTER_NEAREST;
        case InterpolationQuality::low: return CAIRO_FILTER_FAST;
        case InterpolationQuality::standard:
        case InterpolationQuality::medium: return CAIRO_FILTER_GOOD;
        case InterpolationQuality::high: return CAIRO_FILTER_BEST;
    }
    return CAIRO_FILTER_GOOD;
}

// Whether the device's pixels meet the bitmap's one to one, shifted by whole pixels (after the context's
// transform and scale). Then every device pixel's centre falls on a bitmap pixel's centre, where any filter
// gives that pixel and the drawn area never reaches past the edges: nearest sampling without padding gives
// the same pixels and lets pixman take its plain copying paths.
bool pixelAligned(cairo_t* cr, const cairo_pattern_t* pattern) {
    cairo_matrix_t deviceToUser, userToPattern, deviceToPattern;
    cairo_get_matrix(cr, &deviceToUser);  // user to device until inverted
    if (cairo_matrix_invert(&deviceToUser) != CAIRO_STATUS_SUCCESS) return false;
    cairo_pattern_get_matrix(const_cast<cairo_pattern_t*>(pattern), &userToPattern);
    cairo_matrix_multiply(&deviceToPattern, &deviceToUser, &userToPattern);
    const auto near = [](double value, double target, double tolerance) { return std::abs(value - target) <= tolerance; };
    const auto whole = [&](double value) { return near(value, std::round(value), 1e-6); };
    return near(deviceToPattern.xx, 1, 1e-9) && near(deviceToPattern.yy, 1, 1e-9) && near(deviceToPattern.xy, 0, 1e-9) &&
           near(deviceToPattern.yx, 0, 1e-9) && whole(deviceToPattern.x0) && whole(deviceToPattern.y0);
}

// The device rows of each edge of `path` (taken to the device by `toDevice`) within `box`'s rows, from its top,
// widened by `reach` pixels either side, and the columns of `box` it walks within them: calls `span(from, to,
// columns)`, and `bounds` with the path's device bounds and how many subpaths it has. False for points not a number.
template <class Span, class Bounds>
bool edgeSpans(const Path& path, const AffineTransform& toDevice, double reach, const raster::PixelBox& box, Span span,
               Bounds bounds) {
    using raster::Lanes, raster::Vertex;
    const raster::LanesTransform place(toDevice);
    const double firstRow = box.top, endRow = box.bottom, firstColumn = box.left, endColumn = box.right;
    const Lanes spread(Vertex{-reach, reach}), leftNegated(Vertex{-1, 1});
    const Lanes columnsFrom = Lanes::same(firstColumn), columnsTo = Lanes::same(endColumn);
    const Lanes rowsFrom = Lanes::same(firstRow), rowsTo = Lanes::same(endRow);
    // A point's rows and columns, reach either side, within the box's: an edge's are its two ends' widest, as
    // rounding and clamping keep order. Its columns' left is kept negated, so that both ends' widest are the higher
    // of each lane and their sum the edge's columns. Unless `plain`, its edges are walked one by one: a point not a
    // number, or one past the box's rows, where an edge is cut.
    struct End {
        Lanes device, columns;
        int first, end;
        bool plain;
    };
    const auto at = [&](Lanes device) {
        const Vertex point = device.vertex();
        const Lanes columns = lower(higher(Lanes::same(point.x) + spread, columnsFrom), columnsTo);
        const auto [first, end] = lower(higher(Lanes::same(point.y) + spread, rowsFrom), rowsTo).floorAndCeil();
        const bool plain = firstRow <= point.y && point.y <= endRow && !columns.eitherNaN();
        return End{device, columns * leftNegated, first, end, plain};
    };
    const auto alone = [&](Point a, Point b) {
        // An end not a number crosses no row (the path's estimate is not a number either): no row index from it.
        if (std::isnan(a.y) || std::isnan(b.y)) return;
        if (a.y > b.y) std::swap(a, b);
        const int first = raster::floorToInt(std::clamp(a.y - reach, firstRow, endRow));
        const int end = raster::ceilToInt(std::clamp(b.y + reach, firstRow, endRow));
        if (end <= first) return;
        // Only the stretch within the box's rows is walked: an edge leaving them is cut where it does (rare).
        if (a.y < firstRow || b.y > endRow) {
            const double dxdy = (b.x - a.x) / (b.y - a.y), cutTop = std::max(a.y, firstRow);
            const double cutBottom = std::min(b.y, endRow);
            if (std::isfinite(dxdy))
                std::tie(a, b) = std::pair{Point{a.x + (cutTop - a.y) * dxdy, cutTop},
                                           Point{a.x + (cutBottom - a.y) * dxdy, cutBottom}};
        }
        const double left = std::clamp(std::min(a.x, b.x) - reach, firstColumn, endColumn);
        const double right = std::clamp(std::max(a.x, b.x) + reach, firstColumn, endColumn);
        span(first - box.top, end - box.top, right - left);
    };
    const auto edge = [&](const End& a, const End& b) {
        if (!a.plain || !b.plain) return alone(a.device.vertex(), b.device.vertex());
        const int first = std::min(a.first, b.first), end = std::max(a.end, b.end);
        if (end > first) span(first - box.top, end - box.top, higher(a.columns, b.columns).sum());
    };
    Lanes low = Lanes::same(INFINITY), high = Lanes::same(-INFINITY);
    End current = at(Lanes::same(0)), start = current;
    int subpaths = 0;
    for (const PathElement& element : path.elements()) {
        if (element.kind == PathElement::Kind::closeSubpath) {
            edge(current, start);
            current = start;
            continue;
        }
        // A curve by its end points alone: an estimate, at a third of the cost.
        const Lanes last = place(element.points[element.pointCount() - 1]);
        low = lower(low, last), high = higher(high, last);
        const End end = at(last);
        if (element.kind == PathElement::Kind::moveTo) {
            current = start = end;
            ++subpaths;
            continue;
        }
        edge(current, end);
        current = end;
    }
    const Point least = low.vertex(), most = high.vertex();
    if (std::isnan(least.x + most.x + least.y + most.y)) return false;
    bounds(least.x - reach, most.x + reach, least.y - reach, most.y + reach, subpaths);
    return true;
}

// How many edges cross each device row of `box`, the path's (and a stroke outline's four a segment) widened by
// `reach`; nothing for points not a number.
std::optional<std::vector<double>> edgesOnRows(const Path& path, const AffineTransform& toDevice, double reach,
                                               const raster::PixelBox& box) {
    const int rows = std::max(box.bottom - box.top, 0);
    const double edges = reach > 0 ? 4 : 1;
    std::vector<double> starting(std::size_t(rows) + 1, 0.0);
    if (!edgeSpans(
            path, toDevice, reach, box,
            [&](int from, int to, double) { starting[std::size_t(from)] += edges, starting[std::size_t(to)] -= edges; },
            [](double, double, double, double, int) {}))
        return std::nullopt;
    double active = 0;
    for (double& row : starting) active += row, row = active;
    return starting;
}

// How much of [from, to] lies within [low, high].
double overlap(double from, double to, int low, int high) {
    return std::max(std::clamp(to, double(low), double(high)) - std::clamp(from, double(low), double(high)), 0.0);
}

// The rows, columns and pixels of a short path's edges within `box`, as a walk counts them but each edge whole:
// not a number where its points are not.
double shortPathUnits(const Path& path, const AffineTransform& toDevice, double reach, const raster::PixelBox& box,
                      double pixelUnits) {
    using raster::Lanes;
    const double edges = reach > 0 ? 4 : 1;
    const double width = std::max(box.right - box.left, 0), height = std::max(box.bottom - box.top, 0);
    const raster::LanesTransform place(toDevice);
    // Columns and rows side by side: an edge walks its run across and reach either side, and crosses its run down,
    // reach either side and a row more, each no more than the box's.
    const Lanes widened = Lanes::same(2 * reach), oneRowMore(raster::Vertex{0, 1}), most(raster::Vertex{width, height});
    Lanes low = Lanes::same(INFINITY), high = Lanes::same(-INFINITY), walked = Lanes::same(0);
    Lanes current = walked, start = walked;
    const auto edge = [&](Lanes a, Lanes b) {
        // A level edge of a fill crosses no row (or one, off a row's boundary) and walks no columns in any.
        if (reach == 0 && a.vertex().y == b.vertex().y) return;
        walked = walked + lower((b - a).magnitude() + widened + oneRowMore, most);
    };
    for (const PathElement& element : path.elements()) {
        if (element.kind == PathElement::Kind::closeSubpath) {
            edge(current, start);
            current = start;
            continue;
        }
        Lanes last = current;
        for (int index = 0; index < element.pointCount(); ++index) {
            last = place(element.points[index]);
            low = lower(low, last), high = higher(high, last);
        }
        if (element.kind == PathElement::Kind::moveTo)
            start = last;
        else
            edge(current, last);
        current = last;
    }
    const Point least = low.vertex(), greatest = high.vertex();
    const double area = overlap(least.x - reach, greatest.x + reach, box.left, box.right) *
                        overlap(least.y - reach, greatest.y + reach, box.top, box.bottom);
    const double rows = walked.vertex().y, columns = walked.vertex().x * (edges > 1 ? 2 : 1);
    return area * pixelUnits + std::min(columns, area) * WorkMeter::aPixelSwept + rows * edges * WorkMeter::anEdgeRow +
           columns * WorkMeter::anEdgeColumn;
}

}  // namespace

// What filling or stroking `path` within `box` costs the meter: the call, its elements, the device rows each edge
// crosses and the columns it walks in them (a stroke's outline four edges a segment, reaching `reach` pixels
// either side of it), the pixels its box covers, at `pixelUnits` each, and the pixels its edges pass, swept one
// by one. Small paths on small pictures pay their bound, without a pass over their points. Where many edges
// cross, each row costs more for each (kept in order among the others on it) when `crowding` costs: a stroke's
// outline, whose overlaps are traced, or what else than a plain fill of one subpath is drawn; never when the
// pieces drawn are `summed` (a hairline's quads), which no tracing orders.
double drawingUnits(const Path& path, const AffineTransform& toDevice, double reach, const raster::PixelBox& box,
                    double pixelUnits, bool crowding, bool summed) {
    const double count = double(path.elements().size());
    const double edges = reach > 0 ? 4 : 1;
    double units = WorkMeter::aPath + count * WorkMeter::aSegment;
    const double width = std::max(box.right - box.left, 0), height = std::max(box.bottom - box.top, 0);
    const double bound = count * edges * (height * WorkMeter::anEdgeRow + width * WorkMeter::anEdgeColumn) +
                         width * height * pixelUnits +
                         std::min(count * edges * width, width * height) * WorkMeter::aPixelSwept;
    if (bound <= WorkMeter::unitsAPathIsWalkedPast) {
        // A short path is cheaper to look at than to overcharge: its points' box and its edges' rows and columns
        // (not cut at the box's rows, as walked) bound it far closer than the whole box does.
        if (const double small = count <= WorkMeter::elementsOfAShortPath ? shortPathUnits(path, toDevice, reach, box, pixelUnits) : NAN; small <= bound)
            return units + small;
        return units + bound;
    }
    // Summed whole and scaled once: the rows are whole numbers, and twice a sum is the sum of the doubles.
    std::int64_t rows = 0;
    double columns = 0, area = 0;
    bool oneSubpath = true;
    const bool finite = edgeSpans(
        path, toDevice, reach, box, [&](int from, int to, double walked) { rows += to - from, columns += walked; },
        [&](double left, double right, double top, double bottom, int subpaths) {
            area = overlap(left, right, box.left, box.right) * overlap(top, bottom, box.top, box.bottom);
            oneSubpath = subpaths <= 1;
        });
    if (!finite) return NAN;
    // A stroke's outline walks the columns along its two sides.
    const double edgeRows = double(rows) * edges, edgeColumns = columns * (edges > 1 ? 2 : 1);
    // Pixels an edge passes are swept one by one, each at most once a row.
    units += area * pixelUnits + std::min(edgeColumns, area) * WorkMeter::aPixelSwept;
    units += edgeRows * WorkMeter::anEdgeRow + edgeColumns * WorkMeter::anEdgeColumn;
    if (edgeRows > WorkMeter::edgeRowsCrowdPast && !summed && (crowding || reach > 0 || !oneSubpath)) {
        const auto rows = edgesOnRows(path, toDevice, reach, box);
        for (double active : rows.value_or(std::vector<double>{}))
            units += active * std::log2(1 + active) * WorkMeter::anEdgeAmongOthers;
    }
    return units;
}

namespace {

// What Cairo's tessellation pays beyond that where a path's edges crowd the same rows: their pairs, a
// self-crossing outline's crossings found one by one (the converter's fills do not pay it).
double crowdingUnits(const Path& path, const AffineTransform& toDevice, double reach, const raster::PixelBox& box) {
    const double edges = reach > 0 ? 4 : 1;
    if (double(path.elements().size()) * edges * std::max(box.bottom - box.top, 0) < WorkMeter::edgeRowsCrowdPast) return 0;
    const auto rows = edgesOnRows(path, toDevice, reach, box);
    if (!rows) return NAN;
    double pairs = 0;
    for (double active : *rows) pairs += active * active / 2;
    return pairs * WorkMeter::aCrowdedPair;
}

// How many dashes Cairo walks stroking `path` with `dashes` (on and off): the path's length, curves by their
// control points, over the pattern's, times its entries.
double dashCount(const Path& path, const std::vector<double>& dashes) {
    double period = 0;
    for (double dash : dashes) period += dash;
    const double entries = double(dashes.size() % 2 ? 2 * dashes.size() : dashes.size());
    if (dashes.size() % 2) period *= 2;
    double length = 0;
    Point current{}, start{};
    for (const PathElement& element : path.elements()) {
        if (element.kind == PathElement::Kind::closeSubpath) {
            length += std::hypot(start.x - current.x, start.y - current.y);
            current = start;
            continue;
        }
        for (int index = 0; index < element.pointCount(); ++index) {
            const Point to = element.points[index];
            if (element.kind != PathElement::Kind::moveTo) length += std::hypot(to.x - current.x, to.y - current.y);
            current = to;
        }
        if (element.kind == PathElement::Kind::moveTo) start = current;
    }
    return length / period * entries;
}

// How many pixels filling `path` (or stroking it, its outline reaching `reach` pixels either side) may cover within
// `box`: no more than the box of its points, nor than its area. A fill covers no more than the triangles from each
// subpath's start to its sides (any point it winds round lies in one) and those round each curve's control points,
// a stroke no more than its length times its width and a width's square each element (joins and caps); both cover
// their edges' pixels too.
double coveredPixels(const Path& path, const AffineTransform& toDevice, double reach, const raster::PixelBox& box) {
    double left = INFINITY, right = -INFINITY, top = INFINITY, bottom = -INFINITY;
    double length = 0, area = 0;
    Point current{}, start{};
    const auto twiceArea = [](Point a, Point b, Point c) {
        return std::abs((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
    };
    const auto side = [&](Point to) {
        length += std::hypot(to.x - current.x, to.y - current.y);
        area += twiceArea(start, current, to);
        current = to;
    };
    for (const PathElement& element : path.elements()) {
        if (element.kind == PathElement::Kind::closeSubpath) {
            side(start);
            continue;
        }
        Point points[3];
        for (int index = 0; index < element.pointCount(); ++index) {
            points[index] = toDevice.apply(element.points[index]);
            left = std::min(left, points[index].x), right = std::max(right, points[index].x);
            top = std::min(top, points[index].y), bottom = std::max(bottom, points[index].y);
        }
        if (element.kind == PathElement::Kind::moveTo) {
            current = start = points[0];
            continue;
        }
        if (element.kind == PathElement::Kind::quadCurveTo) area += twiceArea(current, points[0], points[1]);
        if (element.kind == PathElement::Kind::curveTo)
            area += twiceArea(current, points[0], points[1]) + twiceArea(current, points[1], points[2]) +
                    twiceArea(current, points[0], points[2]) + twiceArea(points[0], points[1], points[2]);
        for (int index = 0; index < element.pointCount(); ++index) side(points[index]);
    }
    const double width = 2 * reach + 1;
    const double reached = std::max(std::min(right + reach, double(box.right)) - std::max(left - reach, double(box.left)), 0.0) *
                           std::max(std::min(bottom + reach, double(box.bottom)) - std::max(top - reach, double(box.top)), 0.0);
    const double shape = reach > 0 ? length * width + double(path.elements().size()) * width * width
                                   : area / 2 + length;
    const double pixels = std::min(reached, shape);
    return std::isnan(pixels) ? INFINITY : pixels;
}

thread_local std::optional<std::uint32_t> newCanvasFill;

}  // namespace

raster::StrokeStyle strokeStyle(const DrawingState::Style& given) {
    raster::StrokeStyle style{given.lineWidth, raster::StrokeStyle::Join::miter, given.miterLimit};
    if (given.join == CAIRO_LINE_JOIN_ROUND) style.join = raster::StrokeStyle::Join::round;
    if (given.join == CAIRO_LINE_JOIN_BEVEL) style.join = raster::StrokeStyle::Join::bevel;
    if (given.cap == CAIRO_LINE_CAP_ROUND) style.cap = raster::StrokeStyle::Cap::round;
    if (given.cap == CAIRO_LINE_CAP_SQUARE) style.cap = raster::StrokeStyle::Cap::square;
    style.dashes = given.dashes;
    style.dashPhase = given.dashPhase;
    return style;
}

void fillNewCanvasesForTesting(std::optional<std::uint32_t> pixel) { newCanvasFill = pixel; }

std::optional<BlendMode> blendModeFromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > static_cast<int>(BlendMode::plusLighter)) return std::nullopt;
    return static_cast<BlendMode>(rawValue);
}

PatternPointer bitmapPattern(const Bitmap& bitmap, const Rect& rect, BitmapPlacement placement,
                             InterpolationQuality quality) {
    // Cairo wants mutable data but only reads a source surface; the pattern keeps the surface alive.
    auto* data = const_cast<unsigned char*>(bitmap.pixels.data());
    SurfacePointer surface(
        cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, bitmap.width, bitmap.height, bitmap.stride));
    PatternPointer pattern(cairo_pattern_create_for_surface(surface.get()));
    Rect box = rect.standardized();
    double sx = bitmap.width / box.width(), sy = bitmap.height / box.height();
    cairo_matrix_t matrix;
    if (placement == BitmapPlacement::firstRowAtMaxY)
        cairo_matrix_init(&matrix, sx, 0, 0, -sy, -box.minX() * sx, box.maxY() * sy);
    else
        cairo_matrix_init(&matrix, sx, 0, 0, sy, -box.minX() * sx, -box.minY() * sy);
    cairo_pattern_set_matrix(pattern.get(), &matrix);
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern.get(), cairoFilter(quality));
    return pattern;
}

Context::Impl::~Impl() {
    if (cairo) cairo_destroy(cairo);
    WorkMeter::letGo(heldBytes);
}

cairo_t* Context::Impl::synced() {
    for (const std::optional<AffineTransform>& step : unsentSteps) {
        if (!step) {
            cairo_save(cairo);
            continue;
        }
        cairo_matrix_t matrix = toCairo(*step);
        cairo_transform(cairo, &matrix);
    }
    unsentSteps.clear();
    // What Cairo has may be its own restored or what text drawing set: it is compared, not assumed.
    const DrawingState::Style& style = state.style;
    if (cairo_get_line_width(cairo) != style.lineWidth) cairo_set_line_width(cairo, style.lineWidth);
    if (cairo_get_line_cap(cairo) != style.cap) cairo_set_line_cap(cairo, style.cap);
    if (cairo_get_line_join(cairo) != style.join) cairo_set_line_join(cairo, style.join);
    if (cairo_get_miter_limit(cairo) != style.miterLimit) cairo_set_miter_limit(cairo, style.miterLimit);
    if (cairo_get_tolerance(cairo) != style.tolerance) cairo_set_tolerance(cairo, style.tolerance);
    if (cairo_get_antialias(cairo) != style.antialias) cairo_set_antialias(cairo, style.antialias);
    const int dashCount = cairo_get_dash_count(cairo);
    if (dashCount != 0 || !style.dashes.empty()) {
        std::vector<double> dashes(std::size_t(dashCount), 0.0);
        double phase = 0;
        if (dashCount > 0) cairo_get_dash(cairo, dashes.data(), &phase);
        if (dashes != style.dashes || phase != style.dashPhase)
            cairo_set_dash(cairo, style.dashes.data(), int(style.dashes.size()), style.dashPhase);
    }
    return cairo;
}

void Context::Impl::save() {
    savedStates.push_back(state);
    unsentSteps.emplace_back();
}

void Context::Impl::restore() {
    if (savedStates.empty()) return;
    state = std::move(savedStates.back());
    savedStates.pop_back();
    // A save Cairo never saw is dropped with what followed it; else Cairo's own is undone (and the
    // transforms unsent after it with it).
    const auto unsentSave = std::find(unsentSteps.rbegin(), unsentSteps.rend(), std::nullopt);
    if (unsentSave != unsentSteps.rend()) {
        unsentSteps.erase(std::prev(unsentSave.base()), unsentSteps.end());
        return;
    }
    unsentSteps.clear();
    cairo_restore(cairo);
}

void Context::Impl::concatenate(const AffineTransform& transform) {
    // Cairo's product, term for term: the transform first, then the one in place.
    state.transform = transform.concatenating(state.transform);
    unsentSteps.emplace_back(transform);
    // Many steps with nothing drawn through Cairo between: it takes them now rather than keep a long list.
    if (unsentSteps.size() > 64) synced();
}

void Context::Impl::appendPath(const Path& path, PathSpace space) {
    if (space == PathSpace::device) return appendPath(path, state.transform);
    tracePath(path, nullptr);
}

void Context::Impl::appendPath(const Path& path, const AffineTransform& toDevice) {
    // Cairo would transform every point through its matrix call; once here is cheaper.
    cairo_matrix_t ctm;
    cairo_get_matrix(cairo, &ctm);
    cairo_identity_matrix(cairo);
    tracePath(path, &toDevice);
    cairo_set_matrix(cairo, &ctm);
}

void Context::Impl::tracePath(const Path& path, const AffineTransform* toDevice) {
    cairo_new_path(cairo);
    auto at = [&](Point p) { return toDevice ? toDevice->apply(p) : p; };
    Point current, start;
    for (const PathElement& element : path.elements()) {
        const auto& p = element.points;
        switch (element.kind) {
            case PathElement::Kind::moveTo: {
                Point to = at(p[0]);
                cairo_move_to(cairo, to.x, to.y);
                current = start = p[0];
                break;
            }
            case PathElement::Kind::lineTo: {
                Point to = at(p[0]);
                cairo_line_to(cairo, to.x, to.y);
                current = p[0];
                break;
            }
            case PathElement::Kind::quadCurveTo: {
                auto [first, second] = cubicControls(current, p[0], p[1]);
                Point c1 = at(first), c2 = at(second), to = at(p[1]);
                cairo_curve_to(cairo, c1.x, c1.y, c2.x, c2.y, to.x, to.y);
                current = p[1];
                break;
            }
            case PathElement::Kind::curveTo: {
                Point c1 = at(p[0]), c2 = at(p[1]), to = at(p[2]);
                cairo_curve_to(cairo, c1.x, c1.y, c2.x, c2.y, to.x, to.y);
                current = p[2];
                break;
            }
            case PathElement::Kind::closeSubpath:
                cairo_close_path(cairo);
                current = start;
                break;
        }
    }
}

// A union's coverage is drawn through by the converter while the clip mask holds it.
bool Context::Impl::drawsPlainly() const {
    return !state.mask && state.blend == BlendMode::normal && (!state.coverageClip || state.clipMask);
}

void Context::Impl::setSourceColor(Color color) {
    cairo_set_source_rgba(cairo, color.red, color.green, color.blue, color.alpha * state.alpha);
}

std::optional<raster::Target> Context::Impl::directTarget() {
    // After takeImage the pixels are gone and Cairo's finished surface draws nowhere.
    if (options.format != PixelFormat::argb32 || pixels.pixels.empty() || !state.clipBox ||
        !raster::scanConverterEnabled() || state.style.antialias != CAIRO_ANTIALIAS_DEFAULT)
        return std::nullopt;
    cairo_surface_flush(surface.get());
    return raster::Target{reinterpret_cast<std::uint32_t*>(pixels.pixels.data()), pixels.stride / 4, *state.clipBox,
                          state.clipMask.get()};
}

void Context::Impl::markDrawn(const raster::PixelBox& box) {
    if (!box.isEmpty())
        cairo_surface_mark_dirty_rectangle(surface.get(), box.left, box.top, box.right - box.left, box.bottom - box.top);
}

void Context::Impl::writeBlanks(const raster::PixelBox& area, const raster::PixelBox& covered, const raster::Mask* mask) {
    if (rowsWithBlanks == 0) return;
    raster::PixelBox box = area.intersection({0, 0, width, height});
    if (box.isEmpty()) return;
    int dirtyLeft = box.right;
    for (int y = box.top; y < box.bottom; ++y) {
        int& written = writtenTo[std::size_t(y)];
        if (written >= box.right) continue;
        if (dirtyLeft == box.right) cairo_surface_flush(surface.get());
        std::uint32_t* row = pixels.row(y);
        auto fill = [&](int from, int to) {
            if (from < to) std::memset(row + from, 0, std::size_t(to - from) * 4);
        };
        int skipFrom = box.right, skipTo = box.right;
        if (y >= covered.top && y < covered.bottom) {
            skipFrom = covered.left, skipTo = covered.right;
            if (mask) {
                // Under a clip mask, only the run it was made with whole coverage.
                auto [wholeFrom, wholeTo] = mask->wholeRun(y);
                skipFrom = std::max(skipFrom, wholeFrom), skipTo = std::min(skipTo, wholeTo);
            }
            // A single pixel is blended, reading it.
            if (skipTo - skipFrom < 2) skipFrom = skipTo = box.right;
        }
        fill(written, std::min(skipFrom, box.right));
        fill(std::max(written, skipTo), box.right);
        dirtyLeft = std::min(dirtyLeft, written);
        written = box.right;
        if (written == width) --rowsWithBlanks;
    }
    if (dirtyLeft < box.right) markDrawn({dirtyLeft, box.top, box.right, box.bottom});
}

void Context::Impl::writeBlanksInClip() {
    if (rowsWithBlanks == 0) return;
    // Cairo's own extents: it flattens a clip's curves differently from our clip box.
    cairo_matrix_t matrix;
    cairo_get_matrix(cairo, &matrix);
    cairo_identity_matrix(cairo);
    double x1, y1, x2, y2;
    cairo_clip_extents(cairo, &x1, &y1, &x2, &y2);
    cairo_set_matrix(cairo, &matrix);
    auto whole = [](double value) { return int(std::clamp(value, -1.0, 1e9)); };
    writeBlanks({whole(std::floor(x1)), whole(std::floor(y1)), whole(std::ceil(x2)), whole(std::ceil(y2))});
}

void Context::Impl::writeBlanksBeforeFill(const Path& path, const AffineTransform& toDevice, std::uint32_t source,
                                          const raster::Target& target) {
    if (rowsWithBlanks == 0) return;
    // An opaque rectangle along the device axes is filled by whole rows and columns, each pixel set
    // without being read where the clip covers it wholly: around those its blanks are written first.
    auto rectangle = raster::deviceRectangle(path, toDevice);
    if (!rectangle || source >> 24 != 255) return writeBlanks(target.clip);
    auto [left, top, right, bottom] = *rectangle;
    if (!(std::max({std::abs(left), std::abs(right), std::abs(top), std::abs(bottom)}) <= 1e9))
        return writeBlanks(target.clip);
    raster::PixelBox touched = target.clip.intersection(
        {int(std::floor(left)), int(std::floor(top)), int(std::ceil(right)), int(std::ceil(bottom))});
    raster::PixelBox covered = touched.intersection(
        {int(std::ceil(left)), int(std::ceil(top)), int(std::floor(right)), int(std::floor(bottom))});
    writeBlanks(touched, covered, target.mask);
}

std::uint32_t Context::Impl::sourcePixel(Color color) const {
    return raster::premultipliedPixel(color.red, color.green, color.blue, color.alpha * state.alpha);
}

raster::PixelBox Context::Impl::reachable() const {
    const raster::PixelBox canvas{0, 0, width, height};
    return state.clipBox ? state.clipBox->intersection(canvas) : canvas;
}

namespace {

// How far a stroke `lineWidth` wide reaches either side of its path on the device, the transform there stretching
// its width by at most `stretch` (raster::largestStretch).
double strokeReach(double lineWidth, double stretch) { return std::max(lineWidth * stretch / 2, 0.5); }

}  // namespace

bool Context::Impl::admit(const Path& path, const AffineTransform& toDevice, bool stroked, bool clipped) {
    if (!WorkMeter::running()) return true;
    const double dashEntries = stroked ? double(state.style.dashes.size()) : 0;
    // An opaque colour filled plainly, through no coverage, sets its inner pixels without reading them; through a
    // clip's coverage each pixel reads it too.
    double pixelUnits = !drawsPlainly() ? WorkMeter::aComposedPixel : state.clipMask ? WorkMeter::aClippedPixel : WorkMeter::aPixel;
    if (!stroked && !clipped && drawsPlainly() && !state.clipMask &&
        raster::alphaByte(state.fill.alpha * state.alpha) == 255)
        pixelUnits = WorkMeter::anOpaquePixel;
    // A plain solid hairline is drawn as quads whose areas are summed (what Cairo draws instead is charged there).
    const double stretch = stroked ? raster::largestStretch(toDevice) : 0;
    const bool hairline = stroked && drawsPlainly() && strokesHairline(stretch);
    const double reach = stroked ? strokeReach(state.style.lineWidth, stretch) : 0;
    const double units = drawingUnits(path, toDevice, reach, reachable(), pixelUnits, clipped || !drawsPlainly(), hairline);
    return WorkMeter::charge(units * (hairline ? WorkMeter::aHairlineQuad : 1) + dashEntries * WorkMeter::aDashEntry);
}

bool Context::Impl::strokesHairline(double stretch) const {
    // The widest the line gets on the device: its width times the transform's largest stretch. Dashed hairlines
    // are dashed as wide lines are.
    return state.style.lineWidth * stretch < 1 && state.style.dashes.empty();
}

bool Context::Impl::admitToCairo(const Path& path, bool stroked) {
    if (!WorkMeter::running()) return true;
    const AffineTransform& toDevice = state.transform;
    const double reach = stroked ? strokeReach(state.style.lineWidth, raster::largestStretch(toDevice)) : 0;
    double units = crowdingUnits(path, toDevice, reach, reachable());
    // Cairo walks every dash, on the picture or off it.
    if (stroked && !state.style.dashes.empty()) units += dashCount(path, state.style.dashes) * WorkMeter::aDash;
    return units == 0 || WorkMeter::charge(units);
}

bool Context::Impl::admitPixels(double pixels, double units) {
    return WorkMeter::charge(units + pixels * WorkMeter::aComposedPixel);
}

bool Context::Impl::admitGradientShape(const DrawingState::GradientShape& shape, double unitsAPixel, double units,
                                       double walkedUnits, const raster::PixelBox& walked) {
    if (!WorkMeter::running()) return true;
    const raster::PixelBox box = reachable(), within = box.intersection(walked);
    const double reach = shape.stroked ? strokeReach(shape.line.lineWidth, raster::largestStretch(shape.toDevice)) : 0;
    units += drawingUnits(*shape.path, shape.toDevice, reach, box, 0, shape.stroked) + crowdingUnits(*shape.path, shape.toDevice, reach, box);
    if (shape.stroked && !shape.line.dashes.empty()) units += dashCount(*shape.path, shape.line.dashes) * WorkMeter::aDash;
    const double covered = coveredPixels(*shape.path, shape.toDevice, reach, box);
    // The stops' walk is counted apart only where it stops short of the box.
    double walkedPixels = 0;
    if (within == box)
        walkedPixels = covered;
    else if (walkedUnits > 0 && !within.isEmpty())
        walkedPixels = coveredPixels(*shape.path, shape.toDevice, reach, within);
    return WorkMeter::charge(units + covered * unitsAPixel + walkedPixels * walkedUnits);
}

namespace {

// How many points Cairo gives the pen of a line `radius` device pixels wide either side, as it works them out: enough
// that its sides stray no more than the tolerance from the circle.
double cairoPenPoints(double radius, double tolerance) {
    if (!(tolerance < radius)) return 4;
    const double divisor = std::acos(1 - tolerance / radius);
    if (!(divisor > 0)) return 4;
    const double points = std::ceil(2 * M_PI / divisor);
    return std::max(points + std::fmod(points, 2), 4.0);
}

// The whole turns a stroke of `path` on the device makes at its joins (curves by their control points, which turn
// no less), and the ends it caps: a round join lays the pen's points along its turn, a round cap half the pen.
std::pair<double, double> turnsAndEnds(const Path& path, const AffineTransform& toDevice) {
    double angle = 0, ends = 0;
    Point current{}, start{};
    std::optional<Point> first, last;
    bool drawn = false;
    const auto turn = [](Point from, Point to) {
        return std::abs(std::atan2(from.x * to.y - from.y * to.x, from.x * to.x + from.y * to.y));
    };
    const auto step = [&](Point to) {
        drawn = true;
        const Point direction{to.x - current.x, to.y - current.y};
        if (direction == Point{}) return;
        if (last) angle += turn(*last, direction);
        if (!first) first = direction;
        last = direction, current = to;
    };
    const auto close = [&](bool closed) {
        if (closed) {
            step(start);
            if (first && last) angle += turn(*last, *first);
        } else if (drawn) {
            ends += 2;
        }
        first = last = std::nullopt, drawn = false;
    };
    for (const PathElement& element : path.elements()) {
        if (element.kind == PathElement::Kind::closeSubpath) {
            close(true);
            current = start;
            continue;
        }
        if (element.kind == PathElement::Kind::moveTo) {
            close(false);
            current = start = toDevice.apply(element.points[0]);
            continue;
        }
        for (int index = 0; index < element.pointCount(); ++index) step(toDevice.apply(element.points[index]));
    }
    close(false);
    return {angle / (2 * M_PI), ends};
}

}  // namespace

HeldBytes::~HeldBytes() { WorkMeter::letGo(bytes); }

SharedSurface heldSurface(cairo_format_t format, int width, int height) {
    const double bytes = double(cairo_format_stride_for_width(format, width)) * height;
    if (!WorkMeter::hold(bytes)) return nullptr;
    return SharedSurface(cairo_image_surface_create(format, width, height), [bytes](cairo_surface_t* surface) {
        cairo_surface_destroy(surface);
        WorkMeter::letGo(bytes);
    });
}

bool Context::Impl::admitPen(const Path& path, const AffineTransform& toDevice, const DrawingState::Style& line,
                             double& held) {
    const bool roundJoins = line.join == CAIRO_LINE_JOIN_ROUND, roundCaps = line.cap == CAIRO_LINE_CAP_ROUND;
    if (!WorkMeter::running() || (!roundJoins && !roundCaps)) return true;
    const double points = cairoPenPoints(line.lineWidth / 2 * raster::largestStretch(toDevice), line.tolerance);
    // A pen of a line narrow enough for the converter lays few points a join: what its segments are charged covers it.
    if (points <= 64) return true;
    auto [turns, ends] = turnsAndEnds(path, toDevice);
    if (!roundJoins) turns = 0;
    if (!roundCaps) ends = 0;
    // Each dash is capped at both ends.
    if (roundCaps && !line.dashes.empty()) ends += dashCount(path, line.dashes);
    const double laid = points * (turns + ends / 2);
    if (!WorkMeter::charge(laid * WorkMeter::aPenPoint) || !WorkMeter::hold(laid * WorkMeter::bytesAPenPoint)) return false;
    held = laid * WorkMeter::bytesAPenPoint;
    return true;
}

bool Context::Impl::fillDirectly(const Path& path, FillRule rule, const AffineTransform& toDevice) {
    auto target = directTarget();
    if (!target) return false;
    std::uint32_t source = sourcePixel(state.fill);
    writeBlanksBeforeFill(path, toDevice, source, *target);
    auto changed = raster::fillPath(path, toDevice, state.style.tolerance, rule, source, *target);
    if (!changed) return false;
    markDrawn(*changed);
    return true;
}

bool Context::Impl::strokeDirectly(const Path& path, const AffineTransform& toDevice) {
    const DrawingState::Style& given = state.style;
    const double lineWidth = given.lineWidth;
    const bool dashed = !given.dashes.empty();
    if (!(lineWidth > 0)) return false;
    auto target = directTarget();
    if (!target) return false;
    writeBlanks(target->clip);
    std::uint32_t source = sourcePixel(state.stroke);
    std::optional<raster::PixelBox> changed;
    // Dashed hairlines are dashed as wide lines are, dashes far outside the clip skipped by arithmetic.
    // A hairline whose pieces overlap along a stretch is stroked as wide lines are.
    bool wide = false;
    if (strokesHairline(raster::largestStretch(toDevice)))
        changed = raster::strokeHairline(path, toDevice, given.tolerance, lineWidth, given.cap == CAIRO_LINE_CAP_BUTT,
                                         source, *target, wide);
    else
        wide = true;
    if (wide) {
        const raster::StrokeStyle style = strokeStyle(given);
        if (!dashed) changed = raster::strokeConvex(path, toDevice, given.tolerance, style, source, *target);
        if (!changed) changed = raster::strokeWide(path, toDevice, given.tolerance, style, source, *target);
    }
    if (!changed) return false;
    markDrawn(*changed);
    return true;
}

bool Context::Impl::paintThroughClipMask(cairo_pattern_t* pattern, double unitsAPixel, double costAPixel) {
    // Without a mask the clip is whole pixels, which Cairo clips to cheaply itself.
    if (!drawsPlainly() || !state.clipMask || state.alpha != 1) return false;
    auto target = directTarget();
    if (!target) return false;
    const raster::PixelBox& box = target->clip;
    if (box.isEmpty()) return true;
    writeBlanks(box);
    const raster::Mask& mask = *state.clipMask;
    // Cairo takes rows of coverage four bytes aligned: the mask's own when its rows are, else the box's
    // rows copied.
    const int maskWidth = mask.box.right - mask.box.left, height = box.bottom - box.top;
    const unsigned char* rows = mask.row(box.top);
    int left = mask.box.left, width = maskWidth, stride = maskWidth;
    std::vector<unsigned char> copied;
    if (maskWidth % 4 != 0) {
        left = box.left, width = box.right - box.left;
        stride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, width);
        copied.resize(std::size_t(stride) * std::size_t(height));
        for (int y = box.top; y < box.bottom; ++y)
            std::memcpy(copied.data() + std::size_t(y - box.top) * std::size_t(stride),
                        mask.row(y) + (box.left - mask.box.left), std::size_t(width));
        rows = copied.data();
    }
    SurfacePointer coverage(cairo_image_surface_create_for_data(const_cast<unsigned char*>(rows), CAIRO_FORMAT_A8,
                                                                width, height, stride));
    cairo_save(cairo);
    cairo_set_source(cairo, pattern);  // in the user space in place now
    cairo_reset_clip(cairo);
    cairo_identity_matrix(cairo);
    forEachBand(box, unitsAPixel, costAPixel, [&](int top, int bottom) {
        cairo_reset_clip(cairo);
        cairo_new_path(cairo);
        cairo_rectangle(cairo, box.left, top, box.right - box.left, bottom - top);
        cairo_clip(cairo);
        cairo_mask_surface(cairo, coverage.get(), left, box.top);
    });
    cairo_restore(cairo);
    return true;
}

SharedSurface Context::Impl::cairoMask(int& x, int& y) const {
    x = state.maskX, y = state.maskY;
    if (state.mask || !state.coverageClip) return state.mask;
    const raster::Mask& coverage = *state.coverageClip;
    const int width = std::max(coverage.box.right - coverage.box.left, 1);
    const int height = std::max(coverage.box.bottom - coverage.box.top, 1);
    SharedSurface surface = heldSurface(CAIRO_FORMAT_A8, width, height);
    x = coverage.box.left, y = coverage.box.top;
    // Past the render's memory nothing shows (the meter is spent: nothing more is drawn).
    if (!surface) return SharedSurface(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1), cairo_surface_destroy);
    if (coverage.box.isEmpty()) return surface;  // made clear: nothing shows
    cairo_surface_flush(surface.get());
    unsigned char* rows = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int row = 0; row < height; ++row)
        std::memcpy(rows + std::size_t(row) * std::size_t(stride), coverage.row(y + row), std::size_t(width));
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

void Context::Impl::composite(const std::function<void()>& paint, const std::function<void()>& clipToDrawnArea) {
    writeBlanksInClip();
    cairo_operator_t op = cairoOperator(state.blend);
    int maskX = 0, maskY = 0;
    SharedSurface mask = cairoMask(maskX, maskY);
    cairo_save(cairo);
    if (!mask) {
        cairo_set_operator(cairo, op);
        if (isUnbounded(op)) clipToDrawnArea();
        paint();
    } else {
        // Draw alone first, then bring the result through the mask with the blend mode: the group is the clip's size.
        HeldBytes group;
        const raster::PixelBox box = reachable();
        group.bytes = box.isEmpty() ? 0 : double(box.right - box.left) * double(box.bottom - box.top) * 4;
        if (!WorkMeter::hold(group.bytes)) {
            group.bytes = 0;
            cairo_restore(cairo);
            return;
        }
        cairo_push_group(cairo);
        cairo_set_operator(cairo, CAIRO_OPERATOR_OVER);
        paint();
        cairo_pop_group_to_source(cairo);
        cairo_set_operator(cairo, op);
        if (isUnbounded(op)) clipToDrawnArea();
        cairo_identity_matrix(cairo);
        cairo_mask_surface(cairo, mask.get(), maskX, maskY);
    }
    cairo_restore(cairo);
}

Context::Context(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Context::~Context() = default;

std::shared_ptr<Context> Context::create(int pixelWidth, int pixelHeight, Options options) {
    if (pixelWidth <= 0 || pixelHeight <= 0 || !(options.scale > 0)) return nullptr;
    if (std::int64_t(pixelWidth) * pixelHeight > maximumPixelCount) return nullptr;
    auto impl = std::make_unique<Impl>();
    // Its pixels are held against the meter while it lives: past the render's memory it is not made. Once the meter
    // is spent nothing is drawn on it (the caller reports the refusal), so it is made unheld.
    if (!WorkMeter::spentNow()) {
        const double bytes = double(pixelWidth) * pixelHeight * (options.format == PixelFormat::alphaOnly ? 1 : 4);
        if (!WorkMeter::hold(bytes)) return nullptr;
        impl->heldBytes = bytes;
    }
    impl->options = options;
    impl->width = pixelWidth;
    impl->height = pixelHeight;
    if (options.format == PixelFormat::alphaOnly) {
        impl->coverageStride = cairo_format_stride_for_width(CAIRO_FORMAT_A8, pixelWidth);
        impl->coverage.assign(std::size_t(impl->coverageStride) * pixelHeight, 0);
        impl->surface.reset(cairo_image_surface_create_for_data(impl->coverage.data(), CAIRO_FORMAT_A8, pixelWidth,
                                                                pixelHeight, impl->coverageStride));
    } else {
        impl->pixels = Bitmap::unwritten(pixelWidth, pixelHeight);
        impl->writtenTo.assign(std::size_t(pixelHeight), 0);
        impl->rowsWithBlanks = pixelHeight;
        if (newCanvasFill)
            for (int y = 0; y < pixelHeight; ++y) std::fill_n(impl->pixels.row(y), pixelWidth, *newCanvasFill);
        auto format = options.format == PixelFormat::rgb24 ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32;
        impl->surface.reset(cairo_image_surface_create_for_data(impl->pixels.pixels.data(), format, pixelWidth,
                                                                pixelHeight, impl->pixels.stride));
    }
    if (cairo_surface_status(impl->surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    impl->cairo = cairo_create(impl->surface.get());
    if (cairo_status(impl->cairo) != CAIRO_STATUS_SUCCESS) return nullptr;
    impl->state.transform = baseTransform(options, pixelHeight);
    cairo_matrix_t base = toCairo(impl->state.transform);
    cairo_set_matrix(impl->cairo, &base);
    cairo_set_line_width(impl->cairo, impl->state.style.lineWidth);
    cairo_set_miter_limit(impl->cairo, impl->state.style.miterLimit);
    impl->state.style.tolerance = cairo_get_tolerance(impl->cairo);
    impl->state.clipBox = raster::PixelBox{0, 0, pixelWidth, pixelHeight};
    return std::shared_ptr<Context>(new Context(std::move(impl)));
}

std::shared_ptr<Context> Context::create(Size pointSize, Options options) {
    auto pixels = [&](double points) {
        double value = std::ceil(points * options.scale - 1e-9);
        return std::isfinite(value) && value < 1e9 ? static_cast<int>(value) : 0;
    };
    return create(pixels(pointSize.width), pixels(pointSize.height), options);
}

std::shared_ptr<Context> Context::create(const Bitmap& bitmap, Options options) {
    options.format = PixelFormat::argb32;
    auto context = create(bitmap.width, bitmap.height, options);
    if (!context || !hasValidLayout(bitmap)) return nullptr;
    cairo_surface_flush(context->impl_->surface.get());
    for (int y = 0; y < bitmap.height; ++y) std::copy_n(bitmap.row(y), bitmap.width, context->impl_->pixels.row(y));
    context->impl_->rowsWithBlanks = 0;
    cairo_surface_mark_dirty(context->impl_->surface.get());
    return context;
}

int Context::pixelWidth() const { return impl_->width; }
int Context::pixelHeight() const { return impl_->height; }
double Context::scale() const { return impl_->options.scale; }
Size Context::size() const { return {impl_->width / scale(), impl_->height / scale()}; }
PixelFormat Context::format() const { return impl_->options.format; }
Origin Context::origin() const { return impl_->options.origin; }

Bitmap Context::makeImage() const {
    impl_->writeAllBlanks();
    cairo_surface_flush(impl_->surface.get());
    if (impl_->options.format == PixelFormat::argb32) return impl_->pixels;
    // Every pixel is written below.
    Bitmap image = Bitmap::unwritten(impl_->width, impl_->height);
    for (int y = 0; y < impl_->height; ++y) {
        std::uint32_t* out = image.row(y);
        if (impl_->options.format == PixelFormat::rgb24) {
            const std::uint32_t* in = impl_->pixels.row(y);
            for (int x = 0; x < impl_->width; ++x) out[x] = in[x] | 0xFF000000u;
        } else {
            const unsigned char* in = impl_->coverage.data() + std::size_t(y) * impl_->coverageStride;
            for (int x = 0; x < impl_->width; ++x) out[x] = std::uint32_t(in[x]) << 24;
        }
    }
    return image;
}

Bitmap Context::takeImage() {
    if (impl_->options.format != PixelFormat::argb32) return makeImage();
    impl_->writeAllBlanks();
    // A finished surface no longer touches the pixels it was made on.
    cairo_surface_finish(impl_->surface.get());
    return std::exchange(impl_->pixels, Bitmap{});
}

void Context::save() { impl_->save(); }

void Context::restore() { impl_->restore(); }

// Cairo stops drawing for good after a non-finite or singular matrix, so such transforms are ignored.
bool Context::isUsableTransform(const AffineTransform& transform) {
    const double determinant = transform.a * transform.d - transform.b * transform.c;
    return determinant != 0 && std::isfinite(determinant) && std::isfinite(transform.tx) && std::isfinite(transform.ty);
}

void Context::translateBy(double x, double y) { concatenate(AffineTransform::translation(x, y)); }
void Context::scaleBy(double sx, double sy) { concatenate(AffineTransform::scale(sx, sy)); }
void Context::rotateBy(double radians) {
    if (std::isfinite(radians)) concatenate(AffineTransform::rotation(radians));
}

void Context::concatenate(const AffineTransform& transform) {
    if (isUsableTransform(transform)) impl_->concatenate(transform);
}

AffineTransform Context::deviceTransform() const { return impl_->state.transform; }

AffineTransform Context::currentTransform() const {
    return deviceTransform().concatenating(baseTransform(impl_->options, impl_->height).inverted());
}

void Context::clip(const Path& path, FillRule rule) {
    // Refused, the meter is spent and nothing after is drawn.
    if (!impl_->admit(path, impl_->state.transform, false, true)) return;
    impl_->synced();
    impl_->appendPath(path, Impl::PathSpace::device);
    cairo_set_fill_rule(impl_->cairo, rule == FillRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(impl_->cairo);
    DrawingState& state = impl_->state;
    if (!state.clipBox) return;
    AffineTransform toDevice = deviceTransform();
    // Documents often clip to a rectangle around all they draw, or along whole pixels: that needs no
    // mask.
    if (auto rectangle = raster::deviceRectangle(path, toDevice)) {
        if (auto box = raster::wholePixelClip(*rectangle, *state.clipBox)) {
            state.clipBox = *box;
            return;
        }
    }
    // Only the converter's fills use the mask; an aliased clip's edges are not its coverage.
    std::optional<raster::Mask> mask;
    if (impl_->options.format == PixelFormat::argb32 && state.style.antialias == CAIRO_ANTIALIAS_DEFAULT)
        mask = raster::clipMask(path, toDevice, state.style.tolerance, rule, *state.clipBox,
                                state.clipMask.get());
    if (!mask) {
        state.clipBox.reset();
        state.clipMask.reset();
        return;
    }
    state.clipBox = mask->box;
    state.clipMask = std::make_shared<const raster::Mask>(std::move(*mask));
}

void Context::clip(const Rect& rect) {
    Path path;
    path.addRect(rect);
    clip(path);
}

void Context::clipToMask(const Rect& rect, const Bitmap& mask, BitmapPlacement placement) {
    DrawingState& state = impl_->state;
    // The mask covers only the device pixels of the rectangle (a small layer's mask costs its size, not the
    // picture's).
    Rect device = state.transform.apply(rect.standardized());
    raster::PixelBox box{0, 0, 0, 0};
    if (hasValidLayout(mask) && !rect.isEmpty() && std::isfinite(device.width()) && std::isfinite(device.height()))
        box = raster::PixelBox{int(std::clamp(std::floor(device.minX()), 0.0, double(impl_->width))),
                               int(std::clamp(std::floor(device.minY()), 0.0, double(impl_->height))),
                               int(std::clamp(std::ceil(device.maxX()), 0.0, double(impl_->width))),
                               int(std::clamp(std::ceil(device.maxY()), 0.0, double(impl_->height)))};
    const int width = std::max(box.right - box.left, 1), height = std::max(box.bottom - box.top, 1);
    if (!impl_->admitPixels(double(width) * height, WorkMeter::aPath)) return;
    SharedSurface combined = heldSurface(CAIRO_FORMAT_A8, width, height);
    if (!combined) {
        // Past the render's memory nothing shows (the meter is spent: nothing more is drawn).
        state.mask = SharedSurface(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1), cairo_surface_destroy);
        return;
    }
    cairo_t* painter = cairo_create(combined.get());
    // Painted in bands of rows, as the context's own drawing is.
    const auto paint = [&] {
        impl_->forEachBand(box, 0, WorkMeter::aComposedPixel, [&](int top, int bottom) {
            if (top == box.top && bottom == box.bottom) return cairo_paint(painter);
            cairo_save(painter);
            cairo_matrix_t matrix;
            cairo_get_matrix(painter, &matrix);
            cairo_identity_matrix(painter);
            cairo_new_path(painter);
            cairo_rectangle(painter, 0, top - box.top, width, bottom - top);
            cairo_clip(painter);
            cairo_set_matrix(painter, &matrix);
            cairo_paint(painter);
            cairo_restore(painter);
        });
    };
    if (!box.isEmpty()) {
        cairo_matrix_t device = toCairo(state.transform.concatenating(AffineTransform::translation(-box.left, -box.top)));
        cairo_set_matrix(painter, &device);
        PatternPointer pattern = bitmapPattern(mask, rect, placement, state.interpolation);
        Rect standard = rect.standardized();
        cairo_rectangle(painter, standard.minX(), standard.minY(), standard.width(), standard.height());
        cairo_clip(painter);
        cairo_set_source(painter, pattern.get());
        paint();
    }
    int maskX = 0, maskY = 0;
    if (SharedSurface before = impl_->cairoMask(maskX, maskY)) {
        cairo_reset_clip(painter);
        cairo_identity_matrix(painter);
        cairo_set_operator(painter, CAIRO_OPERATOR_DEST_IN);
        cairo_set_source_surface(painter, before.get(), maskX - box.left, maskY - box.top);
        if (box.isEmpty())
            cairo_paint(painter);
        else
            paint();
    }
    cairo_destroy(painter);
    cairo_surface_flush(combined.get());
    state.mask = std::move(combined);
    state.coverageClip.reset();  // in the mask now
    state.maskX = box.left;
    state.maskY = box.top;
}

bool Context::clipToUnion(std::span<const ClipShape> shapes) {
    DrawingState& state = impl_->state;
    if (!state.clipBox || impl_->options.format != PixelFormat::argb32 ||
        state.style.antialias != CAIRO_ANTIALIAS_DEFAULT || !raster::scanConverterEnabled())
        return false;
    std::vector<raster::DeviceShape> placed;
    placed.reserve(shapes.size());
    for (const ClipShape& shape : shapes) {
        if (!shape.path || !isUsableTransform(shape.placement)) continue;  // covers nothing
        placed.push_back({shape.path, shape.rule, shape.placement.concatenating(state.transform)});
    }
    // Each shape costs its edges as a fill's; the coverage its pixels, once for all of them.
    if (WorkMeter::running()) {
        const std::optional<raster::PixelBox> box = raster::unionBox(placed, *state.clipBox);
        if (!box) return false;
        double units = double(box->right - box->left) * double(box->bottom - box->top) * WorkMeter::aPixel;
        if (box->isEmpty()) units = 0;
        for (const raster::DeviceShape& shape : placed)
            units += drawingUnits(*shape.path, shape.toDevice, 0, *box, 0, true);
        if (!WorkMeter::charge(units)) return false;  // spent: the caller's mask drawn apart is refused too
    }
    std::optional<raster::Mask> mask =
        raster::unionClipMask(placed, state.style.tolerance, *state.clipBox, state.clipMask.get());
    if (!mask) return false;
    // Cairo clips to the box; what it draws within is brought through the coverage.
    const raster::PixelBox& box = mask->box;
    cairo_t* cr = impl_->synced();
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    cairo_identity_matrix(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, box.left, box.top, std::max(box.right - box.left, 0), std::max(box.bottom - box.top, 0));
    cairo_clip(cr);
    cairo_set_matrix(cr, &matrix);
    state.clipBox = box;
    state.clipMask = std::make_shared<const raster::Mask>(std::move(*mask));
    state.coverageClip = state.clipMask;
    return true;
}

Rect Context::clipBoundingBox() const {
    double x1, y1, x2, y2;
    cairo_clip_extents(impl_->synced(), &x1, &y1, &x2, &y2);
    return Rect{x1, y1, x2 - x1, y2 - y1}.standardized();
}

void Context::setGradientShape(std::shared_ptr<const Path> path, const AffineTransform& placement, bool stroked,
                               FillRule rule) {
    DrawingState& state = impl_->state;
    if (!path) return;
    const AffineTransform toDevice =
        isUsableTransform(placement) ? placement.concatenating(state.transform) : state.transform;
    state.gradientShape = std::make_shared<const DrawingState::GradientShape>(
        DrawingState::GradientShape{std::move(path), toDevice, stroked, rule, state.style});
}

bool Context::clipToGradientFill() {
    const DrawingState::GradientShape* shape = impl_->state.gradientShape.get();
    if (!shape || shape->stroked) return false;
    // A fill that covers most of its box (a rectangle wholly) gains nothing from painting its spans alone, but for
    // one painted translucently, which a clip mask does not take.
    const Rect bounds = shape->path->boundingBox(shape->toDevice);
    if (!raster::deviceRectangle(*shape->path, shape->toDevice) &&
        !(impl_->state.alpha >= 1 &&
          coveredPixels(*shape->path, shape->toDevice, 0, impl_->reachable()) * 2 >= bounds.width() * bounds.height()))
        return false;
    const Path placed = shape->path->transformed(shape->toDevice.concatenating(deviceTransform().inverted()));
    save();
    impl_->state.gradientShape.reset();
    clip(placed, shape->rule);
    return true;
}

void Context::setFillColor(Color color) { impl_->state.fill = color; }
void Context::setStrokeColor(Color color) { impl_->state.stroke = color; }
void Context::setAlpha(double alpha) { impl_->state.alpha = std::isnan(alpha) ? 0 : std::clamp(alpha, 0.0, 1.0); }
void Context::setBlendMode(BlendMode mode) { impl_->state.blend = mode; }
void Context::setInterpolationQuality(InterpolationQuality quality) { impl_->state.interpolation = quality; }
// Kept in the state: Cairo is handed the style when it draws.
void Context::setShouldAntialias(bool antialias) {
    impl_->state.style.antialias = antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE;
}
void Context::setFlatness(double flatness) {
    if (std::isfinite(flatness)) impl_->state.style.tolerance = std::max(0.01, flatness * 0.1);
}
void Context::setLineWidth(double width) {
    if (std::isfinite(width)) impl_->state.style.lineWidth = std::max(0.0, width);
}
void Context::setLineCap(LineCap cap) {
    impl_->state.style.cap = cap == LineCap::round    ? CAIRO_LINE_CAP_ROUND
                             : cap == LineCap::square ? CAIRO_LINE_CAP_SQUARE
                                                      : CAIRO_LINE_CAP_BUTT;
}
void Context::setLineJoin(LineJoin join) {
    impl_->state.style.join = join == LineJoin::round   ? CAIRO_LINE_JOIN_ROUND
                              : join == LineJoin::bevel ? CAIRO_LINE_JOIN_BEVEL
                                                        : CAIRO_LINE_JOIN_MITER;
}
void Context::setMiterLimit(double limit) {
    if (std::isfinite(limit)) impl_->state.style.miterLimit = limit;
}

void Context::setLineDash(double phase, std::span<const double> lengths) {
    bool anyPositive = std::any_of(lengths.begin(), lengths.end(), [](double length) { return length > 0; });
    bool anyInvalid =
        std::any_of(lengths.begin(), lengths.end(), [](double length) { return !(length >= 0) || std::isinf(length); });
    DrawingState::Style& style = impl_->state.style;
    if (!anyPositive || anyInvalid || !std::isfinite(phase)) {
        style.dashes.clear();
        style.dashPhase = 0;
        return;
    }
    style.dashes.assign(lengths.begin(), lengths.end());
    style.dashPhase = phase;
}

Color Context::fillColor() const { return impl_->state.fill; }
Color Context::strokeColor() const { return impl_->state.stroke; }
double Context::alpha() const { return impl_->state.alpha; }
BlendMode Context::blendMode() const { return impl_->state.blend; }

void Context::fill(const Path& path, FillRule rule) {
    if (impl_->admit(path, impl_->state.transform, false)) fillAdmitted(path, rule);
}

void Context::fillAdmitted(const Path& path, FillRule rule) {
    cairo_t* cr = impl_->cairo;
    auto addShape = [&] {
        impl_->appendPath(path, Impl::PathSpace::device);
        cairo_set_fill_rule(cr, rule == FillRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    };
    auto paint = [&] {
        addShape();
        impl_->setSourceColor(impl_->state.fill);
        cairo_fill(cr);
    };
    if (impl_->drawsPlainly() && impl_->fillDirectly(path, rule, impl_->state.transform)) return;
    if (!impl_->admitToCairo(path, false)) return;
    impl_->synced();
    if (impl_->drawsPlainly() && !impl_->state.coverageClip) {
        // Over, unmasked: nothing to set apart; every fill sets its own rule and colour.
        impl_->writeBlanksInClip();
        paint();
        return;
    }
    impl_->composite(paint, [&] {
        addShape();
        cairo_clip(cr);
    });
}

void Context::stroke(const Path& path) {
    if (impl_->admit(path, impl_->state.transform, true)) strokeAdmitted(path);
}

void Context::strokeAdmitted(const Path& path) {
    cairo_t* cr = impl_->cairo;
    auto paint = [&] {
        impl_->appendPath(path, Impl::PathSpace::user);
        impl_->setSourceColor(impl_->state.stroke);
        cairo_stroke(cr);
    };
    if (impl_->drawsPlainly() && impl_->strokeDirectly(path, impl_->state.transform)) return;
    HeldBytes pen;
    if (!impl_->admitToCairo(path, true) || !impl_->admitPen(path, impl_->state.transform, impl_->state.style, pen.bytes))
        return;
    impl_->synced();
    if (impl_->drawsPlainly() && !impl_->state.coverageClip) {
        impl_->writeBlanksInClip();
        paint();
        return;
    }
    impl_->composite(paint, [&] {
        // Cairo cannot clip to a stroke's outline; its extents bound the change instead.
        impl_->appendPath(path, Impl::PathSpace::user);
        double x1, y1, x2, y2;
        cairo_stroke_extents(cr, &x1, &y1, &x2, &y2);
        cairo_new_path(cr);
        cairo_rectangle(cr, x1, y1, x2 - x1, y2 - y1);
        cairo_clip(cr);
    });
}

// The placed transform is worked out as concatenate makes it, so the converter draws the same pixels; only
// what it cannot draw takes a saved state, as the caller would have.
void Context::fill(const Path& path, FillRule rule, const AffineTransform& placement) {
    const bool placed = isUsableTransform(placement);
    const AffineTransform toDevice = placed ? placement.concatenating(impl_->state.transform) : impl_->state.transform;
    if (!impl_->admit(path, toDevice, false)) return;
    if (placed && impl_->drawsPlainly() && impl_->fillDirectly(path, rule, toDevice)) return;
    save();
    concatenate(placement);
    fillAdmitted(path, rule);
    restore();
}

void Context::stroke(const Path& path, const AffineTransform& placement) {
    const bool placed = isUsableTransform(placement);
    const AffineTransform toDevice = placed ? placement.concatenating(impl_->state.transform) : impl_->state.transform;
    if (!impl_->admit(path, toDevice, true)) return;
    if (placed && impl_->drawsPlainly() && impl_->strokeDirectly(path, toDevice)) return;
    save();
    concatenate(placement);
    strokeAdmitted(path);
    restore();
}

void Context::fillRect(const Rect& rect) {
    Path path;
    path.addRect(rect);
    fill(path);
}

void Context::strokeRect(const Rect& rect) {
    Path path;
    path.addRect(rect);
    stroke(path);
}

void Context::clearRect(const Rect& rect) {
    save();
    impl_->state.blend = BlendMode::clear;
    impl_->state.alpha = 1;
    fillRect(rect);
    restore();
}

namespace {
// How many of `bitmap`'s pixels Cairo's filter reads for each device pixel drawing it into `rect`: none beyond
// the one it takes when sampled nearest or met one to one, else the picture's pixels a device pixel spans
// each way (its filter's box grows with the shrinking, up to 16 a side).
double filterTaps(const AffineTransform& toDevice, InterpolationQuality quality, const Bitmap& bitmap, const Rect& rect) {
    const Rect device = toDevice.apply(rect.standardized());
    const auto whole = [](double value) { return std::abs(value - std::round(value)) <= 1e-6; };
    const bool aligned = toDevice.b == 0 && toDevice.c == 0 && std::abs(device.width() - bitmap.width) <= 1e-6 &&
                         std::abs(device.height() - bitmap.height) <= 1e-6 && whole(device.minX()) && whole(device.minY());
    if (aligned || quality == InterpolationQuality::none || quality == InterpolationQuality::low || device.isEmpty())
        return 0;
    const double across = bitmap.width / device.width(), down = bitmap.height / device.height();
    if (across <= WorkMeter::shrinkingPastWhichTapsAreRead && down <= WorkMeter::shrinkingPastWhichTapsAreRead) return 0;
    constexpr double most = WorkMeter::shrinkingTapsReadAtMost;
    return (std::clamp(across, 1.0, most) + 1) * (std::clamp(down, 1.0, most) + 1);
}
}  // namespace

void Context::drawBitmap(const Bitmap& bitmap, const Rect& rect, BitmapPlacement placement) {
    if (!hasValidLayout(bitmap) || rect.isEmpty()) return;
    // The device pixels it covers, painted in bands where they are many: charged for them all first.
    raster::PixelBox bands{0, 0, 0, 0};
    double unitsAPixel = 0;
    if (WorkMeter::running()) {
        const raster::PixelBox box = impl_->reachable();
        const Rect area = impl_->state.transform.apply(rect.standardized())
                              .intersection({double(box.left), double(box.top), double(box.right - box.left),
                                             double(box.bottom - box.top)});
        const double drawn = area.isNull() || area.isEmpty() ? 0 : area.width() * area.height();
        const double read = double(bitmap.width) * bitmap.height * WorkMeter::aPicturePixel;
        const double taps = filterTaps(impl_->state.transform, impl_->state.interpolation, bitmap, rect);
        if (!impl_->admitPixels(drawn, WorkMeter::aPicture + read + drawn * taps * WorkMeter::aFilterTap)) return;
        if (drawn > 0)
            bands = box.intersection({int(std::floor(area.minX())), int(std::floor(area.minY())),
                                      int(std::ceil(area.maxX())), int(std::ceil(area.maxY()))});
        unitsAPixel = WorkMeter::aComposedPixel + taps * WorkMeter::aFilterTap;
    }
    cairo_t* cr = impl_->synced();
    PatternPointer pattern = bitmapPattern(bitmap, rect, placement, impl_->state.interpolation);
    if (pixelAligned(cr, pattern.get())) {
        cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_NONE);
        cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_NEAREST);
    }
    Rect box = rect.standardized();
    auto clipToRect = [&] {
        cairo_new_path(cr);
        cairo_rectangle(cr, box.minX(), box.minY(), box.width(), box.height());
        cairo_clip(cr);
    };
    const auto draw = [&] {
        impl_->composite(
            [&] {
                clipToRect();
                cairo_set_source(cr, pattern.get());
                cairo_paint_with_alpha(cr, impl_->state.alpha);
            },
            clipToRect);
    };
    if (bands.isEmpty()) return draw();
    impl_->drawInBands(bands, 0, unitsAPixel, draw);
}

}  // namespace gfx
