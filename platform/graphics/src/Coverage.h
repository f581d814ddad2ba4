#pragma once

// The converter's common part: paths flattened into device polygons, their edges' areas accumulated
// into cells, and each row's spans of equal coverage handed on. Inline, as the fills and strokes
// drawn through it need every step of it kept in their own loops.

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "ScanConverter.h"

namespace gfx::raster {

// Subpaths smaller than this cannot change a pixel visibly, whichever way they turn.
constexpr double negligibleArea = 1.0 / 1024;

// Points in device space.
using Vertex = Point;

// The whole number at or above a value well within an int's range: shorter than the rounding
// sequence the baseline instruction set needs for std::ceil.
inline int ceilToInt(double value) {
    int whole = int(value);
    return whole + (value > whole);
}

// And the whole number at or below one.
inline int floorToInt(double value) {
    int whole = int(value);
    return whole - (value < whole);
}

// One polygon a subpath, its vertices in `vertices` from `first` to the next subpath's first.
struct Subpath {
    std::size_t first;
    double twiceArea;  // positive when it turns clockwise on screen (y down)
    bool closed = false;
};

// A line of the fill's outline inside the box's rows, top to bottom, in box coordinates.
struct Segment {
    Vertex a, b;
    double direction;
};

// Whole device pixels: left, top, right, bottom.
using Bounds = std::array<double, 4>;

// Whether two such bounds have a pixel in common.
inline bool sharePixel(const Bounds& a, const Bounds& b) { return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3]; }

// One subpath's stroke: its outlines pushed out and in at [first, end) of the scratch's.
struct Ring {
    std::size_t outerFirst, outerEnd, innerFirst, innerEnd;
    Bounds bounds;
};

// A hairline segment: the scratch's vertices it runs between, its normal (half a pixel long) and its
// device width.
struct HairlineSegment {
    std::uint32_t from, to;
    Vertex normal;
    double width;
};

// Scratch kept by each thread: a small path allocates nothing.
struct Scratch {
    std::vector<Vertex> vertices;
    std::vector<Subpath> subpaths;
    // Per box row, the signed area changes of its cells (width + 2 a row, zero between fills).
    std::vector<float> cells;
    // Per box row, one bit a cell, set where a line changed it: the sweep visits only those. A row's
    // words follow one whose bits say which of them hold any (all zero between fills).
    std::vector<std::uint64_t> touched;
    std::vector<Segment> segments;
    // A wide stroke's polygon, its edges' outward normals and its outlines pushed out and in.
    std::vector<Vertex> outline, normals, outer, inner;
    std::vector<Ring> rings;
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> active;
    std::vector<std::size_t> bandStarts;
    std::vector<HairlineSegment> hairlineSegments;
};

inline thread_local Scratch scratch;

// A vertex's two coordinates side by side, with SSE2 in one register: a curve's arithmetic is the
// same for x as for y, and both at once take half the instructions. Each operation rounds as the
// one it stands for does on each coordinate.
struct Lanes {
#ifdef __SSE2__
    __m128d v;
    Lanes(__m128d both) : v(both) {}
    Lanes(Vertex p) : v(_mm_set_pd(p.y, p.x)) {}
    Vertex vertex() const {
        Vertex p;
        _mm_storeu_pd(&p.x, v);
        return p;
    }
    static Lanes same(double value) { return _mm_set1_pd(value); }
    Lanes operator+(Lanes o) const { return _mm_add_pd(v, o.v); }
    Lanes operator-(Lanes o) const { return _mm_sub_pd(v, o.v); }
    Lanes operator*(Lanes o) const { return _mm_mul_pd(v, o.v); }
    Lanes operator-() const { return _mm_xor_pd(v, _mm_set1_pd(-0.0)); }
    // Each lane as std::abs gives it.
    Lanes magnitude() const { return _mm_andnot_pd(_mm_set1_pd(-0.0), v); }
    // Each lane as std::min(a, b) and std::max(a, b) give it: `a`'s unless `b`'s is below (above) it.
    friend Lanes lower(Lanes a, Lanes b) { return _mm_min_pd(b.v, a.v); }
    friend Lanes higher(Lanes a, Lanes b) { return _mm_max_pd(b.v, a.v); }
    // Whether a lane of `a` is at most the same of `b`.
    friend bool anyAtMost(Lanes a, Lanes b) { return _mm_movemask_pd(_mm_cmple_pd(a.v, b.v)) != 0; }
    // Whether either lane is not a number.
    bool eitherNaN() const { return _mm_movemask_pd(_mm_cmpunord_pd(v, v)) != 0; }
    // The first lane plus the second.
    double sum() const { return _mm_cvtsd_f64(_mm_add_sd(v, _mm_unpackhi_pd(v, v))); }
    // floorToInt of the first lane and ceilToInt of the second, both truncated at once.
    std::pair<int, int> floorAndCeil() const {
        const __m128i whole = _mm_cvttpd_epi32(v);
        const __m128d back = _mm_cvtepi32_pd(whole);
        // -1 where the truncation went the wrong way (up for the floor, down for the ceiling), as two ints.
        const __m128d wrong = _mm_move_sd(_mm_cmplt_pd(back, v), _mm_cmplt_pd(v, back));
        const __m128i steps = _mm_shuffle_epi32(_mm_castpd_si128(wrong), _MM_SHUFFLE(3, 3, 2, 0));
        // The floor adds its step, the ceiling takes it away.
        const __m128i ceiling = _mm_set_epi32(0, 0, -1, 0);
        const __m128i rounded = _mm_sub_epi32(_mm_add_epi32(whole, _mm_xor_si128(steps, ceiling)), ceiling);
        return {_mm_cvtsi128_si32(rounded), _mm_cvtsi128_si32(_mm_shuffle_epi32(rounded, 1))};
    }
    // Whether both lanes are at most `limit` in size.
    bool within(double limit) const {
        return _mm_movemask_pd(_mm_cmple_pd(magnitude().v, _mm_set1_pd(limit))) == 3;
    }
    // a.x * b.y - a.y * b.x: twice the signed area of the triangle of the origin, `a` and `b`.
    friend double cross(Lanes a, Lanes b) {
        __m128d products = _mm_mul_pd(a.v, _mm_shuffle_pd(b.v, b.v, 1));
        return _mm_cvtsd_f64(_mm_sub_sd(products, _mm_unpackhi_pd(products, products)));
    }
    // The sum of the squares of the coordinates.
    double squaredLength() const {
        __m128d squares = _mm_mul_pd(v, v);
        return _mm_cvtsd_f64(_mm_add_sd(squares, _mm_unpackhi_pd(squares, squares)));
    }
#else
    double x, y;
    Lanes(Vertex p) : x(p.x), y(p.y) {}
    Lanes(double x, double y) : x(x), y(y) {}
    Vertex vertex() const { return {x, y}; }
    static Lanes same(double value) { return {value, value}; }
    Lanes operator+(Lanes o) const { return {x + o.x, y + o.y}; }
    Lanes operator-(Lanes o) const { return {x - o.x, y - o.y}; }
    Lanes operator*(Lanes o) const { return {x * o.x, y * o.y}; }
    Lanes operator-() const { return {-x, -y}; }
    Lanes magnitude() const { return {std::abs(x), std::abs(y)}; }
    friend Lanes lower(Lanes a, Lanes b) { return {std::min(a.x, b.x), std::min(a.y, b.y)}; }
    friend Lanes higher(Lanes a, Lanes b) { return {std::max(a.x, b.x), std::max(a.y, b.y)}; }
    friend bool anyAtMost(Lanes a, Lanes b) { return a.x <= b.x || a.y <= b.y; }
    bool eitherNaN() const { return std::isnan(x) || std::isnan(y); }
    double sum() const { return x + y; }
    std::pair<int, int> floorAndCeil() const { return {floorToInt(x), ceilToInt(y)}; }
    bool within(double limit) const { return std::abs(x) <= limit && std::abs(y) <= limit; }
    friend double cross(Lanes a, Lanes b) { return a.x * b.y - b.x * a.y; }
    double squaredLength() const { return x * x + y * y; }
#endif
};

