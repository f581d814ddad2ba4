#include <gtest/gtest.h>

#include "foundation/Clock.h"
#include "ui/ActivityIndicatorView.h"
#include "ui/HeadlessHost.h"
#include "ui/ImageView.h"
#include "ui/StackView.h"

namespace ui {
namespace {

class SizedView : public View {
public:
    explicit SizedView(Size size) : intrinsic(size) {}
    Size intrinsic;
    Size intrinsicContentSize() const override { return intrinsic; }
};

struct Row {
    std::shared_ptr<View> root = std::make_shared<View>(Rect{0, 0, 300, 100});
    std::shared_ptr<StackView> stack = std::make_shared<StackView>();
    std::vector<std::shared_ptr<SizedView>> views;

    explicit Row(std::vector<Size> sizes) {
        stack->setFrame({0, 0, 300, 100});
        root->addSubview(stack);
        for (Size size : sizes) {
            views.push_back(std::make_shared<SizedView>(size));
            stack->addArrangedSubview(views.back());
        }
    }
    std::vector<Rect> frames() {
        root->layoutIfNeeded();
        std::vector<Rect> result;
        for (auto& view : views) result.push_back(view->frame());
        return result;
    }
};

TEST(StackView, fillStretchesTheLeastHuggingViewAndKeepsSpacing) {
    Row row({{50, 20}, {60, 20}});
    row.stack->setSpacing(10);
    row.views[1]->setContentHuggingPriority(200, LayoutAxis::horizontal);
    EXPECT_EQ(row.frames(), (std::vector<Rect>{{0, 0, 50, 100}, {60, 0, 240, 100}}));
}

TEST(StackView, fillEquallyGivesEveryViewTheSameLength) {
    Row row({{50, 20}, {10, 20}, {30, 20}});
    row.stack->setDistribution(StackDistribution::fillEqually);
    row.stack->setSpacing(15);
    EXPECT_EQ(row.frames(), (std::vector<Rect>{{0, 0, 90, 100}, {105, 0, 90, 100}, {210, 0, 90, 100}}));
}

TEST(StackView, equalSpacingKeepsSizesAndSharesTheRestBetweenGaps) {
    Row row({{50, 20}, {60, 30}, {40, 10}});
    row.stack->setDistribution(StackDistribution::equalSpacing);
    row.stack->setAlignment(StackAlignment::center);
    EXPECT_EQ(row.frames(), (std::vector<Rect>{{0, 40, 50, 20}, {125, 35, 60, 30}, {260, 45, 40, 10}}));
}

TEST(StackView, hiddenArrangedViewsTakeNoRoomAndAlignmentPlacesAcross) {
    Row row({{50, 20}, {60, 30}, {40, 10}});
    row.stack->setAxis(LayoutAxis::vertical);
    row.stack->setSpacing(5);
    row.stack->setAlignment(StackAlignment::trailing);
    row.views[2]->setContentHuggingPriority(200, LayoutAxis::vertical);
    row.views[1]->setHidden(true);
    auto frames = row.frames();
    EXPECT_EQ(frames[0], (Rect{250, 0, 50, 20}));
    EXPECT_EQ(frames[2], (Rect{260, 25, 40, 75}));
    row.views[1]->setHidden(false);
    frames = row.frames();
    EXPECT_EQ(frames[1], (Rect{240, 25, 60, 30}));
    EXPECT_EQ(frames[2].origin.y, 60);
    row.views[0]->removeFromSuperview();
    EXPECT_EQ(row.stack->arrangedSubviews().size(), 2u);
    EXPECT_EQ(row.frames()[1].origin.y, 0);
}

// A 2 x 1 point image: red on the left, blue on the right.
std::shared_ptr<gfx::Image> redBlueImage(int pixelsPerPoint = 1) {
    gfx::Bitmap bitmap = gfx::Bitmap::make(2 * pixelsPerPoint, pixelsPerPoint);
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x)
            bitmap.row(y)[x] = (x < pixelsPerPoint ? gfx::Color::systemRed() : gfx::Color::systemBlue()).premultipliedPixel();
    return gfx::Image::fromBitmap(std::move(bitmap), pixelsPerPoint);
}

bool near(std::optional<gfx::Color> a, gfx::Color b) {
    return a && std::abs(a->red - b.red) < 0.05 && std::abs(a->green - b.green) < 0.05 &&
           std::abs(a->blue - b.blue) < 0.05 && std::abs(a->alpha - b.alpha) < 0.05;
}

TEST(ImageView, contentModesPlaceTheImageByPixels) {
    HeadlessHost host({{200, 200}, 1});
    auto view = std::make_shared<ImageView>(redBlueImage(10));  // enough pixels that smoothing stays at the seam
    EXPECT_EQ(view->intrinsicContentSize(), (Size{2, 1}));
    view->setFrame({0, 0, 100, 100});
    host.window()->addSubview(view);

    view->setContentMode(ContentMode::scaleToFill);
    host.renderIfNeeded();
    EXPECT_TRUE(near(host.pixel({10, 5}), gfx::Color::systemRed()));
    EXPECT_TRUE(near(host.pixel({90, 95}), gfx::Color::systemBlue()));

    view->setContentMode(ContentMode::scaleAspectFit);  // 100 x 50, centred vertically
    host.renderIfNeeded();
    EXPECT_TRUE(near(host.pixel({10, 10}), gfx::Color::white()));
    EXPECT_TRUE(near(host.pixel({10, 50}), gfx::Color::systemRed()));
    EXPECT_TRUE(near(host.pixel({90, 50}), gfx::Color::systemBlue()));

    view->setContentMode(ContentMode::scaleAspectFill);  // 200 x 100, overflowing both sides
    host.renderIfNeeded();
    EXPECT_TRUE(near(host.pixel({10, 10}), gfx::Color::systemRed()));
    EXPECT_TRUE(near(host.pixel({110, 10}), gfx::Color::systemBlue()));

    EXPECT_EQ(contentRect(ContentMode::center, {2, 1}, {0, 0, 100, 100}), (Rect{49, 49.5, 2, 1}));
    EXPECT_EQ(contentRect(ContentMode::bottomRight, {2, 1}, {0, 0, 100, 100}), (Rect{98, 99, 2, 1}));
    EXPECT_EQ(contentRect(ContentMode::top, {2, 1}, {0, 0, 100, 100}), (Rect{49, 0, 2, 1}));
}

TEST(ImageView, templateImagesTakeTheTintColour) {
    HeadlessHost host({{100, 100}, 1});
    auto view = std::make_shared<ImageView>(redBlueImage());
    view->setFrame({0, 0, 100, 50});
    view->setRenderingMode(ImageRenderingMode::alwaysTemplate);
    host.window()->setTintColor(gfx::Color::systemGreen());
    host.window()->addSubview(view);
    host.renderIfNeeded();
    EXPECT_TRUE(near(host.pixel({10, 10}), gfx::Color::systemGreen()));
    EXPECT_TRUE(near(host.pixel({90, 40}), gfx::Color::systemGreen()));
}

TEST(ImageView, animationsFollowTheClock) {
    auto clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 100);
    foundation::Clock::setCurrent(clock);
    auto red = redBlueImage(), blue = redBlueImage(), green = redBlueImage();
    ImageView view;
    view.setAnimationImages({red, blue, green});
    view.setAnimationDuration(3);
    view.setAnimationRepeatCount(1);
    view.startAnimating();
    EXPECT_TRUE(view.isAnimating());
    EXPECT_EQ(view.displayedImage(100.5), red);
    EXPECT_EQ(view.displayedImage(101.5), blue);
    clock->advance(3);
    EXPECT_FALSE(view.isAnimating());
    EXPECT_EQ(view.displayedImage(103), nullptr);

