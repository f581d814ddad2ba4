#include <gtest/gtest.h>

#include <cmath>

#include "ui/HeadlessHost.h"

namespace ui {
namespace {

void expectColor(std::optional<gfx::Color> actual, gfx::Color expected, double tolerance = 0.02) {
    ASSERT_TRUE(actual);
    EXPECT_NEAR(actual->red, expected.red, tolerance);
    EXPECT_NEAR(actual->green, expected.green, tolerance);
    EXPECT_NEAR(actual->blue, expected.blue, tolerance);
    EXPECT_NEAR(actual->alpha, expected.alpha, tolerance);
}

TEST(HostRendering, backgroundsNestAndTheWindowBackgroundShowsElsewhere) {
    HeadlessHost host;
    auto card = std::make_shared<View>(Rect{20, 100, 200, 100});
    card->setBackgroundColor(gfx::Color::systemBlue());
    auto inner = std::make_shared<View>(Rect{10, 10, 50, 50});
    inner->setBackgroundColor(gfx::Color::systemRed());
    card->addSubview(inner);
    host.window()->addSubview(card);
    EXPECT_TRUE(host.renderIfNeeded());
    EXPECT_EQ(host.lastFrame().width, 780);
    EXPECT_EQ(host.lastFrame().height, 1688);
    expectColor(host.pixel({25, 105}), gfx::Color::systemBlue());
    expectColor(host.pixel({40, 120}), gfx::Color::systemRed());
    expectColor(host.pixel({5, 5}), gfx::Color::white());
}

TEST(HostRendering, roundedCornersAndHalfAlpha) {
    HeadlessHost host;
    auto card = std::make_shared<View>(Rect{100, 100, 100, 100});
    card->setBackgroundColor(gfx::Color::black());
    card->layer()->setCornerRadius(30);
    auto faded = std::make_shared<View>(Rect{0, 300, 100, 100});
    faded->setBackgroundColor(gfx::Color::black());
    faded->setAlpha(0.5);
    host.window()->addSubview(card);
    host.window()->addSubview(faded);
    host.renderIfNeeded();
    expectColor(host.pixel({101, 101}), gfx::Color::white());  // cut corner
    expectColor(host.pixel({150, 101}), gfx::Color::black());  // straight top edge
    expectColor(host.pixel({150, 150}), gfx::Color::black());
    expectColor(host.pixel({50, 350}), gfx::Color::white(0.5), 0.03);
}

TEST(HostRendering, changesInOneTurnMakeOneRenderPass) {
    HeadlessHost host;
    host.renderIfNeeded();
    std::size_t passes = host.window()->renderPassCount();
    auto view = std::make_shared<View>(Rect{0, 0, 10, 10});
    host.window()->addSubview(view);
    view->setBackgroundColor(gfx::Color::systemGreen());
    view->setFrame({0, 0, 40, 40});
    view->setNeedsDisplay();
    EXPECT_TRUE(host.renderIfNeeded());
    EXPECT_EQ(host.window()->renderPassCount(), passes + 1);
    EXPECT_FALSE(host.renderIfNeeded());
    EXPECT_EQ(host.window()->renderPassCount(), passes + 1);
    expectColor(host.pixel({30, 30}), gfx::Color::systemGreen());
}

TEST(HostRendering, hiddenViewsDrawNothing) {
    HeadlessHost host;
    auto view = std::make_shared<View>(Rect{0, 0, 50, 50});
    view->setBackgroundColor(gfx::Color::black());
    view->setHidden(true);
    host.window()->addSubview(view);
    host.renderIfNeeded();
    expectColor(host.pixel({25, 25}), gfx::Color::white());
}

class InkView : public View {
public:
    using View::View;
    void draw(gfx::Context& context, const Rect& rect) override {
        context.setFillColor(gfx::Color::systemOrange());
        context.fillRect({rect.origin, {rect.width() / 2, rect.height()}});
    }
};

TEST(HostRendering, customDrawingPaintsInBoundsSpaceAboveTheBackground) {
    HeadlessHost host;
    auto view = std::make_shared<InkView>(Rect{100, 100, 100, 40});
    view->setBackgroundColor(gfx::Color::black());
    host.window()->addSubview(view);
    host.renderIfNeeded();
    expectColor(host.pixel({110, 120}), gfx::Color::systemOrange());
    expectColor(host.pixel({190, 120}), gfx::Color::black());
}

TEST(HostRendering, snapshotWritesAPng) {
    HeadlessHost host({{100, 50}, 1});
    host.snapshot();
    std::string path = ::testing::TempDir() + "/host-snapshot.png";
    EXPECT_TRUE(host.writePng(path));
    EXPECT_FALSE(host.writePng("/nonexistent-directory/x.png"));
}

}  // namespace
}  // namespace ui