// A transform's columns as lanes: maps a point as apply() does, both coordinates at once.
struct LanesTransform {
    explicit LanesTransform(const AffineTransform& t)
        : x(Vertex{t.a, t.b}), y(Vertex{t.c, t.d}), offset(Vertex{t.tx, t.ty}) {}
    Lanes operator()(Point p) const { return x * Lanes::same(p.x) + y * Lanes::same(p.y) + offset; }
    Lanes x, y, offset;
};

// Flattens a path into device-space polygons, their bounds and signed areas.
struct Polygons {
    const std::vector<Point>& points;
    const std::vector<std::uint32_t>& ends;
};

class Flattener {
public:
    Flattener(const AffineTransform& t, double tolerance, Scratch& s)
        : t_(t), map_(t), steps_(tolerance, mostCurveSegments), s_(s) {
        s_.vertices.clear();
        s_.subpaths.clear();
    }

    bool run(const Path& path) {
        // The current point and subpath start in both spaces: each point is mapped once, where it
        // first comes, and a curve starts from the device point its predecessor ended at.
        Point current{}, start{};
        Lanes currentDevice = map(current), startDevice = currentDevice;
        for (const PathElement& element : path.elements()) {
            const auto& p = element.points;
            switch (element.kind) {
                case PathElement::Kind::moveTo:
                    closeSubpath();
                    currentDevice = startDevice = map(p[0]);
                    begin(currentDevice);
                    current = start = p[0];
                    break;
                case PathElement::Kind::lineTo:
                    currentDevice = map(p[0]);
                    add(currentDevice);
                    current = p[0];
                    break;
                case PathElement::Kind::quadCurveTo: {
                    auto [c1, c2] = cubicControls(current, p[0], p[1]);
                    Lanes end = map(p[1]);
                    if (!cubic(currentDevice, map(c1), map(c2), end)) return false;
                    current = p[1], currentDevice = end;
                    break;
                }
                case PathElement::Kind::curveTo: {
                    Lanes end = map(p[2]);
                    if (!cubic(currentDevice, map(p[0]), map(p[1]), end)) return false;
                    current = p[2], currentDevice = end;
                    break;
                }
                case PathElement::Kind::closeSubpath:
                    // A fill closes every subpath anyway; what follows starts again from its start.
                    if (!s_.subpaths.empty()) s_.subpaths.back().closed = true;
                    closeSubpath();
                    begin(startDevice);
                    current = start, currentDevice = startDevice;
                    break;
            }
        }
        closeSubpath();
        settle();
        return usable();
    }

    // Closed polygons already in device space, each [previous end, end) of the points, as a path of
    // moves and lines would give them.
    bool run(const Polygons& polygons) {
        std::size_t first = 0;
        for (std::uint32_t end : polygons.ends) {
            closeSubpath();
            begin(Lanes(t_.apply(polygons.points[first])));
            for (std::size_t i = first + 1; i < end; ++i) add(Lanes(t_.apply(polygons.points[i])));
            first = end;
        }
        closeSubpath();
        settle();
        return usable();
    }

    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    // Clip box in device space, to draw curves that cannot reach it as their chords.
    double clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;

private:
    // Coordinates and the count of points are checked once a path (the count also before a curve
    // adds its points).
    bool usable() const { return inRange_ && s_.vertices.size() <= mostPoints; }

