#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "shell/SloppySwipingNav.h"
#include "ui/ScrollView.h"
#include "ui/TapGestureRecognizer.h"

namespace {

using ui::Point;

int sloppyRecognizers(const ui::View& view) {
    int count = 0;
    for (const auto& recognizer : ui::gestureRecognizers(view))
        if (dynamic_cast<SloppySwipingNav::SloppySwipingPanGestureRecognizer*>(recognizer.get())) ++count;
    return count;
}

class SwipeBack : public ::testing::Test, protected shelltest::HeadlessPhone {
protected:
    static constexpr double width = 390;
    static constexpr double startX = 20;
    static constexpr double y = 400;

    void SetUp() override {
        host.window()->setRootViewController(navigation);
        settle();
        navigation->pushViewController(details, true);
        settle();
    }

    double shownX(const ui::View& view) {
        auto presented = view.layer()->presentationLayer(clock->uptime());
        return (presented ? presented->frame() : view.frame()).minX();
    }

    // Puts the finger down and drags it to `x` slowly (under 200 points per second), in four moves.
    void dragSlowlyTo(double x) {
        host.touchDown({startX, y});
        for (int step = 1; step <= 4; ++step) {
            clock->advance(0.5);
            host.touchMove({startX + (x - startX) * step / 4, y});
        }
    }
    // Ends the drag at `fraction` of the width, moving at `velocity` points per second over the
    // last 0.12 s (0 holds the finger still there), and lifts it.
    void releaseAt(double fraction, double velocity) {
        double target = startX + fraction * width;
        double approach = velocity * 0.12;
        dragSlowlyTo(target - approach);
        for (int step = 1; step <= 3; ++step) {
            clock->advance(0.04);
            host.touchMove({target - approach + approach * step / 3, y});
        }
        if (velocity == 0) {
            clock->advance(0.2);
            host.touchMove({target, y});
        }
        host.touchUp({target, y});
        settle(1);
    }
    bool popped() const { return navigation->viewControllers().size() == 1; }

