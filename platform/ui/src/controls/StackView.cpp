#include "ui/StackView.h"

#include <algorithm>

namespace ui {

namespace {

using Attribute = LayoutAttribute;
using Relation = LayoutRelation;

// The attributes of one axis: along it, and across it.
struct AxisAttributes {
    Attribute start, end, size, crossStart, crossEnd, crossCenter, crossSize;
};

AxisAttributes attributesFor(LayoutAxis axis) {
    if (axis == LayoutAxis::horizontal)
        return {Attribute::leading, Attribute::trailing, Attribute::width,  Attribute::top,
                Attribute::bottom,  Attribute::centerY,  Attribute::height};
    return {Attribute::top, Attribute::bottom, Attribute::height, Attribute::leading, Attribute::trailing,
            Attribute::centerX, Attribute::width};
}

// Pulls gaps of an equal-spacing stack and the cross size of a stack that does not fill towards
// their minimum, weaker than content hugging.
constexpr LayoutPriority spacingHugging = 150;
constexpr LayoutPriority crossHugging = 49;

}  // namespace

// The invisible item between two views of an equal-spacing stack; its size is the gap.
class StackView::Spacer final : public LayoutItem {
public:
    explicit Spacer(StackView* stack) : stack_(stack) { setTranslatesAutoresizingMaskIntoConstraints(false); }
    std::shared_ptr<LayoutItem> superitem() const override { return stack_ ? stack_->shared() : nullptr; }
    std::vector<std::shared_ptr<LayoutItem>> subitems() const override { return {}; }
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override { frame_ = frame; }
    std::string layoutName() const override { return "StackView spacer"; }
    void detach() { stack_ = nullptr; }

private:
    StackView* stack_;
    Rect frame_;
};

StackView::StackView() = default;

StackView::StackView(std::vector<std::shared_ptr<View>> arrangedSubviews) {
    // Subviews cannot be added before the stack is owned; the first rebuild adds them.
    arranged_ = std::move(arrangedSubviews);
    std::erase(arranged_, nullptr);
    for (const auto& view : arranged_) {
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        addSubview(view);
    }
}

StackView::~StackView() {
    for (auto& spacer : spacers_) static_cast<Spacer&>(*spacer).detach();
}

void StackView::setAxis(LayoutAxis axis) {
    axis_ = axis;
    rebuild();
}

void StackView::setDistribution(StackDistribution distribution) {
    distribution_ = distribution;
    rebuild();
}

void StackView::setAlignment(StackAlignment alignment) {
    alignment_ = alignment;
    rebuild();
}

void StackView::setSpacing(double spacing) {
    spacing_ = spacing;
    rebuild();
}

void StackView::addArrangedSubview(const std::shared_ptr<View>& view) { insertArrangedSubview(view, arranged_.size()); }

void StackView::insertArrangedSubview(const std::shared_ptr<View>& view, std::size_t index) {
    if (!view) return;
    std::erase(arranged_, view);
    index = std::min(index, arranged_.size());
    arranged_.insert(arranged_.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    if (view->superview().get() != this) addSubview(view);
    rebuild();
}

void StackView::removeArrangedSubview(const std::shared_ptr<View>& view) {
    if (std::erase(arranged_, view) > 0) rebuild();
}

void StackView::willRemoveSubview(const std::shared_ptr<View>& view) { removeArrangedSubview(view); }

void StackView::didMoveToSuperview() {
    if (constraints_.empty()) rebuild();
}

void StackView::subviewVisibilityDidChange(View& view) {
    if (std::any_of(arranged_.begin(), arranged_.end(), [&](const auto& v) { return v.get() == &view; })) rebuild();
}

std::vector<std::shared_ptr<LayoutItem>> StackView::subitems() const {
    std::vector<std::shared_ptr<LayoutItem>> items = View::subitems();
    items.insert(items.end(), spacers_.begin(), spacers_.end());
    return items;
}

std::string StackView::layoutName() const {
    std::string name = View::layoutName();
    return name == "View" ? "StackView" : name;
}

void StackView::rebuild() {
    removeConstraints(constraints_);
    constraints_.clear();
    for (auto& spacer : spacers_) static_cast<Spacer&>(*spacer).detach();
    spacers_.clear();
    setNeedsLayout();

    std::vector<std::shared_ptr<View>> visible;
    std::copy_if(arranged_.begin(), arranged_.end(), std::back_inserter(visible),
                 [](const auto& view) { return !view->isHidden(); });
    if (visible.empty()) return;
    // Not owned yet (built in a constructor): the first change after that builds the constraints.
    std::shared_ptr<LayoutItem> stack = weak_from_this().lock();
    if (!stack) return;

    AxisAttributes a = attributesFor(axis_);
    auto relate = [&](const std::shared_ptr<LayoutItem>& first, Attribute firstAttribute, Relation relation,
                      const std::shared_ptr<LayoutItem>& second, Attribute secondAttribute, double constant = 0,
                      LayoutPriority priority = layoutPriority::required) {
        auto constraint = LayoutConstraint::make(first, firstAttribute, relation, second, secondAttribute, 1, constant);
        constraint->setPriority(priority);
        constraints_.push_back(constraint);
    };

    relate(visible.front(), a.start, Relation::equal, stack, a.start);
    relate(visible.back(), a.end, Relation::equal, stack, a.end);
    std::shared_ptr<LayoutItem> firstSpacer;
    for (std::size_t i = 1; i < visible.size(); ++i) {
        const auto& before = visible[i - 1];
        const auto& after = visible[i];
        if (distribution_ != StackDistribution::equalSpacing) {
            relate(after, a.start, Relation::equal, before, a.end, spacing_);
            continue;
        }
        auto spacer = std::make_shared<Spacer>(this);
        spacers_.push_back(spacer);
        relate(spacer, a.start, Relation::equal, before, a.end);
        relate(after, a.start, Relation::equal, spacer, a.end);
        relate(spacer, a.crossStart, Relation::equal, stack, a.crossStart);
        relate(spacer, a.crossEnd, Relation::equal, stack, a.crossStart);
        relate(spacer, a.size, Relation::greaterThanOrEqual, nullptr, Attribute::notAnAttribute, spacing_);
        relate(spacer, a.size, Relation::equal, nullptr, Attribute::notAnAttribute, spacing_, spacingHugging);
        if (firstSpacer)
            relate(spacer, a.size, Relation::equal, firstSpacer, a.size);
        else
            firstSpacer = spacer;
    }
    if (distribution_ == StackDistribution::fillEqually)
        for (std::size_t i = 1; i < visible.size(); ++i) relate(visible[i], a.size, Relation::equal, visible[0], a.size);

    for (const auto& view : visible) {
        switch (alignment_) {
            case StackAlignment::fill:
                relate(view, a.crossStart, Relation::equal, stack, a.crossStart);
                relate(view, a.crossEnd, Relation::equal, stack, a.crossEnd);
                break;
            case StackAlignment::leading:
                relate(view, a.crossStart, Relation::equal, stack, a.crossStart);
                relate(view, a.crossEnd, Relation::lessThanOrEqual, stack, a.crossEnd);
                break;
            case StackAlignment::trailing:
                relate(view, a.crossEnd, Relation::equal, stack, a.crossEnd);
                relate(view, a.crossStart, Relation::greaterThanOrEqual, stack, a.crossStart);
                break;
            case StackAlignment::center:
                relate(view, a.crossCenter, Relation::equal, stack, a.crossCenter);
                relate(view, a.crossStart, Relation::greaterThanOrEqual, stack, a.crossStart);
                break;
        }
    }
    if (alignment_ != StackAlignment::fill)
        relate(stack, a.crossSize, Relation::equal, nullptr, Attribute::notAnAttribute, 0, crossHugging);
    addConstraints(constraints_);
}

}  // namespace ui