    // t_.apply(p), both coordinates at once.
    Lanes map(Point p) const { return map_(p); }

    void begin(Lanes point) {
        s_.subpaths.push_back({s_.vertices.size(), 0});
        area_ = 0;
        inRange_ &= point.within(largestCoordinate);
        bound(point, point);
        s_.vertices.push_back(point.vertex());
    }

    void add(Lanes point) {
        if (s_.subpaths.empty()) return begin(point);
        inRange_ &= point.within(largestCoordinate);
        Vertex last = s_.vertices.back(), v = point.vertex();
        area_ += last.x * v.y - v.x * last.y;
        bound(point, point);
        s_.vertices.push_back(v);
    }

    // Widens the bounds to the box from `low` to `high`: both coordinates at once, as std::min and
    // std::max would take each.
    void bound(Lanes low, Lanes high) {
        low_ = lower(low_, low);
        high_ = higher(high_, high);
    }

    // The bounds as the four numbers the callers read.
    void settle() {
        const Vertex low = low_.vertex(), high = high_.vertex();
        minX = low.x, minY = low.y, maxX = high.x, maxY = high.y;
    }

    void closeSubpath() {
        if (s_.subpaths.empty()) return;
        Subpath& subpath = s_.subpaths.back();
        Vertex first = s_.vertices[subpath.first], last = s_.vertices.back();
        subpath.twiceArea = area_ + (last.x * first.y - first.x * last.y);
    }

    bool cubic(Lanes p0, Lanes p1, Lanes p2, Lanes p3) {
        // A curve wholly above, below or right of the clip draws nothing there, and one wholly to its
        // left only adds winding as its chord does.
        Lanes hullLow = lower(lower(lower(p0, p1), p2), p3), hullHigh = higher(higher(higher(p0, p1), p2), p3);
        if (anyAtMost(hullHigh, Vertex{clipLeft, clipTop}) || anyAtMost(Vertex{clipRight, clipBottom}, hullLow)) {
            add(p3);
            return true;
        }
        const Lanes two = Lanes::same(2), three = Lanes::same(3);
        Lanes dd1 = p0 - two * p1 + p2, dd2 = p1 - two * p2 + p3;
        auto steps = steps_.forSquared(std::max(dd1.squaredLength(), dd2.squaredLength()));
        if (!steps || s_.vertices.size() + std::size_t(*steps) > mostPoints) return false;
        if (s_.subpaths.empty()) begin(p0);
        // The curve lies within the hull of its control points: their coordinates stand for its own.
        inRange_ &= p0.within(largestCoordinate) && p1.within(largestCoordinate) && p2.within(largestCoordinate) &&
                    p3.within(largestCoordinate);
        int n = *steps;
        // The points' bounds and area stay in registers until the curve is done.
        Lanes low = p3, high = p3, last = s_.vertices.back();
        double area = 0;
        auto emit = [&](Lanes v) {
            area += cross(last, v);
            low = lower(low, v);
            high = higher(high, v);
            s_.vertices.push_back(v.vertex());
            last = v;
        };
        // A third of a small drawing's curves are one chord, with no points between its ends.
        if (n > 1) {
            // Forward differences of the polynomial: three additions a point. Few steps take their
            // reciprocal from a table rather than a division.
            static constexpr double reciprocals[] = {0, 1, 1 / 2.0, 1 / 3.0, 1 / 4.0, 1 / 5.0, 1 / 6.0, 1 / 7.0, 1 / 8.0};
            double h = n <= 8 ? reciprocals[n] : 1.0 / n, h2 = h * h, h3 = h2 * h;
            const Lanes step = Lanes::same(h), step2 = Lanes::same(h2), step3 = Lanes::same(h3);
            Lanes a = -p0 + three * p1 - three * p2 + p3, b = three * dd1, c = three * (p1 - p0);
            Lanes sixA = Lanes::same(6) * a;
            Lanes d1 = a * step3 + b * step2 + c * step, d2 = sixA * step3 + two * b * step2, d3 = sixA * step3;
            Lanes point = p0;
            for (int i = 1; i < n; ++i) {
                point = point + d1;
                d1 = d1 + d2;
                d2 = d2 + d3;
                emit(point);
            }
        }
        emit(p3);
        area_ += area;
        bound(low, high);
        return true;
    }

    const AffineTransform& t_;
    // The transform's columns: what a unit of x and of y adds, and where the origin goes.
    LanesTransform map_;
    CurveSteps steps_;
    Scratch& s_;
    // The points' bounds so far, lowest and highest of each coordinate.
    Lanes low_ = Lanes::same(INFINITY), high_ = Lanes::same(-INFINITY);
    // The open subpath's twice area, filed when it closes.
    double area_ = 0;
    bool inRange_ = true;
};

// Accumulates each line's signed area into the cells of the box rows it crosses: a cell receives the
// part of the pixel right of the line, the next cell the rest, so a running sum along a row gives
// each pixel's covered area weighted by winding. On large boxes the lines are kept first, then
// accumulated a band of rows at a time, so the cells being written stay in the cache.
class Accumulator {
public:
    Accumulator(const PixelBox& box, Scratch& s) : left_(box.left), top_(box.top), s_(s) {
        width_ = box.right - box.left;
        bottom_ = box.bottom - box.top;
        xEnd_ = width_, yEnd_ = bottom_;
        // Boxes of up to 1 MiB of cells (a core's second-level cache) take the lines as they come;
        // larger ones are accumulated about 64 KiB of cells a band.
        bandRows_ = std::size_t(width_ + 2) * bottom_ <= 262144 ? bottom_ : std::clamp(16384 / (width_ + 2), 1, bottom_);
        bandBottom_ = bandRows_;
        // One cell more: a steep piece at the box's right side adds nothing to a third cell past its row.
        std::size_t needed = std::size_t(width_ + 2) * bandRows_ + 1;
        if (s_.cells.size() < needed) s_.cells.resize(needed, 0.0f);
        words_ = (width_ + 2 + 63) / 64;
        // One word more: a piece at the last word of the band's last row marks nothing in the next.
        std::size_t touchedWords = std::size_t(words_ + 1) * bandRows_ + 1;
        if (s_.touched.size() < touchedWords) s_.touched.resize(touchedWords, 0);
        cells_ = s_.cells.data(), touched_ = s_.touched.data();
        s_.segments.clear();
    }

