#include "gfx/Gradient.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>

#include "Compositing.h"
#include "ContextImpl.h"
#include "Stroker.h"
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
    gradient.stops_ = std::move(merged);
    gradient.patterns_ = std::make_shared<Patterns>();
    return gradient;
}

namespace {

// Cairo files each stop added by walking those it has: a pattern of n stops costs n^2 / 2 steps to make, charged
// before it is made (false: refused, and nothing is to be drawn).
bool admitPattern(const Gradient& gradient) {
    const double stops = double(gradient.stops().size());
    return WorkMeter::charge(stops * stops / 2 * WorkMeter::aStopWalked);
}

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

// The colours of a linear `pattern` (its extend set) along its axis on the device, sixteen a device pixel, and where
// each pixel finds its own: t, the place along the axis, grows by `dx` a column and `dy` a row from `t0` at the
// device origin; entry i of `colors` is the pattern at t = first + (i + 0.5) * step. Painted by Cairo itself, so
// the colours are its own. Nothing where the pattern is not linear, or the axis is lost on the device.
struct Ramp {
    double t0 = 0, dx = 0, dy = 0;
    double first = 0, step = 1;
    std::vector<std::uint32_t> colors;

    // Composites the colours of row y's pixels [left, right) at `coverage`, through the clip's coverage when given.
    void blendRow(std::uint32_t* row, int y, int left, int right, int coverage, const std::uint8_t* clip) const {
        // The entry, counted in steps from the first, grows by dx / step a column.
        double index = (t0 + dx * (left + 0.5) + dy * (y + 0.5) - first) / step;
        const double perColumn = dx / step, last = double(colors.size() - 1);
        const auto next = [&] {
            const std::uint32_t color = colors[std::size_t(index < 0 ? 0.0 : index >= last ? last : index)];
            index += perColumn;
            return color;
        };
        int x = left;
#ifdef __SSE2__
        if (coverage == 255 && !clip) {
            // Four pixels at a time, a channel to each 16-bit lane, each its own colour Over it: over()'s rounding.
            const __m128i zero = _mm_setzero_si128(), whole = _mm_set1_epi32(255);
            for (; x + 4 <= right; x += 4) {
                const std::uint32_t c0 = next(), c1 = next(), c2 = next(), c3 = next();
                const __m128i colors4 = _mm_set_epi32(int(c3), int(c2), int(c1), int(c0));
                const __m128i rest = _mm_sub_epi32(whole, _mm_srli_epi32(colors4, 24));
                const __m128i pairs = _mm_unpacklo_epi16(_mm_packs_epi32(rest, rest), _mm_packs_epi32(rest, rest));
                __m128i* at = reinterpret_cast<__m128i*>(row + x);
                const __m128i destination = _mm_loadu_si128(at);
                const __m128i scaled =
                    _mm_packus_epi16(raster::scaleChannels(_mm_unpacklo_epi8(destination, zero), _mm_unpacklo_epi32(pairs, pairs)),
                                     raster::scaleChannels(_mm_unpackhi_epi8(destination, zero), _mm_unpackhi_epi32(pairs, pairs)));
                _mm_storeu_si128(at, _mm_adds_epu8(colors4, scaled));
            }
        }
#endif
        for (; x < right; ++x) {
            const std::uint32_t color = next();
            const int covered = clip ? std::min<int>(coverage, clip[x]) : coverage;
            if (covered == 255 && color >> 24 == 255)
                row[x] = color;
            else if (covered > 0)
                row[x] = raster::blendPixel(color, row[x], covered);
        }
    }
};

std::optional<Ramp> rampOver(cairo_pattern_t* pattern, const AffineTransform& toDevice, const raster::PixelBox& box,
                             double alpha) {
    double x0, y0, x1, y1;
    if (cairo_pattern_get_linear_points(pattern, &x0, &y0, &x1, &y1) != CAIRO_STATUS_SUCCESS) return std::nullopt;
    const double ax = x1 - x0, ay = y1 - y0, squared = ax * ax + ay * ay;
    if (!(squared > 0) || !Context::isUsableTransform(toDevice)) return std::nullopt;
    cairo_matrix_t toPattern;  // user space to the pattern's
    cairo_pattern_get_matrix(pattern, &toPattern);
    const AffineTransform patternSpace =
        toDevice.inverted().concatenating({toPattern.xx, toPattern.yx, toPattern.xy, toPattern.yy, toPattern.x0, toPattern.y0});
    const auto along = [&](double x, double y) {
        const Point p = patternSpace.apply(Point{x, y});
        return ((p.x - x0) * ax + (p.y - y0) * ay) / squared;
    };
    Ramp ramp;
    ramp.t0 = along(0, 0);
    ramp.dx = along(1, 0) - ramp.t0, ramp.dy = along(0, 1) - ramp.t0;
    // A sixteenth of a pixel apart: a pixel takes the colour at most a 32nd of a pixel from its own place, so a
    // stop's edge lands where Cairo's own per-pixel walk puts it but on a pixel in a few rows.
    ramp.step = std::hypot(ramp.dx, ramp.dy) / 16;
    double low = INFINITY, high = -INFINITY;
    for (double x : {box.left + 0.5, box.right - 0.5})
        for (double y : {box.top + 0.5, box.bottom - 0.5}) {
            const double t = ramp.t0 + ramp.dx * x + ramp.dy * y;
            low = std::min(low, t), high = std::max(high, t);
        }
    const double count = std::ceil((high - low) / ramp.step) + 1;
    // A strip no wider than Cairo makes an image (a box past that is left to Cairo's own drawing).
    if (!(ramp.step > 0) || !(count <= 32'767)) return std::nullopt;
    ramp.first = low;
    const int width = int(count);
    // Cairo seeks each of the strip's pixels among the stops afresh where they change from one to the next: a long
    // strip of many stops is painted in pieces, each charged.
    int stops = 0;
    cairo_pattern_get_color_stop_count(pattern, &stops);
    const double sought =
        stops < 3 ? 0 : std::min(1.0, stops * ramp.step) * (WorkMeter::aSeek + stops / 2.0 * WorkMeter::aStopSought);
    const int piece = int(std::clamp(std::floor(WorkMeter::aBand / std::max(sought, 1.0)), 1.0, count));
    SurfacePointer strip(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, 1));
    cairo_t* painter = cairo_create(strip.get());
    // Column u of the strip is the pattern at t = low + u * step. The pattern is laid along the strip's own
    // pixels: placed by a matrix of steps (a 16.16 fixed point when Cairo paints), its places would drift.
    cairo_pattern_t* onStrip = cairo_pattern_create_linear(-low / ramp.step, 0, (1 - low) / ramp.step, 0);
    for (int k = 0; k < stops; ++k) {
        double offset, red, green, blue, opacity;
        cairo_pattern_get_color_stop_rgba(pattern, k, &offset, &red, &green, &blue, &opacity);
        cairo_pattern_add_color_stop_rgba(onStrip, offset, red, green, blue, opacity);
    }
    cairo_pattern_set_extend(onStrip, cairo_pattern_get_extend(pattern));
    cairo_set_operator(painter, CAIRO_OPERATOR_SOURCE);
    cairo_set_source(painter, onStrip);
    bool charged = true;
    for (int left = 0; left < width && charged; left += piece) {
        const int right = left + std::min(piece, width - left);
        if (!(charged = WorkMeter::charge((right - left) * sought))) break;
        if (piece == width) {
            cairo_paint_with_alpha(painter, alpha);
            break;
        }
        cairo_save(painter);
        cairo_rectangle(painter, left, 0, right - left, 1);
        cairo_clip(painter);
        cairo_paint_with_alpha(painter, alpha);
        cairo_restore(painter);
    }
    cairo_destroy(painter);
    cairo_pattern_destroy(onStrip);
    if (!charged) return std::nullopt;
    cairo_surface_flush(strip.get());
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(strip.get()));
    ramp.colors.assign(row, row + width);
    return ramp;
}

// Paints a linear `pattern` over the gradient shape's spans with the converter, each pixel its colour from the
// pattern's ramp: the shape's pixels alone are touched. False, with nothing drawn, where the converter cannot.
bool paintShapeSpans(Context::Impl& impl, cairo_pattern_t* pattern, const DrawingState::GradientShape& shape) {
    if (!impl.drawsPlainly()) return false;
    const std::optional<raster::Target> target = impl.directTarget();
    if (!target) return false;
    raster::StrokePieces pieces;
    const double tolerance = impl.state.style.tolerance;
    raster::PixelBox reached = target->clip;
    if (shape.stroked) {
        if (!(shape.line.lineWidth > 0) ||
            !raster::strokePieces(*shape.path, shape.toDevice, tolerance, strokeStyle(shape.line), target->clip,
                                  pieces))
            return false;
    } else {
        const Rect bounds = shape.path->boundingBox(shape.toDevice);
        if (bounds.isNull() || !(std::abs(bounds.minX()) + std::abs(bounds.maxX()) + std::abs(bounds.minY()) +
                                     std::abs(bounds.maxY()) <= raster::largestCoordinate))
            return false;
        reached = target->clip.intersection({int(std::floor(bounds.minX())), int(std::floor(bounds.minY())),
                                             int(std::ceil(bounds.maxX())), int(std::ceil(bounds.maxY()))});
    }
    if (reached.isEmpty()) return true;
    const std::optional<Ramp> ramp = rampOver(pattern, impl.state.transform, reached, impl.state.alpha);
    if (!ramp) return false;
    impl.writeBlanks(target->clip);
    const auto write = [&](int y, int left, int right, int coverage) {
        const std::uint8_t* clip = target->mask ? target->mask->row(y) - target->mask->box.left : nullptr;
        ramp->blendRow(target->pixels + std::size_t(y) * target->stride, y, left, right, coverage, clip);
    };
    const std::optional<raster::PixelBox> changed =
        shape.stroked ? raster::polygonSpans(pieces.points, pieces.ends, FillRule::winding, raster::Overlaps::exact,
                                             target->clip, write)
                      : raster::pathSpans(*shape.path, shape.toDevice, tolerance, shape.rule, target->clip, write);
    if (!changed) return false;
    impl.markDrawn(*changed);
    return true;
}

// The device pixels Cairo may paint for the gradient: the clip's box, within the shape's (a stroke's reaching half
// its width past its path).
raster::PixelBox paintedBox(Context::Impl& impl, const DrawingState::GradientShape* shape) {
    const raster::PixelBox box = impl.reachable();
    if (!shape) return box;
    Rect bounds = shape->path->boundingBox(shape->toDevice);
    if (shape->stroked) {
        const double reach = shape->line.lineWidth / 2 * raster::largestStretch(shape->toDevice) + 1;
        bounds = bounds.insetBy(-reach, -reach);
    }
    if (bounds.isNull() || !(std::abs(bounds.minX()) + std::abs(bounds.maxX()) + std::abs(bounds.minY()) +
                                 std::abs(bounds.maxY()) <= 1e9))
        return box;
    return box.intersection({int(std::floor(bounds.minX())), int(std::floor(bounds.minY())), int(std::ceil(bounds.maxX())),
                             int(std::ceil(bounds.maxY()))});
}

// Fills or strokes the gradient shape with the source set, as Cairo draws it.
void drawShape(Context::Impl& impl, const DrawingState::GradientShape& shape) {
    cairo_t* cr = impl.cairo;
    if (!shape.stroked) {
        impl.appendPath(*shape.path, shape.toDevice);
        cairo_set_fill_rule(cr, shape.rule == FillRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
        return;
    }
    cairo_save(cr);
    cairo_matrix_t matrix = {shape.toDevice.a, shape.toDevice.b, shape.toDevice.c,
                             shape.toDevice.d, shape.toDevice.tx, shape.toDevice.ty};
    cairo_set_matrix(cr, &matrix);
    impl.tracePath(*shape.path, nullptr);
    const DrawingState::Style& line = shape.line;
    cairo_set_line_width(cr, line.lineWidth);
    cairo_set_line_cap(cr, line.cap);
    cairo_set_line_join(cr, line.join);
    cairo_set_miter_limit(cr, line.miterLimit);
    cairo_set_dash(cr, line.dashes.data(), int(line.dashes.size()), line.dashPhase);
    cairo_stroke(cr);
    cairo_restore(cr);
}

// Cairo extends both ends or neither; one end alone is drawn by extending both and clipping the other
// away. `clipToAllowedSide` does that clipping, given how far the clip area reaches (in user space).
// `sought`: what Cairo's search among the stops costs a pixel it paints, charged as it paints; `costAPixel`: what
// all of a pixel costs, charged before.
void drawGradient(Context::Impl& impl, cairo_pattern_t* pattern, unsigned options,
                  const std::function<void(double reach)>& clipToAllowedSide, double sought, double costAPixel) {
    cairo_t* cr = impl.cairo;
    bool before = options & drawsBeforeStartLocation, after = options & drawsAfterEndLocation;
    if (options & (repeatsBeyondEnds | reflectsBeyondEnds)) {
        before = after = true;
        cairo_pattern_set_extend(pattern, options & reflectsBeyondEnds ? CAIRO_EXTEND_REFLECT : CAIRO_EXTEND_REPEAT);
    } else {
        cairo_pattern_set_extend(pattern, before || after ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    }
    const DrawingState::GradientShape* shape = impl.state.gradientShape.get();
    if (shape && before == after && paintShapeSpans(impl, pattern, *shape)) return;
    if (WorkMeter::spentNow()) return;
    costAPixel += sought;
    if (!shape && before == after && impl.paintThroughClipMask(pattern, sought, costAPixel)) return;
    HeldBytes pen;
    if (shape && shape->stroked && !impl.admitPen(*shape->path, shape->toDevice, shape->line, pen.bytes)) return;
    const auto paint = [&] { impl.composite(
        [&] {
            if (before != after) {
                double x1, y1, x2, y2;
                cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
                clipToAllowedSide(std::max({std::abs(x1), std::abs(x2), std::abs(y1), std::abs(y2)}) * 4 + 1);
            }
            if (!shape) {
                cairo_set_source(cr, pattern);
                cairo_paint_with_alpha(cr, impl.state.alpha);
                return;
            }
            // Cairo fills and strokes with no alpha of their own: a group takes it when there is one.
            if (impl.state.alpha < 1) cairo_push_group(cr);
            cairo_set_source(cr, pattern);
            drawShape(impl, *shape);
            if (impl.state.alpha < 1) {
                cairo_pop_group_to_source(cr);
                cairo_paint_with_alpha(cr, impl.state.alpha);
            }
        },
        [] {}); };
    const raster::PixelBox box = paintedBox(impl, shape);
    // A shape too costly to trace again for each band (a stroke, a long path) is painted at once.
    if (!shape || (!shape->stroked && shape->path->elements().size() <= 256)) {
        impl.drawInBands(box, sought, costAPixel, paint);
        return;
    }
    if (box.isEmpty() || WorkMeter::charge(double(box.right - box.left) * double(box.bottom - box.top) * sought)) paint();
}

// Everywhere: the device pixels where a gradient's stops are walked, unless it is padded.
constexpr raster::PixelBox everywhere{INT_MIN, INT_MIN, INT_MAX, INT_MAX};

// A gradient paints the whole clip area, or its shape's, its stops resolved for it; each pixel's colour is looked
// up among the stops (Cairo's walk along them costs more the more there are). A linear gradient's pixels walk
// on along a row; a radial one's each work out their distance and look it up among the stops: anew where the
// gradient repeats (a pixel's neighbour may lie anywhere in it, and its distance is wrapped too). Padded, the
// stops are walked only within `walked` (a linear gradient's band between its ends, a radial one's end circle's
// box): past an end each pixel takes that end's stop, a radial one's found again among them.
bool admitGradient(Context::Impl& impl, const Gradient& gradient, bool radial, unsigned options,
                   raster::PixelBox walked, double& costAPixel) {
    const double stops = double(gradient.stops().size());
    const bool repeats = options & (repeatsBeyondEnds | reflectsBeyondEnds);
    if (repeats) walked = everywhere;
    double unitsAPixel = WorkMeter::aComposedPixel;
    double walkedUnits = WorkMeter::aComposedPixel * stops / WorkMeter::stopsAPixelPasses;
    if (radial && repeats) {
        unitsAPixel = WorkMeter::aRadialPixel * 2;
        walkedUnits = WorkMeter::aRadialPixel * stops / WorkMeter::stopsARadialPixelPasses;
    } else if (radial) {
        unitsAPixel = WorkMeter::aRadialPixel * (1 + stops / WorkMeter::stopsARadialPixelPassesPastItsEnd);
        walkedUnits = WorkMeter::aRadialPixel * stops / WorkMeter::stopsARadialPixelPasses;
    }
    const double units = WorkMeter::aPath + stops * WorkMeter::aStop;
    costAPixel = unitsAPixel + walkedUnits;
    if (const DrawingState::GradientShape* shape = impl.state.gradientShape.get())
        return impl.admitGradientShape(*shape, unitsAPixel, units, walkedUnits, walked);
    const raster::PixelBox box = impl.reachable(), within = box.intersection(walked);
    const auto area = [](const raster::PixelBox& of) {
        return of.isEmpty() ? 0.0 : double(of.right - of.left) * double(of.bottom - of.top);
    };
    return WorkMeter::charge(units + area(box) * unitsAPixel + area(within) * walkedUnits);
}

// Cairo finds a pixel's place among a linear gradient's stops by walking them from the first, again wherever the
// pixel before it along its row found another: where the stops change from pixel to pixel along the device's rows
// that walk (half the stops) is each pixel's. Rows alike all down the device's `rows` are worked out once.
double stopsSought(const Gradient& gradient, const AffineTransform& toDevice, Point start, Point end, int rows) {
    const double stops = double(gradient.stops().size());
    if (stops < 3 || !Context::isUsableTransform(toDevice)) return 0;
    const AffineTransform toUser = toDevice.inverted();
    const double dx = end.x - start.x, dy = end.y - start.y, squared = dx * dx + dy * dy;
    const double alongRow = std::abs(toUser.a * dx + toUser.b * dy) / squared;
    const double downColumn = std::abs(toUser.c * dx + toUser.d * dy) / squared;
    const double sought = std::min(1.0, stops * alongRow) * (WorkMeter::aSeek + stops / 2 * WorkMeter::aStopSought);
    return downColumn * rows * 65536 < 1 ? sought / std::max(rows, 1) : sought;
}

int wholePixel(double value) { return int(std::clamp(value, -1e9, 1e9)); }

// The device pixels a circle of the user space reaches.
raster::PixelBox deviceBox(const AffineTransform& toDevice, Point center, double radius) {
    const Point at = toDevice.apply(center);
    const double across = radius * std::hypot(toDevice.a, toDevice.c), down = radius * std::hypot(toDevice.b, toDevice.d);
    return {wholePixel(std::floor(at.x - across)), wholePixel(std::floor(at.y - down)),
            wholePixel(std::ceil(at.x + across)), wholePixel(std::ceil(at.y + down))};
}

// The device columns (or rows) between a linear gradient's ends where it runs along the device's rows (or
// columns); everywhere where it runs aslant.
raster::PixelBox deviceBand(const AffineTransform& toDevice, Point start, Point end) {
    const Point from = toDevice.apply(start), to = toDevice.apply(end);
    raster::PixelBox band = everywhere;
    if (std::abs(to.y - from.y) <= 1e-6 * std::abs(to.x - from.x)) {
        band.left = wholePixel(std::floor(std::min(from.x, to.x)));
        band.right = wholePixel(std::ceil(std::max(from.x, to.x)));
    } else if (std::abs(to.x - from.x) <= 1e-6 * std::abs(to.y - from.y)) {
        band.top = wholePixel(std::floor(std::min(from.y, to.y)));
        band.bottom = wholePixel(std::ceil(std::max(from.y, to.y)));
    }
    return band;
}

}  // namespace

void Context::drawLinearGradient(const Gradient& gradient, Point start, Point end, unsigned options) {
    if (clipToGradientFill()) {
        drawLinearGradient(gradient, start, end, options);
        return restore();
    }
    double dx = end.x - start.x, dy = end.y - start.y;
    double length = std::hypot(dx, dy);
    double costAPixel = 0;
    const raster::PixelBox walked = deviceBand(impl_->state.transform, start, end);
    if (length == 0 || !std::isfinite(length) || !admitGradient(*impl_, gradient, false, options, walked, costAPixel))
        return;
    double sought = stopsSought(gradient, impl_->state.transform, start, end, impl_->height);
    if (!(options & (repeatsBeyondEnds | reflectsBeyondEnds)) && sought > 0) {
        // Padded, past its ends no stop is sought: the share of the box between them, by the place along the axis
        // of its corners.
        const raster::PixelBox box = impl_->reachable();
        const AffineTransform toUser = impl_->state.transform.inverted();
        double low = INFINITY, high = -INFINITY;
        for (const int x : {box.left, box.right})
            for (const int y : {box.top, box.bottom}) {
                const Point at = toUser.apply(Point{double(x), double(y)});
                const double t = ((at.x - start.x) * dx + (at.y - start.y) * dy) / (length * length);
                low = std::min(low, t), high = std::max(high, t);
            }
        const double between = std::min(high, 1.0) - std::max(low, 0.0);
        sought = !(between > 0) ? 0 : high > low ? sought * between / (high - low) : sought;
    }
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
            if (!admitPattern(gradient)) return;
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
        if (!admitPattern(gradient)) return;
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
    }, sought, costAPixel);
    cairo_pattern_destroy(pattern);
}

void Context::drawRadialGradient(const Gradient& gradient, Point startCenter, double startRadius, Point endCenter,
                                 double endRadius, unsigned options) {
    if (clipToGradientFill()) {
        drawRadialGradient(gradient, startCenter, startRadius, endCenter, endRadius, options);
        return restore();
    }
    if (startRadius < 0 || endRadius < 0 || (startRadius == 0 && endRadius == 0)) return;
    double costAPixel = 0;
    if (!admitGradient(*impl_, gradient, true, options, deviceBox(impl_->state.transform, endCenter, endRadius), costAPixel))
        return;
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
            if (!admitPattern(gradient)) return;
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
        if (!admitPattern(gradient)) return;
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
    }, 0, costAPixel);
    cairo_pattern_destroy(pattern);
}

}  // namespace gfx
