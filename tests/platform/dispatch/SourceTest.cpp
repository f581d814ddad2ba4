#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

#include "ManualClockFixture.h"
#include "dispatch/FileEventSource.h"
#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "dispatch/Semaphore.h"
#include "dispatch/TimerSource.h"

using namespace dispatch;

namespace {

class TimerSources : public ManualClockTest {
protected:
    std::shared_ptr<Queue> queue = Queue::serial("test.timers");
    std::shared_ptr<Semaphore> fired = Semaphore::create();
    std::atomic<int> fires = 0;

    std::shared_ptr<TimerSource> makeTimer() {
        auto timer = TimerSource::create(queue);
        timer->setEventHandler([this] {
            fires.fetch_add(1);
            fired->signal();
        });
        return timer;
    }
};

int openDescriptorCount() {
    int count = 0;
    for (auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

}  // namespace

TEST_F(TimerSources, OneShotTimerFiresOnceAtItsDeadlineOnItsQueue) {
    auto timer = makeTimer();
    std::atomic<bool> onQueue = false;
    timer->setEventHandler([&] {
        onQueue = queue->isCurrent();
        fires.fetch_add(1);
        fired->signal();
    });
    timer->schedule(Deadline::after(5));
    timer->resume();
    EXPECT_FALSE(fired->wait(0.05));
    clock->advance(5);
    ASSERT_TRUE(fired->wait(generousSeconds));
    EXPECT_TRUE(onQueue);
    clock->advance(50);
    EXPECT_FALSE(fired->wait(0.05));
    EXPECT_EQ(fires.load(), 1);
}

TEST_F(TimerSources, NeverStartedTimerDoesNotFireAndSuspendHoldsFiresUntilResume) {
    auto timer = makeTimer();
    timer->schedule(Deadline::after(1), 1);
    EXPECT_TRUE(timer->isSuspended());
    clock->advance(1);
    EXPECT_FALSE(fired->wait(0.05));

    timer->resume();  // the fire that came due while never started is delivered now
    ASSERT_TRUE(fired->wait(generousSeconds));
    timer->suspend();
    clock->advance(3);
    EXPECT_FALSE(fired->wait(0.05));
    timer->resume();
    ASSERT_TRUE(fired->wait(generousSeconds));
    EXPECT_EQ(queue->sync([&] { return timer->data(); }), 3u) << "three missed fires merged into one delivery";
    timer->cancel();
}

TEST_F(TimerSources, CancellingOrDestroyingANeverResumedTimerIsSafeAndRunsTheCancelHandler) {
    auto cancelled = Semaphore::create();
    auto owner = std::make_shared<int>(0);
    std::weak_ptr<int> watched = owner;
    {
        auto timer = TimerSource::create(queue);
        timer->setEventHandler([owner] {});
        timer->setCancelHandler([cancelled] { cancelled->signal(); });
        timer->schedule(Deadline::after(1), 1);
        owner.reset();
        timer->cancel();
        EXPECT_TRUE(timer->isCancelled());
        EXPECT_TRUE(watched.expired()) << "cancel releases the event handler";
        timer->resume();
    }
    {
        auto timer = TimerSource::create(queue);
        timer->setCancelHandler([cancelled] { cancelled->signal(); });
        timer->schedule(Deadline::after(1));
    }
    clock->advance(5);
    EXPECT_TRUE(cancelled->wait(generousSeconds));
    EXPECT_TRUE(cancelled->wait(generousSeconds));
}

TEST_F(TimerSources, RescheduleReplacesTheEarlierDeadline) {
    auto timer = makeTimer();
    timer->schedule(Deadline::after(1));
    timer->schedule(Deadline::after(10));
    timer->resume();
    clock->advance(5);
    EXPECT_FALSE(fired->wait(0.05));
    clock->advance(5);
    EXPECT_TRUE(fired->wait(generousSeconds));
}

// The timer thread sleeps toward its earliest deadline in real time, measured under the clock of that
// moment. A manual clock installed (with an uptime past that deadline, so its timers are not the earliest)
// and then moved must make it measure again rather than sleep on for an hour.
TEST(TimerThread, FollowsAClockInstalledAndMovedWhileItSleeps) {
    auto queue = Queue::serial("test.timer-thread");
    auto fired = Semaphore::create();
    queue->asyncAfter(3600, [] {});
    // A near one fired first leaves the thread asleep toward the far one.
    queue->asyncAfter(0.01, [fired] { fired->signal(); });
    ASSERT_TRUE(fired->wait(generousSeconds));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto clock = std::make_shared<foundation::ManualClock>(foundation::Date{}, foundation::SystemClock().uptime() + 7200);
    foundation::Clock::setCurrent(clock);
    queue->asyncAfter(5, [fired] { fired->signal(); });
    bool early = fired->wait(0.05);
    clock->advance(5);
    bool onTime = fired->wait(generousSeconds);
    foundation::Clock::setCurrent(nullptr);
    EXPECT_FALSE(early);
    EXPECT_TRUE(onTime);
}

class FileEvents : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dispatch-file-events-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        directory = pattern;
        path = directory / "current.log";
        std::ofstream(path) << "first line\n";
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::shared_ptr<FileEventSource> watch(unsigned long events) {
        auto source = FileEventSource::create(path, events, Queue::main());
        EXPECT_TRUE(source.has_value());
        (*source)->setEventHandler([this, raw = source->get()] { seen |= raw->data(); });
        (*source)->resume();
        return *source;
    }
    bool waitFor(unsigned long event) {
        return RunLoop::main()->runUntil([&] { return (seen & event) != 0; }, generousSeconds);
    }

    std::filesystem::path directory;
    std::filesystem::path path;
    unsigned long seen = 0;
};

TEST_F(FileEvents, DeletingTheFileIsReportedOnTheQueue) {
    auto source = watch(FileEvent::deleted | FileEvent::renamed);
    std::filesystem::remove(path);
    EXPECT_TRUE(waitFor(FileEvent::deleted));
    EXPECT_EQ(seen & FileEvent::renamed, 0u);
    source->cancel();
}

TEST_F(FileEvents, RenamingTheFileIsReportedAndTheFileIsFollowed) {
    auto source = watch(FileEvent::renamed | FileEvent::write | FileEvent::deleted);
    auto moved = directory / "archived.log";
    std::filesystem::rename(path, moved);
    EXPECT_TRUE(waitFor(FileEvent::renamed));
    std::ofstream(moved, std::ios::app) << "more\n";
    EXPECT_TRUE(waitFor(FileEvent::write));
    std::filesystem::remove(moved);
    EXPECT_TRUE(waitFor(FileEvent::deleted));
    source->cancel();
}

TEST_F(FileEvents, UnrequestedEventsAreNotDelivered) {
    auto source = watch(FileEvent::deleted);
    std::ofstream(path, std::ios::app) << "more\n";
    EXPECT_FALSE(RunLoop::main()->runUntil([&] { return seen != 0; }, 0.1));
    source->cancel();
}

TEST_F(FileEvents, CancelClosesTheDescriptorsAndRunsTheCancelHandler) {
    int before = openDescriptorCount();
    auto source = watch(FileEvent::deleted);
    EXPECT_GT(openDescriptorCount(), before);
    bool cancelled = false;
    source->setCancelHandler([&] { cancelled = true; });
    source->cancel();
    EXPECT_EQ(openDescriptorCount(), before);
    EXPECT_TRUE(RunLoop::main()->runUntil([&] { return cancelled; }, generousSeconds));
    std::filesystem::remove(path);
    EXPECT_FALSE(RunLoop::main()->runUntil([&] { return seen != 0; }, 0.05));
}

TEST_F(FileEvents, MissingFileGivesAnErrorNotASource) {
    auto source = FileEventSource::create((directory / "absent.log").string(), FileEvent::deleted, Queue::main());
    ASSERT_FALSE(source.has_value());
    EXPECT_EQ(source.error(), std::errc::no_such_file_or_directory);
}

TEST_F(FileEvents, WatchingAnOpenDescriptorLeavesTheCallersDescriptorOpen) {
    int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(descriptor, 0);
    auto source = FileEventSource::createForDescriptor(descriptor, FileEvent::write, Queue::main());
    ASSERT_TRUE(source.has_value());
    (*source)->setEventHandler([&] { seen |= (*source)->data(); });
    (*source)->resume();
    ASSERT_EQ(::write(descriptor, "x\n", 2), 2);
    EXPECT_TRUE(waitFor(FileEvent::write));
    (*source)->cancel();
    EXPECT_EQ(::write(descriptor, "y\n", 2), 2);
    ::close(descriptor);
}

// Deadlines too far off to count in nanoseconds, or no number at all, never come; work due before
// them still runs on time, and more can be scheduled meanwhile (the timer thread neither spins nor
// starves the others of its lock).
TEST(FarDeadlines, NeverComeAndHoldNothingUp) {
    auto queue = Queue::serial("test.far");
    std::atomic<int> far = 0;
    for (double seconds : {1e10, 1e300, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        queue->asyncAfter(Deadline::after(seconds), [&far] { far.fetch_add(1); });
    }
    auto near = Semaphore::create();
    for (int round = 0; round < 50; ++round) {
        queue->asyncAfter(0.001, [near] { near->signal(); });
        ASSERT_TRUE(near->wait(generousSeconds)) << round;
    }
    queue->sync([] {});
    EXPECT_EQ(far.load(), 0);
}