    // In device space; `sign` turns the line's winding around. With `walkInline`, a line within the box's
    // sides walks its rows and columns inline rather than through a call.
    template <bool walkInline = false>
    __attribute__((always_inline)) void line(Vertex a, Vertex b, double sign) {
        a.x -= left_, b.x -= left_, a.y -= top_, b.y -= top_;
        if (a.y == b.y) return;
        double direction = sign;
        if (a.y > b.y) std::swap(a, b), direction = -direction;
        if (b.y <= 0 || a.y >= yEnd_) return;
        if (a.y < 0) a = {xAt(a, b, 0), 0};
        if (b.y > yEnd_) b = {xAt(a, b, yEnd_), yEnd_};
        if (bandRows_ == bottom_) return clippedX<false, walkInline>(a, b, direction);
        s_.segments.push_back({a, b, direction});
    }

    // The closed outline `corners` (device space), each line with winding `sign`. A hairline adds one
    // such quad a segment: wholly inside an unbanded box, its lines go straight to the rows. A caller
    // that knows every corner lies inside says so with `inside`, and the corners are not tested. Inline
    // in its one caller's loop: called, its frame and the corners passed through memory weighed on every
    // hairline segment.
    __attribute__((always_inline)) void quad(const Vertex (&corners)[4], double sign, bool inside = false) {
        // The first corner again at the end: each side's ends are neighbours.
        Vertex inBox[5];
        for (int i = 0; i < 4; ++i) inBox[i] = {corners[i].x - left_, corners[i].y - top_};
        inBox[4] = inBox[0];
        const auto allInside = [&] {
            if (bandRows_ != bottom_) return false;
            for (int i = 0; i < 4; ++i) {
                const Vertex& v = inBox[i];
                if (!(v.x >= 0 && v.x <= xEnd_ && v.y >= 0 && v.y <= yEnd_)) return false;
            }
            return true;
        };
        // A corner said to be inside that is not would be walked into cells past the box's.
        assert(!inside || allInside());
        if (!inside) inside = allInside();
        if (!inside) {
            for (int i = 0; i < 4; ++i) line(corners[i], corners[(i + 1) % 4], sign);
            return;
        }
        // One walk, inline, taken four times: a call for each side weighed on a hairline's short ones.
#pragma GCC unroll 1
        for (int i = 0; i < 4; ++i) {
            Vertex a = inBox[i], b = inBox[i + 1];
            double direction = sign;
            if (!(a.y < b.y)) std::swap(a, b), direction = -sign;
            rows<false, true>(a, b, direction);
        }
    }

    int width() const { return width_; }
    int words() const { return words_; }
    int bandRows() const { return bandRows_; }

    // The touched bits of a row of the band: first the word whose bit k stands for the row's word k
    // (the last bit for all from word 63 on), then the row's words.
    std::uint64_t* touchedRow(int inBand) const { return touched_ + std::size_t(inBand) * (words_ + 1); }
    // The cells of a row of the band.
    float* cellRow(int inBand) const { return cells_ + std::size_t(inBand) * (width_ + 2); }

    // Hands `visit` each touched cell of a row of the band, left to right.
    template <typename Visit>
    void forEachTouched(int inBand, Visit visit) const {
        float* cell = cellRow(inBand);
        const std::uint64_t* touchedRow = this->touchedRow(inBand);
        const std::uint64_t* touched = touchedRow + 1;
        for (std::uint64_t which = touchedRow[0]; which; which &= which - 1) {
            int word = std::countr_zero(which);
            for (int end = word < 63 ? word + 1 : words_; word < end; ++word)
                for (std::uint64_t bits = touched[word]; bits; bits &= bits - 1) visit(cell[word * 64 + std::countr_zero(bits)]);
        }
    }

    // Empties a row of the band for other lines.
    void clearRow(int inBand) {
        forEachTouched(inBand, [](float& cell) { cell = 0; });
        std::uint64_t* touched = touchedRow(inBand);
        std::fill(touched, touched + words_ + 1, 0);
    }

