#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "dispatch/Group.h"
#include "dispatch/Queue.h"
#include "dispatch/Semaphore.h"
#include "foundation/Thread.h"

#include "Waits.h"

using namespace dispatch;

TEST(SerialQueue, RunsBlocksOneAtATimeInSubmissionOrder) {
    auto queue = Queue::serial("test.order");
    std::vector<int> order;
    std::atomic<int> running = 0;
    bool overlapped = false;
    for (int index = 0; index < 500; ++index) {
        queue->async([&, index] {
            if (running.fetch_add(1) != 0) overlapped = true;
            order.push_back(index);
            running.fetch_sub(1);
        });
    }
    queue->sync([] {});
    ASSERT_EQ(order.size(), 500u);
    for (int index = 0; index < 500; ++index) EXPECT_EQ(order[index], index);
    EXPECT_FALSE(overlapped);
}

TEST(SerialQueue, SyncFromInsideTheQueueRunsInlineInsteadOfDeadlocking) {
    auto queue = Queue::serial("test.reentrant");
    int result = queue->sync([&] { return queue->sync([] { return 41; }) + 1; });
    EXPECT_EQ(result, 42);

    auto done = Semaphore::create();
    bool ranInline = false;
    queue->async([&] {
        queue->sync([&] { ranInline = queue->isCurrent(); });
        done->signal();
    });
    ASSERT_TRUE(done->wait(generousSeconds));
    EXPECT_TRUE(ranInline);
}

TEST(SerialQueue, ManyQueuesShareThePoolWithoutLosingWork) {
    std::vector<std::shared_ptr<Queue>> queues;
    for (int index = 0; index < 200; ++index) queues.push_back(Queue::serial());
    auto group = Group::create();
    std::atomic<int> count = 0;
    for (int round = 0; round < 20; ++round) {
        for (auto& queue : queues) queue->async(group, [&] { count.fetch_add(1); });
    }
    ASSERT_TRUE(group->wait(generousSeconds));
    EXPECT_EQ(count.load(), 4000);
}

TEST(ConcurrentQueue, BarrierRunsAloneAfterEarlierBlocksAndBeforeLaterOnes) {
    auto queue = Queue::concurrent("test.barrier");
    std::mutex mutex;
    int active = 0;
    bool barrierSawOthers = false;
    bool othersSawBarrier = false;
    bool barrierActive = false;
    std::vector<std::string> events;
    auto reader = [&](std::string name) {
        return [&, name] {
            {
                std::lock_guard lock(mutex);
                if (barrierActive) othersSawBarrier = true;
                ++active;
                events.push_back(name);
            }
            std::lock_guard lock(mutex);
            --active;
        };
    };
    for (int index = 0; index < 50; ++index) queue->async(reader("before"));
    queue->asyncBarrier([&] {
        std::lock_guard lock(mutex);
        barrierActive = true;
        if (active != 0) barrierSawOthers = true;
        events.push_back("barrier");
        barrierActive = false;
    });
    for (int index = 0; index < 50; ++index) queue->async(reader("after"));
    queue->syncBarrier([] {});

    EXPECT_FALSE(barrierSawOthers);
    EXPECT_FALSE(othersSawBarrier);
    ASSERT_EQ(events.size(), 101u);
    EXPECT_EQ(events[50], "barrier");
    EXPECT_EQ(std::count(events.begin(), events.begin() + 50, "before"), 50);
}

TEST(ConcurrentQueue, RunsBlocksSideBySide) {
    auto queue = Queue::concurrent("test.parallel");
    auto first = Semaphore::create();
    auto second = Semaphore::create();
    auto group = Group::create();
    // Each block waits for the other: only parallel execution lets both finish.
    queue->async(group, [&] {
        second->signal();
        first->wait(generousSeconds);
    });
    queue->async(group, [&] {
        first->signal();
        second->wait(generousSeconds);
    });
    EXPECT_TRUE(group->wait(generousSeconds));
}

TEST(QueueIdentity, CurrentQueueLabelAndSpecificValuesFollowTheRunningBlock) {
    static const int loggingKey = 0;
    auto queue = Queue::serial("tolvane.logbook");
    queue->setSpecific(&loggingKey, std::string("logging"));

    auto seen = queue->sync([&] {
        return std::tuple(Queue::currentLabel(), Queue::getSpecificOnCurrent<std::string>(&loggingKey),
                          queue->isCurrent(), Queue::current() == queue, Queue::currentUnretained() == queue.get());
    });
    EXPECT_EQ(std::get<0>(seen), "tolvane.logbook");
    EXPECT_EQ(std::get<1>(seen), "logging");
    EXPECT_TRUE(std::get<2>(seen));
    EXPECT_TRUE(std::get<3>(seen));
    EXPECT_TRUE(std::get<4>(seen));
    const Queue* offAnyQueue = queue.get();
    std::thread([&] { offAnyQueue = Queue::currentUnretained(); }).join();
    EXPECT_EQ(offAnyQueue, nullptr);

    EXPECT_FALSE(queue->isCurrent());
    EXPECT_EQ(Queue::getSpecificOnCurrent<std::string>(&loggingKey), std::nullopt);
    EXPECT_EQ(queue->getSpecific<std::string>(&loggingKey), "logging");
    EXPECT_EQ(queue->getSpecific<int>(&loggingKey), std::nullopt);

    queue->setSpecific(&loggingKey, {});
    EXPECT_EQ(queue->getSpecific<std::string>(&loggingKey), std::nullopt);
}

