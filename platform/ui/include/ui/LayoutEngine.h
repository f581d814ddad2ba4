#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ui/ConstraintSolver.h"
#include "ui/Geometry.h"

namespace ui {

class LayoutItem;
class LayoutConstraint;

// The layout pass of one root item: turns the constraints installed in the root's subtree, the
// items' intrinsic sizes and their pinned frames into solver constraints, solves, and sets the frames
// of the items that take part. It keeps the solver between passes and hands it only the differences
// (an added, removed or changed constraint), so re-layout after one constant changes is a few pivots.
//
// The root keeps its own frame: its size bounds the subtree, its origin is the subtree's origin.
// Items that no constraint names keep their frames.
class LayoutEngine {
public:
    struct Statistics {
        std::size_t solverAdditions = 0;  // constraints handed to the solver, all passes together
        std::size_t solverRemovals = 0;
        std::size_t framesSet = 0;
        std::size_t droppedConstraints = 0;  // required constraints broken, once per conflict episode
    };

    LayoutEngine();
    ~LayoutEngine();
    LayoutEngine(const LayoutEngine&) = delete;
    LayoutEngine& operator=(const LayoutEngine&) = delete;

    void layout(LayoutItem& root);
    // The root's size at `width` with its height as small as the constraints allow; sets no frames.
    Size fittingSize(LayoutItem& root, double width);

    const Statistics& statistics() const { return statistics_; }

private:
    struct ItemVariables;
    struct SourceKey;
    struct Source;
    struct Entry;
    struct Pass;

    enum class RootSize { current, fittingWidth };

    void solve(LayoutItem& root, RootSize mode, double width);
    bool collect(LayoutItem& root, RootSize mode, double width, Pass& pass);
    void synchronise(const Pass& pass);
    bool tryAdd(Entry& entry);
    void admit(Entry& entry, const Pass& pass);
    bool settleWidthDependentHeights(const Pass& pass);
    void applyFrames(const Pass& pass);
    ItemVariables& variablesFor(const std::shared_ptr<LayoutItem>& item);

    // What the last pass of a root that lays out apart started from, so that a pass with nothing
    // changed inside is skipped. A fitting pass leaves the solver at another root size.
    struct Settled {
        std::uint64_t changes = 0;
        Size rootSize;
    };
    struct Fitted {
        std::uint64_t changes = 0;
        double width = 0;
        Size size;
    };
    std::optional<Settled> settled_;
    std::optional<Fitted> fitted_;

    ConstraintSolver solver_;
    std::unordered_map<const LayoutItem*, ItemVariables> variables_;
    std::map<SourceKey, Entry> entries_;
    // The last height each wrapping item asked for at its solved width; the next pass starts there.
    std::unordered_map<const LayoutItem*, double> wrappedHeights_;
    Statistics statistics_;
};

}  // namespace ui