    // Accumulates the lines reaching rows [top, top + bandRows()) into the band's cells, each row's
    // cells at (row - top) * (width() + 2), then hands each row to `sweep(row)`.
    template <typename Sweep>
    void bands(Sweep sweep) {
        if (bandRows_ == bottom_) {
            for (int row = 0; row < bottom_; ++row) sweep(row);
            return;
        }
        auto& segments = s_.segments;
        // Lines by their first band; those reaching further stay active for the next.
        int bandCount = (bottom_ + bandRows_ - 1) / bandRows_;
        auto& starts = s_.bandStarts;
        starts.assign(bandCount + 1, 0);
        for (const Segment& segment : segments) ++starts[int(segment.a.y) / bandRows_ + 1];
        for (int band = 0; band < bandCount; ++band) starts[band + 1] += starts[band];
        s_.order.resize(segments.size());
        for (std::uint32_t i = 0; i < segments.size(); ++i)
            s_.order[starts[int(segments[i].a.y) / bandRows_]++] = i;
        auto& active = s_.active;
        active.clear();
        std::size_t next = 0;
        for (int band = 0; band < bandCount; ++band) {
            bandTop_ = band * bandRows_;
            bandBottom_ = std::min(bottom_, bandTop_ + bandRows_);
            for (; next < s_.order.size() && int(segments[s_.order[next]].a.y) < bandBottom_; ++next)
                active.push_back(s_.order[next]);
            std::size_t kept = 0;
            for (std::uint32_t index : active) {
                const Segment& segment = segments[index];
                clippedX<true>(segment.a, segment.b, segment.direction);
                if (segment.b.y > bandBottom_) active[kept++] = index;
            }
            active.resize(kept);
            for (int row = bandTop_; row < bandBottom_; ++row) sweep(row);
        }
    }

private:
    static double xAt(Vertex a, Vertex b, double y) { return a.x + (b.x - a.x) * ((y - a.y) / (b.y - a.y)); }

    // Splits at the box's sides: left of it a line adds winding along the left side, right of it nothing.
    // Inline, as line() is: most lines are short, and a call for each weighed on them.
    template <bool banded, bool walkInline = false>
    __attribute__((always_inline)) void clippedX(Vertex a, Vertex b, double direction) {
        double lo = std::min(a.x, b.x), hi = std::max(a.x, b.x);
        if (hi <= 0) return rows<banded>({0, a.y}, {0, b.y}, direction);
        if (lo >= xEnd_) return;
        if (lo < 0) {
            double y = a.y + (b.y - a.y) * ((0 - a.x) / (b.x - a.x));
            Vertex at{0, std::clamp(y, a.y, b.y)};
            // The rest starts or ends on the left side, where it cannot pass it again.
            if (a.x < 0) {
                rows<banded>({0, a.y}, at, direction);
                a = at;
            } else {
                rows<banded>(at, {0, b.y}, direction);
                b = at;
            }
        }
        if (hi > xEnd_) {
            double y = a.y + (b.y - a.y) * ((xEnd_ - a.x) / (b.x - a.x));
            Vertex at{xEnd_, std::clamp(y, a.y, b.y)};
            return a.x > xEnd_ ? rows<banded>(at, b, direction) : rows<banded>(a, at, direction);
        }
        rows<banded, walkInline>(a, b, direction);
    }

    // a.y < b.y, both inside the box. A line within one cell (most of a small drawing's curves are
    // such) goes straight to inColumn: it needs no slope, nor the set-up of the walk over rows and
    // columns below.
    template <bool banded, bool walkInline = false>
    __attribute__((always_inline)) void rows(Vertex a, Vertex b, double direction) {
        if (a.y >= b.y) return;
        int row = int(a.y);
        double lo = std::min(a.x, b.x), hi = std::max(a.x, b.x);
        int column = int(lo);
        bool oneColumn = hi <= column + 1;
        if (!(b.y <= row + 1 && oneColumn)) {
            if constexpr (walkInline)
                return walkRowsAndColumns<banded>(a.x, a.y, b.x, b.y, direction, row, column, oneColumn);
            return rowsAndColumns<banded>(a.x, a.y, b.x, b.y, direction, row, column, oneColumn);
        }
        // What is split off along the box's left side may lie in another band's rows.
        if constexpr (banded)
            if (row < bandTop_ || row >= bandBottom_) return;
        inColumn<banded>(column, row, row, a.y, b.y, a.x, b.x, 0, direction);
    }

    // a.y < b.y, both inside the box. The x where the line crosses a row's side lies between its
    // ends, off by a few units in the last place at most, so no column is clamped. Unless `banded`,
    // the band is the box: the line's rows and ends are its own, with nothing to clamp. The helpers
    // below are kept inline in both kinds, as they were with one caller. `first`, `column` and
    // `oneColumn` are the line's first row, its ends' first column and whether it stays in that one,
    // as rows() found them (in a band, those of the stretch within it are worked out again). The ends come
    // as numbers: passed as points, they were stored and loaded again as pairs, a load the stores
    // could not forward.
    template <bool banded>
    void rowsAndColumns(double ax, double ay, double bx, double by, double direction, int first, int column,
                        bool oneColumn) {
        walkRowsAndColumns<banded>(ax, ay, bx, by, direction, first, column, oneColumn);
    }

