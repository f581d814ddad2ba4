#include "ui/LayoutEngine.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_set>

#include "foundation/Print.h"
#include "ui/LayoutItem.h"

namespace ui {

namespace {

using Variable = ConstraintSolver::Variable;
using Term = ConstraintSolver::Term;
using SolverConstraint = ConstraintSolver::Constraint;
using Relation = ConstraintSolver::Relation;

enum class SourceKind { constraint, huggingWidth, huggingHeight, resistingWidth, resistingHeight, pinLeft, pinTop,
                        pinWidth, pinHeight };

enum class AttributeAxis { horizontal, vertical, dimension };

AttributeAxis axisOf(LayoutAttribute attribute) {
    switch (attribute) {
        case LayoutAttribute::top:
        case LayoutAttribute::bottom:
        case LayoutAttribute::centerY:
        case LayoutAttribute::topMargin:
        case LayoutAttribute::bottomMargin:
            return AttributeAxis::vertical;
        case LayoutAttribute::width:
        case LayoutAttribute::height:
            return AttributeAxis::dimension;
        default:
            return AttributeAxis::horizontal;
    }
}

Relation relationOf(LayoutRelation relation) {
    switch (relation) {
        case LayoutRelation::lessThanOrEqual: return Relation::lessThanOrEqual;
        case LayoutRelation::greaterThanOrEqual: return Relation::greaterThanOrEqual;
        case LayoutRelation::equal: break;
    }
    return Relation::equal;
}

// Solutions carry rounding noise from the pivots; frames should not.
double snapped(double value) { return std::round(value * 1e6) / 1e6; }

// Wrapping text is as wide as its one line only while that width is there: held as required, a
// long title's one-line width would contradict the edges that should make it wrap. Just under
// required it gives way to required constraints alone, and still beats a 999 point for point.
constexpr double wrappingResistanceStrength = layoutPriority::required - 0.5;

double resistingWidthStrength(const LayoutItem& item, double oneLineWidth) {
    double priority = item.contentCompressionResistancePriority(LayoutAxis::horizontal);
    if (priority < layoutPriority::required || !item.intrinsicHeight(oneLineWidth)) return priority;
    return wrappingResistanceStrength;
}

}  // namespace

struct LayoutEngine::ItemVariables {
    std::weak_ptr<LayoutItem> item;
    Variable left, top, width, height;
    std::optional<double> wrappedHeight;

    // Adds `scale` x attribute to `constraint`.
    void addAttribute(LayoutAttribute attribute, double scale, SolverConstraint& constraint) const {
        auto addTerm = [&](Variable variable, double coefficient) {
            constraint.terms.push_back(Term{variable, coefficient * scale});
        };
        EdgeInsets margins;
        if (auto alive = item.lock()) margins = alive->layoutMargins();
        switch (attribute) {
            case LayoutAttribute::left:
            case LayoutAttribute::leading: addTerm(left, 1); break;
            case LayoutAttribute::right:
            case LayoutAttribute::trailing: addTerm(left, 1), addTerm(width, 1); break;
            case LayoutAttribute::top: addTerm(top, 1); break;
            case LayoutAttribute::bottom: addTerm(top, 1), addTerm(height, 1); break;
            case LayoutAttribute::width: addTerm(width, 1); break;
            case LayoutAttribute::height: addTerm(height, 1); break;
            case LayoutAttribute::centerX: addTerm(left, 1), addTerm(width, 0.5); break;
            case LayoutAttribute::centerY: addTerm(top, 1), addTerm(height, 0.5); break;
            case LayoutAttribute::leftMargin:
            case LayoutAttribute::leadingMargin:
                addTerm(left, 1);
                constraint.constant += scale * margins.left;
                break;
            case LayoutAttribute::rightMargin:
            case LayoutAttribute::trailingMargin:
                addTerm(left, 1), addTerm(width, 1);
                constraint.constant -= scale * margins.right;
                break;
            case LayoutAttribute::topMargin:
                addTerm(top, 1);
                constraint.constant += scale * margins.top;
                break;
            case LayoutAttribute::bottomMargin:
                addTerm(top, 1), addTerm(height, 1);
                constraint.constant -= scale * margins.bottom;
                break;
            case LayoutAttribute::notAnAttribute: break;
        }
    }
};

struct LayoutEngine::SourceKey {
    const void* owner = nullptr;
    SourceKind kind = SourceKind::constraint;
    friend auto operator<=>(const SourceKey&, const SourceKey&) = default;
};

// One solver constraint the tree asks for, or (without `valid`) one it asked for but cannot have.
struct LayoutEngine::Source {
    SourceKey key;
    SolverConstraint constraint;
    bool valid = true;
    std::string problem;  // printed when an invalid source first shows up
    std::shared_ptr<LayoutConstraint> layoutConstraint;
    std::shared_ptr<LayoutItem> item;

