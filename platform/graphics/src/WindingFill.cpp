#include "WindingFill.h"

#include <algorithm>
#include <cmath>

namespace gfx::raster {

namespace {

// Edges whose order flips by less than this (device pixels) over a stretch are taken as not crossing
// there: nearly coincident edges (pieces sharing a side) would otherwise split the sweep endlessly.
constexpr double crossingSlack = 1e-9;

// Restores the heap `heap` (soonest first) after its top went later.
template <typename Heap>
void siftDown(Heap& heap) {
    std::size_t at = 0, size = heap.size();
    auto moved = heap[0];
    while (true) {
        std::size_t child = 2 * at + 1;
        if (child >= size) break;
        // The sooner child picked without a branch: which one it is is a coin toss.
        std::size_t other = child + 1 < size ? child + 1 : child;
        child += std::size_t(heap[child] > heap[other]);
        if (!(moved > heap[child])) break;
        heap[at] = heap[child];
        at = child;
    }
    heap[at] = moved;
}

}  // namespace

void BorderTracer::begin(double top, double bottom, double right) {
    top_ = top;
    bottom_ = bottom;
    right_ = right;
    points_.clear();
    chains_.clear();
}

void BorderTracer::polygon(const Point* corners, std::size_t count) {
    ways_.resize(count);
    for (std::size_t edge = 0; edge < count; ++edge) {
        double from = corners[edge].y, to = corners[edge + 1 < count ? edge + 1 : 0].y;
        // Without a branch: an outline turning back and forth often goes either way.
        ways_[edge] = std::int8_t(int(from < to) - int(from > to));
    }
    // Start where a run begins, so that none wraps around; a polygon that never changes way is flat.
    std::size_t start = 0;
    while (start < count && !(ways_[start] != 0 && ways_[start > 0 ? start - 1 : count - 1] != ways_[start])) ++start;
    if (start == count) return;
    auto way = [&](std::size_t edge) { return ways_[edge < count ? edge : edge - count]; };
    for (std::size_t edge = start; edge < start + count;) {
        int direction = way(edge);
        std::size_t end = edge + 1;
        while (end < start + count && way(end) == direction) ++end;
        if (direction != 0) {
            // The run's points top to bottom.
            auto first = std::uint32_t(points_.size());
            double left = INFINITY;
            for (std::size_t k = 0; k <= end - edge; ++k) {
                std::size_t at = direction > 0 ? edge + k : end - k;
                Point p = corners[at < count ? at : at - count];
                left = std::min(left, p.x);
                points_.push_back(p);
            }
            auto last = std::uint32_t(points_.size() - 1);
            if (points_[last].y <= top_ || points_[first].y >= bottom_ || left >= right_) points_.resize(first);
            else chains_.push_back({first, last, first, direction, {}, {}, 0, 0, 0, 0, UINT32_MAX});
        }
        edge = end;
    }
}

[[gnu::always_inline]] inline double BorderTracer::xAt(const Chain& chain, double y) const {
    const Point &a = chain.a, &b = chain.b;
    return y <= a.y ? a.x : y >= b.y ? b.x : a.x + (y - a.y) * chain.dxdy;
}

// Inlined, as the sweep keeps a stretch at nearly every corner it stops at.
[[gnu::always_inline]] inline void BorderTracer::keep(Chain& chain, double y) {
    if (chain.pendingSign != 0 && y > chain.pendingY) {
        const Point &a = chain.a, &b = chain.b;
        Point from = chain.pendingY <= a.y ? a : Point{xAt(chain, chain.pendingY), chain.pendingY};
        Point to = y >= b.y ? b : Point{xAt(chain, y), y};
        border_.push_back({from, to, double(chain.pendingSign)});
    }
    chain.pendingSign = 0;
}

void BorderTracer::startSegment(Chain& chain) {
    // From the points as read, not as just stored in the chain: reading a half of a pair just
    // written waits for the write.
    Point a = points_[chain.segment], b = points_[chain.segment + 1];
    chain.a = a;
    chain.b = b;
    chain.dxdy = (b.x - a.x) / (b.y - a.y);
}

[[gnu::always_inline]] inline void BorderTracer::watch(std::size_t index, double y) {
    if (index + 1 >= active_.size()) return;
    const Chain &left = chains_[active_[index]], &right = chains_[active_[index + 1]];
    double closing = left.dxdy - right.dxdy;
    double gap = xAt(right, y) - xAt(left, y);
    double last = std::min({left.b.y, right.b.y, bottom_});
    // Neighbours already past each other (a segment all but flat crossed one as it ended, and the
    // next one goes on from there) are swapped straight away, whichever way they go on: windings
    // counted across them in the wrong order would be wrong for as long as they run side by side.
    bool past = gap < -crossingSlack;
    // Whether they close in and meet before either segment ends, tested as one: closing in or not
    // is a coin toss from one neighbour to the next, and a branch on it alone mostly guesses wrong.
    bool meet = (closing > 0) & !(gap + crossingSlack >= (last - y) * closing);
    if (!(past | meet)) return;
    double at = y;
    // Where they cross, however close: until the swap the line is out of order there, and a chain
    // starting meanwhile would be placed and wound among neighbours in the wrong order.
    if (!past) at = y + std::max(gap, 0.0) / closing;
    if (!(at > y)) at = std::nextafter(y, INFINITY);
    crossings_.push_back({at, active_[index], active_[index + 1], left.segment, right.segment});
    std::push_heap(crossings_.begin(), crossings_.end(), std::greater<>());
}

void BorderTracer::renumber(std::size_t from) {
    // Only the nearest: thousands of chains beside one another would make each start or end cost as
    // much again, and those further on are found by the search a few places from where they were.
    std::size_t end = std::min(active_.size(), from + 64);
    for (std::size_t i = from; i < end; ++i) chains_[active_[i]].slot = std::uint32_t(i);
}

std::size_t BorderTracer::find(std::uint32_t chain) {
    std::uint32_t& slot = chains_[chain].slot;
    std::size_t size = active_.size();
    if (slot == UINT32_MAX || size == 0) return size;
    std::size_t seen = std::min<std::size_t>(slot, size - 1);
    for (std::size_t distance = 0; distance <= seen || seen + distance < size; ++distance) {
        if (seen + distance < size && active_[seen + distance] == chain) return slot = std::uint32_t(seen + distance);
        if (distance <= seen && active_[seen - distance] == chain) return slot = std::uint32_t(seen - distance);
    }
    return size;
}

const std::vector<BorderPiece>* BorderTracer::trace(FillRule rule, std::size_t budget) {
    border_.clear();
    active_.clear();
    corners_.clear();
    crossings_.clear();
    if (chains_.empty()) return &border_;
    starts_.resize(chains_.size());
    for (std::uint32_t i = 0; i < starts_.size(); ++i) starts_[i] = {points_[chains_[i].first].y, i};
    std::sort(starts_.begin(), starts_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    auto covers = [rule](int winding) { return rule == FillRule::evenOdd ? (winding & 1) != 0 : winding != 0; };
    auto pop = [](auto& heap) {
        std::pop_heap(heap.begin(), heap.end(), std::greater<>());
        auto stop = heap.back();
        heap.pop_back();
        return stop;
    };
    // Making room on the line costs as many steps as chains it moves, and each chain stopped at counts
    // those left of it, as a measure of how crowded the line is: both count towards the budget, or
    // thousands of chains crossing one another would stop it in time only after seconds.
    std::size_t next = 0;
    std::size_t& work = steps_;
    work = 0;
    auto place = [&](std::uint32_t chain) {
        std::size_t i = find(chain);
        work += i;
        return i;
    };
    while (true) {
        double ahead = next < starts_.size() ? std::min(std::max(top_, starts_[next].first), bottom_) : bottom_;
        double y = ahead;
        if (!corners_.empty()) y = std::min(y, corners_.front().y);
        if (!crossings_.empty()) y = std::min(y, crossings_.front().y);
        if (!(y < bottom_)) break;
        if (++work > budget) return nullptr;

        // The places on the line whose neighbours changed, [low, high].
        std::size_t low = SIZE_MAX, high = 0;
        auto changed = [&](std::size_t i) { low = std::min(low, i), high = std::max(high, i); };
        while (!corners_.empty()) {
            if (!(corners_.front().y <= y)) {
                // Where nothing changed on the line, the sweep goes straight on to the next corner when
                // no crossing or start comes first: most stops are corners within chains, and going
                // round the whole loop for each costs a good part of what the corner itself does.
                double cornerY = corners_.front().y;
                if (low != SIZE_MAX || !(cornerY < ahead)) break;
                if (!crossings_.empty() && !(cornerY < crossings_.front().y)) break;
                y = cornerY;
                if (++work > budget) return nullptr;
            }
            std::uint32_t index = corners_.front().chain;
            Chain& chain = chains_[index];
            std::size_t i = place(index);
            if (chain.segment + 1 < chain.last) {
                // A corner within the chain: the stretch kept goes on along the next segment, whose
                // corner takes this one's place in the heap.
                double cornerY = chain.b.y;
                int sign = chain.pendingSign;
                keep(chain, cornerY);
                chain.pendingSign = sign;
                chain.pendingY = cornerY;
                ++chain.segment;
                // The heap put right first, from the points themselves: it need not wait for the
                // segment's slope.
                corners_.front().y = std::max(points_[chain.segment + 1].y, y);
                siftDown(corners_);
                startSegment(chain);
                if (i < active_.size()) {
                    if (i > 0) watch(i - 1, y);
                    watch(i, y);
                }
                continue;
            }
            pop(corners_);
            keep(chain, chain.b.y);
            if (i == active_.size()) continue;
            active_.erase(active_.begin() + std::ptrdiff_t(i));
            chain.slot = UINT32_MAX;
            renumber(i);
            work += active_.size() - i;
            // Thousands of chains may end or start on one line: the budget holds within it too.
            if (work > budget) return nullptr;
            if (low != SIZE_MAX && low > i) --low;
            if (high > i) --high;
            changed(i);
        }
        while (!crossings_.empty() && crossings_.front().y <= y) {
            Crossing stop = pop(crossings_);
            if (chains_[stop.left].segment != stop.leftSegment || chains_[stop.right].segment != stop.rightSegment)
                continue;
            std::size_t i = place(stop.left);
            if (i + 1 >= active_.size() || active_[i + 1] != stop.right) continue;
            std::swap(active_[i], active_[i + 1]);
            chains_[active_[i]].slot = std::uint32_t(i);
            chains_[active_[i + 1]].slot = std::uint32_t(i + 1);
            changed(i);
            changed(i + 1);
        }
        for (; next < starts_.size() && starts_[next].first <= y; ++next) {
            std::uint32_t index = starts_[next].second;
            Chain& chain = chains_[index];
            // A chain reaching above the rows starts at their top.
            while (chain.segment + 1 < chain.last && points_[chain.segment + 1].y <= y) ++chain.segment;
            if (points_[chain.segment + 1].y <= y) continue;
            chain.pendingSign = 0;
            startSegment(chain);
            corners_.push_back({std::max(chain.b.y, y), index});
            std::push_heap(corners_.begin(), corners_.end(), std::greater<>());
            double x = xAt(chain, y);
            // After the chains it meets on the line that leave it further left.
            auto at = std::partition_point(active_.begin(), active_.end(), [&](std::uint32_t other) {
                double otherX = xAt(chains_[other], y);
                return otherX < x || (otherX == x && chains_[other].dxdy <= chain.dxdy);
            });
            std::size_t i = std::size_t(at - active_.begin());
            active_.insert(at, index);
            renumber(i);
            work += active_.size() - i;
            if (work > budget) return nullptr;
            if (low != SIZE_MAX && low >= i) ++low;
            if (low != SIZE_MAX && high >= i) ++high;
            changed(i);
        }
        if (work > budget) return nullptr;
        if (low == SIZE_MAX) continue;

        // Windings from the first change on, until they agree with what the line had.
        int winding = 0;
        if (low > 0) {
            const Chain& left = chains_[active_[low - 1]];
            winding = left.windingBefore + left.direction;
        }
        for (std::size_t i = low; i < active_.size(); ++i) {
            Chain& chain = chains_[active_[i]];
            if (i > high && chain.windingBefore == winding) break;
            ++work;
            chain.windingBefore = winding;
            bool coveredBefore = covers(winding);
            winding += chain.direction;
            int sign = int(covers(winding)) - int(coveredBefore);
            if (sign != chain.pendingSign) {
                keep(chain, y);
                chain.pendingSign = sign;
                chain.pendingY = y;
            }
        }
        for (std::size_t i = low > 0 ? low - 1 : 0; i <= high; ++i) watch(i, y);
    }
    for (std::uint32_t index : active_) {
        Chain& chain = chains_[index];
        keep(chain, std::min(chain.b.y, bottom_));
    }
    return &border_;
}

}  // namespace gfx::raster
