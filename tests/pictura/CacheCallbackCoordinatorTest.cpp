#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "pictura/CacheCallbackCoordinator.h"

namespace pictura {
namespace {

using Action = CacheCallbackCoordinator::Action;
using State = CacheCallbackCoordinator::State;

struct Step {
    Action action;
    State state;
    int triggers;  // total so far
};

void play(bool wait, bool original, std::initializer_list<Step> steps) {
    CacheCallbackCoordinator coordinator(wait, original);
    int triggers = 0;
    int index = 0;
    for (const Step& step : steps) {
        coordinator.handle(step.action, [&] { ++triggers; });
        EXPECT_EQ(coordinator.state(), step.state) << "step " << index << " wait " << wait << " original " << original;
        EXPECT_EQ(triggers, step.triggers) << "step " << index << " wait " << wait << " original " << original;
        ++index;
    }
}

TEST(CacheCallbackCoordinatorTest, withoutWaitingTheStartTriggersAndLaterEventsDoNothing) {
    play(false, false, {{Action::storeStarted, State::done, 1}, {Action::imageStored, State::done, 1}});
    play(false, true, {{Action::storeStarted, State::done, 1}, {Action::originalImageStored, State::done, 1}});
}

TEST(CacheCallbackCoordinatorTest, waitingWithoutAnOriginalTriggersOnTheImageWrite) {
    play(true, false, {{Action::storeStarted, State::idle, 0}, {Action::imageStored, State::done, 1},
                       {Action::originalImageStored, State::done, 1}});
}

TEST(CacheCallbackCoordinatorTest, waitingWithAnOriginalTriggersOnTheSecondWriteInEitherOrder) {
    play(true, true, {{Action::storeStarted, State::idle, 0}, {Action::imageStored, State::imageCached, 0},
                      {Action::originalImageStored, State::done, 1}});
    play(true, true, {{Action::storeStarted, State::idle, 0}, {Action::originalImageStored, State::originalImageCached, 0},
                      {Action::imageStored, State::done, 1}});
}

TEST(CacheCallbackCoordinatorTest, anInlineStoreBeforeTheStartWaitsForTheOriginal) {
    play(false, true, {{Action::imageStored, State::imageCached, 0}, {Action::storeStarted, State::imageCached, 0},
                       {Action::originalImageStored, State::done, 1}});
}

TEST(CacheCallbackCoordinatorTest, pairsOutsideTheTableChangeNothing) {
    play(true, true, {{Action::imageStored, State::imageCached, 0}, {Action::imageStored, State::imageCached, 0},
                      {Action::storeStarted, State::imageCached, 0}});
    play(true, true, {{Action::originalImageStored, State::originalImageCached, 0},
                      {Action::originalImageStored, State::originalImageCached, 0},
                      {Action::storeStarted, State::originalImageCached, 0}});
}

TEST(CacheCallbackCoordinatorTest, twoWritesCompletingTogetherTriggerExactlyOnce) {
    for (int round = 0; round < 200; ++round) {
        CacheCallbackCoordinator coordinator(true, true);
        std::atomic<int> triggers = 0;
        std::atomic<bool> go = false;
        auto report = [&](Action action) {
            while (!go) std::this_thread::yield();
            coordinator.handle(action, [&] { ++triggers; });
        };
        std::thread image(report, Action::imageStored);
        std::thread original(report, Action::originalImageStored);
        go = true;
        image.join();
        original.join();
        ASSERT_EQ(triggers, 1) << "round " << round;
        ASSERT_EQ(coordinator.state(), State::done);
    }
}

}  // namespace
}  // namespace pictura
