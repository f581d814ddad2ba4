#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dispatch/Group.h"
#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "dispatch/Semaphore.h"
#include "dispatch/WorkItem.h"

#include "Waits.h"

using namespace dispatch;

TEST(Group, WaitTimesOutWhileWorkIsOutstandingAndNotifyRunsWhenItEnds) {
    auto group = Group::create();
    auto queue = Queue::serial();
    auto gate = Semaphore::create();
    std::atomic<int> finished = 0;
    group->enter();
    queue->async(group, [&] { 
        gate->wait(generousSeconds);
        finished.fetch_add(1);
    });
    queue->async(group, [&] { finished.fetch_add(1); });

    EXPECT_FALSE(group->wait(0.01));
    bool notified = false;
    group->notify(Queue::main(), [&] { notified = true; });

    gate->signal();
    group->leave();
    EXPECT_TRUE(group->wait(generousSeconds));
    EXPECT_EQ(finished.load(), 2);
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return notified; }, generousSeconds));
}

TEST(Group, NotifyOnAnEmptyGroupRunsAtOnce) {
    auto group = Group::create();
    bool notified = false;
    group->notify(Queue::main(), [&] { notified = true; });
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return notified; }, generousSeconds));
    EXPECT_TRUE(group->wait(0));
}

TEST(Semaphore, WaitTimesOutWithoutTakingAUnitAndSignalReleasesAWaiter) {
    auto semaphore = Semaphore::create(1);
    EXPECT_TRUE(semaphore->wait(0));
    EXPECT_FALSE(semaphore->wait(0.01));

    auto acquired = Semaphore::create();
    Queue::global()->async([&] {
        if (semaphore->wait(generousSeconds)) acquired->signal();
    });
    semaphore->signal();
    EXPECT_TRUE(acquired->wait(generousSeconds));
    EXPECT_FALSE(semaphore->wait(0));
}

TEST(WorkItem, CancelledBeforeItRunsItNeverRunsButStillFinishes) {
    auto queue = Queue::serial();
    auto gate = Semaphore::create();
    queue->async([&] { gate->wait(generousSeconds); });
    bool ran = false;
    auto item = WorkItem::create([&] { ran = true; });
    bool notified = false;
    item->notify(Queue::main(), [&] { notified = true; });
    queue->async(item);
    item->cancel();
    gate->signal();

    EXPECT_TRUE(item->wait(generousSeconds));
    EXPECT_TRUE(item->isCancelled());
    EXPECT_FALSE(ran);
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return notified; }, generousSeconds));
}

TEST(WorkItem, WaitReturnsAfterThePerformedBlock) {
    auto item = WorkItem::create([] {});
    EXPECT_FALSE(item->wait(0.01));
    Queue::serial()->async(item);
    EXPECT_TRUE(item->wait(generousSeconds));
    EXPECT_FALSE(item->isCancelled());
}

// A timeout too long to count in the clock's nanoseconds waits for the signal instead of giving up
// at once.
TEST(Semaphore, AWaitOfCenturiesWaitsForTheSignal) {
    for (double seconds : {1e10, 1e300}) {
        auto semaphore = Semaphore::create();
        std::thread signaller([semaphore] {
            for (int pause = 0; pause < 2000; ++pause) std::this_thread::yield();
            semaphore->signal();
        });
        EXPECT_TRUE(semaphore->wait(seconds)) << seconds;
        signaller.join();
    }
}
