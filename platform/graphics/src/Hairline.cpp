#include "ScanConverter.h"

#include "Compositing.h"
#include "Coverage.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gfx::raster {

namespace {

thread_local bool quadsTestedOneByOne = false;

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
                                       double lineWidth, bool buttCaps, std::uint32_t source, const Target& target) {
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
        if (segments.size() - first > 1) coverOnce(s, first, subpath.closed);
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
