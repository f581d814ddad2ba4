#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "gfx/Bitmap.h"
#include "gfx/Geometry.h"
#include "gfx/Path.h"

namespace gfx::raster {

// Whole device pixels: columns [left, right), rows [top, bottom).
struct PixelBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool isEmpty() const { return left >= right || top >= bottom; }
    PixelBox intersection(const PixelBox& other) const;
    bool operator==(const PixelBox&) const = default;
};

// A rectangle along the device axes, by its sides (left <= right, top <= bottom).
struct DeviceRectangle {
    double left, top, right, bottom;
};

// The device rectangle `path` is when it is one rectangle with sides along the axes after `toDevice`
// (fillPath fills those by columns and rows); nothing for any other shape. Sides off an axis by no more
// than the rounding of the transform's arithmetic count as along it.
std::optional<DeviceRectangle> deviceRectangle(const Path& path, const AffineTransform& toDevice);

// The pixels within `clip` that clipping to `rectangle` keeps, when each of its sides lies beyond
// `clip` or so near a pixel's edge that a clip mask would hold every pixel whole or not at all;
// nothing when it would hold some in part.
std::optional<PixelBox> wholePixelClip(const DeviceRectangle& rectangle, const PixelBox& clip);

// A colour as the premultiplied ARGB32 pixel Cairo makes of it (through 16 bits per channel).
std::uint32_t premultipliedPixel(double red, double green, double blue, double alpha);
// Its alpha byte alone.
std::uint32_t alphaByte(double alpha);

// A clip's coverage over `box`, a byte a pixel (0 outside the box).
struct Mask {
    PixelBox box;
    PixelBytes coverage;
    // Per row, a run of whole coverage as device columns [first, second) (the longest the mask was
    // made of; none where empty): drawing there needs no look at the bytes.
    std::vector<std::pair<int, int>> wholeRuns;

    const std::uint8_t* row(int y) const {
        return coverage.data() + std::size_t(y - box.top) * (box.right - box.left);
    }
    std::pair<int, int> wholeRun(int y) const {
        return wholeRuns.empty() ? std::pair{0, 0} : wholeRuns[std::size_t(y - box.top)];
    }
};

// Premultiplied ARGB32 pixels, `stride` pixels a row, drawn only inside `clip` and, when there is
// a mask, no more than it covers (`clip` lies within the mask's box).
struct Target {
    std::uint32_t* pixels = nullptr;
    int stride = 0;
    PixelBox clip;
    const Mask* mask = nullptr;
};

// How a fill treats subpaths that overlap. Summed areas are exact where a pixel holds windings 0
// and 1 (or one sign) only and come out a little full where 0 and 2 meet; winding fills whose
// subpaths turn both ways and share pixels are always traced. `exact` always traces the border of
// what the rule covers (a stroke's pieces overlap one another and a band may cross itself), at some
// cost.
enum class Overlaps { summed, exact };

// Fills `path` (mapped by `toDevice`, curves flattened to within `tolerance` device pixels) with
// `source` composited Over, each pixel weighted by the share of its area the fill covers. Returns the
// pixels it may have changed (possibly empty), or nothing without touching the target for paths it
// leaves to Cairo: non-finite or enormous coordinates, more than mostPoints points flattened, and
// edges crossing so densely that tracing their border would cost more than Cairo's sampling. A
// rectangle along the device axes is filled a row of spans at a time, without edges.
std::optional<PixelBox> fillPath(const Path& path, const AffineTransform& toDevice, double tolerance, FillRule rule,
                                 std::uint32_t source, const Target& target, Overlaps overlaps = Overlaps::summed);

// Fills the closed polygons of `points` (device space), each [previous end, end), as fillPath fills a
// path of moves and lines through the same points.
std::optional<PixelBox> fillPolygons(const std::vector<Point>& points, const std::vector<std::uint32_t>& ends,
                                     FillRule rule, std::uint32_t source, const Target& target, Overlaps overlaps);