TEST(QueueIdentity, MainThreadCountsAsTheMainQueueAndPoolThreadsDoNot) {
    EXPECT_TRUE(isMainThread());
    EXPECT_TRUE(Queue::main()->isCurrent());
    EXPECT_EQ(Queue::currentUnretained(), Queue::main().get());
    EXPECT_EQ(Queue::currentLabel(), Queue::mainLabel);
    EXPECT_EQ(Queue::main()->sync([] { return 7; }), 7);  // inline: no loop needed

    std::tuple<bool, bool, std::string> onGlobal;
    auto done = Semaphore::create();
    Queue::global()->async([&] {
        onGlobal = std::tuple(isMainThread(), Queue::main()->isCurrent(), Queue::currentLabel());
        done->signal();
    });
    ASSERT_TRUE(done->wait(generousSeconds));
    EXPECT_FALSE(std::get<0>(onGlobal));
    EXPECT_FALSE(std::get<1>(onGlobal));
    EXPECT_EQ(std::get<2>(onGlobal), Queue::globalLabel);
    // A sync from the main thread borrows the calling thread, which stays the main thread.
    EXPECT_TRUE(Queue::serial()->sync([] { return isMainThread(); }));
}

TEST(SerialQueue, BlocksRunOnNamedPoolThreads) {
    auto queue = Queue::serial("test.names");
    std::string poolName;
    queue->async([&] { poolName = foundation::currentThreadName(); });
    queue->sync([] {});
    EXPECT_TRUE(poolName.starts_with("dispatch-")) << poolName;
}

TEST(SerialQueue, SyncsFromManyThreadsRunOneAtATimeBetweenItsAsyncBlocks) {
    auto queue = Queue::serial("test.contended");
    std::atomic<int> running = 0;
    bool overlapped = false;
    long count = 0;
    auto work = [&] {
        if (running.fetch_add(1) != 0) overlapped = true;
        ++count;
        running.fetch_sub(1);
    };
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&, thread] {
            for (int index = 0; index < 2000; ++index) {
                if (thread == 0 && index % 10 == 0) {
                    queue->async(work);
                } else {
                    queue->sync(work);
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    queue->sync([] {});
    EXPECT_EQ(count, 8000);
    EXPECT_FALSE(overlapped);
}

TEST(SerialQueue, BlocksQueuedWhileASyncBorrowsTheQueueRunAfterItInOrder) {
    auto queue = Queue::serial("test.borrowed");
    std::vector<int> order;
    auto done = Semaphore::create();
    bool overlapped = false;
    std::atomic<bool> syncRunning = false;
    const auto callerThread = std::this_thread::get_id();
    std::thread::id syncThread;
    int sum = queue->sync([&] {
        syncRunning = true;
        syncThread = std::this_thread::get_id();
        // Queued from elsewhere while this sync holds the queue: they must wait for it, then run.
        std::thread([&] {
            for (int index = 1; index <= 3; ++index) {
                queue->async([&, index] {
                    if (syncRunning) overlapped = true;
                    order.push_back(index);
                    if (index == 3) done->signal();
                });
            }
        }).join();
        order.push_back(0);
        syncRunning = false;
        return 40 + 2;
    });
    EXPECT_EQ(sum, 42);
    EXPECT_EQ(syncThread, callerThread);  // an idle queue lends itself to the caller's thread
    ASSERT_TRUE(done->wait(generousSeconds));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(overlapped);
}

TEST(SerialQueue, ASyncWhoseWorkThrowsLeavesTheQueueUsable) {
    auto queue = Queue::serial("test.throwing");
    EXPECT_THROW(queue->sync([] { throw std::runtime_error("failed"); }), std::runtime_error);
    auto done = Semaphore::create();
    queue->async([&] { done->signal(); });
    ASSERT_TRUE(done->wait(generousSeconds));
    EXPECT_EQ(queue->sync([] { return 7; }), 7);
}

namespace {
// The lessee of the leasing test: records that it was asked, and ends the lease at once.
std::atomic<int> revocationsAsked = 0;
void endAtOnce(Queue& queue) {
    revocationsAsked.fetch_add(1);
    queue.endLease();
}
void recordOnly(Queue&) { revocationsAsked.fetch_add(1); }
}  // namespace

TEST(SerialQueue, ALeasedQueueRunsOnlyItsLesseesWorkUntilAskedBackThenWhatWasQueued) {
    auto queue = Queue::serial("test.leased");
    revocationsAsked = 0;
    ASSERT_TRUE(queue->tryLease(recordOnly));
    EXPECT_TRUE(queue->isLeased());
    EXPECT_FALSE(queue->tryLease(recordOnly));  // one lessee at a time
    bool current = false;
    queue->runLeased([&] { current = queue->isCurrent(); });
    EXPECT_TRUE(current);

    // Queued while leased: it waits, and the lessee is asked for the queue.
    std::vector<int> order;
    auto done = Semaphore::create();
    queue->async([&] {
        order.push_back(2);
        done->signal();
    });
    EXPECT_EQ(revocationsAsked.load(), 1);
    EXPECT_FALSE(queue->isLeased());
    queue->runLeased([&] { order.push_back(1); });  // still the lessee's until it ends the lease
    queue->endLease();
    ASSERT_TRUE(done->wait(generousSeconds));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    queue->endLease();  // ended already: nothing happens
    EXPECT_EQ(queue->sync([] { return 3; }), 3);

    // A sync on a leased queue asks for it back and runs once it is given. Only an idle queue can be
    // leased: the drain that ran the queued block may still be letting go of it.
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::duration<double>(generousSeconds);
    bool leased = false;
    while (!(leased = queue->tryLease(endAtOnce)) && std::chrono::steady_clock::now() < giveUpAt)
        std::this_thread::yield();
    ASSERT_TRUE(leased);
    EXPECT_EQ(queue->sync([] { return 4; }), 4);
    EXPECT_EQ(revocationsAsked.load(), 2);
    EXPECT_FALSE(Queue::concurrent()->tryLease(recordOnly));
}
