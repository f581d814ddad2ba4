#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "AnimationSupport.h"
#include "foundation/Clock.h"
#include "pictura/AnimatedImageView.h"
#include "ui/HeadlessHost.h"

namespace pictura {
namespace {

using samples::drain;
using RepeatCount = AnimatedImageView::RepeatCount;

class ViewLog : public AnimatedImageViewDelegate {
public:
    void animatedImageView(AnimatedImageView&, std::uint64_t count) override { loops.push_back(count); }
    void animatedImageViewDidFinishAnimating(AnimatedImageView&) override { ++finishes; }

    std::vector<std::uint64_t> loops;
    int finishes = 0;
};

// Frames of 0.5 s, red, green, blue, yellow, cyan in turn.
std::vector<double> halfSeconds(int frames) { return std::vector<double>(frames, 0.5); }

class AnimatedImageViewTest : public ::testing::Test {
protected:
    void SetUp() override { foundation::Clock::setCurrent(clock); }
    void TearDown() override {
        if (view) view->removeFromSuperview();
        host.renderIfNeeded();
        foundation::Clock::setCurrent(nullptr);
    }

    // A view filling the window, showing `image` with frames built; the display link steps at `fps`.
    void place(std::shared_ptr<gfx::Image> image, int fps = 2, RepeatCount repeat = RepeatCount::infinite()) {
        view = std::make_shared<AnimatedImageView>(ui::Rect{0, 0, 100, 50});
        view->setRepeatCount(repeat);
        view->displayLink()->setPreferredFramesPerSecond(fps);
        view->setDelegate(log);
        host.window()->addSubview(view);
        view->setImage(std::move(image));
        drain(view->preloadQueue());
        host.renderIfNeeded();
    }

    // One display-link frame: the clock moves by one frame time and the main loop turns.
    void tick() {
        clock->advance(1.0 / view->displayLink()->preferredFramesPerSecond());
        host.renderIfNeeded();
        drain(view->preloadQueue());
    }

    int shownFrame() const { return view->animator()->currentFrameIndex(); }
    std::optional<gfx::Color> centre() const { return host.pixel({50.5, 25.5}); }

