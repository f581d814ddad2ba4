#include "dispatch/Queue.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "Completion.h"
#include "Scheduler.h"
#include "ThreadPool.h"
#include "dispatch/Group.h"
#include "dispatch/RunLoop.h"
#include "dispatch/WorkItem.h"
#include "foundation/Clock.h"

namespace dispatch {

namespace {

// The queues whose blocks this thread is running, innermost last (an inline sync nests one more).
thread_local std::vector<const Queue*> runningQueues;

class RunningScope {
public:
    explicit RunningScope(const Queue* queue) { runningQueues.push_back(queue); }
    ~RunningScope() { runningQueues.pop_back(); }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;
};

// A serial queue gives the thread back to the pool after this many blocks, so busy queues share it.
constexpr int blocksPerDrain = 64;

// How many times a sync waits for a serial queue that another sync borrows before queueing its block.
constexpr int borrowPatience = 16;

}  // namespace

struct Queue::State {
    struct Entry {
        Block block;
        bool barrier = false;
    };
    std::mutex mutex;
    std::deque<Entry> pending;
    // Serial: who holds the queue (no one, a drain scheduled or running, or a sync borrowing it on its
    // caller's thread) and, above that, how many entries `pending` has. One word changed by one atomic
    // step per transition: a sync on an idle queue takes no lock at all.
    static constexpr std::uint64_t heldByDrain = 1;
    static constexpr std::uint64_t heldBySync = 2;
    static constexpr std::uint64_t heldByLease = 3;
    static constexpr std::uint64_t holderBits = 3;
    static constexpr std::uint64_t oneQueued = 4;
    alignas(64) std::atomic<std::uint64_t> serialState = 0;
    static std::uint64_t holder(std::uint64_t state) { return state & holderBits; }
    static std::uint64_t queued(std::uint64_t state) { return state / oneQueued; }
    std::atomic<Queue::Revoke> revoke = nullptr;  // the lessee's, while leased
    std::size_t running = 0;      // concurrent: blocks on the pool now
    bool barrierRunning = false;  // concurrent
    mutable std::mutex specificsMutex;
    std::map<const void*, std::any> specifics;
};

namespace {

const std::shared_ptr<Queue>& mainQueue() {
    static auto& queue =
        *new std::shared_ptr<Queue>(std::make_shared<Queue>(Queue::Kind::main, std::string(Queue::mainLabel)));
    return queue;
}

}  // namespace

Deadline Deadline::now() { return {foundation::Clock::current()->uptime()}; }

Deadline Deadline::at(foundation::Date date) { return after(date.timeIntervalSinceNow()); }

Queue::Queue(Kind kind, std::string label) : kind_(kind), label_(std::move(label)), state_(std::make_unique<State>()) {}

Queue::~Queue() = default;

std::shared_ptr<Queue> Queue::serial(std::string label) {
    return std::make_shared<Queue>(Kind::serial, std::move(label));
}

std::shared_ptr<Queue> Queue::concurrent(std::string label) {
    return std::make_shared<Queue>(Kind::concurrent, std::move(label));
}

std::shared_ptr<Queue> Queue::main() { return mainQueue(); }

std::shared_ptr<Queue> Queue::global() {
    static auto& queue =
        *new std::shared_ptr<Queue>(std::make_shared<Queue>(Kind::concurrent, std::string(globalLabel)));
    return queue;
}

std::shared_ptr<Queue> Queue::current() {
    const Queue* queue = currentUnretained();
    return queue ? std::const_pointer_cast<Queue>(queue->shared_from_this()) : nullptr;
}

const Queue* Queue::currentUnretained() {
    if (!runningQueues.empty()) return runningQueues.back();
    return isMainThread() ? mainQueue().get() : nullptr;
}

std::string Queue::currentLabel() {
    const Queue* queue = currentUnretained();
    return queue ? queue->label() : std::string();
}

bool Queue::isCurrent() const {
    if (kind_ == Kind::main) return isMainThread();
    for (const Queue* queue : runningQueues) {
        if (queue == this) return true;
    }
    return false;
}

void Queue::async(Block block) { submit(std::move(block), false); }

void Queue::asyncBarrier(Block block) { submit(std::move(block), true); }

void Queue::async(const std::shared_ptr<Group>& group, Block block) {
    group->enter();
    async([group, block = std::move(block)]() mutable {
        block();
        group->leave();
    });
}

void Queue::async(const std::shared_ptr<WorkItem>& item) {
    async([item] { item->perform(); });
}

void Queue::asyncAfter(Deadline deadline, Block block) {
    if (kind_ == Kind::main) {
        RunLoop::main()->addDelayed(deadline.uptime, std::move(block));
        return;
    }
    detail::Scheduler::shared().schedule(deadline.uptime, [self = shared_from_this(), block = std::move(block)]() mutable {
        self->async(std::move(block));
    });
}

void Queue::asyncAfter(Deadline deadline, const std::shared_ptr<WorkItem>& item) {
    asyncAfter(deadline, [item] { item->perform(); });
}

void Queue::submit(Block block, bool barrier) {
    std::unique_lock lock(state_->mutex);
    state_->pending.push_back({std::move(block), barrier});
    switch (kind_) {
    case Kind::main:
        lock.unlock();
        RunLoop::main()->wake();
        return;
    case Kind::serial: {
        // Counted and, on a queue no one holds, taken for a drain in one step: a sync giving the queue
        // back sees the entry and starts the drain itself.
        auto& word = state_->serialState;
        std::uint64_t before = word.load();
        std::uint64_t after;
        do {
            after = before + State::oneQueued;
            if (State::holder(before) == 0) after |= State::heldByDrain;
        } while (!word.compare_exchange_weak(before, after));
        lock.unlock();
        if (State::holder(before) == 0) {
            detail::ThreadPool::shared().submit([self = shared_from_this()] { self->drainSerial(); });
        } else if (State::holder(before) == State::heldByLease) {
            state_->revoke.load()(*this);
        }
        return;
    }
    case Kind::concurrent:
        startConcurrent(lock);
        return;
    }
}

void Queue::drainSerial() {
    RunningScope scope(this);
    for (int count = 0; count < blocksPerDrain; ++count) {
        Block block;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->pending.empty()) {
                state_->serialState.fetch_and(~State::holderBits);
                return;
            }
            block = std::move(state_->pending.front().block);
            state_->pending.pop_front();
            state_->serialState.fetch_sub(State::oneQueued);
        }
        block();
    }
    detail::ThreadPool::shared().submit([self = shared_from_this()] { self->drainSerial(); });
}

