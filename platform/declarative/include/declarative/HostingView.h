#pragma once

#include <memory>

#include "declarative/AnyView.h"
#include "ui/View.h"

namespace declarative {

class Graph;

// A platform view that shows a declarative view: it keeps the nodes, evaluates again the views whose
// state announced a change (at the next turn of the main run loop, or at updateIfNeeded) and sends
// appear and disappear events as it enters and leaves a window. Main thread only.
class HostingView : public ui::View {
public:
    static std::shared_ptr<HostingView> make(AnyView rootView);
    ~HostingView() override;

    // Evaluates the new root against the nodes in place (same kind and identity keep them).
    void setRootView(AnyView rootView);
    // Runs the evaluations that change events asked for now, instead of at the next turn.
    void updateIfNeeded();
    bool hasPendingUpdates() const;

    ui::Size sizeThatFits(ui::Size size) const override;
    void layoutSubviews() override;

protected:
    HostingView();
    void didMoveToWindow() override;

private:
    std::shared_ptr<Graph> graph_;
};

}  // namespace declarative
