#pragma once

// Coverage of fills whose edges cross too densely for the border of what they cover to be traced
// (thousands of stroke pieces over one another, a zigzag crossing itself everywhere): each pixel row
// is sampled on 16 sub-rows of 16 points a pixel, every edge adding its winding to the samples
// right of where it crosses a sub-row. Nothing is kept in order along a row, so the cost is the
// edges' rows times the sub-rows, however often the edges cross. Each pixel takes the share of its
// samples the rule covers, as sampled as Cairo's fill that drew these shapes before: an exact summed
// area beside the samples, for the pixels where only two windings meet, doubled the cost.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Coverage.h"

// The fuzzing build counts every branch and traces every comparison to steer its inputs: in the loops
// over the edges' sub-rows and the rows' samples they steer nothing and would cost several times the
// sampling itself.
#if defined(__clang__)
#define SORVANE_UNTRACED_COMPARISONS __attribute__((no_sanitize("coverage")))
#else
#define SORVANE_UNTRACED_COMPARISONS
#endif

namespace gfx::raster {

// Sub-rows a pixel row and samples a sub-row's pixel: 256 a pixel.
constexpr int windingSampleRows = 16;
constexpr int windingSampleColumns = 16;

// An edge top to bottom in box coordinates, its winding and the rows it reaches.
struct SampledEdge {
    double x;  // at the first sub-row's centre of the row being sampled
    double ay, by, dxdy, xLow, xHigh;
    int direction, lastRow;
};

struct WindingScratch {
    // The edges by their first row, from where each row's start.
    std::vector<SampledEdge> edges, active;
    std::vector<std::uint32_t> rowStarts;
    // The winding deltas of the row being sampled, a pixel's after another's: a crossing adds its
    // direction at the first sample right of it. All zero again once the row is swept.
    std::vector<std::int32_t> deltas;
    // A bit a box column with a crossing in the row.
    std::vector<std::uint64_t> sampled;
};

inline thread_local WindingScratch windingScratch;

// Which of a sub-row's 16 deltas are not zero, a bit each.
inline unsigned nonzeroDeltas(const std::int32_t* deltas) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    auto lanes = [&](int at) {
        __m128i equal = _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(deltas + at)), zero);
        return unsigned(_mm_movemask_ps(_mm_castsi128_ps(equal)));
    };
    return ~(lanes(0) | lanes(4) << 4 | lanes(8) << 8 | lanes(12) << 12) & 0xFFFFu;
#else
    unsigned bits = 0;
    for (int i = 0; i < 16; ++i) bits |= unsigned(deltas[i] != 0) << i;
    return bits;
#endif
}