    // What rowsAndColumns does, inline where it is called.
    template <bool banded>
    __attribute__((always_inline)) void walkRowsAndColumns(double ax, double ay, double bx, double by, double direction,
                                                           int first, int column, bool oneColumn) {
        const Vertex a{ax, ay}, b{bx, by};
        // Both slopes in one division: lines crossing columns need what a unit of x rises, and
        // working it out from the other slope would wait for that division first.
#ifdef __SSE2__
        __m128d slopes = _mm_div_pd(_mm_set_pd(b.y - a.y, b.x - a.x), _mm_set_pd(b.x - a.x, b.y - a.y));
        double dxdy = _mm_cvtsd_f64(slopes), dydx = _mm_cvtsd_f64(_mm_unpackhi_pd(slopes, slopes));
#else
        double dxdy = (b.x - a.x) / (b.y - a.y), dydx = 1 / dxdy;
#endif
        // A line too flat for its slope to be a number rises by far less than a pixel's rounding.
        if (!std::isfinite(dxdy)) return;
        auto xAt = [&](double y) { return a.x + (y - a.y) * dxdy; };
        int last = ceilToInt(b.y) - 1;
        double top = a.y, bottom = b.y, xTop = a.x, xBottom = b.x;
        if constexpr (banded) {
            first = std::max(first, bandTop_), last = std::min(bandBottom_ - 1, last);
            if (first > last) return;
            top = std::max(a.y, double(first)), bottom = std::min(b.y, double(last + 1));
            // Ends within the band are the line's own: the column test need not wait for the slope.
            if (a.y < first) xTop = xAt(top);
            if (b.y > last + 1) xBottom = xAt(bottom);
            column = int(std::min(xTop, xBottom));
            oneColumn = std::max(xTop, xBottom) <= column + 1;
        }
        if (oneColumn)
            return inColumn<banded>(column, first, last, top, bottom, xTop, xBottom, dxdy, direction);
        // Its height a unit of x, the same in every row.
        double perX = direction * std::abs(dydx);
        // The words its rows' cells fall in, marked once for the line rather than worked out a row: a
        // column a row's x gives may be one less (an x a few units in the last place under a whole
        // number), the steep ones' third cell two more, though never past the row's last word. A word
        // marked with no cell in a row costs the sweep a look at it.
        int lowest = std::max(0, column - 1) >> 6;
        int highest = std::min((int(std::max(xTop, xBottom)) + 2) >> 6, words_ - 1);
        std::uint64_t which = wordBits(lowest, highest);
        // Where the line leaves a row is where it enters the next. The rows between the first and the
        // last are whole: their height is the direction itself.
        auto walk = [&](auto inRow) __attribute__((always_inline)) {
            if (first == last) return inRow(first, xTop, xBottom, (bottom - top) * direction);
            double y = first + 1, x0 = xAt(y);
            inRow(first, xTop, x0, (y - top) * direction);
            for (int row = first + 1; row < last; ++row) {
                double x1 = xAt(y += 1);
                inRow(row, x0, x1, direction);
                x0 = x1;
            }
            inRow(last, x0, xBottom, (bottom - last) * direction);
        };
        // Steep, a line crosses at most two columns a row: those take the same steps whatever they
        // cross.
        if (std::abs(dxdy) <= 1) {
            // Taken once: written as bytes, the marks below could otherwise be any of these, read again a row.
            float* const cells = cells_;
            std::uint64_t* const touchedRows = touched_;
            const std::size_t stride = width_ + 2, touchedStride = words_ + 1;
            const int top = bandTopOf<banded>();
            return walk([&](int row, double x0, double x1, double height) __attribute__((always_inline)) {
                std::size_t inBand = row - top;
                twoColumns(cells + inBand * stride, touchedRows + inBand * touchedStride, x0, x1, height, perX,
                           which);
            });
        }
        walk([&](int row, double x0, double x1, double height)
                 __attribute__((always_inline)) { cells<banded>(row, x0, x1, height, perX, which); });
    }

    // The first row of the band being accumulated: unbanded, the band is the whole box, from row 0.
    template <bool banded>
    int bandTopOf() const {
        return banded ? bandTop_ : 0;
    }

    // A line within one column from row `first` to `last`: each row's piece adds its height, split
    // between the column's cell and the next by its mean x. The rows between the ends are whole.
    template <bool banded>
    __attribute__((always_inline)) void inColumn(int column, int first, int last, double top, double bottom,
                                                 double xTop, double xBottom, double dxdy, double direction) {
        const std::size_t stride = width_ + 2, touchedStride = words_ + 1;
        float* cell = cells_ + std::size_t(first - bandTopOf<banded>()) * stride + column;
        std::uint64_t* touched = touchedRow(first - bandTopOf<banded>());
        // Both cells' bits; the second may be the next word's first, whose bit in the first word is
        // the next one (bit 63 stands for all words from the 63rd on).
        const int word = column >> 6;
        const bool spills = (column & 63) == 63;
        const std::uint64_t which = (std::uint64_t(1) | std::uint64_t(spills) << 1) << std::min(word, 63);
        // Inline: left out of line, as the compiler chose to, it costs a call a row.
        auto add = [&](double height, double meanX) __attribute__((always_inline)) {
            double right = height * (meanX - column);
            cell[0] += float(height - right);
            cell[1] += float(right);
            touched[0] |= which;
            if constexpr (std::endian::native == std::endian::little) {
                // The two bits lie within the two bytes from the first one's: one write to those, with
                // no test for a word boundary between them.
                std::uint16_t two;
                char* at = reinterpret_cast<char*>(touched + 1) + (column >> 3);
                std::memcpy(&two, at, 2);
                two |= std::uint16_t(3u << (column & 7));
                std::memcpy(at, &two, 2);
            } else {
                touched[1 + word] |= std::uint64_t(3) << (column & 63);
                if (spills) touched[2 + word] |= 1;
            }
            cell += stride;
            touched += touchedStride;
        };
        if (first == last) return add((bottom - top) * direction, (xTop + xBottom) * 0.5);
        double xFirst = xTop + (first + 1 - top) * dxdy, xLast = xBottom - (bottom - last) * dxdy;
        add((first + 1 - top) * direction, (xTop + xFirst) * 0.5);
        double meanX = xFirst + dxdy * 0.5;
        for (int row = first + 1; row < last; ++row, meanX += dxdy) add(direction, meanX);
        add((bottom - last) * direction, (xLast + xBottom) * 0.5);
    }

