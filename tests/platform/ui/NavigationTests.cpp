#include <gtest/gtest.h>

#include "ControllerTestSupport.h"
#include "ui/NavigationController.h"

namespace ui {
namespace {

// Slides the top view out to the right (pop) over a linear second, as an app's own animator would.
struct LinearPop : AnimatedTransitioning {
    double transitionDuration(const std::shared_ptr<TransitionContext>&) override { return 1; }
    void animateTransition(const std::shared_ptr<TransitionContext>& context) override {
        auto from = context->view(TransitionContextKey::from);
        auto to = context->view(TransitionContextKey::to);
        context->containerView()->insertSubviewBelow(to, from);
        to->setFrame(context->finalFrame(*context->viewController(TransitionContextKey::to)));
        Rect start = context->initialFrame(*context->viewController(TransitionContextKey::from));
        View::animate(
            1, 0, {.curve = AnimationCurve::linear}, [&] { from->setFrame(start.offsetBy(start.size.width, 0)); },
            [context, from, to, start](bool) {
                from->setFrame(start);
                (context->transitionWasCancelled() ? to : from)->removeFromSuperview();
                context->completeTransition(!context->transitionWasCancelled());
            });
    }
};

struct InteractiveDelegate : NavigationControllerDelegate {
    std::shared_ptr<PercentDrivenInteractiveTransition> driver = std::make_shared<PercentDrivenInteractiveTransition>();
    bool interactive = false;
    std::shared_ptr<AnimatedTransitioning> animationControllerFor(NavigationController&, NavigationOperation,
                                                                  const std::shared_ptr<ViewController>&,
                                                                  const std::shared_ptr<ViewController>&) override {
        return std::make_shared<LinearPop>();
    }
    std::shared_ptr<InteractiveTransitioning> interactionControllerFor(
        NavigationController&, const std::shared_ptr<AnimatedTransitioning>&) override {
        return interactive ? driver : nullptr;
    }
};

class Navigation : public ::testing::Test, protected testing::ControllerTest {
protected:
    void SetUp() override {
        navigation = std::make_shared<NavigationController>(map);
        host.window()->setRootViewController(navigation);
        settle();
        navigation->pushViewController(details, true);
        settle();
        log->clear();
    }

    double shownX(const View& view) {
        auto presented = view.layer()->presentationLayer(clock->uptime());
        return (presented ? presented->frame() : view.frame()).minX();
    }

    std::shared_ptr<testing::LoggingController> map = controller("map");
    std::shared_ptr<testing::LoggingController> details = controller("details");
    std::shared_ptr<NavigationController> navigation;
};

TEST_F(Navigation, pushAndPopSlideAndSendAppearanceToTheTopControllers) {
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
    EXPECT_EQ(details->navigationController(), navigation);
    EXPECT_EQ(details->view()->frame(), (Rect{0, 0, 390, 844}));
    EXPECT_EQ(navigation->popViewController(true), details);
    clock->advance(NavigationController::slideDuration / 2);
    host.renderIfNeeded();
    EXPECT_GT(shownX(*details->view()), 0);
    settle();
    EXPECT_EQ(*log, (std::vector<std::string>{"details.willDisappear", "map.willAppear", "details.didDisappear",
                                              "map.didAppear"}));
    EXPECT_EQ(navigation->viewControllers(), (std::vector<std::shared_ptr<ViewController>>{map}));
    EXPECT_EQ(details->parent(), nullptr);
    EXPECT_FALSE(navigation->popViewController(true));
}

TEST_F(Navigation, aPercentDrivenPopFollowsUpdatesAndFinishes) {
    auto delegate = std::make_shared<InteractiveDelegate>();
    delegate->interactive = true;
    navigation->setDelegate(delegate);
    navigation->popViewController(true);
    delegate->driver->update(0.25);
    clock->advance(5);  // time alone does not move it
    host.renderIfNeeded();
    EXPECT_NEAR(shownX(*details->view()), 390 * 0.25, 1e-6);
    delegate->driver->update(0.75);
    delegate->driver->finish();
    clock->advance(0.24);
    host.renderIfNeeded();
    EXPECT_TRUE(navigation->isTransitioning());
    settle();
    EXPECT_FALSE(navigation->isTransitioning());
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
    EXPECT_EQ(log->back(), "map.didAppear");
}

TEST_F(Navigation, aCancelledInteractivePopPutsTheStackBack) {
    auto delegate = std::make_shared<InteractiveDelegate>();
    delegate->interactive = true;
    navigation->setDelegate(delegate);
    navigation->popViewController(true);
    delegate->driver->update(0.4);
    delegate->driver->cancel();
    settle(1);
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
    EXPECT_EQ(navigation->topViewController(), details);
    EXPECT_EQ(details->view()->superview(), navigation->view());
    EXPECT_EQ(map->view()->superview(), nullptr);
    EXPECT_EQ(*log, (std::vector<std::string>{"details.willDisappear", "map.willAppear", "map.willDisappear",
                                              "details.willAppear", "details.didAppear", "map.didDisappear"}));
}

TEST_F(Navigation, theEdgePanPopsPastHalfOrWithSpeedAndReturnsOtherwise) {
    drag({5, 400}, {150, 400}, 10, 0.1);  // slow, short of half
    settle();
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
    drag({5, 400}, {250, 400}, 10, 0.1);  // slow, past half
    settle();
    EXPECT_EQ(navigation->viewControllers().size(), 1u);

    navigation->pushViewController(details, false);
    settle();
    drag({5, 400}, {120, 400}, 4, 0.016);  // short but quick
    settle();
    EXPECT_EQ(navigation->viewControllers().size(), 1u);

    navigation->pushViewController(details, false);
    settle();
    drag({200, 400}, {380, 400}, 10, 0.1);  // not from the edge
    settle();
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
}

}  // namespace
}  // namespace ui
