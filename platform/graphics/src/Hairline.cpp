#include "ScanConverter.h"

#include "Compositing.h"
#include "Coverage.h"
#include "gfx/WorkMeter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gfx::raster {

namespace {

thread_local bool quadsTestedOneByOne = false;
// Consecutive segments turn back sharply where their normals' (half a pixel long) dot product is
// under this: by more than 143 degrees.
constexpr double sharpTurn = -0.25 * 0.8;
// Where a line turns back along itself, quads adding more ink than this over Cairo's stroke are drawn
// as its exact outline instead; less is within what a hairline's band differs by anyway.
constexpr double overlapLimit = 1;
// Lines this thin on the device add too little where they overlap to be worth looking for: at most
// their width in ink along each pixel they retrace.
constexpr double thinnest = 0.4;

// The ink a hairline's quads add over Cairo's stroke where, from a sharp turn at `at`, the segments
// on one side (from `k`, forward or back by `step`, within [first, end)) run back along the line the
// other side leaves along (`direction`, a unit vector). Two lines `width` wide that far apart share
// width minus that distance of their cross-section, which Cairo's stroke, their union, covers once
// and the quads twice: the overlap of `width` less the distance, along the segments while under it.
double overlapAlong(const Scratch& s, std::size_t k, std::size_t first, std::size_t end, int step, Vertex at,
                    Vertex direction, double width) {
    const auto& segments = s.hairlineSegments;
    double shared = 0, near = 0;
    for (int walked = 0; walked < 16 && k >= first && k < end && near < width && shared <= overlapLimit; ++walked, k += step) {
        const HairlineSegment& g = segments[k];
        const Vertex a = s.vertices[step > 0 ? g.from : g.to], b = s.vertices[step > 0 ? g.to : g.from];
        const double length = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
        const double far = std::abs((b.x - at.x) * direction.y - (b.y - at.y) * direction.x);
        // The distance runs linearly from near to far along the segment.
        if (far < width) shared += length * (width - (near + far) / 2);
        else shared += length * (width - near) / (far - near) * (width - near) / 2;
        near = far;
    }
    return shared;
}

// Whether a subpath (segments [first, end)) turns back so sharply somewhere that its quads there add
// more than overlapLimit of a pixel's ink over Cairo's stroke. Turns right back along one line are
// left to coverOnce. (Out of line: inlined, it slows every hairline.)
[[gnu::noinline]] bool overlapsSharply(const Scratch& s, std::size_t first, bool closed) {
    const auto& segments = s.hairlineSegments;
    const std::size_t end = segments.size();
    // Where segment `h` turns to the next, `g` (index k).
    auto overlaps = [&](std::size_t k, std::size_t previous) {
        const HairlineSegment &g = segments[k], &h = segments[previous];
        Vertex n = g.normal, m = h.normal;
        if (!(n.x * m.x + n.y * m.y < sharpTurn)) return false;
        // The normals are half a pixel long: their cross product is a quarter of the turn's sine.
        if (4 * std::abs(n.x * m.y - n.y * m.x) <= 4e-4) return false;
        const Vertex at = s.vertices[g.from];
        const double width = std::min(g.width, h.width);
        const double out = overlapAlong(s, k, first, end, 1, at, {2 * m.y, -2 * m.x}, width);
        if (!(out > overlapLimit)) return false;
        return overlapAlong(s, previous, first, end, -1, at, {2 * n.y, -2 * n.x}, width) > overlapLimit;
    };
    if (closed && overlaps(first, end - 1)) return true;
    for (std::size_t k = first + 1; k < end; ++k)
        if (overlaps(k, k - 1)) return true;
    return false;
}

// Where a subpath goes back over itself along one line (one segment closed, a line turning right
// back), its quads would add their coverage twice over the stretch they share, where Cairo's stroke,
// the union of the line's pieces, covers it once: each segment of a run along one line keeps only
// what lies beyond the stretch the run covered so far (a run's segments meet end to start, so that
// is one interval). The pieces kept past a segment's first are added at the end, their ends as new
// vertices. Segments [first, end) are one subpath's; a closed one is walked from a corner, so that a
// run does not go round past its start.
void coverOnce(Scratch& s, std::size_t first, bool closed) {
    auto& segments = s.hairlineSegments;
    const std::size_t count = segments.size() - first;
    // Most subpaths turn at every point: none of their neighbours lie along one line.
    auto alongOneLine = [&](std::size_t k, std::size_t previous) {
        Vertex n = segments[k].normal, m = segments[previous].normal;
        return std::abs(n.x * m.y - n.y * m.x) <= 1e-4;
    };
    bool straight = closed && alongOneLine(first, first + count - 1);
    for (std::size_t k = first + 1; k < first + count && !straight; ++k) straight = alongOneLine(k, k - 1);
    if (!straight) return;
    // Within a millionth of a pixel of the run's line is on it.
    auto onLine = [&](const HairlineSegment& run, Vertex p) {
        Vertex a = s.vertices[run.from], n = run.normal;
        return std::abs((p.x - a.x) * n.x + (p.y - a.y) * n.y) <= 0.5e-6;
    };
    auto along = [&](const HairlineSegment& run, Vertex p) {
        Vertex a = s.vertices[run.from];
        return (p.x - a.x) * run.normal.y - (p.y - a.y) * run.normal.x;
    };
    std::size_t start = 0;
    if (closed)
        for (std::size_t k = 0; k < count && start == 0; ++k) {
            const HairlineSegment& previous = segments[first + (k + count - 1) % count];
            if (!onLine(previous, s.vertices[segments[first + k].to])) start = k;
        }
    std::size_t run = first + start;
    double low = 0, high = along(segments[run], s.vertices[segments[run].to]);
    if (low > high) std::swap(low, high);
    for (std::size_t k = 1; k < count; ++k) {
        HairlineSegment& segment = segments[first + (start + k) % count];
        if (!onLine(segments[run], s.vertices[segment.to])) {
            run = first + (start + k) % count;
            low = 0, high = along(segments[run], s.vertices[segment.to]);
            if (low > high) std::swap(low, high);
            continue;
        }
        double from = along(segments[run], s.vertices[segment.from]), to = along(segments[run], s.vertices[segment.to]);
        double least = std::min(from, to), most = std::max(from, to);
        // The parts beyond [low, high], as pieces from the run's line's points there.
        Vertex origin = s.vertices[segments[run].from], n = segments[run].normal;
        double scale = 1 / (n.x * n.x + n.y * n.y);
        auto point = [&](double t) {
            s.vertices.push_back({origin.x + n.y * t * scale, origin.y - n.x * t * scale});
            return std::uint32_t(s.vertices.size() - 1);
        };
        // Each kept piece runs the segment's way, its quad turning as the others do.
        HairlineSegment kept = segment;
        segment.width = 0;
        auto keep = [&](double a, double b) {
            if (from > to) std::swap(a, b);
            kept.from = point(a), kept.to = point(b);
            segments.push_back(kept);
        };
        if (least < low) keep(least, low);
        if (most > high) keep(high, most);
        low = std::min(low, least), high = std::max(high, most);
    }
}

}  // namespace