    std::string describe() const {
        if (layoutConstraint) return layoutConstraint->description();
        static constexpr const char* kinds[] = {"", "hugging width", "hugging height", "compression-resisting width",
                                                "compression-resisting height", "pinned left", "pinned top",
                                                "pinned width", "pinned height"};
        return (item ? item->layoutName() : std::string("item")) + " " + kinds[static_cast<int>(key.kind)];
    }
};

struct LayoutEngine::Entry {
    SolverConstraint constraint;
    bool valid = true;
    std::optional<ConstraintSolver::ConstraintId> id;
    bool seen = false;
    std::size_t order = 0;  // index among the pass's sources: of two that conflict, the earlier holds
    // Wanted and valid, but it contradicts required constraints that come before it. It waits outside
    // the solver and is tried again whenever the layout changes; the warning is printed once per
    // episode, when it first fails.
    bool dropped = false;
};

struct LayoutEngine::Pass {
    std::shared_ptr<LayoutItem> root;
    std::vector<std::shared_ptr<LayoutItem>> participants;  // root first, each after its superitem
    std::vector<Source> sources;
    std::vector<std::shared_ptr<LayoutItem>> apart;  // items below that lay out their own subtrees
};

LayoutEngine::LayoutEngine() = default;
LayoutEngine::~LayoutEngine() = default;

LayoutEngine::ItemVariables& LayoutEngine::variablesFor(const std::shared_ptr<LayoutItem>& item) {
    auto found = variables_.find(item.get());
    if (found != variables_.end()) return found->second;
    ItemVariables variables{item, solver_.makeVariable(), solver_.makeVariable(), solver_.makeVariable(),
                            solver_.makeVariable(), std::nullopt};
    return variables_.emplace(item.get(), variables).first->second;
}

bool LayoutEngine::collect(LayoutItem& rootItem, RootSize mode, double width, Pass& pass) {
    pass.root = rootItem.weak_from_this().lock();
    if (!pass.root) return false;
    std::erase_if(variables_, [](const auto& entry) { return entry.second.item.expired(); });

    std::vector<std::shared_ptr<LayoutItem>> tree{pass.root};
    for (std::size_t index = 0; index < tree.size(); ++index) {
        if (index > 0 && tree[index]->laysOutApart()) {
            pass.apart.push_back(tree[index]);
            continue;
        }
        for (auto& subitem : tree[index]->subitems()) {
            if (subitem) tree.push_back(std::move(subitem));
        }
    }
    std::unordered_set<const LayoutItem*> inTree;
    for (const auto& item : tree) inTree.insert(item.get());

    std::unordered_set<const LayoutItem*> taking{pass.root.get()};
    auto takePart = [&](std::shared_ptr<LayoutItem> item) {
        for (; item && taking.insert(item.get()).second; item = item->superitem()) {
        }
    };
    std::vector<Source> constraintSources;
    for (const auto& owner : tree) {
        if (owner != pass.root && owner->laysOutApart()) continue;  // its own pass holds them
        for (const auto& layoutConstraint : owner->constraints()) {
            Source source{{layoutConstraint.get(), SourceKind::constraint}, {}, true, {}, layoutConstraint, nullptr};
            auto first = layoutConstraint->firstItem();
            auto second = layoutConstraint->secondItem();
            bool hasSecond = layoutConstraint->secondAttribute() != LayoutAttribute::notAnAttribute;
            if (!first || (hasSecond && !second)) continue;  // an item is gone: nothing left to hold
            if (!inTree.contains(first.get()) || (second && !inTree.contains(second.get()))) {
                source.valid = false;
                source.problem = "names an item outside the tree being laid out";
            } else if (hasSecond && axisOf(layoutConstraint->firstAttribute()) !=
                                        axisOf(layoutConstraint->secondAttribute())) {
                source.valid = false;
                source.problem = "relates attributes of different axes";
            } else if (!hasSecond && axisOf(layoutConstraint->firstAttribute()) != AttributeAxis::dimension) {
                source.valid = false;
                source.problem = "gives a position without a second item";
            } else {
                takePart(first);
                takePart(second);
            }
            constraintSources.push_back(std::move(source));
        }
    }

    for (const auto& item : tree) {
        if (taking.contains(item.get())) pass.participants.push_back(item);
    }
    for (const auto& item : pass.participants) variablesFor(item);

    auto addSource = [&](const std::shared_ptr<LayoutItem>& item, SourceKind kind,
                         std::initializer_list<Term> terms, double constant, Relation relation, double strength) {
        pass.sources.push_back(Source{{item.get(), kind}, SolverConstraint{terms, constant, relation, strength},
                                      true, {}, nullptr, item});
    };
    for (const auto& item : pass.participants) {
        const ItemVariables& own = variables_.at(item.get());
        if (item == pass.root) {
            Rect frame = item->frame();
            double rootWidth = mode == RootSize::fittingWidth ? width : frame.width();
            addSource(item, SourceKind::pinLeft, {{own.left, 1}}, 0, Relation::equal, layoutPriority::required);
            addSource(item, SourceKind::pinTop, {{own.top, 1}}, 0, Relation::equal, layoutPriority::required);
            addSource(item, SourceKind::pinWidth, {{own.width, 1}}, -rootWidth, Relation::equal,
                      layoutPriority::required);
            if (mode == RootSize::fittingWidth) {
                addSource(item, SourceKind::pinHeight, {{own.height, 1}}, 0, Relation::equal,
                          layoutPriority::fittingSizeLevel);
            } else {
                addSource(item, SourceKind::pinHeight, {{own.height, 1}}, -frame.height(), Relation::equal,
                          layoutPriority::required);
            }
            continue;
        }
        if (item->translatesAutoresizingMaskIntoConstraints()) {
            const ItemVariables& parent = variables_.at(item->superitem().get());
            Rect frame = item->frame();
            addSource(item, SourceKind::pinLeft, {{own.left, 1}, {parent.left, -1}}, -frame.minX(), Relation::equal,
                      layoutPriority::required);
            addSource(item, SourceKind::pinTop, {{own.top, 1}, {parent.top, -1}}, -frame.minY(), Relation::equal,
                      layoutPriority::required);
            addSource(item, SourceKind::pinWidth, {{own.width, 1}}, -frame.width(), Relation::equal,
                      layoutPriority::required);
            addSource(item, SourceKind::pinHeight, {{own.height, 1}}, -frame.height(), Relation::equal,
                      layoutPriority::required);
            continue;
        }
        Size intrinsic = item->intrinsicContentSize();
        if (own.wrappedHeight) intrinsic.height = *own.wrappedHeight;
        if (intrinsic.width >= 0) {
            addSource(item, SourceKind::huggingWidth, {{own.width, 1}}, -intrinsic.width, Relation::lessThanOrEqual,
                      item->contentHuggingPriority(LayoutAxis::horizontal));
            addSource(item, SourceKind::resistingWidth, {{own.width, 1}}, -intrinsic.width,
                      Relation::greaterThanOrEqual, resistingWidthStrength(*item, intrinsic.width));
        }
        if (intrinsic.height >= 0) {
            addSource(item, SourceKind::huggingHeight, {{own.height, 1}}, -intrinsic.height,
                      Relation::lessThanOrEqual, item->contentHuggingPriority(LayoutAxis::vertical));
            addSource(item, SourceKind::resistingHeight, {{own.height, 1}}, -intrinsic.height,
                      Relation::greaterThanOrEqual, item->contentCompressionResistancePriority(LayoutAxis::vertical));
        }
    }

    for (Source& source : constraintSources) {
        if (source.valid) {
            const LayoutConstraint& layoutConstraint = *source.layoutConstraint;
            SolverConstraint& constraint = source.constraint;
            variables_.at(layoutConstraint.firstItem().get())
                .addAttribute(layoutConstraint.firstAttribute(), 1, constraint);
            if (auto second = layoutConstraint.secondItem()) {
                variables_.at(second.get())
                    .addAttribute(layoutConstraint.secondAttribute(), -layoutConstraint.multiplier(), constraint);
            }
            constraint.constant -= layoutConstraint.constant();
            constraint.relation = relationOf(layoutConstraint.relation());
            constraint.strength = layoutConstraint.priority();
        }
        pass.sources.push_back(std::move(source));
    }
    return true;
}

void LayoutEngine::synchronise(const Pass& pass) {
    for (auto& [key, entry] : entries_) entry.seen = false;
    bool changed = false;
    for (std::size_t index = 0; index < pass.sources.size(); ++index) {
        const Source& source = pass.sources[index];
        bool wasDropped = false;
        auto found = entries_.find(source.key);
        if (found != entries_.end()) {
            Entry& entry = found->second;
            entry.order = index;
            if (entry.valid == source.valid && entry.constraint == source.constraint) {
                entry.seen = true;
                continue;
            }
            // A constant animating on a broken constraint is still the same conflict.
            wasDropped = entry.dropped;
            if (entry.id) {
                solver_.remove(*entry.id);
                ++statistics_.solverRemovals;
            }
            entries_.erase(found);
        }
        changed = true;
        if (!source.valid) foundation::print("Ignoring constraint", source.describe() + ":", source.problem);
        entries_.emplace(source.key, Entry{source.constraint, source.valid, std::nullopt, true, index, wasDropped});
    }
    std::erase_if(entries_, [&](const auto& keyAndEntry) {
        const Entry& entry = keyAndEntry.second;
        if (entry.seen) return false;
        if (entry.id) {
            solver_.remove(*entry.id);
            ++statistics_.solverRemovals;
        }
        changed = true;
        return true;
    });
    if (!changed) return;

    // The new constraints and the ones broken earlier, which may fit now, in the pass's order.
    std::vector<Entry*> waiting;
    for (auto& [key, entry] : entries_) {
        if (entry.valid && !entry.id) waiting.push_back(&entry);
    }
    std::ranges::sort(waiting, {}, &Entry::order);
    for (Entry* entry : waiting) {
        if (!entry->id) admit(*entry, pass);
    }
}

bool LayoutEngine::tryAdd(Entry& entry) {
    auto added = solver_.add(entry.constraint);
    if (!added) return false;
    entry.id = *added;
    entry.dropped = false;
    ++statistics_.solverAdditions;
    return true;
}

void LayoutEngine::admit(Entry& entry, const Pass& pass) {
    if (tryAdd(entry)) return;
    // Which constraint breaks must not depend on history: a root that shrank keeps its new size over
    // the constraints inside it, exactly as a fresh pass would decide. So the required constraints
    // after this one step out, this one goes in if the earlier ones allow, and they follow in order.
    std::vector<Entry*> later;
    for (auto& [key, other] : entries_) {
        if (other.id && other.order > entry.order && other.constraint.strength >= layoutPriority::required) {
            later.push_back(&other);
        }
    }
    std::ranges::sort(later, {}, &Entry::order);
    for (Entry* other : later) {
        solver_.remove(*other->id);
        other->id.reset();
        ++statistics_.solverRemovals;
    }
    auto admitOrDrop = [&](Entry& candidate) {
        if (tryAdd(candidate)) return;
        if (!candidate.dropped) {
            ++statistics_.droppedConstraints;
            foundation::print("Unable to simultaneously satisfy constraints. Will attempt to recover by breaking",
                              pass.sources[candidate.order].describe());
        }
        candidate.dropped = true;
    };
    admitOrDrop(entry);
    for (Entry* other : later) admitOrDrop(*other);
}

bool LayoutEngine::settleWidthDependentHeights(const Pass& pass) {
    bool changed = false;
    for (const auto& item : pass.participants) {
        if (item == pass.root || item->translatesAutoresizingMaskIntoConstraints()) continue;
        ItemVariables& own = variables_.at(item.get());
        auto height = item->intrinsicHeight(snapped(solver_.value(own.width)));
        if (!height) {
            // It stopped wrapping (a label set back to one line): a height it wrapped to before
            // would keep it that tall and squeeze its neighbours.
            if (own.wrappedHeight) {
                own.wrappedHeight.reset();
                changed = true;
            }
            continue;
        }
        double previous = own.wrappedHeight.value_or(item->intrinsicContentSize().height);
        own.wrappedHeight = *height;
        if (std::fabs(*height - previous) > 1e-6) changed = true;
    }
    return changed;
}

void LayoutEngine::applyFrames(const Pass& pass) {
    for (const auto& item : pass.participants) {
        // A translating item is pinned to its own frame: writing it back would only add rounding,
        // and under a transform a frame set is not the frame read.
        if (item == pass.root || item->translatesAutoresizingMaskIntoConstraints()) continue;
        const ItemVariables& own = variables_.at(item.get());
        const ItemVariables& parent = variables_.at(item->superitem().get());
        Rect frame{{snapped(solver_.value(own.left) - solver_.value(parent.left)),
                    snapped(solver_.value(own.top) - solver_.value(parent.top))},
                   {snapped(solver_.value(own.width)), snapped(solver_.value(own.height))}};
        if (frame != item->frame()) {
            item->setFrame(frame);
            ++statistics_.framesSet;
        }
    }
}

void LayoutEngine::solve(LayoutItem& root, RootSize mode, double width) {
    // A wrapping label's height depends on the width it gets, which may depend on its height: solve
    // again with the heights asked for at the solved widths until they settle (they do within a
    // pass or two; the bound only stops text measurement that never agrees with itself).
    constexpr int maximumPasses = 4;
    for (int attempt = 0; attempt < maximumPasses; ++attempt) {
        Pass pass;
        if (!collect(root, mode, width, pass)) return;
        synchronise(pass);
        if (!settleWidthDependentHeights(pass) || attempt + 1 == maximumPasses) {
            if (mode == RootSize::current) {
                applyFrames(pass);
                // Their frames are final now; each keeps its own solver.
                for (const auto& item : pass.apart) item->layoutSubtree();
            }
            return;
        }
    }
}

void LayoutEngine::layout(LayoutItem& root) {
    if (root.laysOutApart() && settled_ && settled_->changes == root.layoutChangeCount() &&
        settled_->rootSize == root.frame().size) {
        return;
    }
    solve(root, RootSize::current, 0);
    if (root.laysOutApart()) settled_ = Settled{root.layoutChangeCount(), root.frame().size};
}

Size LayoutEngine::fittingSize(LayoutItem& root, double width) {
    if (root.laysOutApart() && fitted_ && fitted_->changes == root.layoutChangeCount() && fitted_->width == width) {
        return fitted_->size;
    }
    settled_.reset();
    solve(root, RootSize::fittingWidth, width);
    auto found = variables_.find(&root);
    Size size{width, found == variables_.end() ? 0 : snapped(solver_.value(found->second.height))};
    if (root.laysOutApart()) fitted_ = Fitted{root.layoutChangeCount(), width, size};
    return size;
}

}  // namespace ui