void Queue::startConcurrent(std::unique_lock<std::mutex>& lock) {
    std::vector<State::Entry> ready;
    auto& state = *state_;
    while (!state.pending.empty() && !state.barrierRunning) {
        if (state.pending.front().barrier) {
            if (state.running > 0) break;
            state.barrierRunning = true;
        }
        ++state.running;
        ready.push_back(std::move(state.pending.front()));
        state.pending.pop_front();
        if (state.barrierRunning) break;
    }
    lock.unlock();
    for (auto& entry : ready) {
        detail::ThreadPool::shared().submit(
            [self = shared_from_this(), block = std::move(entry.block), barrier = entry.barrier]() mutable {
                self->runConcurrent(std::move(block), barrier);
            });
    }
}

void Queue::runConcurrent(Block block, bool barrier) {
    {
        RunningScope scope(this);
        block();
        block = nullptr;
    }
    finishConcurrent(barrier);
}

void Queue::finishConcurrent(bool barrier) {
    std::unique_lock lock(state_->mutex);
    --state_->running;
    if (barrier) state_->barrierRunning = false;
    startConcurrent(lock);
}

bool Queue::tryBorrow() {
    // Only a queue that no one holds and that has nothing queued.
    std::uint64_t idle = 0;
    return state_->serialState.compare_exchange_strong(idle, State::heldBySync);
}

void Queue::giveBack(std::uint64_t holder) {
    // Blocks queued while the holder ran found the queue taken: a drain takes it over for them.
    auto& word = state_->serialState;
    std::uint64_t before = word.load();
    std::uint64_t after;
    do {
        if (State::holder(before) != holder) return;
        after = State::queued(before) == 0 ? 0 : (before & ~State::holderBits) | State::heldByDrain;
    } while (!word.compare_exchange_weak(before, after));
    if (after != 0) detail::ThreadPool::shared().submit([self = shared_from_this()] { self->drainSerial(); });
}

bool Queue::tryLease(Revoke revoke) {
    if (kind_ != Kind::serial) return false;
    // Set first: a submit that finds the queue leased calls it at once.
    state_->revoke = revoke;
    std::uint64_t idle = 0;
    return state_->serialState.compare_exchange_strong(idle, State::heldByLease);
}

bool Queue::isLeased() const { return state_->serialState.load() == State::heldByLease; }

void Queue::runLeasedWork(WorkReference work) {
    RunningScope scope(this);
    work();
}

void Queue::endLease() { giveBack(State::heldByLease); }

void Queue::syncBlock(WorkReference work, bool barrier) {
    if (isCurrent()) {
        work();
        return;
    }
    auto& state = *state_;
    if (kind_ == Kind::serial) {
        // A serial queue that another thread is borrowing for a sync of its own is usually free again
        // within a moment: waiting that moment is far cheaper than handing the block to the pool and
        // sleeping until it has run.
        bool taken = tryBorrow();
        for (int attempt = 0; !taken && attempt < borrowPatience && state.serialState.load() == State::heldBySync;
             ++attempt) {
            std::this_thread::yield();
            taken = tryBorrow();
        }
        // An idle queue runs the block on the calling thread, as if the queue had borrowed it.
        if (taken) {
            // Given back however the work ends, so that a block that throws leaves the queue usable.
            struct GiveBack {
                Queue* queue;
                ~GiveBack() { queue->giveBack(State::heldBySync); }
            } giveBack{this};
            RunningScope scope(this);
            work();
            return;
        }
    }
    std::unique_lock lock(state.mutex);
    if (kind_ == Kind::concurrent && state.pending.empty() && !state.barrierRunning &&
        (!barrier || state.running == 0)) {
        ++state.running;
        state.barrierRunning = barrier;
        lock.unlock();
        {
            RunningScope scope(this);
            work();
        }
        finishConcurrent(barrier);
        return;
    }
    lock.unlock();
    detail::Completion done;
    submit(
        [&] {
            work();
            done.signal();
        },
        barrier);
    done.wait();
}

bool Queue::drainMain() {
    std::size_t count;
    {
        std::lock_guard lock(state_->mutex);
        count = state_->pending.size();
    }
    if (count == 0) return false;
    RunningScope scope(this);
    for (std::size_t index = 0; index < count; ++index) {
        Block block;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->pending.empty()) break;
            block = std::move(state_->pending.front().block);
            state_->pending.pop_front();
        }
        block();
    }
    return true;
}

void Queue::setSpecific(const void* key, std::any value) {
    std::lock_guard lock(state_->specificsMutex);
    if (value.has_value()) {
        state_->specifics[key] = std::move(value);
    } else {
        state_->specifics.erase(key);
    }
}

std::any Queue::specific(const void* key) const {
    std::lock_guard lock(state_->specificsMutex);
    auto found = state_->specifics.find(key);
    return found == state_->specifics.end() ? std::any() : found->second;
}

}  // namespace dispatch
