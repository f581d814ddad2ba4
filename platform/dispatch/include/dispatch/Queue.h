#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "dispatch/Deadline.h"

namespace dispatch {

using Block = std::move_only_function<void()>;

class Group;
class WorkItem;

// True on the thread that runs the main run loop (the process's first thread until a loop runs elsewhere).
bool isMainThread();

// A queue of blocks. Serial queues run one block at a time in order; concurrent queues run blocks side by
// side, except that a barrier block runs alone. Both are strands over one shared thread pool. The main
// queue is serial and drained by the main run loop. Every member may be called from any thread.
class Queue : public std::enable_shared_from_this<Queue> {
public:
    enum class Kind { serial, concurrent, main };

    static constexpr std::string_view mainLabel = "com.apple.main-thread";
    static constexpr std::string_view globalLabel = "com.apple.root.default-priority";

    static std::shared_ptr<Queue> serial(std::string label = {});
    static std::shared_ptr<Queue> concurrent(std::string label = {});
    static std::shared_ptr<Queue> main();
    static std::shared_ptr<Queue> global();  // the shared concurrent queue

    // The queue whose block is running on this thread; the main queue on the main thread; else null.
    static std::shared_ptr<Queue> current();
    // The same queue without taking a reference to it (no atomic step): valid while the caller runs on it.
    static const Queue* currentUnretained();
    static std::string currentLabel();  // empty off any queue

    const std::string& label() const { return label_; }
    Kind kind() const { return kind_; }
    // Whether the calling thread runs this queue's work now (for the main queue: is the main thread).
    bool isCurrent() const;

    void async(Block block);
    void async(const std::shared_ptr<Group>& group, Block block);
    void async(const std::shared_ptr<WorkItem>& item);
    void asyncBarrier(Block block);  // on a serial queue the same as async
    void asyncAfter(Deadline deadline, Block block);
    void asyncAfter(double delaySeconds, Block block) { asyncAfter(Deadline::after(delaySeconds), std::move(block)); }
    void asyncAfter(Deadline deadline, const std::shared_ptr<WorkItem>& item);

    // Runs `work` on the queue and waits for it. Already on the queue, it runs inline (no self-deadlock).
    template <class Work>
    std::invoke_result_t<Work&> sync(Work&& work) {
        return syncReturning(std::forward<Work>(work), false);
    }
    template <class Work>
    std::invoke_result_t<Work&> syncBarrier(Work&& work) {
        return syncReturning(std::forward<Work>(work), true);
    }

    // Leasing a serial queue, for a caller that runs the queue's work on its own threads under a lock
    // of its own and wants no atomic step per run. While leased the queue runs nothing else. Whoever
    // queues work on a leased queue, or syncs on it, calls `revoke` with the queue; the lessee must then
    // end the lease soon, under its lock and not from inside a runLeased of this queue.
    using Revoke = void (*)(Queue&);
    bool tryLease(Revoke revoke);  // an idle serial queue only
    bool isLeased() const;         // and nothing waits for it
    template <class Work>
    void runLeased(Work&& work) {  // under the lessee's lock, while leased
        runLeasedWork(WorkReference(work));
    }
    void endLease();  // queued work then drains on the pool; nothing if the lease already ended

    // Queue-specific values, keyed by an address the caller owns. Setting an empty value removes it.
    void setSpecific(const void* key, std::any value);
    template <class T>
    std::optional<T> getSpecific(const void* key) const {
        return cast<T>(specific(key));
    }
    template <class T>
    static std::optional<T> getSpecificOnCurrent(const void* key) {
        auto queue = current();
        return queue ? queue->getSpecific<T>(key) : std::nullopt;
    }

    struct State;
    Queue(Kind kind, std::string label);  // use the factories
    ~Queue();

private:
    friend class RunLoop;

    // The work of a sync, by reference: it outlives the call, so nothing is copied or allocated.
    class WorkReference {
    public:
        template <class Work>
        explicit WorkReference(Work& work)
            : work_(const_cast<void*>(static_cast<const void*>(std::addressof(work)))),
              run_([](void* work) { (*static_cast<Work*>(work))(); }) {}
        void operator()() const { run_(work_); }

    private:
        void* work_;
        void (*run_)(void*);
    };

    template <class Work>
    std::invoke_result_t<Work&> syncReturning(Work&& work, bool barrier) {
        using Result = std::invoke_result_t<Work&>;
        if constexpr (std::is_void_v<Result>) {
            syncBlock(WorkReference(work), barrier);
        } else {
            std::optional<Result> result;
            auto keep = [&] { result.emplace(work()); };
            syncBlock(WorkReference(keep), barrier);
            return std::move(*result);
        }
    }
    template <class T>
    static std::optional<T> cast(const std::any& value) {
        if (auto* typed = std::any_cast<T>(&value)) return *typed;
        return std::nullopt;
    }

    void syncBlock(WorkReference work, bool barrier);
    // Serial queues: takes the queue for a sync on the calling thread if no other work holds it, and
    // gives it back (or gives it up from a holder of that kind).
    void runLeasedWork(WorkReference work);
    bool tryBorrow();
    void giveBack(std::uint64_t holder);
    void submit(Block block, bool barrier);
    std::any specific(const void* key) const;
    // Main queue only: runs the blocks queued before the call; answers whether there were any.
    bool drainMain();

    void drainSerial();
    void startConcurrent(std::unique_lock<std::mutex>& lock);
    void finishConcurrent(bool barrier);
    void runConcurrent(Block block, bool barrier);

    const Kind kind_;
    const std::string label_;
    std::unique_ptr<State> state_;
};

}  // namespace dispatch
