#include "declarative/HostingView.h"

#include "Graph.h"

namespace declarative {

HostingView::HostingView() = default;
HostingView::~HostingView() = default;

std::shared_ptr<HostingView> HostingView::make(AnyView rootView) {
    auto view = std::shared_ptr<HostingView>(new HostingView());
    view->graph_ = std::make_shared<Graph>(*view);
    view->setRootView(std::move(rootView));
    return view;
}

void HostingView::setRootView(AnyView rootView) { graph_->setRoot(rootView); }

void HostingView::updateIfNeeded() { graph_->updateIfNeeded(); }

bool HostingView::hasPendingUpdates() const { return graph_->hasPendingUpdates(); }

ui::Size HostingView::sizeThatFits(ui::Size size) const {
    return graph_->root() ? graph_->root()->view->sizeThatFits(size) : ui::Size{0, 0};
}

void HostingView::layoutSubviews() {
    if (graph_->root()) graph_->root()->view->setFrame(bounds());
}

void HostingView::didMoveToWindow() { graph_->setVisible(window() != nullptr); }

}  // namespace declarative
