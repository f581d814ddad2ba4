#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "declarative/Animation.h"
#include "declarative/Identity.h"
#include "declarative/ObservableObject.h"
#include "ui/View.h"

namespace declarative {

class AnyView;
class NodeUpdate;
class ViewContext;
struct ViewNode;
class Graph;

// One kind of view description. A description's node (its platform view, state and children) is kept
// from one evaluation to the next while the kind and the identity stay the same.
class Element {
public:
    virtual ~Element() = default;
    virtual std::type_index kind() const = 0;
    virtual const Identity* identity() const { return nullptr; }
    // The platform view of a new node.
    virtual std::shared_ptr<ui::View> makeView() const = 0;
    // Brings the node's view and children to this description; runs on every evaluation.
    virtual void update(NodeUpdate& update) const = 0;
};

// A view value made of other views: its body is evaluated for its node, which keeps its state objects.
template <class V>
concept Composite = requires(const V& view, ViewContext& context) {
    { view.body(context) } -> std::convertible_to<AnyView>;
};

// A view value that hosts a platform view of type ViewType: made once per node, then updated on every
// evaluation (the first one included).
template <class V>
concept Representable = requires(const V& value, typename V::ViewType& view) {
    { value.makeView() } -> std::convertible_to<std::shared_ptr<typename V::ViewType>>;
    value.updateView(view);
};

// Any view as a value: a description, cheap to copy, with the modifiers every view has.
class AnyView {
public:
    AnyView() = default;  // nothing to show
    explicit AnyView(std::shared_ptr<const Element> element) : element_(std::move(element)) {}
    template <Composite V>
    AnyView(V view);  // NOLINT: every view converts to AnyView
    template <Representable V>
        requires(!Composite<V>)
    AnyView(V value);  // NOLINT

    // The view at this opacity (0 to 1); a change animates when the evaluation runs under an animation.
    AnyView opacity(double value) const;
    // Actions run when the view comes into a window's tree and when it leaves it (removed, or its
    // hosting view left the window).
    AnyView onAppear(std::function<void()> action) const;
    AnyView onDisappear(std::function<void()> action) const;
    AnyView id(Identity identity) const;

    const std::shared_ptr<const Element>& element() const { return element_; }

private:
    std::shared_ptr<const Element> element_;
};

// The state objects of the node being evaluated, made on its first evaluation and kept while it lives.
class ViewContext {
public:
    // The node's next state object in call order; `make` runs only the first time. The node observes
    // an ObservableObject and is evaluated again after each of its change events.
    template <class T>
    std::shared_ptr<T> stateObject(const std::function<std::shared_ptr<T>()>& make) {
        return std::static_pointer_cast<T>(stateSlot([&]() -> std::pair<std::shared_ptr<void>, ObservableObject*> {
            std::shared_ptr<T> made = make();
            if constexpr (std::is_base_of_v<ObservableObject, T>) return {made, made.get()};
            else return {made, nullptr};
        }));
    }

private:
    friend class NodeUpdate;
    ViewContext(Graph& graph, ViewNode& node) : graph_(graph), node_(node) {}
    std::shared_ptr<void> stateSlot(const std::function<std::pair<std::shared_ptr<void>, ObservableObject*>()>& make);

    Graph& graph_;
    ViewNode& node_;
    std::size_t nextSlot_ = 0;
};

// What an element may do to its node while it is evaluated.
class NodeUpdate {
public:
    NodeUpdate(Graph& graph, ViewNode& node, std::optional<Animation> animation)
        : graph_(graph), node_(node), animation_(animation), context_(graph, node) {}

    ui::View& view();
    template <class T>
    T& viewAs() {
        return static_cast<T&>(view());
    }
    ViewContext& context() { return context_; }
    // The animation this evaluation runs under, if any.
    const std::optional<Animation>& animation() const { return animation_; }
    // Runs `change` (view property changes) animated when the evaluation runs under an animation.
    void animate(const std::function<void()>& change);
    // Brings the node's children to these descriptions: same place, kind and identity keep a child.
    void setChildren(std::vector<AnyView> children);
    void setAppearActions(std::function<void()> appear, std::function<void()> disappear);

private:
    Graph& graph_;
    ViewNode& node_;
    std::optional<Animation> animation_;
    ViewContext context_;
};

// A plain container view: its children fill it, or stand centred at the size they fit.
std::shared_ptr<ui::View> makeContainerView(bool centred);

template <Composite V>
class CompositeElement final : public Element {
public:
    explicit CompositeElement(V view) : view_(std::move(view)) {}
    std::type_index kind() const override { return typeid(V); }
    std::shared_ptr<ui::View> makeView() const override { return makeContainerView(false); }
    void update(NodeUpdate& update) const override { update.setChildren({AnyView(view_.body(update.context()))}); }

private:
    V view_;
};

template <Representable V>
class RepresentableElement final : public Element {
public:
    explicit RepresentableElement(V value) : value_(std::move(value)) {}
    std::type_index kind() const override { return typeid(V); }
    std::shared_ptr<ui::View> makeView() const override { return value_.makeView(); }
    void update(NodeUpdate& update) const override { value_.updateView(update.viewAs<typename V::ViewType>()); }

private:
    V value_;
};

template <Composite V>
AnyView::AnyView(V view) : element_(std::make_shared<CompositeElement<V>>(std::move(view))) {}

template <Representable V>
    requires(!Composite<V>)
AnyView::AnyView(V value) : element_(std::make_shared<RepresentableElement<V>>(std::move(value))) {}

}  // namespace declarative