std::optional<PixelBox> strokeHairline(const Path& path, const AffineTransform& toDevice, double tolerance,
                                       double lineWidth, bool buttCaps, std::uint32_t source, const Target& target,
                                       bool& overlaps) {
    Scratch& s = scratch;
    PixelBox box;
    if (!flatten(path, toDevice, tolerance, target.clip, 1, s, box)) return std::nullopt;
    // Caps other than butt draw a dot for a subpath without length; Cairo draws those.
    if (!buttCaps)
        for (std::size_t i = 0; i < s.subpaths.size(); ++i) {
            std::size_t end = subpathEnd(s, i);
            bool moves = false;
            for (std::size_t v = s.subpaths[i].first + 1; v < end && !moves; ++v)
                moves = s.vertices[v].x != s.vertices[v - 1].x || s.vertices[v].y != s.vertices[v - 1].y;
            if (!moves && (s.subpaths[i].closed || end - s.subpaths[i].first > 1)) return std::nullopt;
        }

    // A segment's device width is the line width times the transform's adjugate applied to the
    // segment's device direction: lines thin out along the axis the transform shrinks. Each quad adds
    // that width as its winding, all turning the same way, so the summed area is the ink.
    // Where both axes scale alike (turned or mirrored or not), that width is the same for every
    // segment: the line width times the scale.
    const AffineTransform& t = toDevice;
    double xLength = t.a * t.a + t.b * t.b, yLength = t.c * t.c + t.d * t.d;
    bool uniform = std::abs(xLength - yLength) <= 1e-12 * xLength && std::abs(t.a * t.c + t.b * t.d) <= 1e-12 * xLength;
    double uniformWidth = lineWidth * std::sqrt(xLength);
    const bool thick = uniform ? uniformWidth > thinnest
                               : lineWidth * std::sqrt(xLength + yLength) > thinnest && lineWidth * largestStretch(t) > thinnest;
    // Each segment's normal (half a pixel long) and width are taken in a pass of their own ahead of
    // the quads, so their roots and divisions need not wait behind the previous quad's lines.
    std::vector<HairlineSegment>& segments = s.hairlineSegments;
    segments.clear();
    const std::size_t flattened = s.vertices.size();
    auto add = [&](std::size_t from, std::size_t to) {
        Vertex a = s.vertices[from], b = s.vertices[to];
        double dx = b.x - a.x, dy = b.y - a.y, length = std::sqrt(dx * dx + dy * dy);
        if (!(length > 0)) return;
        double half = 0.5 / length, width = uniformWidth;
        if (!uniform) {
            double ux = t.d * dx - t.c * dy, uy = -t.b * dx + t.a * dy;
            width = lineWidth * std::sqrt(ux * ux + uy * uy) / length;
        }
        segments.push_back({std::uint32_t(from), std::uint32_t(to), {-dy * half, dx * half}, width});
    };
    for (std::size_t i = 0; i < s.subpaths.size(); ++i) {
        const Subpath& subpath = s.subpaths[i];
        std::size_t end = i + 1 < s.subpaths.size() ? s.subpaths[i + 1].first : flattened, first = segments.size();
        for (std::size_t v = subpath.first; v + 1 < end; ++v) add(v, v + 1);
        if (subpath.closed && end - subpath.first > 1) add(end - 1, subpath.first);
        if (segments.size() - first < 2) continue;
        overlaps = overlaps || (thick && overlapsSharply(s, first, subpath.closed));
        coverOnce(s, first, subpath.closed);
    }
    // Where a subpath turns back sharply its quads add their coverage twice along the stretch both
    // sides cover, where Cairo's stroke covers it once: the exact outline is filled instead, where its
    // edges are too few to crowd (the meter charged the quads as uncrowded).
    if (overlaps) {
        double rows = 0;
        for (const auto& [from, to, n, width] : segments) rows += std::abs(s.vertices[to].y - s.vertices[from].y) + 1;
        if (4 * rows < WorkMeter::edgeRowsCrowdPast) return std::nullopt;
        overlaps = false;
    }
    // The box reaches a pixel past the points and the quads half a pixel: where the clip cut none of it
    // and the box is taken whole, every quad lies inside it.
    const PixelBox& clip = target.clip;
    const bool uncut = !quadsTestedOneByOne && box.left > clip.left && box.top > clip.top && box.right < clip.right &&
                       box.bottom < clip.bottom;
    auto addLines = [&](Accumulator& accumulator) {
        const bool inside = uncut && accumulator.bandRows() == box.bottom - box.top;
        for (const auto& [from, to, n, width] : segments) {
            Vertex a = s.vertices[from], b = s.vertices[to];
            Vertex corners[4] = {{a.x + n.x, a.y + n.y}, {b.x + n.x, b.y + n.y}, {b.x - n.x, b.y - n.y}, {a.x - n.x, a.y - n.y}};
            accumulator.quad(corners, width, inside);
        }
    };
    return render(box, FillRule::winding, s, addLines, compositor(source, target));
}

void setHairlineQuadsTestedOneByOne(bool tested) { quadsTestedOneByOne = tested; }

}  // namespace gfx::raster
