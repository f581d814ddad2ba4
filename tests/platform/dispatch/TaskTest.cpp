#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "dispatch/Task.h"

#include "Waits.h"

using namespace dispatch;

namespace {

Task<std::string> readBody(std::string url) {
    // Named, not written inside the co_await: g++ 12 destroys such closure temporaries twice.
    auto read = [url] { return "body of " + url; };
    co_return co_await onPool(std::move(read));
}

Task<std::size_t> loadTwo() {
    auto first = co_await readBody("a");
    auto second = co_await readBody("bb");
    co_return first.size() + second.size();
}

Task<int> failingRead() {
    co_await onPool([] {});
    throw std::runtime_error("decode failed");
}

bool runMainUntil(const bool& flag) {
    return RunLoop::main()->runUntil([&] { return flag; }, generousSeconds);
}

}  // namespace

TEST(Task, ResumesOnTheMainQueueAfterWorkOnThePool) {
    bool done = false;
    bool poolWasOffMain = false;
    bool resumedOnMain = false;
    spawn(Queue::main(), [&]() -> Task<void> {
        poolWasOffMain = co_await onPool([] { return !isMainThread() && Queue::currentLabel() == Queue::globalLabel; });
        resumedOnMain = isMainThread() && Queue::main()->isCurrent();
        done = true;
    });
    EXPECT_FALSE(done) << "spawn starts the task on a later turn";
    ASSERT_TRUE(runMainUntil(done));
    EXPECT_TRUE(poolWasOffMain);
    EXPECT_TRUE(resumedOnMain);
}

TEST(Task, NestedAwaitsRunInOrderAndReturnValues) {
    EXPECT_EQ(syncWait(loadTwo()), std::string("body of a").size() + std::string("body of bb").size());
}

TEST(Task, ResumesOnTheSerialQueueItStartedOn) {
    auto queue = Queue::serial("test.task");
    bool done = false;
    bool onQueue = false;
    spawn(queue, [&]() -> Task<void> {
        co_await readBody("x");
        onQueue = queue->isCurrent();
        Queue::main()->async([&] { done = true; });
    });
    ASSERT_TRUE(runMainUntil(done));
    EXPECT_TRUE(onQueue);
}

TEST(Task, ExceptionIsRethrownToTheAwaiter) {
    auto caught = syncWait([]() -> Task<std::string> {
        try {
            co_await failingRead();
        } catch (const std::runtime_error& error) {
            co_return error.what();
        }
        co_return "nothing thrown";
    }());
    EXPECT_EQ(caught, "decode failed");
    EXPECT_THROW(syncWait(failingRead()), std::runtime_error);
}

TEST(Task, ExceptionFromPoolWorkReachesTheTask) {
    EXPECT_THROW(syncWait([]() -> Task<void> { co_await onPool([] { throw std::logic_error("read"); }); }()),
                 std::logic_error);
}

TEST(Task, DetachedTaskExceptionIsReportedAndIgnored) {
    bool after = false;
    spawn(Queue::main(), []() -> Task<void> { co_await failingRead(); });
    Queue::main()->async([&] { Queue::main()->async([&] { after = true; }); });
    EXPECT_TRUE(runMainUntil(after));
}

TEST(Task, SpawnedLambdaKeepsItsCapturesAliveUntilTheTaskEnds) {
    auto screen = std::make_shared<std::string>("race screen");
    std::weak_ptr<std::string> watched = screen;
    long countDuringTask = 0;
    bool done = false;
    spawn(Queue::main(), [screen, &countDuringTask, &done]() -> Task<void> {
        co_await onPool([] {});
        co_await readBody(*screen);
        countDuringTask = screen.use_count();
        done = true;
    });
    screen.reset();
    EXPECT_FALSE(watched.expired());
    ASSERT_TRUE(runMainUntil(done));
    EXPECT_EQ(countDuringTask, 1) << "only the task's own copy holds it";
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return watched.expired(); }, generousSeconds));
}

TEST(Task, AwaitCallbackResumesOnTheStartingQueueWithTheValue) {
    auto result = syncWait([]() -> Task<std::string> {
        auto value = co_await awaitCallback<int>([](std::function<void(int)> resume) {
            std::thread([resume] {
                resume(7);
                resume(8);
            }).detach();
        });
        co_return std::to_string(value) + (isMainThread() ? " on main" : " elsewhere");
    }());
    EXPECT_EQ(result, "7 on main");
}

TEST(Task, SyncWaitOffTheMainThreadBlocksUntilTheTaskEnds) {
    std::size_t total = 0;
    std::thread worker([&] { total = syncWait(loadTwo()); });
    worker.join();
    EXPECT_EQ(total, 19u);
}

TEST(Task, UnstartedTaskIsDestroyedWithoutRunning) {
    bool ran = false;
    {
        auto task = [](bool& flag) -> Task<void> {
            flag = true;
            co_return;
        }(ran);
    }
    EXPECT_FALSE(ran);
}
