#include <gtest/gtest.h>

#include "foundation/Clock.h"
#include "ui/Button.h"
#include "ui/HeadlessHost.h"
#include "ui/LongPressGestureRecognizer.h"
#include "ui/PanGestureRecognizer.h"
#include "ui/ScrollView.h"
#include "ui/TapGestureRecognizer.h"

namespace ui {
namespace {

// Counts the touch phases that reach it.
class TouchCountingView : public View {
public:
    using View::View;
    int began = 0, moved = 0, ended = 0, cancelled = 0;
    void touchesBegan(const std::vector<Touch>&, const Event&) override { ++began; }
    void touchesMoved(const std::vector<Touch>&, const Event&) override { ++moved; }
    void touchesEnded(const std::vector<Touch>&, const Event&) override { ++ended; }
    void touchesCancelled(const std::vector<Touch>&, const Event&) override { ++cancelled; }
};

class Gestures : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::Clock::setCurrent(clock);
        host.window()->addSubview(view);
    }
    void TearDown() override { foundation::Clock::setCurrent(nullptr); }

    // Moves the finger to `to` after `seconds` of the manual clock.
    void moveAfter(double seconds, Point to) {
        clock->advance(seconds);
        host.touchMove(to);
    }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 10);
    HeadlessHost host{{{300, 300}, 1}};
    std::shared_ptr<TouchCountingView> view = std::make_shared<TouchCountingView>(Rect{0, 0, 300, 300});
};

TEST_F(Gestures, panBeginsAfterTenPointsReportsTranslationAndVelocityAndCancelsTheViewsTouches) {
    auto pan = std::make_shared<PanGestureRecognizer>();
    std::vector<GestureRecognizerState> states;
    pan->addAction([&](GestureRecognizer& r) { states.push_back(r.state()); });
    addGestureRecognizer(*view, pan);

    host.touchDown({100, 100});
    moveAfter(0.01, {106, 100});
    EXPECT_EQ(pan->state(), GestureRecognizerState::possible);
    EXPECT_EQ(view->moved, 1);
    moveAfter(0.01, {112, 100});
    EXPECT_EQ(pan->state(), GestureRecognizerState::began);
    EXPECT_EQ(view->cancelled, 1);
    EXPECT_EQ(pan->translation(view.get()), (Point{12, 0}));
    for (int i = 1; i <= 5; ++i) moveAfter(0.02, {112.0 + 20 * i, 100.0 - 10 * i});
    EXPECT_NEAR(pan->velocity(view.get()).x, 1000, 1e-6);
    EXPECT_NEAR(pan->velocity(view.get()).y, -500, 1e-6);
    pan->setTranslation({0, 0}, view.get());
    moveAfter(0.02, {222, 50});
    EXPECT_EQ(pan->translation(nullptr), (Point{10, 0}));
    host.touchUp({222, 50});
    EXPECT_EQ(pan->state(), GestureRecognizerState::ended);
    EXPECT_EQ(view->moved, 1);
    EXPECT_EQ(view->ended, 0);
    ASSERT_GE(states.size(), 4u);
    EXPECT_EQ(states.front(), GestureRecognizerState::began);
    EXPECT_EQ(states[1], GestureRecognizerState::changed);
    EXPECT_EQ(states.back(), GestureRecognizerState::ended);
}

TEST_F(Gestures, aFingerThatRestsBeforeLiftingLosesItsVelocity) {
    auto pan = std::make_shared<PanGestureRecognizer>();
    addGestureRecognizer(*view, pan);
    host.touchDown({10, 10});
    for (int i = 1; i <= 5; ++i) moveAfter(0.02, {10.0, 10.0 + 20 * i});
    EXPECT_NEAR(pan->velocity(nullptr).y, 1000, 1e-6);
    clock->advance(1);
    host.touchUp({10, 110});
    EXPECT_LT(pan->velocity(nullptr).y, 30);
}

