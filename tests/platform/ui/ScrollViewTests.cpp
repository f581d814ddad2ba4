#include <gtest/gtest.h>

#include "foundation/Clock.h"
#include "ui/HeadlessHost.h"
#include "ui/ScrollView.h"

namespace ui {
namespace {

class Scrolling : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::Clock::setCurrent(clock);
        scroll->setContentSize({300, 2000});
        host.window()->addSubview(scroll);
        host.renderIfNeeded();
    }
    void TearDown() override { foundation::Clock::setCurrent(nullptr); }

    // A drag upwards of `points`, one move every 10 ms.
    void flick(double points, int steps) {
        host.touchDown({150, 250});
        for (int i = 1; i <= steps; ++i) {
            clock->advance(0.01);
            host.touchMove({150, 250 - points * i / steps});
        }
        host.touchUp({150, 250 - points});
    }
    // Runs the run loop every 1/60 s for `seconds`.
    void runFor(double seconds) {
        for (double t = 0; t < seconds; t += 1.0 / 60) {
            clock->advance(1.0 / 60);
            host.renderIfNeeded();
        }
    }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 10);
    HeadlessHost host{{{300, 300}, 1}};
    std::shared_ptr<ScrollView> scroll = std::make_shared<ScrollView>(Rect{0, 0, 300, 300});
};

TEST_F(Scrolling, subviewsMoveWithTheContentOffset) {
    auto marker = std::make_shared<View>(Rect{0, 400, 300, 50});
    scroll->addSubview(marker);
    scroll->setContentOffset({0, 380});
    EXPECT_EQ(scroll->bounds().origin, (Point{0, 380}));
    EXPECT_EQ(marker->convertPointTo({0, 0}, nullptr), (Point{0, 20}));
}

TEST_F(Scrolling, aFastDragKeepsScrollingAfterReleaseAndComesToRest) {
    flick(150, 5);  // 3000 points per second
    double released = scroll->contentOffset().y;
    EXPECT_NEAR(released, 120, 1e-6);  // the first move (30 points) only starts the pan
    EXPECT_TRUE(scroll->isDecelerating());
    runFor(0.2);
    double coasting = scroll->contentOffset().y;
    EXPECT_GT(coasting, released + 200);
    runFor(5);
    EXPECT_FALSE(scroll->isDecelerating());
    double rest = scroll->contentOffset().y;
    EXPECT_GT(rest, coasting + 300);
    EXPECT_LE(rest, 1700);
    runFor(1);
    EXPECT_EQ(scroll->contentOffset().y, rest);
}

TEST_F(Scrolling, pullingPastTheTopRubberBandsAndSpringsBack) {
    host.touchDown({150, 50});
    for (int i = 1; i <= 10; ++i) {
        clock->advance(0.05);
        host.touchMove({150, 50.0 + 20 * i});
    }
    double pulled = scroll->contentOffset().y;
    EXPECT_LT(pulled, 0);
    EXPECT_GT(pulled, -190);  // less than the finger's 190
    clock->advance(0.5);
    host.touchUp({150, 250});
    runFor(2);
    EXPECT_EQ(scroll->contentOffset().y, 0);
    EXPECT_FALSE(scroll->isDecelerating());

    scroll->setBounces(false);
    host.drag({150, 50}, {150, 250});
    EXPECT_EQ(scroll->contentOffset().y, 0);
}

TEST_F(Scrolling, theWheelScrollsWithinTheEdgesAndAnimatedMovesArrive) {
    host.wheel({150, 150}, 0, 120);
    EXPECT_EQ(scroll->contentOffset().y, 120);
    host.wheel({150, 150}, 0, -500);
    EXPECT_EQ(scroll->contentOffset().y, 0);
    host.wheel({150, 150}, 0, 5000);
    EXPECT_EQ(scroll->contentOffset().y, 1700);

    scroll->setContentOffset({0, 300}, true);
    runFor(0.15);
    EXPECT_GT(scroll->contentOffset().y, 300);
    EXPECT_LT(scroll->contentOffset().y, 1700);
    runFor(0.3);
    EXPECT_EQ(scroll->contentOffset().y, 300);
}

class OffsetRecorder : public ScrollViewDelegate {
public:
    std::vector<double> offsets;
    void scrollViewDidScroll(ScrollView& view) override { offsets.push_back(view.contentOffset().y); }
};

TEST_F(Scrolling, theIndicatorShowsWhileScrollingUnlessTurnedOffAndTheDelegateHearsEachMove) {
    auto recorder = std::make_shared<OffsetRecorder>();
    scroll->setDelegate(recorder);
    EXPECT_TRUE(scroll->verticalScrollIndicator()->isHidden());
    host.wheel({150, 150}, 0, 1000);
    EXPECT_FALSE(scroll->verticalScrollIndicator()->isHidden());
    Rect indicator = scroll->verticalScrollIndicator()->frame();
    EXPECT_EQ(indicator.origin.x, 294);
    EXPECT_NEAR(indicator.height(), 294 * 300.0 / 2000, 1e-9);  // the visible share of the track
    EXPECT_NEAR(indicator.origin.y, 1000 + 3 + (294 - indicator.height()) * 1000 / 1700, 1e-9);
    runFor(1);
    EXPECT_TRUE(scroll->verticalScrollIndicator()->isHidden());

    scroll->setShowsVerticalScrollIndicator(false);
    host.wheel({150, 150}, 0, -100);
    EXPECT_TRUE(scroll->verticalScrollIndicator()->isHidden());
    EXPECT_EQ(recorder->offsets, (std::vector<double>{1000, 900}));
}

}  // namespace
}  // namespace ui
