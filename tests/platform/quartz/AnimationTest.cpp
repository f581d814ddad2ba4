#include <gtest/gtest.h>

#include <numbers>

#include "RenderProbe.h"
#include "foundation/Clock.h"
#include "quartz/ShapeLayer.h"

using namespace quartz;
using namespace quartz::testing;
using gfx::Color;

namespace {

// A horizontal bar through the middle of a 100 x 100 canvas, turning about the canvas centre.
std::shared_ptr<Layer> barOnCanvas(std::shared_ptr<Layer>& bar) {
    auto root = Layer::make();
    root->setFrame({0, 0, 100, 100});
    bar = coloredLayer({10, 45, 80, 10}, red);
    root->addSublayer(bar);
    return root;
}

BasicAnimation spin(double beginTime, double duration) {
    BasicAnimation animation;
    animation.keyPath = "transform.rotation.z";
    animation.fromValue = 0.0;
    animation.toValue = 2 * std::numbers::pi;
    animation.duration = duration;
    animation.beginTime = beginTime;
    animation.repeatCount = BasicAnimation::forever;
    return animation;
}

}  // namespace

TEST(LayerAnimation, RotationMovesPixelsWhileTheModelStaysPut) {
    std::shared_ptr<Layer> bar;
    auto root = barOnCanvas(bar);
    bar->addAnimation(spin(10, 4), "rotationanimationkey");

    gfx::Bitmap atStart = renderToBitmap(*root, {100, 100}, 1, 10);
    EXPECT_TRUE(colorNear(atStart, 15, 50, red));
    EXPECT_TRUE(colorNear(atStart, 50, 15, Color::clear()));

    gfx::Bitmap quarter = renderToBitmap(*root, {100, 100}, 1, 11);
    EXPECT_TRUE(colorNear(quarter, 15, 50, Color::clear()));
    EXPECT_TRUE(colorNear(quarter, 50, 15, red));

    EXPECT_TRUE(bar->transform().isIdentity());
    EXPECT_EQ(bar->animationKeys(), std::vector<std::string>{"rotationanimationkey"});
    // Repeating forever, a later pass shows the same as the first.
    gfx::Bitmap laterPass = renderToBitmap(*root, {100, 100}, 1, 411);
    EXPECT_EQ(laterPass.pixels, quarter.pixels);
}

TEST(LayerAnimation, RenderingTwiceGivesTheSamePixels) {
    std::shared_ptr<Layer> bar;
    auto root = barOnCanvas(bar);
    bar->addAnimation(spin(0, 2), "spin");
    bar->setOpacity(0.7);
    auto mask = coloredLayer({0, 0, 60, 10}, Color::black());
    bar->setMask(mask);
    gfx::Bitmap first = renderToBitmap(*root, {100, 100}, 2, 0.3);
    gfx::Bitmap second = renderToBitmap(*root, {100, 100}, 2, 0.3);
    EXPECT_EQ(first.pixels, second.pixels);
    EXPECT_EQ(bar->mask(), mask);
    EXPECT_EQ(bar->opacity(), 0.7);
}

TEST(LayerAnimation, PresentationInterpolatesFromTheModelWhenAnEndIsMissing) {
    auto layer = ShapeLayer::make();
    layer->setOpacity(0.2);
    BasicAnimation fade;
    fade.keyPath = "opacity";
    fade.toValue = 1.0;
    fade.duration = 2;
    fade.beginTime = 100;
    layer->addAnimation(fade, "fade");

    BasicAnimation move = fade;
    move.keyPath = "position";
    move.fromValue = gfx::Point{0, 0};
    move.toValue = gfx::Point{100, 50};
    layer->addAnimation(move, "move");

    BasicAnimation draw = fade;
    draw.keyPath = "strokeEnd";
    draw.fromValue = 0.0;
    draw.toValue.reset();
    layer->addAnimation(draw, "draw");

    auto presented = std::dynamic_pointer_cast<ShapeLayer>(layer->presentationLayer(101));
    ASSERT_TRUE(presented);
    EXPECT_NEAR(presented->opacity(), 0.6, 1e-9);
    EXPECT_EQ(presented->position(), (gfx::Point{50, 25}));
    EXPECT_NEAR(presented->strokeEnd(), 0.5, 1e-9);
    EXPECT_EQ(layer->opacity(), 0.2);
    EXPECT_FALSE(layer->presentationLayer(99));   // not started, no fill backwards
    EXPECT_FALSE(layer->presentationLayer(102));  // ended, removed

    layer->removeAnimation("move");
    EXPECT_EQ(layer->animationKeys(), (std::vector<std::string>{"fade", "draw"}));
    EXPECT_FALSE(layer->animation("move"));
}

TEST(LayerAnimation, TimingRepeatsAutoreversesAndEases) {
    BasicAnimation animation;
    animation.duration = 1;
    animation.beginTime = 0;
    animation.repeatCount = 2;
    animation.autoreverses = true;
    EXPECT_EQ(animation.activeDuration(), 4);
    EXPECT_NEAR(*animation.progress(0.25), 0.25, 1e-9);
    EXPECT_NEAR(*animation.progress(1.25), 0.75, 1e-9);  // on the way back
    EXPECT_NEAR(*animation.progress(2.25), 0.25, 1e-9);  // second pass
    EXPECT_FALSE(animation.progress(4.5));
    animation.fillMode = FillMode::forwards;
    EXPECT_NEAR(*animation.progress(4.5), 0,
                1e-9);  // an autoreversed animation ends where it began

    EXPECT_LT(applyTimingFunction(TimingFunction::easeIn, 0.5), 0.5);
    EXPECT_GT(applyTimingFunction(TimingFunction::easeOut, 0.5), 0.5);
    EXPECT_NEAR(applyTimingFunction(TimingFunction::easeInEaseOut, 0.5), 0.5, 1e-6);
    EXPECT_NEAR(applyTimingFunction(TimingFunction::easeInEaseOut, 1), 1, 1e-6);
    EXPECT_EQ(BasicAnimation{}.effectiveDuration(), 0.25);
}

TEST(LayerAnimation, HostKeepsDrawingWhileAnimationsRunAndPrunesFinishedOnes) {
    auto clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 50);
    foundation::Clock::setCurrent(clock);
    auto root = Layer::make();
    auto child = Layer::make();
    root->addSublayer(child);
    BasicAnimation fade;
    fade.keyPath = "opacity";
    fade.fromValue = 0.0;
    fade.duration = 1;
    child->addAnimation(fade, "fade");  // begins at the clock's uptime
    BasicAnimation held = fade;
    held.isRemovedOnCompletion = false;
    child->addAnimation(held, "held");
    foundation::Clock::setCurrent(nullptr);

    EXPECT_EQ(child->animation("fade")->beginTime, 50);
    EXPECT_TRUE(hasRunningAnimations(*root, {50.5}));
    EXPECT_FALSE(hasRunningAnimations(*root, {51}));
    pruneFinishedAnimations(*root, {51});
    EXPECT_EQ(child->animationKeys(), std::vector<std::string>{"held"});

    child->addAnimation(spin(0, 1), "spin");
    EXPECT_TRUE(hasRunningAnimations(*root, {1e6}));
    child->removeAllAnimations();
    EXPECT_FALSE(child->hasAnimations());
}