// The spans a fill covers within `clip`, handed to `write(y, left, right, coverage)` instead of drawn: of `path`
// as fillPath fills it (a rectangle as any path), or of polygons as fillPolygons fills them. Nothing for shapes
// left to Cairo.
using SpanWriter = std::function<void(int y, int left, int right, int coverage)>;
std::optional<PixelBox> pathSpans(const Path& path, const AffineTransform& toDevice, double tolerance, FillRule rule,
                                  const PixelBox& clip, const SpanWriter& write);
std::optional<PixelBox> polygonSpans(const std::vector<Point>& points, const std::vector<std::uint32_t>& ends,
                                     FillRule rule, Overlaps overlaps, const PixelBox& clip, const SpanWriter& write);

// Adds the coverage of the polygons filled as fillPolygons fills them with the winding rule, their
// overlaps traced, into `coverage`'s bytes over its box (saturating); false for polygons left to Cairo.
bool addCoverage(const std::vector<Point>& points, const std::vector<std::uint32_t>& ends, Mask& coverage);
// Draws `coverage` in `source` over the target, as the spans of a fill; the box drawn in.
PixelBox drawCoverage(const Mask& coverage, std::uint32_t source, const Target& target);

// The coverage of `path` filled as a clip inside `clip`, at most `previous`'s where given (whose box
// holds `clip`); nothing for the paths fillPath leaves to Cairo.
std::optional<Mask> clipMask(const Path& path, const AffineTransform& toDevice, double tolerance, FillRule rule,
                             const PixelBox& clip, const Mask* previous);

// One shape of a clip that is the union of several: a path, its rule and the transform taking it to the device.
struct DeviceShape {
    const Path* path;
    FillRule rule;
    AffineTransform toDevice;
};

// The pixels of `clip` the shapes' points reach (their curves' control points too), which unionClipMask covers;
// nothing for coordinates too large to convert.
std::optional<PixelBox> unionBox(std::span<const DeviceShape> shapes, const PixelBox& clip);

// The coverage of the union of `shapes`, each filled as a clip, inside `clip`: each pixel as drawing them all
// opaquely into one mask covers it (a + b - ab). At most `previous`'s where given (whose box holds `clip`);
// nothing when any is a path fillPath leaves to Cairo.
std::optional<Mask> unionClipMask(std::span<const DeviceShape> shapes, double tolerance, const PixelBox& clip,
                                  const Mask* previous);

// Strokes `path` as a hairline, the way browsers draw lines thinner than a device pixel: each segment
// as a quad one pixel wide whose coverage is scaled by the segment's device width (`lineWidth` in
// user space mapped by `toDevice`, which must keep every such width under a pixel). Joins and caps are
// left out (at such widths they are below a pixel's rounding); with caps other than butt, subpaths
// without length are left to Cairo, as are the paths fillPath leaves. Where the path turns back so
// sharply that its quads would add up well past the ink of Cairo's stroke (the union of its pieces),
// nothing is drawn and `overlaps` is set: the exact outline is to be filled instead.
std::optional<PixelBox> strokeHairline(const Path& path, const AffineTransform& toDevice, double tolerance,
                                       double lineWidth, bool buttCaps, std::uint32_t source, const Target& target,
                                       bool& overlaps);

// Beyond this a coordinate's intersections with the clip lose their precision; Cairo gets such paths.
constexpr double largestCoordinate = 1e15;
// A curve needing more segments than this is far larger than any target; Cairo gets it.
constexpr int mostCurveSegments = 1 << 16;

// The most `t` lengthens any vector, as a factor: how wide a line of width 1 gets on the device at its
// widest.
inline double largestStretch(const AffineTransform& t) {
    double xLength = t.a * t.a + t.b * t.b, yLength = t.c * t.c + t.d * t.d, skew = t.a * t.c + t.b * t.d;
    return std::sqrt((xLength + yLength) / 2 + std::hypot((xLength - yLength) / 2, skew));
}

// Paths flattening to more points than this go to Cairo: a few curves far larger than the target, or
// thousands of round corners of a wide pen, would otherwise take gigabytes.
constexpr std::size_t mostPoints = std::size_t(1) << 20;

