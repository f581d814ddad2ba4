#include <benchmark/benchmark.h>

#include <atomic>

#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "dispatch/Semaphore.h"
#include "dispatch/Task.h"

using namespace dispatch;

namespace {

constexpr int blocksPerIteration = 1000;

// Blocks submitted from outside and drained by the queue's strand.
void SerialQueueAsync(benchmark::State& state) {
    auto queue = Queue::serial("bench.serial");
    long sum = 0;
    for (auto _ : state) {
        for (int index = 0; index < blocksPerIteration; ++index) queue->async([&sum] { ++sum; });
        queue->sync([] {});
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * blocksPerIteration);
}
BENCHMARK(SerialQueueAsync)->UseRealTime();

// Each block submits the next to the other queue: every hop crosses strands through the pool.
void SerialQueuePingPong(benchmark::State& state) {
    auto first = Queue::serial("bench.ping");
    auto second = Queue::serial("bench.pong");
    auto done = Semaphore::create();
    for (auto _ : state) {
        auto remaining = std::make_shared<std::atomic<int>>(blocksPerIteration);
        std::function<void(bool)> hop = [&](bool onFirst) {
            if (remaining->fetch_sub(1) == 1) {
                done->signal();
                return;
            }
            (onFirst ? second : first)->async([&hop, onFirst] { hop(!onFirst); });
        };
        first->async([&hop] { hop(true); });
        done->wait();
    }
    state.SetItemsProcessed(state.iterations() * blocksPerIteration);
}
BENCHMARK(SerialQueuePingPong)->UseRealTime();

// From the main thread to the pool and back through the main run loop.
void MainQueueRoundTrip(benchmark::State& state) {
    auto loop = RunLoop::main();
    for (auto _ : state) {
        bool back = false;
        Queue::global()->async([&back] { Queue::main()->async([&back] { back = true; }); });
        loop->runUntil([&back] { return back; });
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MainQueueRoundTrip)->UseRealTime();

// A task on the main queue awaiting pool work: the hop every network read makes.
void TaskPoolAwaitRoundTrip(benchmark::State& state) {
    for (auto _ : state) {
        int value = syncWait([]() -> Task<int> { co_return co_await onPool([] { return 1; }); }());
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(TaskPoolAwaitRoundTrip)->UseRealTime();

}  // namespace
