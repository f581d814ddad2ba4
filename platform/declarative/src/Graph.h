#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "declarative/AnyView.h"

namespace declarative {

// One place in the evaluated tree: the description it last had, its platform view, its children and
// the state objects of its identity.
struct ViewNode : std::enable_shared_from_this<ViewNode> {
    std::shared_ptr<const Element> element;
    std::shared_ptr<ui::View> view;
    std::vector<std::shared_ptr<ViewNode>> children;
    std::vector<std::shared_ptr<void>> states;
    std::vector<Subscription> subscriptions;
    std::function<void()> appearAction;
    std::function<void()> disappearAction;
    bool hasAppearActions = false;
    bool appeared = false;
    bool alive = true;
    bool dirty = false;
    // Evaluations so far: a node's first shows its view as it is, unanimated.
    int evaluations = 0;
    // The animation of the first animated change event since the last evaluation.
    std::optional<Animation> pendingAnimation;
};

// The evaluated tree of one hosting view and its update cycle.
class Graph : public std::enable_shared_from_this<Graph> {
public:
    explicit Graph(ui::View& host) : host_(host) {}
    ~Graph();

    void setRoot(const AnyView& root);
    void updateIfNeeded();
    bool hasPendingUpdates() const { return !dirty_.empty(); }
    void setVisible(bool visible);
    const std::shared_ptr<ViewNode>& root() const { return root_; }

    // Called by the node's state objects as they announce a change.
    void invalidate(const std::weak_ptr<ViewNode>& node);

    void evaluate(ViewNode& node, std::shared_ptr<const Element> element, std::optional<Animation> animation);
    void reconcile(ViewNode& parent, std::vector<AnyView> children, const std::optional<Animation>& animation);
    void setAppearActions(ViewNode& node, std::function<void()> appear, std::function<void()> disappear);

private:
    std::shared_ptr<ViewNode> make(const AnyView& description, const std::optional<Animation>& animation);
    void remove(ViewNode& node);
    void queueAppear(const std::shared_ptr<ViewNode>& node);
    void queueDisappear(const std::shared_ptr<ViewNode>& node);
    void runQueuedActions();
    void scheduleUpdate();

    ui::View& host_;
    std::shared_ptr<ViewNode> root_;
    std::vector<std::weak_ptr<ViewNode>> dirty_;
    std::vector<std::function<void()>> queuedActions_;
    bool visible_ = false;
    bool scheduled_ = false;
    bool updating_ = false;
};

}  // namespace declarative
