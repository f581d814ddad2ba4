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
    edges_.push_back({a, b, (b.x - a.x) / (b.y - a.y), direction, 0, 0, 0});
}

void BorderTracer::keep(Edge& edge, double y) {
    if (edge.pendingSign != 0 && y > edge.pendingY)
        border_.push_back({edge.at(edge.pendingY), edge.at(y), double(edge.pendingSign)});
    edge.pendingSign = 0;
}

void BorderTracer::watch(std::size_t index, double y) {
    if (index + 1 >= active_.size()) return;
    const Edge &left = edges_[active_[index]], &right = edges_[active_[index + 1]];
    double closing = left.dxdy - right.dxdy;
    if (!(closing > 0)) return;
    double gap = right.xAt(y) - left.xAt(y), last = std::min({left.bottom.y, right.bottom.y, bottom_});
    if (gap + crossingSlack >= (last - y) * closing) return;
    double at = std::max(y + std::max(gap, 0.0) / closing, y + shortestStep);
    if (!(at > y)) at = std::nextafter(y, INFINITY);
    crossings_.push_back({at, active_[index], active_[index + 1]});
    std::push_heap(crossings_.begin(), crossings_.end(), std::greater<>());
}

const std::vector<BorderPiece>* BorderTracer::trace(FillRule rule, std::size_t budget) {
    border_.clear();
    active_.clear();
    ends_.clear();
    crossings_.clear();
    if (edges_.empty()) return &border_;
    order_.resize(edges_.size());
    for (std::uint32_t i = 0; i < order_.size(); ++i) order_[i] = i;
    std::sort(order_.begin(), order_.end(), [&](auto i, auto j) { return edges_[i].top.y < edges_[j].top.y; });

    auto covers = [rule](int winding) { return rule == FillRule::evenOdd ? (winding & 1) != 0 : winding != 0; };
    auto pop = [](std::vector<Stop>& heap) {
        std::pop_heap(heap.begin(), heap.end(), std::greater<>());
        Stop stop = heap.back();
        heap.pop_back();
        return stop;
    };
    auto place = [&](std::uint32_t edge) {
        return std::size_t(std::find(active_.begin(), active_.end(), edge) - active_.begin());
    };
    std::size_t next = 0, work = 0;
    while (true) {
        double y = next < order_.size() ? std::max(top_, edges_[order_[next]].top.y) : INFINITY;
        if (!ends_.empty()) y = std::min(y, ends_.front().y);
        if (!crossings_.empty()) y = std::min(y, crossings_.front().y);
        if (!(y < bottom_)) break;
        if (++work > budget) return nullptr;

        // The places on the line whose neighbours changed, [low, high].
        std::size_t low = SIZE_MAX, high = 0;
        auto changed = [&](std::size_t i) { low = std::min(low, i), high = std::max(high, i); };
        while (!ends_.empty() && ends_.front().y <= y) {
            Stop stop = pop(ends_);
            std::size_t i = place(stop.left);
            keep(edges_[stop.left], edges_[stop.left].bottom.y);
            if (i == active_.size()) continue;
            active_.erase(active_.begin() + std::ptrdiff_t(i));
            if (low != SIZE_MAX && low > i) --low;
            if (high > i) --high;
            changed(i);
        }
        while (!crossings_.empty() && crossings_.front().y <= y) {
            Stop stop = pop(crossings_);
            std::size_t i = place(stop.left);
            if (i + 1 >= active_.size() || active_[i + 1] != stop.right) continue;
            std::swap(active_[i], active_[i + 1]);
            changed(i);
            changed(i + 1);
        }
        for (; next < order_.size() && edges_[order_[next]].top.y <= y; ++next) {
            std::uint32_t index = order_[next];
            Edge& edge = edges_[index];
            double x = edge.xAt(y);
            // After the edges it meets on the line that leave it further left.
            auto at = std::partition_point(active_.begin(), active_.end(), [&](std::uint32_t other) {
                double otherX = edges_[other].xAt(y);
                return otherX < x || (otherX == x && edges_[other].dxdy <= edge.dxdy);
            });
            std::size_t i = std::size_t(at - active_.begin());
            active_.insert(at, index);
            if (low != SIZE_MAX && low >= i) ++low;
            if (low != SIZE_MAX && high >= i) ++high;
            changed(i);
            edge.pendingSign = 0;
            ends_.push_back({edge.bottom.y, index, 0});
            std::push_heap(ends_.begin(), ends_.end(), std::greater<>());
        }
        if (low == SIZE_MAX) continue;

        // Windings from the first change on, until they agree with what the line had.
        int winding = 0;
        if (low > 0) {
            const Edge& left = edges_[active_[low - 1]];
            winding = left.windingBefore + left.direction;
        }
        for (std::size_t i = low; i < active_.size(); ++i) {
            Edge& edge = edges_[active_[i]];
            if (i > high && edge.windingBefore == winding) break;
            ++work;
            edge.windingBefore = winding;
            bool coveredBefore = covers(winding);
            winding += edge.direction;
            int sign = int(covers(winding)) - int(coveredBefore);
            if (sign != edge.pendingSign) {
                keep(edge, y);
                edge.pendingSign = sign;
                edge.pendingY = y;
            }
        }
        for (std::size_t i = low > 0 ? low - 1 : 0; i <= high; ++i) watch(i, y);
    }
    for (std::uint32_t index : active_) keep(edges_[index], std::min(edges_[index].bottom.y, bottom_));
    return &border_;
}

}  // namespace gfx::raster
