#include "Graph.h"

#include "dispatch/Queue.h"

namespace declarative {
namespace {

class EmptyElement final : public Element {
public:
    std::type_index kind() const override { return typeid(EmptyElement); }
    std::shared_ptr<ui::View> makeView() const override { return makeContainerView(false); }
    void update(NodeUpdate& update) const override { update.setChildren({}); }
};

const std::shared_ptr<const Element>& elementOf(const AnyView& view) {
    static const std::shared_ptr<const Element> empty = std::make_shared<EmptyElement>();
    return view.element() ? view.element() : empty;
}

bool keeps(const Element& old, const Element& next) {
    if (old.kind() != next.kind()) return false;
    const Identity* left = old.identity();
    const Identity* right = next.identity();
    if (!left || !right) return left == right;
    return *left == *right;
}

template <class Visit>
void preOrder(const std::shared_ptr<ViewNode>& node, const Visit& visit) {
    visit(node);
    for (const auto& child : node->children) preOrder(child, visit);
}

}  // namespace

// The hosting view is going with its subviews; nothing to take down.
Graph::~Graph() = default;

void Graph::setRoot(const AnyView& root) {
    const auto& element = elementOf(root);
    if (root_ && keeps(*root_->element, *element)) {
        evaluate(*root_, element, std::nullopt);
    } else {
        if (root_) {
            remove(*root_);
            root_->view->removeFromSuperview();
        }
        root_ = make(root, std::nullopt);
        host_.addSubview(root_->view);
        host_.setNeedsLayout();
    }
    runQueuedActions();
}

void Graph::updateIfNeeded() {
    if (updating_) return;
    updating_ = true;
    // One batch: changes announced while it runs wait for the next turn, so a body that announces a
    // change of its own cannot spin here.
    auto batch = std::move(dirty_);
    dirty_.clear();
    for (const auto& weak : batch)
        if (auto node = weak.lock(); node && node->alive && node->dirty) evaluate(*node, node->element, std::nullopt);
    updating_ = false;
    runQueuedActions();
}

void Graph::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (root_)
        preOrder(root_, [&](const std::shared_ptr<ViewNode>& node) {
            if (visible) queueAppear(node);
            else queueDisappear(node);
        });
    runQueuedActions();
}

void Graph::invalidate(const std::weak_ptr<ViewNode>& weak) {
    auto node = weak.lock();
    if (!node || !node->alive) return;
    if (!node->pendingAnimation) node->pendingAnimation = currentAnimation();
    if (!node->dirty) {
        node->dirty = true;
        dirty_.push_back(node);
    }
    scheduleUpdate();
}

void Graph::scheduleUpdate() {
    if (scheduled_) return;
    scheduled_ = true;
    dispatch::Queue::main()->async([weak = weak_from_this()] {
        if (auto graph = weak.lock()) {
            graph->scheduled_ = false;
            graph->updateIfNeeded();
        }
    });
}

void Graph::evaluate(ViewNode& node, std::shared_ptr<const Element> element, std::optional<Animation> animation) {
    node.dirty = false;
    if (node.pendingAnimation) animation = node.pendingAnimation;
    node.pendingAnimation.reset();
    node.element = std::move(element);
    NodeUpdate update(*this, node, animation);
    // Keep the description alive while it runs, even if it replaces itself.
    const auto running = node.element;
    running->update(update);
    ++node.evaluations;
}

void Graph::reconcile(ViewNode& parent, std::vector<AnyView> children, const std::optional<Animation>& animation) {
    std::vector<std::shared_ptr<ViewNode>> old = std::move(parent.children);
    std::vector<std::shared_ptr<ViewNode>> kept;
    kept.reserve(children.size());
    for (std::size_t index = 0; index < std::max(old.size(), children.size()); ++index) {
        if (index >= children.size()) {
            remove(*old[index]);
            old[index]->view->removeFromSuperview();
            continue;
        }
        const auto& element = elementOf(children[index]);
        if (index < old.size() && keeps(*old[index]->element, *element)) {
            evaluate(*old[index], element, animation);
            kept.push_back(old[index]);
            continue;
        }
        if (index < old.size()) {
            remove(*old[index]);
            old[index]->view->removeFromSuperview();
        }
        auto node = make(children[index], animation);
        parent.view->insertSubview(node->view, index);
        kept.push_back(std::move(node));
    }
    parent.children = std::move(kept);
    parent.view->setNeedsLayout();
}

void Graph::setAppearActions(ViewNode& node, std::function<void()> appear, std::function<void()> disappear) {
    node.hasAppearActions = true;
    node.appearAction = std::move(appear);
    node.disappearAction = std::move(disappear);
}

std::shared_ptr<ViewNode> Graph::make(const AnyView& description, const std::optional<Animation>& animation) {
    auto node = std::make_shared<ViewNode>();
    node->element = elementOf(description);
    node->view = node->element->makeView();
    // Queued before the children evaluate, so that an outer view appears before the views inside it.
    if (visible_) queueAppear(node);
    evaluate(*node, node->element, animation);
    return node;
}

void Graph::remove(ViewNode& node) {
    preOrder(node.shared_from_this(), [&](const std::shared_ptr<ViewNode>& each) {
        each->alive = false;
        each->subscriptions.clear();
        queueDisappear(each);
    });
}

void Graph::queueAppear(const std::shared_ptr<ViewNode>& node) {
    queuedActions_.push_back([this, node] {
        if (!node->alive || !node->hasAppearActions || node->appeared || !visible_) return;
        node->appeared = true;
        if (auto action = node->appearAction) action();
    });
}

void Graph::queueDisappear(const std::shared_ptr<ViewNode>& node) {
    if (!node->appeared) return;
    node->appeared = false;
    // The closure holds the node, so its state objects outlive the action that may still use them.
    if (node->disappearAction) queuedActions_.push_back([node, action = node->disappearAction] { action(); });
}

void Graph::runQueuedActions() {
    while (!queuedActions_.empty()) {
        auto actions = std::move(queuedActions_);
        queuedActions_.clear();
        for (auto& action : actions) action();
    }
}

ui::View& NodeUpdate::view() { return *node_.view; }

void NodeUpdate::animate(const std::function<void()>& change) {
    if (animation_ && node_.evaluations > 0)
        ui::View::animate(animation_->duration, 0, {.curve = animation_->curve}, change);
    else
        change();
}

void NodeUpdate::setChildren(std::vector<AnyView> children) { graph_.reconcile(node_, std::move(children), animation_); }

void NodeUpdate::setAppearActions(std::function<void()> appear, std::function<void()> disappear) {
    graph_.setAppearActions(node_, std::move(appear), std::move(disappear));
}

std::shared_ptr<void> ViewContext::stateSlot(
    const std::function<std::pair<std::shared_ptr<void>, ObservableObject*>()>& make) {
    const std::size_t slot = nextSlot_++;
    if (slot < node_.states.size()) return node_.states[slot];
    auto [state, observable] = make();
    node_.states.push_back(state);
    if (observable)
        node_.subscriptions.push_back(observable->subscribe(
            [node = node_.weak_from_this(), graph = graph_.weak_from_this()] {
                if (auto strong = graph.lock()) strong->invalidate(node);
            }));
    return state;
}

}  // namespace declarative
