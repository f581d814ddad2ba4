#pragma once

// Coverage of fills whose edges cross too densely for the border of what they cover to be traced
// (thousands of stroke pieces over one another, a zigzag crossing itself everywhere): each pixel row
// is sampled on 16 sub-rows of 16 points a pixel, every edge adding its winding to the samples
// right of where it crosses a sub-row. Nothing is kept in order along a row, so the cost is the
// edges' rows times the sub-rows, however often the edges cross. Pixels whose samples hold windings
// of two neighbouring values at most (all but those where several edges of the outline meet) take
// their summed area, as a traced border gives it; the others the share of samples the rule covers.

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Coverage.h"

namespace gfx::raster {

// Sub-rows a pixel row and samples a sub-row's pixel: 256 a pixel.
constexpr int windingSampleRows = 16;
constexpr int windingSampleColumns = 16;

// The winding deltas of one pixel's samples in one row: a crossing adds its direction at the first
// sample right of it. Zero again once the row is swept.
struct alignas(16) WindingBlock {
    std::int32_t delta[windingSampleRows][windingSampleColumns];
    std::uint32_t crossedRows;  // a bit a sub-row with a crossing
};

// An edge top to bottom in box coordinates, its winding and the rows it reaches.
struct SampledEdge {
    double x;  // at the first sub-row's centre of the row being sampled
    double ay, by, dxdy, xLow, xHigh;
    std::int64_t step;  // samples a sub-row, in fixed point
    int direction, lastRow;
};

struct WindingScratch {
    // The edges by their first row, from where each row's start.
    std::vector<SampledEdge> edges, active;
    std::vector<std::uint32_t> rowStarts;
    std::vector<WindingBlock> blocks;
    // Per box column, its block in the row being sampled (-1: none), and a bit a column that has one.
    std::vector<std::int32_t> blockOf;
    std::vector<std::uint64_t> sampled;
};

inline thread_local WindingScratch windingScratch;

// Which of a sub-row's 16 deltas are not zero, a bit each.
inline unsigned nonzeroDeltas(const std::int32_t* deltas) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    auto lanes = [&](int at) {
        __m128i equal = _mm_cmpeq_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(deltas + at)), zero);
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
template <typename Span>
PixelBox renderWindingSamples(const PixelBox& box, FillRule rule, Scratch& s, Span span) {
    if (box.isEmpty()) return {};
    constexpr int rows = windingSampleRows, columns = windingSampleColumns;
    static_assert(columns == 16, "a sample's column and place are its index's bits");
    constexpr int samples = rows * columns;
    // How far the summed area may stray from the windings by its rounding (a few levels).
    constexpr float areaSlack = 1.0f / 64;
    WindingScratch& w = windingScratch;
    const int width = box.right - box.left, height = box.bottom - box.top;
    const double limit = double(width) * columns;

    // The edges with their own windings: the area summed from them is exact wherever the samples
    // show windings of two neighbouring values, whatever the rule. Each edge is read twice, to count
    // the edges starting in each row and then to place it among them.
    Accumulator accumulator(box, s);
    w.rowStarts.assign(std::size_t(height) + 1, 0);
    std::size_t count = 0;
    auto edge = [&](Vertex a, Vertex b, auto keep) {
        a.x -= box.left, a.y -= box.top, b.x -= box.left, b.y -= box.top;
        if (a.y == b.y) return;
        int direction = 1;
        if (a.y > b.y) std::swap(a, b), direction = -1;
        if (b.y <= 0 || a.y >= height || std::min(a.x, b.x) >= width) return;
        double dxdy = (b.x - a.x) / (b.y - a.y);
        // The area leaves out lines too flat for a slope; so do the samples.
        if (!std::isfinite(dxdy)) return;
        int firstRow = int(std::max(a.y, 0.0));
        double x = a.x + (firstRow + 0.5 / rows - a.y) * dxdy;
        // A sub-row lower, a sample is dxdy / rows pixels further, dxdy samples.
        keep(SampledEdge{x, a.y, b.y, dxdy, std::min(a.x, b.x), std::max(a.x, b.x),
                         std::int64_t(std::clamp(dxdy, -limit, limit) * 65536), direction,
                         std::min(ceilToInt(b.y), height) - 1},
             firstRow);
    };
    forEachEdge(s, [&](Vertex a, Vertex b, const Subpath&) {
        accumulator.line(a, b, 1);
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
    w.blockOf.assign(std::size_t(width), -1);
    const int words = accumulator.words();
    w.sampled.assign(std::size_t(words), 0);
    std::size_t next = 0, used = 0;

    auto blockAt = [&](int column) -> WindingBlock& {
        std::int32_t& index = w.blockOf[std::size_t(column)];
        if (index < 0) {
            if (used == w.blocks.size()) w.blocks.emplace_back();
            index = std::int32_t(used++);
            w.sampled[std::size_t(column) >> 6] |= std::uint64_t(1) << (column & 63);
        }
        return w.blocks[std::size_t(index)];
    };
    // Adds the crossings of the active edges with the sub-rows of `row`. A crossing at x starts at the
    // first sample whose centre lies right of it, x * columns + 0.5 as a whole number of samples from
    // the box's left side (0 for crossings left of the box, none for those right of it).
    auto cross = [&](int row) {
        std::size_t starting = w.rowStarts[std::size_t(row)];
        w.active.insert(w.active.end(), w.edges.begin() + std::ptrdiff_t(next), w.edges.begin() + std::ptrdiff_t(starting));
        next = starting;
        std::size_t kept = 0;
        for (SampledEdge& edge : w.active) {
            const int direction = edge.direction;
            const bool wholeRow = edge.ay < row && edge.by >= row + 1;
            // The first sub-row's crossing and the last's, in samples.
            double start = edge.x * columns + 0.5, end = start + edge.dxdy * (rows - 1);
            if (wholeRow && std::min(start, end) >= 0 && std::max(start, end) < limit) {
                // Most edges: all sub-rows, within the box, stepped in fixed point (16 bits of
                // fraction). A run of sub-rows in one pixel (most steep edges cross a row in one or
                // two) takes one look at its block.
                std::int64_t from = std::int64_t(start * 65536), step = edge.step;
                for (int sub = 0; sub < rows;) {
                    std::int64_t column = from >> 20;
                    int runStart = sub;
                    WindingBlock& block = blockAt(int(column));
                    std::int32_t* deltas = block.delta[sub];
                    do {
                        deltas[(from >> 16) & 15] += direction;
                        deltas += columns;
                        ++sub, from += step;
                    } while (sub < rows && (from >> 20) == column);
                    block.crossedRows |= std::uint32_t((std::uint64_t(1) << sub) - (std::uint64_t(1) << runStart));
                }
            } else {
                // An end of the edge in this row, or the edge beside the box for some sub-rows: each
                // sub-row's crossing on its own, kept within the line and put at the box's sides.
                int first = 0, last = rows;
                if (!wholeRow) {
                    // Sub-rows whose centres lie in [ay, by).
                    first = ceilToInt(std::max(edge.ay - row, 0.0) * rows - 0.5);
                    last = ceilToInt(std::min(edge.by - row, 1.0) * rows - 0.5);
                }
                for (int sub = first; sub < last; ++sub) {
                    double x = std::clamp(edge.x + sub * (1.0 / rows) * edge.dxdy, edge.xLow, edge.xHigh);
                    double at = std::max(x * columns + 0.5, 0.0);
                    if (!(at < limit)) continue;
                    int sample = int(at);
                    WindingBlock& block = blockAt(sample >> 4);
                    block.delta[sub][sample & 15] += direction;
                    block.crossedRows |= std::uint32_t(1) << sub;
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
    accumulator.bands([&](int row) {
        cross(row);
        int inBand = row % accumulator.bandRows(), y = box.top + row;
        const Span out = spanForRow(span, y, box);
        float* cell = s.cells.data() + std::size_t(inBand) * (width + 2);
        std::uint64_t* touchedRow = accumulator.touchedRow(inBand);
        std::fill_n(winding, rows, 0);
        // What the sub-rows hold between pixels with edges: their lowest and highest windings and how
        // many of them the rule covers.
        int edgeLow = 0, edgeHigh = 0, edgeCovered = 0;
        float area = 0;
        int last = -1;
        // Pixels with no edge from `from` to `to` hold the sub-rows' windings, one in each where the
        // samples agree: the summed area is set to it, so that it carries no rounding further on.
        auto run = [&](int from, int to) {
            to = std::min(to, width);
            if (from >= to) return;
            if (edgeLow == edgeHigh) area = float(edgeLow);
            int coverage = (edgeCovered * 255 + rows / 2) / rows;
            if (coverage > 0) out(y, box.left + from, box.left + to, coverage);
        };
        // Sweeps pixel x's block: its samples' lowest and highest windings and how many the rule covers.
        auto sweep = [&](WindingBlock& block, int& low, int& high, int& covered) {
            low = INT_MAX, high = INT_MIN, covered = 0;
            edgeLow = INT_MAX, edgeHigh = INT_MIN, edgeCovered = 0;
            std::uint32_t crossed = block.crossedRows;
            block.crossedRows = 0;
            for (int sub = 0; sub < rows; ++sub) {
                int value = winding[sub];
                unsigned nonzero = crossed >> sub & 1 ? nonzeroDeltas(block.delta[sub]) : 0;
                if (nonzero == 0) {
                    covered += covers(value) * columns;
                    low = std::min(low, value), high = std::max(high, value);
                } else if ((nonzero & (nonzero - 1)) == 0) {
                    // Crossed once (or where crossings fell on one sample).
                    int bin = std::countr_zero(nonzero);
                    int after = value + block.delta[sub][bin];
                    block.delta[sub][bin] = 0;
                    if (bin > 0) {
                        covered += covers(value) * bin;
                        low = std::min(low, value), high = std::max(high, value);
                    }
                    covered += covers(after) * (columns - bin);
                    low = std::min(low, after), high = std::max(high, after);
                    value = after;
                } else {
                    std::int32_t* deltas = block.delta[sub];
                    for (int bin = 0; bin < columns; ++bin) {
                        value += deltas[bin];
                        deltas[bin] = 0;
                        covered += covers(value);
                        low = std::min(low, value), high = std::max(high, value);
                    }
                }
                winding[sub] = value;
                edgeCovered += covers(value);
                edgeLow = std::min(edgeLow, value), edgeHigh = std::max(edgeHigh, value);
            }
        };
        for (int word = 0; word < words; ++word) {
            std::uint64_t bits = touchedRow[1 + word] | w.sampled[std::size_t(word)];
            touchedRow[1 + word] = 0;
            w.sampled[std::size_t(word)] = 0;
            for (; bits; bits &= bits - 1) {
                int x = word * 64 + std::countr_zero(bits);
                run(last + 1, x);
                last = x;
                area += cell[x];
                cell[x] = 0;
                if (x >= width) continue;
                int low = edgeLow, high = edgeHigh, covered = edgeCovered * columns;
                std::int32_t& index = w.blockOf[std::size_t(x)];
                if (index >= 0) {
                    sweep(w.blocks[std::size_t(index)], low, high, covered);
                    index = -1;
                }
                // The summed area holds for windings of two neighbouring values. It must lie between
                // the next values past the samples' (a sliver between them may hold one of those), or
                // the pixel holds more than the samples show: thousands of pieces' tips over one
                // another, whose summed area would say the pixel is full.
                bool summed = high - low <= 1 && area >= high - 1 - areaSlack && area <= low + 1 + areaSlack;
                int coverage = summed ? coverageOf(area, rule) : (covered * 255 + samples / 2) / samples;
                out.pixel(y, box.left + x, coverage);
            }
        }
        touchedRow[0] = 0;
        run(last + 1, width);
        used = 0;
    });
    return box;
}

}  // namespace gfx::raster