    auto animated = gfx::Image::animated({red, blue}, 1);
    view.setImage(animated);
    EXPECT_EQ(view.displayedImage(103.25), red);
    EXPECT_EQ(view.displayedImage(103.75), blue);
    EXPECT_EQ(view.displayedImage(104.25), red);
    foundation::Clock::setCurrent(nullptr);
}

TEST(ActivityIndicator, showsOnlyWhileAnimatingAndTurns) {
    HeadlessHost host({{100, 100}, 1});
    auto spinner = std::make_shared<ActivityIndicatorView>(ActivityIndicatorStyle::large);
    EXPECT_EQ(spinner->intrinsicContentSize(), (Size{37, 37}));
    EXPECT_TRUE(spinner->isHidden());
    spinner->setCenter({50, 50});
    host.window()->addSubview(spinner);
    spinner->startAnimating();
    EXPECT_FALSE(spinner->isHidden());
    EXPECT_TRUE(spinner->layer()->animation(ActivityIndicatorView::rotationAnimationKey));
    EXPECT_TRUE(host.window()->hasRunningAnimations(0));
    host.renderIfNeeded();
    int ink = 0;
    for (int x = 32; x < 69; ++x)
        for (int y = 32; y < 69; ++y)
            if (!near(host.pixel({double(x), double(y)}), gfx::Color::white())) ++ink;
    EXPECT_GT(ink, 50);
    spinner->stopAnimating();
    EXPECT_TRUE(spinner->isHidden());
    EXPECT_FALSE(spinner->layer()->animation(ActivityIndicatorView::rotationAnimationKey));
}

}  // namespace
}  // namespace ui
