#include <gtest/gtest.h>

#include "foundation/Clock.h"
#include "ui/HeadlessHost.h"
#include "ui/ImageView.h"

namespace ui {
namespace {

class Animations : public ::testing::Test {
protected:
    void SetUp() override { foundation::Clock::setCurrent(clock); }
    void TearDown() override {
        host.renderIfNeeded();
        foundation::Clock::setCurrent(nullptr);
    }

    double presentedNumber(const View& view, const std::string& keyPath) {
        auto presented = view.layer()->presentationLayer(clock->uptime());
        const quartz::Layer& shown = presented ? *presented : *view.layer();
        return std::get<double>(*shown.animatableValue(keyPath));
    }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 50);
    HeadlessHost host{{{100, 100}, 1}};
};

TEST_F(Animations, modelValuesAreFinalAtOnceWhileThePresentationMovesAndCompletionFollowsTheDuration) {
    auto view = std::make_shared<View>(Rect{0, 0, 50, 50});
    host.window()->addSubview(view);
    host.renderIfNeeded();
    auto finished = std::make_shared<int>(0);
    View::animate(
        1, 0, {.curve = AnimationCurve::linear}, [&] { view->setAlpha(0); }, [finished](bool done) { *finished += done; });
    EXPECT_EQ(view->alpha(), 0);
    clock->advance(0.25);
    host.renderIfNeeded();
    EXPECT_NEAR(presentedNumber(*view, "opacity"), 0.75, 1e-9);
    EXPECT_EQ(*finished, 0);
    clock->advance(0.74);
    host.renderIfNeeded();
    EXPECT_EQ(*finished, 0);
    clock->advance(0.02);
    host.renderIfNeeded();
    EXPECT_EQ(*finished, 1);
    EXPECT_FALSE(view->layer()->hasAnimations());
}

TEST_F(Animations, framesAnimatePositionAndSizeAndTheDelayHoldsTheOldValue) {
    auto view = std::make_shared<View>(Rect{0, 0, 20, 20});
    host.window()->addSubview(view);
    View::animate(1, 0.5, {.curve = AnimationCurve::linear}, [&] { view->setFrame({40, 0, 60, 20}); });
    EXPECT_EQ(view->frame(), (Rect{40, 0, 60, 20}));
    clock->advance(0.25);
    EXPECT_NEAR(presentedNumber(*view, "position.x"), 10, 1e-9);
    clock->advance(0.75);  // half way
    EXPECT_NEAR(presentedNumber(*view, "position.x"), 40, 1e-9);
    EXPECT_NEAR(presentedNumber(*view, "bounds.size.width"), 40, 1e-9);
}

TEST_F(Animations, transformsAndBackgroundColoursAnimateComponentwise) {
    auto view = std::make_shared<View>(Rect{0, 0, 20, 20});
    view->setBackgroundColor(gfx::Color::black());
    host.window()->addSubview(view);
    View::animate(2, 0, {.curve = AnimationCurve::linear}, [&] {
        view->setTransform(gfx::AffineTransform::scale(3, 3));
        view->setBackgroundColor(gfx::Color::white());
    });
    clock->advance(1);
    EXPECT_NEAR(presentedNumber(*view, "affine.a"), 2, 1e-9);
    EXPECT_NEAR(presentedNumber(*view, "backgroundColor.green"), 0.5, 1e-9);
    EXPECT_EQ(view->transform(), gfx::AffineTransform::scale(3, 3));
}

TEST_F(Animations, withoutAnimationNothingAnimatesAndCompletionStillRuns) {
    auto view = std::make_shared<View>(Rect{0, 0, 20, 20});
    host.window()->addSubview(view);
    auto finished = std::make_shared<bool>(false);
    View::performWithoutAnimation([&] {
        View::animate(1, [&] { view->setAlpha(0.5); }, [finished](bool) { *finished = true; });
    });
    EXPECT_FALSE(view->layer()->hasAnimations());
    EXPECT_TRUE(View::areAnimationsEnabled());
    host.renderIfNeeded();
    EXPECT_TRUE(*finished);
}

TEST_F(Animations, springsOvershootWithLowDampingAndSettleOnTheTarget) {
    auto view = std::make_shared<View>(Rect{0, 0, 20, 20});
    host.window()->addSubview(view);
    View::animateWithSpring(1, 0, 0.3, 0, {}, [&] { view->setCenter({110, 10}); });
    double furthest = 0;
    for (int step = 0; step < 20; ++step) {
        clock->advance(0.05);
        furthest = std::max(furthest, presentedNumber(*view, "position.x"));
    }
    EXPECT_GT(furthest, 110);
    clock->advance(0.1);
    EXPECT_NEAR(presentedNumber(*view, "position.x"), 110, 1e-9);
}

TEST_F(Animations, crossDissolveFadesASnapshotOfTheOldContentOut) {
    auto view = std::make_shared<ImageView>();
    view->setFrame({0, 0, 100, 100});
    view->setBackgroundColor(gfx::Color::black());
    host.window()->addSubview(view);
    host.renderIfNeeded();
    auto finished = std::make_shared<bool>(false);
    View::transition(
        view, 1, {.curve = AnimationCurve::linear, .transition = ViewTransition::crossDissolve},
        [&] { view->setBackgroundColor(gfx::Color::white()); }, [finished](bool) { *finished = true; });
    EXPECT_FALSE(view->layer()->hasAnimations());  // the change itself is not animated
    clock->advance(0.5);
    host.renderIfNeeded();
    auto middle = host.pixel({50, 50});
    ASSERT_TRUE(middle);
    EXPECT_GT(middle->red, 0.2);
    EXPECT_LT(middle->red, 0.8);
    clock->advance(0.6);
    host.renderIfNeeded();
    host.renderIfNeeded();
    EXPECT_TRUE(*finished);
    EXPECT_TRUE(view->layer()->sublayers().empty());
    EXPECT_NEAR(host.pixel({50, 50})->red, 1, 0.01);
}

}  // namespace
}  // namespace ui