TEST_F(Gestures, longPressBeginsAfterHalfASecondAndFailsWhenTheFingerMovesOrLiftsFirst) {
    auto press = std::make_shared<LongPressGestureRecognizer>();
    int began = 0;
    press->addAction([&](GestureRecognizer& r) { began += r.state() == GestureRecognizerState::began; });
    addGestureRecognizer(*view, press);

    host.touchDown({50, 50});
    clock->advance(0.45);
    host.renderIfNeeded();
    EXPECT_EQ(press->state(), GestureRecognizerState::possible);
    clock->advance(0.1);
    host.renderIfNeeded();
    EXPECT_EQ(press->state(), GestureRecognizerState::began);
    EXPECT_EQ(began, 1);
    EXPECT_EQ(view->cancelled, 1);
    host.touchMove({80, 50});
    EXPECT_EQ(press->state(), GestureRecognizerState::changed);
    host.touchUp({80, 50});
    EXPECT_EQ(press->state(), GestureRecognizerState::ended);

    host.touchDown({50, 50});
    host.touchMove({50, 65});
    EXPECT_EQ(press->state(), GestureRecognizerState::failed);
    clock->advance(1);
    host.renderIfNeeded();
    host.touchUp({50, 65});

    host.touchDown({50, 50});
    clock->advance(0.3);
    host.touchUp({50, 50});
    clock->advance(0.5);
    host.renderIfNeeded();
    EXPECT_EQ(press->state(), GestureRecognizerState::failed);
    EXPECT_EQ(began, 1);
    EXPECT_EQ(view->ended, 2);
}

class Refusing : public GestureRecognizerDelegate {
public:
    bool gestureRecognizerShouldBegin(GestureRecognizer&) override { return false; }
};

class Simultaneous : public GestureRecognizerDelegate {
public:
    bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) override { return true; }
};

TEST_F(Gestures, aDelegateThatRefusesKeepsTheGestureFromBeginningAndTheTouchesWithTheView) {
    auto pan = std::make_shared<PanGestureRecognizer>();
    auto refusing = std::make_shared<Refusing>();
    int actions = 0;
    pan->addAction([&](GestureRecognizer&) { ++actions; });
    pan->setDelegate(refusing);
    addGestureRecognizer(*view, pan);
    host.drag({10, 10}, {200, 10});
    EXPECT_EQ(pan->state(), GestureRecognizerState::failed);
    EXPECT_EQ(actions, 0);
    EXPECT_EQ(view->cancelled, 0);
    EXPECT_EQ(view->ended, 1);
}

TEST_F(Gestures, aRecognisedGestureFailsTheOthersUnlessTheyRecogniseSimultaneously) {
    auto outer = std::make_shared<PanGestureRecognizer>();
    auto inner = std::make_shared<PanGestureRecognizer>();
    auto child = std::make_shared<View>(Rect{0, 0, 100, 100});
    view->addSubview(child);
    addGestureRecognizer(*view, outer);
    addGestureRecognizer(*child, inner);
    host.drag({10, 10}, {60, 10});
    EXPECT_EQ(inner->state(), GestureRecognizerState::ended);
    EXPECT_EQ(outer->state(), GestureRecognizerState::failed);

    auto simultaneous = std::make_shared<Simultaneous>();
    inner->setDelegate(simultaneous);
    host.drag({10, 10}, {60, 10});
    EXPECT_EQ(inner->state(), GestureRecognizerState::ended);
    EXPECT_EQ(outer->state(), GestureRecognizerState::ended);
}

TEST_F(Gestures, tapsRecogniseOnLiftButLeaveControlsTheirTouches) {
    auto tap = std::make_shared<TapGestureRecognizer>();
    int taps = 0;
    tap->addAction([&](GestureRecognizer&) { ++taps; });
    addGestureRecognizer(*view, tap);
    auto button = Button::make();
    button->setFrame({200, 200, 80, 40});
    int buttonTaps = 0;
    button->addAction([&](Control&) { ++buttonTaps; }, ControlEvent::touchUpInside);
    view->addSubview(button);

    host.tap({50, 50});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(view->cancelled, 1);
    EXPECT_EQ(view->ended, 0);
    host.drag({50, 50}, {50, 90});
    EXPECT_EQ(taps, 1);
    host.tap({220, 220});
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(buttonTaps, 1);

    tap->setEnabled(false);
    host.tap({50, 50});
    EXPECT_EQ(taps, 1);
}

// A scroll view adds its pan recogniser while it is being made, before anything owns it. Ended so, its
// recogniser used to stay filed under its address and went to the next view made there.
TEST(GestureAttachments, aViewEndedBeforeAnythingOwnedItLeavesNoRecognisersToTheNextAtItsAddress) {
    alignas(ScrollView) unsigned char storage[sizeof(ScrollView)];
    auto* scroll = new (storage) ScrollView();
    ASSERT_NE(scroll->panGestureRecognizer(), nullptr);
    scroll->~ScrollView();
    std::shared_ptr<View> next(new (storage) View(), [](View* view) { view->~View(); });
    EXPECT_TRUE(gestureRecognizers(*next).empty());
}

}  // namespace
}  // namespace ui
