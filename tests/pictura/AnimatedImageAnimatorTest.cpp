#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "AnimationSupport.h"
#include "dispatch/RunLoop.h"
#include "dispatch/Semaphore.h"
#include "gfx/ImageEncoder.h"
#include "pictura/AnimatedImageAnimator.h"

namespace pictura {
namespace {

using samples::decodedFrames;
using samples::drain;
using samples::gifSource;
using RepeatCount = AnimatedImageRepeatCount;

class LoopLog : public AnimatorDelegate {
public:
    void animatorDidPlayLoops(AnimatedImageAnimator&, std::uint64_t count) override { loops.push_back(count); }
    std::vector<std::uint64_t> loops;
};

std::vector<double> evenDelays(int frames, double delay = 0.5) { return std::vector<double>(frames, delay); }

std::shared_ptr<AnimatedImageAnimator> builtAnimator(std::shared_ptr<gfx::ImageSource> source, int maxFrameCount,
                                                     RepeatCount repeat = RepeatCount::infinite(),
                                                     gfx::Size size = {}) {
    auto animator = AnimatedImageAnimator::make(std::move(source), size, {4, 3}, 1, maxFrameCount, repeat);
    animator->buildFrameTableAsync();
    drain(animator->preloadQueue());
    return animator;
}

// Advances exactly one frame (each frame of the samples lasts 0.5 s) and waits for its preload pass.
void nextFrame(AnimatedImageAnimator& animator) {
    ASSERT_TRUE(animator.advanceClock(0.5));
    drain(animator.preloadQueue());
}

std::set<int> range(int first, int last) {
    std::set<int> indices;
    for (int index = first; index <= last; ++index) indices.insert(index);
    return indices;
}

TEST(AnimatedImageRepeatCountTest, limitsAndEquality) {
    EXPECT_FALSE(RepeatCount::once().repeatLimitReached(0));
    EXPECT_TRUE(RepeatCount::once().repeatLimitReached(1));
    EXPECT_TRUE(RepeatCount::finite(0).repeatLimitReached(0));
    EXPECT_FALSE(RepeatCount::finite(3).repeatLimitReached(2));
    EXPECT_TRUE(RepeatCount::finite(3).repeatLimitReached(3));
    EXPECT_FALSE(RepeatCount::infinite().repeatLimitReached(std::numeric_limits<std::uint64_t>::max()));

    EXPECT_EQ(RepeatCount::finite(2), RepeatCount::finite(2));
    EXPECT_NE(RepeatCount::finite(2), RepeatCount::finite(3));
    EXPECT_NE(RepeatCount::finite(1), RepeatCount::once());
    EXPECT_EQ(RepeatCount::infinite(), RepeatCount::infinite());
}

TEST(AnimatedImageAnimatorTest, frameTableHoldsEveryFrameWithItsDurationAndTheLoopCapsEachFrameAtOneSecond) {
    auto animator = builtAnimator(gifSource({0.05, 2.0, 0.1}), 10);
    EXPECT_EQ(animator->frameCount(), 3);
    EXPECT_NEAR(animator->loopDuration(), 1.15, 1e-9);
    EXPECT_NEAR(animator->duration(1), 2.0, 1e-9);
    // Stored delays of 0.01 s or less play for the default 0.1 s.
    auto clamped = builtAnimator(gifSource({0.01, 0.02}), 10);
    EXPECT_NEAR(clamped->duration(0), 0.1, 1e-9);
    EXPECT_NEAR(clamped->duration(1), 0.02, 1e-9);

    EXPECT_EQ(animator->duration(3), std::numeric_limits<double>::infinity());
    EXPECT_EQ(animator->duration(-1), std::numeric_limits<double>::infinity());
    EXPECT_EQ(animator->frame(-1), nullptr);
    EXPECT_EQ(animator->frame(3), nullptr);
    ASSERT_TRUE(animator->frame(2));
}

TEST(AnimatedImageAnimatorTest, aSourceWithoutFramesHasAnEmptyTableAndTheClockNeverMoves) {
    auto animator = builtAnimator(gfx::ImageSource::createIncremental(), 10);
    EXPECT_EQ(animator->frameCount(), 0);
    EXPECT_EQ(animator->loopDuration(), 0);
    EXPECT_EQ(animator->currentFrameImage(), nullptr);
    for (int step = 0; step < 5; ++step) EXPECT_FALSE(animator->advanceClock(1));
    EXPECT_EQ(animator->currentFrameIndex(), 0);

    auto none = builtAnimator(nullptr, 10);
    EXPECT_EQ(none->frameCount(), 0);
    EXPECT_FALSE(none->advanceClock(1));
}

TEST(AnimatedImageAnimatorTest, theClockWaitsUntilTheFrameTableIsBuilt) {
    auto queue = dispatch::Queue::serial("held");
    auto gate = dispatch::Semaphore::create();
    queue->async([gate] { gate->wait(); });
    auto animator = AnimatedImageAnimator::make(gifSource(evenDelays(3)), {}, {4, 3}, 1, 10, RepeatCount::infinite(),
                                                queue);
    animator->buildFrameTableAsync();
    EXPECT_EQ(animator->frameCount(), 3);
    EXPECT_EQ(animator->currentFrameDuration(), std::numeric_limits<double>::infinity());
    EXPECT_FALSE(animator->advanceClock(1));
    gate->signal();
    drain(queue);
    EXPECT_TRUE(animator->advanceClock(0.5));
    EXPECT_EQ(animator->currentFrameIndex(), 1);
}

TEST(AnimatedImageAnimatorTest, theClockCarriesTheRemainderAndAdvancesOneFrameAtMostPerStep) {
    auto animator = builtAnimator(gifSource({0.25, 2.0, 0.5}), 10);
    EXPECT_FALSE(animator->advanceClock(0.125));
    EXPECT_TRUE(animator->advanceClock(0.25));  // 0.375 shown: 0.125 carries over
    EXPECT_EQ(animator->currentFrameIndex(), 1);
    EXPECT_DOUBLE_EQ(animator->timeSinceLastFrameChange(), 0.125);

    // The two-second frame is shown for two seconds, although it counts one in the loop.
    int steps = 1;
    while (!animator->advanceClock(0.125)) ++steps;
    EXPECT_EQ(steps, 15);  // 0.125 + 15 * 0.125 = 2.0
    EXPECT_EQ(animator->currentFrameIndex(), 2);

    // A five-second stall counts one second and moves one frame.
    EXPECT_TRUE(animator->advanceClock(5));
    EXPECT_EQ(animator->currentFrameIndex(), 0);
    EXPECT_DOUBLE_EQ(animator->timeSinceLastFrameChange(), 0.5);
    EXPECT_EQ(animator->previousFrameIndex(), 2);

    // After the stall the next frame follows at the next step, the time being already due.
    EXPECT_TRUE(animator->advanceClock(0.0625));
    EXPECT_EQ(animator->currentFrameIndex(), 1);

    // Steps that are no positive number are not counted: a NaN would stop the clock for good.
    auto fresh = builtAnimator(gifSource({0.25, 0.25}), 10);
    EXPECT_FALSE(fresh->advanceClock(std::nan("")));
    EXPECT_FALSE(fresh->advanceClock(-3));
    EXPECT_EQ(fresh->timeSinceLastFrameChange(), 0);
    EXPECT_TRUE(fresh->advanceClock(0.25));
}

struct LoopCase {
    RepeatCount repeat;
    int frames;
    int steps;
    std::vector<std::uint64_t> loops;
    bool finished;
    int finalFrame;
};

class AnimatorLoops : public ::testing::TestWithParam<LoopCase> {};

TEST_P(AnimatorLoops, loopsAreCountedOnArrivingAtTheLastFrameAndReportedWhenLeavingIt) {
    const LoopCase& loopCase = GetParam();
    auto animator = builtAnimator(gifSource(evenDelays(loopCase.frames)), 10, loopCase.repeat);
    auto log = std::make_shared<LoopLog>();
    animator->setDelegate(log);
    for (int step = 0; step < loopCase.steps && !animator->isFinished(); ++step) animator->advanceClock(0.5);
    EXPECT_EQ(log->loops, loopCase.loops);
    EXPECT_EQ(animator->isFinished(), loopCase.finished);
    EXPECT_EQ(animator->currentFrameIndex(), loopCase.finalFrame);
}

INSTANTIATE_TEST_SUITE_P(
    RepeatCounts, AnimatorLoops,
    ::testing::Values(
        // once over 0...3: finished on arriving at frame 3, told 1 then.
        LoopCase{RepeatCount::once(), 4, 20, {1}, true, 3},
        // finite(2): 1 when leaving the last frame, 2 on arriving at it again.
        LoopCase{RepeatCount::finite(2), 3, 20, {1, 2}, true, 2},
        // infinite: every departure from the last frame, never finished (3 frames, 10 steps: 3 loops left).
        LoopCase{RepeatCount::infinite(), 3, 10, {1, 2, 3}, false, 1},
        // a single frame never moves on and is never reported.
        LoopCase{RepeatCount::infinite(), 1, 10, {}, false, 0}));

TEST(AnimatedImageAnimatorTest, twelveFramesKeepElevenDecodedInRingOrder) {
    auto animator = builtAnimator(gifSource(evenDelays(12)), 10);
    EXPECT_EQ(decodedFrames(*animator), range(0, 10));
    nextFrame(*animator);
    EXPECT_EQ(decodedFrames(*animator), range(1, 11));
    nextFrame(*animator);
    auto expected = range(2, 11);
    expected.insert(0);
    EXPECT_EQ(decodedFrames(*animator), expected);
    EXPECT_EQ(animator->preloadWindowIndexes(11), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(AnimatedImageAnimatorTest, framesThatAllFitInTheWindowAreDecodedOnceAndNeverDropped) {
    auto animator = builtAnimator(gifSource(evenDelays(11)), 10);
    EXPECT_EQ(decodedFrames(*animator), range(0, 10));
    auto first = animator->frame(0);
    for (int step = 0; step < 13; ++step) nextFrame(*animator);
    EXPECT_EQ(decodedFrames(*animator), range(0, 10));
    EXPECT_EQ(animator->frame(0), first);  // the same picture: never decoded again
}

TEST(AnimatedImageAnimatorTest, memoryStaysBoundedToTheShownFrameAndTheWindowForAWholeLoop) {
    for (int ahead : {1, 3}) {
        auto animator = builtAnimator(gifSource(evenDelays(7)), ahead);
        for (int step = 0; step < 9; ++step) {
            nextFrame(*animator);
            std::set<int> expected;
            for (int offset = 0; offset <= ahead; ++offset)
                expected.insert((animator->currentFrameIndex() + offset) % 7);
            EXPECT_EQ(decodedFrames(*animator), expected) << "ahead " << ahead << ", step " << step;
        }
    }
}

// A window of no frames ahead used to wrap round the whole ring and decode every frame; a negative
// count behaves as none.
TEST(AnimatedImageAnimatorTest, noFramesAheadKeepsOnlyTheShownFrameDecoded) {
    for (int ahead : {0, -4}) {
        auto animator = builtAnimator(gifSource(evenDelays(5)), ahead);
        EXPECT_EQ(animator->maxFrameCount(), 0);
        EXPECT_TRUE(animator->preloadWindowIndexes(2).empty());
        EXPECT_EQ(decodedFrames(*animator), std::set<int>{0});
        for (int step = 0; step < 6; ++step) {
            nextFrame(*animator);
            EXPECT_EQ(decodedFrames(*animator), std::set<int>{animator->currentFrameIndex()});
        }
    }
}

// The indices a pass works on are those of the change that queued it: passes that run late (the
// queue was busy) still drop every frame that was left, instead of all reading the newest index.
TEST(AnimatedImageAnimatorTest, latePassesDropEveryFrameTheClockLeft) {
    auto animator = builtAnimator(gifSource(evenDelays(12)), 3);
    auto gate = dispatch::Semaphore::create();
    animator->preloadQueue()->async([gate] { gate->wait(); });
    for (int step = 0; step < 4; ++step) ASSERT_TRUE(animator->advanceClock(0.5));
    gate->signal();
    drain(animator->preloadQueue());
    EXPECT_EQ(decodedFrames(*animator), range(4, 7));
}

// Passes never wait for the main thread: they finish while the main thread blocks on the queue
// without turning its run loop.
TEST(AnimatedImageAnimatorTest, passesFinishWhileTheMainThreadWaitsForThem) {
    auto animator = builtAnimator(gifSource(evenDelays(6)), 2);
    ASSERT_TRUE(dispatch::Queue::main()->isCurrent());
    for (int step = 0; step < 5; ++step) ASSERT_TRUE(animator->advanceClock(0.5));
    auto done = dispatch::Semaphore::create();
    animator->preloadQueue()->async([done] { done->signal(); });
    ASSERT_TRUE(done->wait(30));
    EXPECT_EQ(decodedFrames(*animator), (std::set<int>{5, 0, 1}));
    dispatch::RunLoop::main()->runOnce();  // lets the dropped pictures go
}

TEST(AnimatedImageAnimatorTest, queuedPassesKeepTheAnimatorUntilTheyHaveRun) {
    auto animator = builtAnimator(gifSource(evenDelays(6)), 2);
    auto queue = animator->preloadQueue();
    auto gate = dispatch::Semaphore::create();
    queue->async([gate] { gate->wait(); });
    ASSERT_TRUE(animator->advanceClock(0.5));
    std::weak_ptr<AnimatedImageAnimator> weak = animator;
    animator.reset();
    EXPECT_FALSE(weak.expired());
    gate->signal();
    drain(queue);
    EXPECT_TRUE(weak.expired());
    dispatch::RunLoop::main()->runOnce();
}

// Each frame has a picture of its own, composited afresh: what an earlier frame drew never shows
// through the transparent parts of a later one.
TEST(AnimatedImageAnimatorTest, eachFrameIsDecodedIntoItsOwnPicture) {
    gfx::Bitmap red = samples::filled(4, 2, {1, 0, 0, 1});
    gfx::Bitmap half = samples::filled(4, 2, {0, 0, 0, 0});
    for (int y = 0; y < 2; ++y) std::fill_n(half.row(y), 2, gfx::Color{0, 1, 0, 1}.premultipliedPixel());
    auto bytes = gfx::encodeGif({{.bitmap = red, .delay = 0.5, .disposal = gfx::GifDisposal::background},
                                 {.bitmap = half, .delay = 0.5, .disposal = gfx::GifDisposal::background}},
                                4, 2);
    ASSERT_TRUE(bytes);
    auto animator = builtAnimator(gfx::ImageSource::create(*bytes), 1);
    auto first = animator->frame(0), second = animator->frame(1);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->bitmap(), second->bitmap());
    EXPECT_EQ(first->bitmap()->row(0)[3], red.row(0)[3]);
    EXPECT_EQ(second->bitmap()->row(0)[0], half.row(0)[0]);
    EXPECT_EQ(second->bitmap()->row(0)[3] >> 24, 0u);  // still transparent, not red
}

TEST(AnimatedImageAnimatorTest, prescalingDecodesThumbnailsNoLargerThanTheTargetUnlessTheTargetIsEmpty) {
    auto source = gifSource(evenDelays(3), 40, 30);
    auto small = AnimatedImageAnimator::make(source, {8, 6}, {20, 15}, 2, 10, RepeatCount::infinite());
    small->buildFrameTableAsync();
    drain(small->preloadQueue());
    ASSERT_TRUE(small->frame(0));
    EXPECT_EQ(small->frame(0)->bitmap()->width, 8);
    EXPECT_EQ(small->frame(0)->bitmap()->height, 6);
    // The frame still covers the image's points.
    EXPECT_DOUBLE_EQ(small->frame(0)->size().width, 20);

    auto empty = AnimatedImageAnimator::make(source, {0, 0}, {20, 15}, 2, 10, RepeatCount::infinite());
    empty->buildFrameTableAsync();
    drain(empty->preloadQueue());
    EXPECT_EQ(empty->frame(0)->bitmap()->width, 40);

    auto unscaled = AnimatedImageAnimator::make(source, {8, 6}, {20, 15}, 2, 10, RepeatCount::infinite());
    unscaled->setNeedsPrescaling(false);
    unscaled->buildFrameTableAsync();
    drain(unscaled->preloadQueue());
    EXPECT_EQ(unscaled->frame(1)->bitmap()->width, 40);
    EXPECT_DOUBLE_EQ(unscaled->frame(1)->size().height, 15);
}

TEST(AnimatedImageAnimatorTest, withoutAQueueOneIsMadeWithThePreloadLabel) {
    auto animator = AnimatedImageAnimator::make(gifSource(evenDelays(2)), {}, {4, 3}, 1, 10, RepeatCount::once());
    EXPECT_EQ(animator->preloadQueue()->label(), "com.tolvane.Pictura.Animator.preloadQueue");
    EXPECT_EQ(animator->preloadQueue(), animator->preloadQueue());
}

}  // namespace
}  // namespace pictura