// How many equal steps of a cubic p0..p3 keep its chords within `tolerance` of it: those where 3/4
// of its largest second difference over the squared count is under the tolerance. Nothing where that
// passes `most` (a curve far larger than any target). Made once for the many curves of a path.
class CurveSteps {
public:
    CurveSteps(double tolerance, int most) : tolerance_(tolerance), limit_(tolerance * tolerance), most_(most) {
        constexpr double fourths[] = {1.0, 16.0, 81.0, 256.0, 625.0, 1296.0, 2401.0, 4096.0};
        for (int i = 0; i < 8; ++i) bounds_[i] = fourths[i] * limit_;
    }

    std::optional<int> operator()(Point p0, Point p1, Point p2, Point p3) const {
        double ddx1 = p0.x - 2 * p1.x + p2.x, ddy1 = p0.y - 2 * p1.y + p2.y;
        double ddx2 = p1.x - 2 * p2.x + p3.x, ddy2 = p1.y - 2 * p2.y + p3.y;
        return forSquared(std::max(ddx1 * ddx1 + ddy1 * ddy1, ddx2 * ddx2 + ddy2 * ddy2));
    }

    // The same for a curve whose larger second difference has this squared length.
    std::optional<int> forSquared(double squared) const {
        // n steps do where 0.75 dd <= n^2 tolerance, or 0.5625 dd^2 <= n^4 tolerance^2: up to eight
        // steps (most curves of a small drawing take one or two) counted without the two square roots.
        double scaled = 0.5625 * squared;
        if (scaled <= bounds_[7]) {
#ifdef __SSE2__
            // Two bounds a comparison; each passed counts -1 in its lane (none passes the last).
            __m128d both = _mm_set1_pd(scaled);
            __m128i passed = _mm_add_epi64(
                _mm_add_epi64(_mm_castpd_si128(_mm_cmpgt_pd(both, _mm_load_pd(bounds_))),
                              _mm_castpd_si128(_mm_cmpgt_pd(both, _mm_load_pd(bounds_ + 2)))),
                _mm_add_epi64(_mm_castpd_si128(_mm_cmpgt_pd(both, _mm_load_pd(bounds_ + 4))),
                              _mm_castpd_si128(_mm_cmpgt_pd(both, _mm_load_pd(bounds_ + 6)))));
            passed = _mm_add_epi64(passed, _mm_unpackhi_epi64(passed, passed));
            int steps = 1 - _mm_cvtsi128_si32(passed);
#else
            int steps = 1;
            for (int i = 0; i < 7; ++i) steps += scaled > bounds_[i];
#endif
            if (steps > most_) return std::nullopt;
            return steps;
        }
        double steps = std::ceil(std::sqrt(0.75 * std::sqrt(squared) / tolerance_));
        if (!(steps <= most_)) return std::nullopt;
        return std::max(1, int(steps));
    }

private:
    double tolerance_, limit_;
    // n^4 tolerance^2 for n from 1 to 8.
    alignas(16) double bounds_[8];
    int most_;
};

// How a wide stroke's outline turns at its corners and ends.
struct StrokeStyle {
    double lineWidth = 1;  // in user space
    enum class Join { miter, round, bevel } join = Join::miter;
    double miterLimit = 10;
    // How an open subpath's ends are drawn (strokeConvex draws closed subpaths only).
    enum class Cap { butt, round, square } cap = Cap::butt;
    // On and off lengths in user space, the first on, and how far into them the line starts (strokeWide
    // only; none: solid).
    std::span<const double> dashes{};
    double dashPhase = 0;
};

// Strokes `path` when its subpaths are all closed and, flattened, convex polygons whose strokes share
// no pixel: each stroke is then the ring between the outline pushed out (joined as `style` says) and
// pushed in, its coverage exact. Nothing without touching the target for any other path, and where
// an inner outline would vanish or fold.
std::optional<PixelBox> strokeConvex(const Path& path, const AffineTransform& toDevice, double tolerance,
                                     const StrokeStyle& style, std::uint32_t source, const Target& target);

// Tests draw each picture with Cairo too, by turning the converter off for the calling thread.
bool scanConverterEnabled();
void setScanConverterEnabled(bool enabled);
// Tests draw a hairline whose quads all lie in its box with each quad's corners tested too, as one the clip
// cuts is drawn, to hold the two ways to one picture.
void setHairlineQuadsTestedOneByOne(bool tested);

}  // namespace gfx::raster
