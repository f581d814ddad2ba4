#include <functional>

#include "ui/View.h"
#include "ui/ViewController.h"

namespace ui {

namespace {

// Rounds of constraint solving and layoutSubviews before a pass gives up on views that keep
// changing each other's frames.
constexpr int maximumLayoutRounds = 4;

}  // namespace

// Walks a tree top-down, running layoutSubviews on the views marked since the last pass.
class ViewLayoutPass {
public:
    static bool runMarked(View& view) {
        bool ran = false;
        if (view.needsLayout_) {
            view.needsLayout_ = false;
            std::shared_ptr<ViewController> controller = view.viewController_.lock();
            if (controller) controller->viewWillLayoutSubviews();
            view.layoutSubviews();
            if (controller) controller->viewDidLayoutSubviews();
            ran = true;
        }
        // layoutSubviews may add or remove subviews: walk a copy.
        std::vector<std::shared_ptr<View>> subviews = view.subviews_;
        for (const auto& subview : subviews) ran = runMarked(*subview) || ran;
        return ran;
    }
};

void View::setNeedsLayout() {
    needsLayout_ = true;
    setNeedsRender();
}

void View::layoutIfNeeded() {
    View* root = this;
    while (auto parent = root->superview()) root = parent.get();
    for (int round = 0; round < maximumLayoutRounds; ++round) {
        root->layoutSubtree();
        if (!ViewLayoutPass::runMarked(*root)) break;
    }
}

void View::invalidateIntrinsicContentSize() {
    layoutInputsDidChange();
    setNeedsLayout();
    if (auto parent = superview()) parent->setNeedsLayout();
}

Size View::sizeThatFits(Size) const { return bounds().size; }

void View::sizeToFit() {
    Rect box = frame();
    box.size = sizeThatFits(box.size);
    setFrame(box);
}

Size View::systemLayoutSizeFitting(Size targetSize) { return fittingSize(targetSize.width); }

}  // namespace ui