    // What a steep line adds in one row, from x0 to x1 (the row's cells and touched bits given),
    // `height` its signed height and `perX` that a unit of x, as cells() adds it but without a branch:
    // the column it starts in and the next. What it gives the next column comes to exactly nothing
    // where it does not reach it, and only then is the third cell left unmarked.
    __attribute__((always_inline)) static void twoColumns(float* cell, std::uint64_t* touched, double x0,
                                                          double x1, double height, double perX,
                                                          std::uint64_t which) {
        double lo = std::min(x0, x1), hi = std::max(x0, x1);
        int column = int(lo);
        double middle = std::min(hi, double(column + 1));
        double next = perX * (hi - middle), here = height - next;
        double hereRight = here * ((lo + middle) * 0.5 - column), nextRight = next * ((middle + hi) * 0.5 - (column + 1));
        cell[column] += float(here - hereRight);
        cell[column + 1] += float(hereRight + next - nextRight);
        cell[column + 2] += float(nextRight);
        std::uint32_t bits = 3u | std::uint32_t(hi > middle) << 2;
        if constexpr (std::endian::native == std::endian::little) {
            // The three bits lie within the four bytes from the first one's: one write to those, where
            // words of 64 take two for the bits passing into the next.
            std::uint32_t four;
            char* at = reinterpret_cast<char*>(touched + 1) + (column >> 3);
            std::memcpy(&four, at, 4);
            four |= bits << (column & 7);
            std::memcpy(at, &four, 4);
        } else {
            int word = column >> 6, shift = column & 63;
            touched[1 + word] |= std::uint64_t(bits) << shift;
            touched[2 + word] |= (std::uint64_t(bits) >> 1) >> (63 - shift);
        }
        touched[0] |= which;
    }

    // One row's piece of a line from x0 to x1, `height` its signed height and `perX` that a unit of x.
    template <bool banded>
    __attribute__((always_inline)) void cells(int row, double x0, double x1, double height, double perX,
                                              std::uint64_t which) {
        row -= bandTopOf<banded>();
        float* cell = cells_ + std::size_t(row) * (width_ + 2);
        std::uint64_t* touched = touchedRow(row);
        double lo = std::min(x0, x1), hi = std::max(x0, x1);
        int first = int(lo);
        int last = std::max(first, ceilToInt(hi) - 1);
        touched[0] |= which;
        touch(touched, first, last + 1);
        if (first == last) {
            double right = height * (lo + hi) * 0.5 - height * first;  // height times the mean offset
            cell[first] += float(height - right);
            cell[first + 1] += float(right);
            return;
        }
        // The end columns hold part of the line's width; those between hold a whole pixel of it, its
        // area split evenly between the cell and the next.
        auto partial = [&](int column, double from, double to) __attribute__((always_inline)) {
            double h = perX * (to - from);
            double right = h * ((from + to) * 0.5 - column);
            cell[column] += float(h - right);
            cell[column + 1] += float(right);
        };
        partial(first, lo, double(first + 1));
        if (last > first + 1) {
            // Each cell between takes the half its own column gives it and the half of the column
            // before it, in one addition.
            float half = float(perX * 0.5), whole = float(perX);
            cell[first + 1] += half;
            for (int column = first + 2; column < last; ++column) cell[column] += whole;
            cell[last] += half;
        }
        partial(last, double(last), hi);
    }

    // The bits standing for words [first, last] in the first word of a touchedRow().
    static std::uint64_t wordBits(int first, int last) {
        return (std::uint64_t(2) << std::min(last, 63)) - (std::uint64_t(1) << std::min(first, 63));
    }

    // Sets the bits of columns [first, last] in a touchedRow(), a word at a time (not the words' bits).
    __attribute__((always_inline)) static void touch(std::uint64_t* row, int first, int last) {
        int firstWord = first >> 6, lastWord = last >> 6;
        std::uint64_t* touched = row + 1;
        std::uint64_t head = ~std::uint64_t(0) << (first & 63), tail = ~std::uint64_t(0) >> (63 - (last & 63));
        if (firstWord == lastWord) {
            touched[firstWord] |= head & tail;
            return;
        }
        touched[firstWord] |= head;
        for (int word = firstWord + 1; word < lastWord; ++word) touched[word] = ~std::uint64_t(0);
        touched[lastWord] |= tail;
    }

    // The box's left and top, as the lines' coordinates are: not converted again for every line.
    double left_, top_;
    Scratch& s_;
    // The scratch's cells and touched bits, taken once they are large enough: nothing resizes them
    // while the accumulator lives (one render at a time a thread), and a pointer of its own is one load
    // fewer for every piece of a line than the scratch's vector behind its reference.
    float* cells_ = nullptr;
    std::uint64_t* touched_ = nullptr;
    int width_ = 0;
    int words_ = 0;
    int bottom_ = 0;
    // The width and the height again, as the lines' coordinates are, for the tests of every line.
    double xEnd_ = 0, yEnd_ = 0;
    int bandRows_ = 1;
    int bandTop_ = 0;
    int bandBottom_ = 0;
};

// A pixel's covered share in 1/255ths from its winding-weighted area. Forced inline: shared by several
// files, the compiler would otherwise call it from the row loops.
__attribute__((always_inline)) inline int coverageOf(float area, FillRule rule) {
    float value = std::abs(area);
    if (rule == FillRule::evenOdd) {
        // Odd windings fill: the area folds back down between 1 and 2. Most pixels hold windings 0
        // and 1 only, which need no division.
        if (value > 1) {
            if (value >= 2) value = std::fmod(value, 2.0f);
            if (value > 1) value = 2 - value;
        }
    } else {
        value = std::min(value, 1.0f);
    }
    return int(value * 255 + 0.5f);
}

// Flattens into the scratch; false for paths left to Cairo. `box` gets the pixels within `margin` of
// the outline that the clip keeps.
template <typename Shape>
bool flatten(const Shape& shape, const AffineTransform& toDevice, double tolerance, const PixelBox& clip, double margin,
             Scratch& s, PixelBox& box) {
    Flattener flattener(toDevice, std::max(tolerance, 0.001), s);
    flattener.clipLeft = clip.left - margin;
    flattener.clipTop = clip.top - margin;
    flattener.clipRight = clip.right + margin;
    flattener.clipBottom = clip.bottom + margin;
    if (!flattener.run(shape)) return false;
    box = {};
    if (s.vertices.empty()) return true;
    box = clip.intersection({int(std::max(std::floor(flattener.minX - margin), -2e9)),
                             int(std::max(std::floor(flattener.minY - margin), -2e9)),
                             int(std::min(std::ceil(flattener.maxX + margin), 2e9)),
                             int(std::min(std::ceil(flattener.maxY + margin), 2e9))});
    return true;
}