// Fills the scratch's polygons (device space, flattened into `s`) as render() does, for any overlaps:
// `span(y, left, right, coverage)` for runs and `span.pixel(y, x, coverage)` for pixels with edges.
// Kept out of line: the ordinary fills around its one call never come here.
template <typename Span>
[[gnu::noinline]] SORVANE_UNTRACED_COMPARISONS PixelBox renderWindingSamples(const PixelBox& box, FillRule rule, Scratch& s, Span span) {
    if (box.isEmpty()) return {};
    constexpr int rows = windingSampleRows, columns = windingSampleColumns;
    static_assert(columns == 16, "a sample's column and place are its index's bits");
    constexpr int samples = rows * columns;
    WindingScratch& w = windingScratch;
    const int width = box.right - box.left, height = box.bottom - box.top;
    const double limit = double(width) * columns;

    // The edges by their first row: each is read twice, to count the edges starting in each row and
    // then to place it among them.
    w.rowStarts.assign(std::size_t(height) + 1, 0);
    std::size_t count = 0;
    auto edge = [&](Vertex a, Vertex b, auto keep) {
        a.x -= box.left, a.y -= box.top, b.x -= box.left, b.y -= box.top;
        if (a.y == b.y) return;
        int direction = 1;
        if (a.y > b.y) std::swap(a, b), direction = -1;
        if (b.y <= 0 || a.y >= height || std::min(a.x, b.x) >= width) return;
        double dxdy = (b.x - a.x) / (b.y - a.y);
        // Lines too flat for a slope cross no sub-row.
        if (!std::isfinite(dxdy)) return;
        int firstRow = int(std::max(a.y, 0.0));
        double x = a.x + (firstRow + 0.5 / rows - a.y) * dxdy;
        keep(SampledEdge{x, a.y, b.y, dxdy, std::min(a.x, b.x), std::max(a.x, b.x), direction,
                         ceilToInt(std::min(b.y, double(height))) - 1},
             firstRow);
    };
    forEachEdge(s, [&](Vertex a, Vertex b, const Subpath&) {
        edge(a, b, [&](const SampledEdge&, int firstRow) {
            ++w.rowStarts[std::size_t(firstRow) + 1];
            ++count;
        });
    });
    for (int row = 0; row < height; ++row) w.rowStarts[std::size_t(row) + 1] += w.rowStarts[std::size_t(row)];
    w.edges.resize(count);
    forEachEdge(s, [&](Vertex a, Vertex b, const Subpath&) {
        edge(a, b, [&](const SampledEdge& sampled, int firstRow) { w.edges[w.rowStarts[std::size_t(firstRow)]++] = sampled; });
    });
    // Each row's start has moved to where its edges end.
    w.active.clear();
    if (w.deltas.size() < std::size_t(width + 1) * samples) w.deltas.resize(std::size_t(width + 1) * samples);
    std::int32_t* const deltas = w.deltas.data();
    const int words = (width + 63) / 64;
    w.sampled.assign(std::size_t(words), 0);
    std::uint64_t* const sampled = w.sampled.data();
    std::size_t next = 0;

    // A sample's index put within [0, pastRight]: crossings left of the box count from its first
    // sample, those right of it fall in a column past its last, cleared and never swept. Without a
    // test: each edge's row adds 16 of them.
    const std::int64_t pastRight = std::int64_t(width) * columns;
    auto inBox = [pastRight](std::int64_t at) __attribute__((always_inline)) {
        at &= ~(at >> 63);
        std::int64_t over = at - pastRight;
        return at - (over & ~(over >> 63));
    };
    // Marks the box columns of samples [a, b] (either way round) as crossed in the row.
    auto mark = [sampled, width](std::int64_t a, std::int64_t b) __attribute__((always_inline)) {
        std::int64_t last = std::min<std::int64_t>(std::max(a, b) >> 4, width - 1);
        for (std::int64_t column = std::min(a, b) >> 4; column <= last; ++column)
            sampled[column >> 6] |= std::uint64_t(1) << (column & 63);
    };
    // Adds the crossings of the active edges with the sub-rows of `row`. A crossing at x starts at the
    // first sample whose centre lies right of it, x * columns + 0.5 as a whole number of samples from
    // the box's left side.
    auto cross = [&](int row) SORVANE_UNTRACED_COMPARISONS {
        std::size_t starting = w.rowStarts[std::size_t(row)];
        w.active.insert(w.active.end(), w.edges.begin() + std::ptrdiff_t(next), w.edges.begin() + std::ptrdiff_t(starting));
        next = starting;
        std::size_t kept = 0;
        for (SampledEdge& edge : w.active) {
            const int direction = edge.direction;
            const bool wholeRow = edge.ay < row && edge.by >= row + 1;
            // Sub-rows whose centres lie in [ay, by): all of them in the rows between the edge's ends.
            int first = 0, last = rows;
            if (!wholeRow) {
                first = ceilToInt(std::max(edge.ay - row, 0.0) * rows - 0.5);
                last = ceilToInt(std::min(edge.by - row, 1.0) * rows - 0.5);
            }
            // The first sub-row's crossing and the last's, in samples.
            const double start = edge.x * columns + 0.5, end = start + edge.dxdy * (rows - 1);
            if (first < last && std::max(std::abs(start), std::abs(end)) < 0x1p38) {
                // Stepped in fixed point (16 bits of fraction); most edges cross the whole row,
                // written out without a test between the sub-rows.
                const std::int64_t from = std::int64_t(start * 65536), step = std::int64_t(edge.dxdy * 65536);
                if (first == 0 && last == rows) {
                    [=]<int... sub>(std::integer_sequence<int, sub...>) __attribute__((always_inline)) {
                        auto add = [=](std::int64_t at, int k) __attribute__((always_inline)) {
                            deltas[std::size_t(at >> 4) * samples + std::size_t(k * columns) + std::size_t(at & 15)] += direction;
                        };
                        (add(inBox((from + sub * step) >> 16), sub), ...);
                    }(std::make_integer_sequence<int, rows>{});
                } else {
                    for (int sub = first; sub < last; ++sub) {
                        std::int64_t at = inBox((from + sub * step) >> 16);
                        deltas[std::size_t(at >> 4) * samples + std::size_t(sub * columns) + std::size_t(at & 15)] += direction;
                    }
                }
                mark(inBox((from + first * step) >> 16), inBox((from + (last - 1) * step) >> 16));
            } else {
                // Far outside the box: each sub-row's crossing on its own, kept within the line.
                for (int sub = first; sub < last; ++sub) {
                    double x = std::clamp(edge.x + sub * (1.0 / rows) * edge.dxdy, edge.xLow, edge.xHigh);
                    std::int64_t at = std::int64_t(std::clamp(x * columns + 0.5, 0.0, limit));
                    deltas[std::size_t(at >> 4) * samples + std::size_t(sub * columns) + std::size_t(at & 15)] += direction;
                    mark(at, at);
                }
            }
            edge.x += edge.dxdy;
            if (edge.lastRow > row) w.active[kept++] = edge;
        }
        w.active.resize(kept);
    };

    auto covers = [rule](int winding) { return rule == FillRule::evenOdd ? (winding & 1) != 0 : winding != 0; };
    // Per sub-row, the winding left of the next pixel swept.
    int winding[rows];
    for (int row = 0; row < height; ++row) {
        cross(row);
        const int y = box.top + row;
        const Span out = spanForRow(span, y, box);
        std::fill_n(winding, rows, 0);
        // The sub-rows the rule covers between crossed pixels, and the last pixel swept.
        int coveredRows = 0, last = -1;
        auto run = [&](int from, int to) SORVANE_UNTRACED_COMPARISONS {
            int coverage = (coveredRows * 255 + rows / 2) / rows;
            if (from < to && coverage > 0) out(y, box.left + from, box.left + to, coverage);
        };
        for (int word = 0; word < words; ++word) {
            for (std::uint64_t bits = sampled[word]; bits; bits &= bits - 1) {
                const int x = word * 64 + std::countr_zero(bits);
                run(last + 1, x);
                last = x;
                // Each sub-row's samples left to right, their deltas cleared for the next row.
                std::int32_t* block = deltas + std::size_t(x) * samples;
                int covered = 0;
                coveredRows = 0;
                for (int sub = 0; sub < rows; ++sub) {
                    int value = winding[sub];
                    std::int32_t* subRow = block + sub * columns;
                    unsigned nonzero = nonzeroDeltas(subRow);
                    if (nonzero == 0) {
                        covered += covers(value) * columns;
                    } else if ((nonzero & (nonzero - 1)) == 0) {
                        // Crossed once (or where crossings fell on one sample).
                        int bin = std::countr_zero(nonzero);
                        int after = value + subRow[bin];
                        subRow[bin] = 0;
                        covered += covers(value) * bin + covers(after) * (columns - bin);
                        value = after;
                    } else {
                        for (int bin = 0; bin < columns; ++bin) {
                            value += subRow[bin];
                            subRow[bin] = 0;
                            covered += covers(value);
                        }
                    }
                    winding[sub] = value;
                    coveredRows += covers(value);
                }
                out.pixel(y, box.left + x, (covered * 255 + samples / 2) / samples);
            }
            sampled[word] = 0;
        }
        run(last + 1, width);
        std::fill_n(deltas + pastRight * rows, samples, 0);
    }
    // A kilobyte a column: a wide box's deltas are not kept for the thread's life.
    if (w.deltas.size() > (std::size_t(1) << 20)) w.deltas = {};
    return box;
}

}  // namespace gfx::raster
