#include "WindingFill.h"

#include <algorithm>
#include <cmath>

namespace gfx::raster {

namespace {

// Edges whose order flips by less than this (device pixels) over a stretch are taken as not crossing
// there: nearly coincident edges (pieces sharing a side) would otherwise split the sweep endlessly.
constexpr double crossingSlack = 1e-9;
// The sweep never steps by less than this: a crossing closer than that to the line is taken at the
// step's end, off by an area far below a pixel's rounding.
constexpr double shortestStep = 1e-7;

}  // namespace

double BorderTracer::Edge::xAt(double y) const {
    if (y <= top.y) return top.x;
    if (y >= bottom.y) return bottom.x;
    return top.x + (y - top.y) * dxdy;
}

Point BorderTracer::Edge::at(double y) const {
    if (y <= top.y) return top;
    if (y >= bottom.y) return bottom;
    return {top.x + (y - top.y) * dxdy, y};
}

void BorderTracer::begin(double top, double bottom, double right) {
    top_ = top;
    bottom_ = bottom;
    right_ = right;
    edges_.clear();
}

void BorderTracer::edge(Point a, Point b) {
    int direction = 1;
    if (a.y > b.y) std::swap(a, b), direction = -1;
    if (!(a.y < b.y) || b.y <= top_ || a.y >= bottom_ || std::min(a.x, b.x) >= right_) return;
    edges_.push_back({a, b, (b.x - a.x) / (b.y - a.y), direction, a.x, 0, 0});
}

void BorderTracer::keep(Edge& edge, double y) {
    if (edge.pendingSign != 0 && y > edge.pendingY)
        border_.push_back({edge.at(edge.pendingY), edge.at(y), double(edge.pendingSign)});
    edge.pendingSign = 0;
}

const std::vector<BorderPiece>* BorderTracer::trace(FillRule rule, std::size_t budget) {
    border_.clear();
    active_.clear();
    if (edges_.empty()) return &border_;
    order_.resize(edges_.size());
    for (std::uint32_t i = 0; i < order_.size(); ++i) order_[i] = i;
    std::sort(order_.begin(), order_.end(), [&](auto i, auto j) { return edges_[i].top.y < edges_[j].top.y; });

    auto covers = [rule](int winding) { return rule == FillRule::evenOdd ? (winding & 1) != 0 : winding != 0; };
    std::size_t next = 0, work = 0;
    double y = std::max(top_, edges_[order_[0]].top.y);
    while (y < bottom_) {
        // Edges ending on the line keep their last stretch; those starting there join.
        std::size_t kept = 0;
        for (Edge* edge : active_) {
            if (edge->bottom.y <= y) keep(*edge, edge->bottom.y);
            else active_[kept++] = edge;
        }
        active_.resize(kept);
        for (; next < order_.size() && edges_[order_[next]].top.y <= y; ++next) {
            Edge& edge = edges_[order_[next]];
            if (edge.bottom.y <= y) continue;
            edge.pendingSign = 0;
            active_.push_back(&edge);
        }
        if (active_.empty()) {
            if (next == order_.size()) break;
            y = edges_[order_[next]].top.y;
            continue;
        }
        work += active_.size();
        if (work > budget) return nullptr;

        // Left to right along the line, edges meeting there ordered as they leave it. The order
        // changes little from one stretch to the next, so insertion sorts it.
        for (Edge* edge : active_) edge->x = edge->xAt(y);
        auto before = [](const Edge* a, const Edge* b) { return a->x < b->x || (a->x == b->x && a->dxdy < b->dxdy); };
        for (std::size_t i = 1; i < active_.size(); ++i) {
            Edge* edge = active_[i];
            std::size_t j = i;
            for (; j > 0 && before(edge, active_[j - 1]); --j) active_[j] = active_[j - 1];
            active_[j] = edge;
        }

        // The stretch ends at the next corner or at the first crossing of neighbours, which comes
        // before any other crossing.
        double end = bottom_;
        if (next < order_.size()) end = std::min(end, edges_[order_[next]].top.y);
        for (const Edge* edge : active_) end = std::min(end, edge->bottom.y);
        for (std::size_t i = 0; i + 1 < active_.size(); ++i) {
            const Edge *left = active_[i], *right = active_[i + 1];
            double closing = left->dxdy - right->dxdy, gap = right->x - left->x;
            if (closing > 0 && gap + crossingSlack < (end - y) * closing)
                end = std::max(y + gap / closing, y + shortestStep);
        }
        if (!(end > y)) end = std::nextafter(y, bottom_);

        // Windings between the edges: an edge separating covered from uncovered is kept.
        int winding = 0;
        for (Edge* edge : active_) {
            bool coveredBefore = covers(winding);
            winding += edge->direction;
            bool coveredAfter = covers(winding);
            int sign = coveredBefore == coveredAfter ? 0 : coveredAfter ? 1 : -1;
            if (sign != edge->pendingSign) {
                keep(*edge, y);
                edge->pendingSign = sign;
                edge->pendingY = y;
            }
        }
        y = end;
    }
    for (Edge* edge : active_) keep(*edge, std::min(edge->bottom.y, bottom_));
    return &border_;
}

}  // namespace gfx::raster