    std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, 50);
    ui::HeadlessHost host{{{100, 50}, 1}};
    std::shared_ptr<AnimatedImageView> view;
    std::shared_ptr<ViewLog> log = std::make_shared<ViewLog>();
};

TEST_F(AnimatedImageViewTest, aStillImageIsShownAsAPlainImageViewShowsIt) {
    place(samples::image(samples::filled(4, 3, {0, 0, 1, 1})));
    EXPECT_EQ(view->animator(), nullptr);
    view->startAnimating();
    EXPECT_FALSE(view->isAnimating());
    EXPECT_FALSE(view->isDisplayLinkInitialized() && !view->displayLink()->isPaused());
    EXPECT_EQ(centre(), (gfx::Color{0, 0, 1, 1}));
    // Set-image asks the view itself, so retrievals for it leave the frames to the animator.
    EXPECT_FALSE(shouldPreloadAllAnimation(static_cast<const ui::ImageView&>(*view)));

    // One frame of GIF is a still picture too.
    view->setImage(samples::animatedGif({0.5}));
    EXPECT_EQ(view->animator(), nullptr);
    view->setImage(nullptr);
    EXPECT_EQ(view->animator(), nullptr);
}

TEST_F(AnimatedImageViewTest, framesFollowTheDisplayLinkAndTheViewDrawsTheShownOne) {
    place(samples::animatedGif(halfSeconds(3)));
    ASSERT_TRUE(view->animator());
    EXPECT_TRUE(view->isAnimating());
    EXPECT_EQ(view->animator()->maxFrameCount(), 10);
    EXPECT_EQ(view->preloadQueue()->label(), "com.tolvane.Pictura.Animator.preloadQueue");
    EXPECT_EQ(centre(), (gfx::Color{1, 0, 0, 1}));
    tick();
    EXPECT_EQ(shownFrame(), 1);
    EXPECT_EQ(centre(), (gfx::Color{0, 1, 0, 1}));
    tick();
    EXPECT_EQ(centre(), (gfx::Color{0, 0, 1, 1}));
    tick();
    EXPECT_EQ(centre(), (gfx::Color{1, 0, 0, 1}));
    EXPECT_EQ(log->loops, (std::vector<std::uint64_t>{1}));
}

TEST_F(AnimatedImageViewTest, theSameImageAgainRedrawsWithoutRestartingWhileAnotherImageOrCountRestarts) {
    auto image = samples::animatedGif(halfSeconds(3));
    place(image);
    tick();
    auto animator = view->animator();
    ASSERT_FALSE(view->layer()->needsDisplay());
    view->setImage(image);
    EXPECT_EQ(view->animator(), animator);
    EXPECT_EQ(shownFrame(), 1);
    EXPECT_TRUE(view->layer()->needsDisplay());

    view->setRepeatCount(RepeatCount::infinite());  // the count it has
    EXPECT_EQ(view->animator(), animator);
    view->setRepeatCount(RepeatCount::finite(5));
    ASSERT_NE(view->animator(), animator);
    EXPECT_EQ(shownFrame(), 0);
    EXPECT_EQ(view->animator()->maxRepeatCount(), RepeatCount::finite(5));

    animator = view->animator();
    view->setImage(samples::animatedGif(halfSeconds(3)));
    EXPECT_NE(view->animator(), animator);
    // Both animators share the view's one queue.
    EXPECT_EQ(view->animator()->preloadQueue(), view->preloadQueue());
}

TEST_F(AnimatedImageViewTest, settingsReachOnlyTheNextAnimator) {
    place(samples::animatedGif(halfSeconds(14)));
    view->setFramePreloadCount(2);
    view->setNeedsPrescaling(false);
    EXPECT_EQ(view->animator()->maxFrameCount(), 10);
    EXPECT_TRUE(view->animator()->needsPrescaling());
    view->setImage(samples::animatedGif(halfSeconds(14)));
    EXPECT_EQ(view->animator()->maxFrameCount(), 2);
    EXPECT_FALSE(view->animator()->needsPrescaling());
    // The target size is the view's bounds in pixels of the main screen.
    const double scale = ui::Screen::main().scale;
    EXPECT_EQ(view->animator()->size(), (gfx::Size{100 * scale, 50 * scale}));
    drain(view->preloadQueue());
    EXPECT_EQ(samples::decodedFrames(*view->animator()), (std::set<int>{0, 1, 2}));
}

TEST_F(AnimatedImageViewTest, repeatCountsEndOnTheLastFrameAndTellTheDelegate) {
    place(samples::animatedGif(halfSeconds(3)), 2, RepeatCount::finite(2));
    for (int step = 0; step < 5; ++step) tick();
    EXPECT_EQ(log->loops, (std::vector<std::uint64_t>{1, 2}));
    EXPECT_TRUE(view->animator()->isFinished());
    EXPECT_TRUE(view->isAnimating());  // stops at the next callback
    EXPECT_EQ(log->finishes, 0);
    tick();
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(log->finishes, 1);
    for (int step = 0; step < 4; ++step) tick();
    EXPECT_EQ(shownFrame(), 2);
    EXPECT_EQ(centre(), (gfx::Color{0, 0, 1, 1}));
    view->startAnimating();  // the count is used up
    EXPECT_FALSE(view->isAnimating());
    EXPECT_EQ(log->finishes, 1);

    // A new count starts again from the first frame.
    view->setRepeatCount(RepeatCount::once());
    EXPECT_TRUE(view->isAnimating());
    EXPECT_EQ(shownFrame(), 0);
}

TEST_F(AnimatedImageViewTest, noRepeatsNeverStart) {
    place(samples::animatedGif(halfSeconds(3)), 2, RepeatCount::finite(0));
    ASSERT_TRUE(view->animator());
    EXPECT_FALSE(view->isAnimating());
    view->startAnimating();
    EXPECT_FALSE(view->isAnimating());
    tick();
    EXPECT_EQ(shownFrame(), 0);
}

TEST_F(AnimatedImageViewTest, highlightingIsIgnoredWhilePlayingAndAppliedWhilePaused) {
    place(samples::animatedGif(halfSeconds(3)));
    view->setHighlighted(true);
    EXPECT_FALSE(view->isHighlighted());
    view->stopAnimating();
    view->setHighlighted(true);
    EXPECT_TRUE(view->isHighlighted());
}

TEST_F(AnimatedImageViewTest, leavingTheWindowPausesAndReturningResumesFromTheSameFrameAndRemainder) {
    place(samples::animatedGif(halfSeconds(3)), 4);
    tick();
    tick();
    tick();  // frame 1, a quarter second into it
    ASSERT_EQ(shownFrame(), 1);
    view->removeFromSuperview();
    EXPECT_FALSE(view->isAnimating());
    for (int step = 0; step < 6; ++step) tick();
    EXPECT_EQ(shownFrame(), 1);
    host.window()->addSubview(view);
    EXPECT_TRUE(view->isAnimating());
    tick();
    EXPECT_EQ(shownFrame(), 2);

    // Without autoplay the view waits to be told.
    view->removeFromSuperview();
    view->setAutoPlayAnimatedImage(false);
    host.window()->addSubview(view);
    EXPECT_FALSE(view->isAnimating());
    view->startAnimating();
    EXPECT_TRUE(view->isAnimating());
}

TEST_F(AnimatedImageViewTest, changingTheRunLoopModeRestartsPlaybackOnlyAsStartingAllows) {
    place(samples::animatedGif(halfSeconds(3)));
    EXPECT_EQ(view->runLoopMode(), AnimatedImageView::commonModes());
    view->setRunLoopMode(AnimatedImageView::commonModes());
    EXPECT_TRUE(view->isAnimating());
    view->setRunLoopMode("kCFRunLoopDefaultMode");
    EXPECT_EQ(view->runLoopMode(), "kCFRunLoopDefaultMode");
    EXPECT_TRUE(view->isAnimating());
    tick();
    EXPECT_EQ(shownFrame(), 1);

    view->setRepeatCount(RepeatCount::finite(0));
    view->setRunLoopMode(AnimatedImageView::commonModes());
    EXPECT_FALSE(view->isAnimating());
}

TEST_F(AnimatedImageViewTest, theDisplayLinkDoesNotKeepTheViewAlive) {
    place(samples::animatedGif(halfSeconds(3)));
    auto link = view->displayLink();
    std::weak_ptr<AnimatedImageView> weak = view;
    view->removeFromSuperview();
    view->startAnimating();
    ASSERT_FALSE(link->isPaused());
    view.reset();
    EXPECT_TRUE(weak.expired());
    // The running link outlives the view and calls nothing any more.
    clock->advance(1);
    host.renderIfNeeded();
}

std::optional<foundation::Data> fixture(const std::string& name) {
    auto path = std::filesystem::path(SORVANE_SOURCE_DIR) / "tests" / "fixtures" / "images" / "gif" / name;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    return foundation::Data(std::move(bytes));
}

// A recorded GIF of two frames: the first lasts 0.1 s (a stored 0.01 s), the second 100 s.
TEST_F(AnimatedImageViewTest, aRecordedGifPlaysTwiceInTheHeadlessWindowAndStops) {
    auto data = fixture("anim-gr.gif");
    if (!data) GTEST_SKIP() << "tests/fixtures/images/gif/anim-gr.gif is missing";
    auto image = PicturaWrapper<std::shared_ptr<gfx::Image>>::animatedImage(*data, {});
    ASSERT_TRUE(image && pc(image).imageSource());
    // A point where the two frames differ.
    auto source = pc(image).imageSource();
    auto first = source->frameAt(0), second = source->frameAt(1);
    ASSERT_TRUE(first && second);
    std::optional<ui::Point> differing;
    for (int y = 0; y < first->height && !differing; ++y)
        for (int x = 0; x < first->width && !differing; ++x)
            if (first->row(y)[x] != second->row(y)[x]) differing = ui::Point{x + 0.5, y + 0.5};
    ASSERT_TRUE(differing);

    place(image, 1, RepeatCount::finite(2));
    ASSERT_EQ(view->animator()->frameCount(), 2);
    EXPECT_NEAR(view->animator()->loopDuration(), 1.1, 1e-9);
    const auto firstShown = host.pixel(*differing);
    tick();
    const auto secondShown = host.pixel(*differing);
    EXPECT_NE(firstShown, secondShown);
    EXPECT_EQ(shownFrame(), 1);
    // A second a callback at most: the long frame takes a hundred of them.
    for (int step = 0; step < 99; ++step) tick();
    EXPECT_EQ(shownFrame(), 1);
    tick();
    EXPECT_EQ(shownFrame(), 0);
    EXPECT_EQ(host.pixel(*differing), firstShown);
    tick();
    EXPECT_EQ(host.pixel(*differing), secondShown);
    EXPECT_EQ(log->loops, (std::vector<std::uint64_t>{1, 2}));
    tick();
    EXPECT_EQ(log->finishes, 1);
    EXPECT_FALSE(view->isAnimating());
    for (int step = 0; step < 3; ++step) tick();
    EXPECT_EQ(host.pixel(*differing), secondShown);
    EXPECT_EQ(shownFrame(), 1);
}

}  // namespace
}  // namespace pictura
