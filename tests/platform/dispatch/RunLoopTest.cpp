#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "ManualClockFixture.h"
#include "dispatch/DisplayLink.h"
#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "dispatch/Timer.h"

using namespace dispatch;

namespace {

class RunLoopTimers : public ManualClockTest {
protected:
    std::shared_ptr<RunLoop> loop = RunLoop::main();
};

}  // namespace

TEST_F(RunLoopTimers, RepeatingTimerFirstFiresOneIntervalAfterScheduling) {
    int fires = 0;
    auto timer = Timer::scheduledTimer(1.0, true, [&](Timer&) { ++fires; });
    loop->runOnce();
    clock->advance(0.9);
    loop->runOnce();
    EXPECT_EQ(fires, 0);
    clock->advance(0.1);
    loop->runOnce();
    EXPECT_EQ(fires, 1);
    clock->advance(1.0);
    loop->runOnce();
    EXPECT_EQ(fires, 2);
    timer->invalidate();
}

TEST_F(RunLoopTimers, RepeatingTimerCoalescesMissedFiresIntoOneAndKeepsItsPhase) {
    int fires = 0;
    auto timer = Timer::scheduledTimer(2.5, true, [&](Timer&) { ++fires; });
    double first = timer->nextFireUptime();
    clock->advance(2.5 * 4 + 1);  // four fires due
    loop->runOnce();
    EXPECT_EQ(fires, 1);
    EXPECT_DOUBLE_EQ(timer->nextFireUptime(), first + 2.5 * 4);
    loop->runOnce();
    EXPECT_EQ(fires, 1);
    timer->invalidate();
}

TEST_F(RunLoopTimers, InvalidateIsFinalAndReleasesTheActionsCaptures) {
    auto owner = std::make_shared<int>(0);
    std::weak_ptr<int> watched = owner;
    int fires = 0;
    auto timer = Timer::scheduledTimer(1.0, true, [owner, &fires](Timer&) { ++fires; });
    owner.reset();
    EXPECT_FALSE(watched.expired()) << "the scheduled timer keeps its target alive";

    timer->invalidate();
    timer->invalidate();
    EXPECT_TRUE(watched.expired());
    EXPECT_FALSE(timer->isValid());
    clock->advance(5);
    loop->runOnce();
    timer->fire();
    loop->add(timer);
    clock->advance(5);
    loop->runOnce();
    EXPECT_EQ(fires, 0);
}

TEST_F(RunLoopTimers, PlaceholderTimerThatWasNeverScheduledCanBeInvalidated) {
    auto placeholder = std::make_shared<Timer>();
    EXPECT_TRUE(placeholder->isValid());
    placeholder->invalidate();
    EXPECT_FALSE(placeholder->isValid());
}

TEST_F(RunLoopTimers, OneShotTimerFiresOnceAndInvalidatesItself) {
    int fires = 0;
    auto timer = Timer::scheduledTimer(0.5, false, [&](Timer&) { ++fires; });
    clock->advance(10);
    loop->runOnce();
    clock->advance(10);
    loop->runOnce();
    EXPECT_EQ(fires, 1);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(RunLoopTimers, MainQueueAfterDelayFollowsTheManualClock) {
    bool ran = false;
    Queue::main()->asyncAfter(3.0, [&] { ran = true; });
    EXPECT_FALSE(loop->runUntil([&] { return ran; }, 0.05));
    clock->advance(3.0);
    EXPECT_TRUE(loop->runUntil([&] { return ran; }, generousSeconds));
}

TEST_F(RunLoopTimers, TimerSeesItsBlocksQueuedOnTheMainQueueRunInTheSameTurn) {
    std::vector<std::string> order;
    auto timer = Timer::scheduledTimer(1.0, false, [&](Timer&) {
        order.push_back("tick");
        Queue::main()->async([&] { order.push_back("update"); });
    });
    clock->advance(1.0);
    loop->runOnce();
    EXPECT_EQ(order, (std::vector<std::string>{"tick", "update"}));
}

TEST_F(RunLoopTimers, DisplayLinkCallsBackOncePerFrameWithItsTimestampUntilPaused) {
    std::vector<double> stamps;
    auto link = DisplayLink::create([&](DisplayLink& frame) { stamps.push_back(frame.timestamp()); });
    link->setPreferredFramesPerSecond(10);
    link->addToRunLoop(loop);
    clock->advance(0.1);
    loop->runOnce();
    clock->advance(0.1);
    loop->runOnce();
    ASSERT_EQ(stamps.size(), 2u);
    EXPECT_NEAR(stamps[1] - stamps[0], 0.1, 1e-9);
    EXPECT_NEAR(link->targetTimestamp() - link->timestamp(), 0.1, 1e-9);

    link->setPaused(true);
    clock->advance(1);
    loop->runOnce();
    EXPECT_EQ(stamps.size(), 2u);
    link->invalidate();
}

TEST(RunLoop, QueuedMainBlocksRunInOrderAndOnesAddedDuringATurnWaitForTheNext) {
    std::vector<int> order;
    Queue::main()->async([&] {
        order.push_back(1);
        Queue::main()->async([&] { order.push_back(3); });
    });
    Queue::main()->async([&] { order.push_back(2); });
    RunLoop::main()->runOnce();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    RunLoop::main()->runOnce();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(RunLoop, ManyRedrawRequestsGiveOneRedrawPerTurn) {
    auto loop = RunLoop::main();
    int redraws = 0;
    loop->setRedrawHandler([&] { ++redraws; });
    for (int index = 0; index < 5; ++index) loop->setNeedsRedraw();
    Queue::main()->async([&] { loop->setNeedsRedraw(); });
    loop->runOnce();
    EXPECT_EQ(redraws, 1);
    loop->runOnce();
    EXPECT_EQ(redraws, 1);
    loop->setRedrawHandler(nullptr);
}

TEST(RunLoop, InputHandlerIsPolledEachTurnAndWakeComesFromAnyThread) {
    auto loop = RunLoop::main();
    int polls = 0;
    loop->setInputHandler([&] { ++polls; });
    loop->runOnce();
    loop->runOnce();
    EXPECT_EQ(polls, 2);
    Queue::global()->async([loop] { loop->wake(); });
    EXPECT_TRUE(loop->runUntil([&] { return polls >= 3; }, generousSeconds));
    loop->setInputHandler(nullptr);
}

TEST(RunLoop, RunUntilAnswersFalseWhenThePredicateNeverHolds) {
    EXPECT_FALSE(RunLoop::main()->runUntil([] { return false; }, 0.02));
}

TEST(RunLoop, RunReturnsAfterStopFromAnotherThread) {
    auto loop = RunLoop::main();
    bool ran = false;
    Queue::main()->async([&] {
        ran = true;
        Queue::global()->async([loop] { loop->stop(); });
    });
    loop->run();
    EXPECT_TRUE(ran);
}

TEST(RunLoop, TimersOfAThreadThatRunsNoLoopNeverFire) {
    std::atomic<int> fires = 0;
    std::shared_ptr<Timer> timer;
    bool made = false;
    Queue::global()->async([&] {
        auto scheduled = Timer::scheduledTimer(0.0001, true, [&](Timer&) { fires.fetch_add(1); });
        Queue::main()->async([&, scheduled] {
            timer = scheduled;
            made = true;
        });
    });
    ASSERT_TRUE(RunLoop::main()->runUntil([&] { return made; }, generousSeconds));
    EXPECT_FALSE(RunLoop::main()->runUntil([&] { return fires.load() > 0; }, 0.05));
    timer->invalidate();
}