// Each subpath's vertices as [first, end) of the scratch's.
inline std::size_t subpathEnd(const Scratch& s, std::size_t index) {
    return index + 1 < s.subpaths.size() ? s.subpaths[index + 1].first : s.vertices.size();
}

// Calls `edge(a, b, subpath)` for each edge of each subpath's closed polygon.
template <typename Edge>
void forEachEdge(const Scratch& s, Edge edge) {
    for (std::size_t i = 0; i < s.subpaths.size(); ++i) {
        std::size_t first = s.subpaths[i].first, end = subpathEnd(s, i);
        for (std::size_t v = first; v + 1 < end; ++v) edge(s.vertices[v], s.vertices[v + 1], s.subpaths[i]);
        if (end - first > 1) edge(s.vertices[end - 1], s.vertices[first], s.subpaths[i]);
    }
}

// What writes row `y` of `box`: spans that may say more for a row of their own.
template <typename Span>
Span spanForRow(const Span& span, int y, const PixelBox& box) {
    if constexpr (requires { span.forRow(y, box); }) return span.forRow(y, box);
    else return span;
}

// Accumulates what `addLines` gives into the box's cells, then hands each row's spans of equal
// coverage to `span(y, left, right, coverage)` in device pixels, skipping uncovered ones, and a pixel
// alone between two touched cells to `span.pixel(y, x, coverage)` whatever its coverage (none must
// leave it as it was): most pixels along an edge are such, and handing them on without asking
// whether they are covered, alone or like the one before spares the branches that mostly guessed
// wrong there. A pixel's value does not depend on the span it is blended in.
template <typename AddLines, typename Span>
PixelBox render(const PixelBox& box, FillRule rule, Scratch& s, AddLines addLines, Span span) {
    if (box.isEmpty()) return {};
    Accumulator accumulator(box, s);
    addLines(accumulator);
    // What each row needs of the box, the rule and the cells, taken once and held by the row loop itself:
    // held by reference, each was loaded again a row, as a pixel written could be any of them.
    const int width = accumulator.width(), words = accumulator.words(), bandRows = accumulator.bandRows();
    const int left = box.left, top = box.top;
    float* const cells = accumulator.cellRow(0);
    std::uint64_t* const touchedRows = accumulator.touchedRow(0);
    const std::size_t stride = std::size_t(width) + 2, touchedStride = std::size_t(words) + 1;
    // Inline in the loop over the rows: what each row needs of the box and the scratch is not loaded
    // again behind a call a row.
    const auto sweep = [=, &span, &box]<FillRule fill, int opacity>(int row) __attribute__((always_inline)) {
        // Most boxes are one band: no division for their rows.
        int inBand = row < bandRows ? row : row % bandRows, y = top + row;
        // Copied: a pixel written could otherwise be any of these, to be read again after each.
        const Span out = spanForRow(span, y, box);
        const int columns = width, rowWords = words;
        // The coverage from `from` (a touched cell within the box) to the next touched cell `to`.
        auto emit = [&](int y, int from, int to, float area) __attribute__((always_inline)) {
            int coverage = coverageOf(area, fill);
            if (to == from + 1) {
                if constexpr (opacity >= 0) return out.template pixelOf<opacity == 1>(y, left + from, coverage);
                else return out.pixel(y, left + from, coverage);
            }
            if (coverage > 0) out(y, left + from, left + std::min(to, columns), coverage);
        };
        float* cell = cells + std::size_t(inBand) * stride;
        std::uint64_t* touchedRow = touchedRows + std::size_t(inBand) * touchedStride;
        std::uint64_t* touched = touchedRow + 1;
        // Coverage changes only at touched cells and holds from each to the next (or the box's side).
        float area = 0;
        int from = -1;
        for (std::uint64_t which = touchedRow[0]; which; which &= which - 1) {
            int word = std::countr_zero(which);
            for (int end = word < 63 ? word + 1 : rowWords; word < end; ++word) {
                for (std::uint64_t bits = touched[word]; bits; bits &= bits - 1) {
                    int x = word * 64 + std::countr_zero(bits);
                    if (unsigned(from) < unsigned(columns)) emit(y, from, x, area);
                    area += cell[x];
                    cell[x] = 0;
                    from = x;
                }
                touched[word] = 0;
            }
        }
        touchedRow[0] = 0;
        if (unsigned(from) < unsigned(columns)) emit(y, from, columns, area);
    };
    // The rule chosen once for all rows rather than at every touched cell, and for winding fills (most)
    // whether a pixel blended is of an opaque colour, where the spans say (-1: asked a pixel).
    bool opaque = false;
    if constexpr (requires { span.opaque; }) opaque = span.opaque;
    if (rule == FillRule::evenOdd)
        accumulator.bands([sweep](int row) __attribute__((always_inline)) {
            sweep.template operator()<FillRule::evenOdd, -1>(row);
        });
    else if (opaque)
        accumulator.bands([sweep](int row) __attribute__((always_inline)) {
            sweep.template operator()<FillRule::winding, 1>(row);
        });
    else
        accumulator.bands([sweep](int row) __attribute__((always_inline)) {
            sweep.template operator()<FillRule::winding, 0>(row);
        });
    return box;
}

}  // namespace gfx::raster
