#include "ScanConverter.h"

#include "Compositing.h"
#include "Coverage.h"

#include <cmath>
#include <vector>

namespace gfx::raster {

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
        std::size_t end = subpathEnd(s, i);
        for (std::size_t v = subpath.first; v + 1 < end; ++v) add(v, v + 1);
        if (subpath.closed && end - subpath.first > 1) add(end - 1, subpath.first);
    }
    auto addLines = [&](Accumulator& accumulator) {
        for (const auto& [from, to, n, width] : segments) {
            Vertex a = s.vertices[from], b = s.vertices[to];
            Vertex corners[4] = {{a.x + n.x, a.y + n.y}, {b.x + n.x, b.y + n.y}, {b.x - n.x, b.y - n.y}, {a.x - n.x, a.y - n.y}};
            accumulator.quad(corners, width);
        }
    };
    return render(box, FillRule::winding, s, addLines, compositor(source, target));
}

}  // namespace gfx::raster