    std::shared_ptr<ui::ViewController> map = std::make_shared<ui::ViewController>();
    std::shared_ptr<ui::ViewController> details = std::make_shared<ui::ViewController>();
    std::shared_ptr<SloppySwipingNav> navigation = std::make_shared<SloppySwipingNav>(map);
};

TEST_F(SwipeBack, onlyPushedControllersGetOneRecognizerEachAndItsDelegateIsTheNavigation) {
    EXPECT_EQ(navigation->delegate().get(), static_cast<ui::NavigationControllerDelegate*>(navigation.get()));
    EXPECT_EQ(sloppyRecognizers(*map->view()), 0);
    EXPECT_EQ(sloppyRecognizers(*details->view()), 1);
    navigation->popViewController(false);
    settle();
    EXPECT_EQ(sloppyRecognizers(*map->view()), 0) << "showing the root again attaches nothing";
    navigation->pushViewController(details, true);
    settle();
    EXPECT_EQ(sloppyRecognizers(*details->view()), 1) << "pushing the same controller again adds none";
    EXPECT_FALSE(navigation->interactivePopGestureRecognizer()->isEnabled());
}

TEST_F(SwipeBack, aDragAnywhereFollowsTheFingerAndPopsPastHalfWay) {
    dragSlowlyTo(startX + 0.3 * width);
    EXPECT_TRUE(navigation->interactiveTransition()->transitionInProgress);
    EXPECT_TRUE(navigation->animatedTransitioning()->linerAnimation);
    host.renderIfNeeded();
    EXPECT_NEAR(shownX(*details->view()), 0.3 * width, 1);
    EXPECT_NEAR(shownX(*map->view()), -60 * 0.7, 1) << "the lower view comes in from -60 with the finger";
    host.touchUp({startX + 0.3 * width, y});
    settle(1);
    EXPECT_FALSE(popped());
    EXPECT_FALSE(navigation->interactiveTransition()->transitionInProgress);
    EXPECT_EQ(details->view()->frame().minX(), 0);

    releaseAt(0.7, 0);
    EXPECT_TRUE(popped());
    EXPECT_EQ(map->view()->frame(), (ui::Rect{0, 0, width, 844}));
    EXPECT_EQ(details->view()->superview(), nullptr);
}

TEST_F(SwipeBack, theSpeedOfTheReleaseOverridesTheDistance) {
    releaseAt(0.4, 500);
    EXPECT_TRUE(popped()) << "40 % moving right at 500 pt/s completes";

    navigation->pushViewController(details, false);
    settle();
    releaseAt(0.6, -450);
    EXPECT_FALSE(popped()) << "60 % moving left at 450 pt/s returns";

    releaseAt(0.6, 0);
    EXPECT_TRUE(popped()) << "60 % at rest completes";
}

TEST_F(SwipeBack, exactlyHalfWayAtRestReturns) {
    releaseAt(0.5, 0);
    EXPECT_FALSE(popped());
}

TEST_F(SwipeBack, belowFourHundredPointsPerSecondTheDistanceDecides) {
    releaseAt(0.3, 390);
    EXPECT_FALSE(popped()) << "30 % moving right at 390 pt/s returns";
    releaseAt(0.7, -390);
    EXPECT_TRUE(popped()) << "70 % moving left at 390 pt/s completes";
}

TEST_F(SwipeBack, aCancelledDragAlwaysReturns) {
    dragSlowlyTo(startX + 0.9 * width);
    host.touchCancel();
    settle(1);
    EXPECT_FALSE(popped());
    EXPECT_FALSE(navigation->interactiveTransition()->transitionInProgress);
    EXPECT_EQ(details->view()->superview(), navigation->view());
    EXPECT_EQ(map->view()->superview(), nullptr);
}

TEST_F(SwipeBack, leftwardOrMostlyVerticalDragsNeverBeginSoScrollingInsideKeepsWorking) {
    auto scroll = std::make_shared<ui::ScrollView>();
    scroll->setFrame({0, 0, width, 844});
    scroll->setContentSize({width, 3000});
    details->view()->addSubview(scroll);
    settle();

    host.drag({300, 400}, {100, 400});
    settle(1);
    EXPECT_FALSE(popped()) << "leftwards";

    host.drag({100, 600}, {160, 300});
    settle(1);
    EXPECT_FALSE(popped()) << "more vertical than horizontal";
    EXPECT_GT(scroll->contentOffset().y, 0) << "the scroll view took the vertical drag";
    EXPECT_FALSE(navigation->interactiveTransition()->transitionInProgress);
}

TEST_F(SwipeBack, shouldBeginRefusesRecognizersWithoutAViewOrThatAreNotPans) {
    auto& transition = *navigation->interactiveTransition();
    SloppySwipingNav::SloppySwipingPanGestureRecognizer loose;
    EXPECT_FALSE(transition.gestureRecognizerShouldBegin(loose));
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    ui::addGestureRecognizer(*details->view(), tap);
    EXPECT_FALSE(transition.gestureRecognizerShouldBegin(*tap));
    auto pan = std::make_shared<ui::PanGestureRecognizer>();
    ui::addGestureRecognizer(*details->view(), pan);
    EXPECT_TRUE(transition.gestureRecognizerShouldBegin(*pan)) << "no movement yet is not leftwards";
}

TEST_F(SwipeBack, aPlainPopRunsTheSpringForPointFourSecondsWithTheLowerViewFromMinusSixty) {
    navigation->popViewController(true);
    EXPECT_FALSE(navigation->animatedTransitioning()->linerAnimation);
    EXPECT_TRUE(navigation->animatedTransitioning()->reverse);
    EXPECT_DOUBLE_EQ(navigation->animatedTransitioning()->duration, 0.4);
    host.renderIfNeeded();
    EXPECT_NEAR(shownX(*map->view()), -60, 1);
    EXPECT_EQ(details->view()->layer()->shadowColor(), gfx::Color::black());
    EXPECT_DOUBLE_EQ(details->view()->layer()->shadowOpacity(), 0.2);
    EXPECT_DOUBLE_EQ(details->view()->layer()->shadowRadius(), 5);
    clock->advance(0.2);
    host.renderIfNeeded();
    EXPECT_GT(shownX(*map->view()), -60);
    EXPECT_LT(shownX(*map->view()), 0);
    EXPECT_GT(shownX(*details->view()), 0);
    clock->advance(0.21);
    host.renderIfNeeded();
    host.renderIfNeeded();
    EXPECT_TRUE(popped());
    EXPECT_FALSE(navigation->isTransitioning());
    EXPECT_DOUBLE_EQ(details->view()->layer()->shadowRadius(), 0);
    EXPECT_EQ(details->view()->frame().minX(), 0) << "the popped view is put back where it was";
}

TEST(SwipeBackAnimator, aPushSlidesTheNewViewInFromTheRightOverTheOldOne) {
    shelltest::HeadlessPhone phone;
    auto map = std::make_shared<ui::ViewController>();
    auto details = std::make_shared<ui::ViewController>();
    auto navigation = std::make_shared<SloppySwipingNav>(map);
    EXPECT_DOUBLE_EQ(navigation->animatedTransitioning()->duration, 0) << "until the first transition";
    phone.show(navigation);
    navigation->pushViewController(details, true);
    EXPECT_FALSE(navigation->animatedTransitioning()->reverse);
    phone.host.renderIfNeeded();
    auto x = [&](const ui::View& view) {
        auto presented = view.layer()->presentationLayer(phone.clock->uptime());
        return (presented ? presented->frame() : view.frame()).minX();
    };
    EXPECT_NEAR(x(*details->view()), 390, 1);
    phone.clock->advance(0.41);
    phone.host.renderIfNeeded();
    phone.host.renderIfNeeded();
    EXPECT_EQ(navigation->topViewController(), details);
    EXPECT_EQ(details->view()->frame().minX(), 0);
    EXPECT_EQ(map->view()->superview(), nullptr);
    EXPECT_EQ(map->view()->frame().minX(), 0) << "the covered view rests at the shown frame once removed";
    EXPECT_DOUBLE_EQ(details->view()->layer()->shadowRadius(), 0);
}

}  // namespace
