#include "ThreadPool.h"

#include <string>

#include "foundation/Thread.h"

namespace dispatch::detail {

ThreadPool& ThreadPool::shared() {
    // Never destroyed: queued work may still run while the process exits.
    static ThreadPool& pool = *new ThreadPool;
    return pool;
}

void ThreadPool::submit(Block job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    if (jobs_.size() > idle_ && threads_.size() < maximumThreads) {
        threads_.emplace_back([this, number = threads_.size() + 1] {
            // Named so that logs and debuggers can tell the pool's threads apart.
            foundation::setCurrentThreadName("dispatch-" + std::to_string(number));
            work();
        });
    }
    wake_.notify_one();
}

void ThreadPool::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        while (jobs_.empty()) {
            ++idle_;
            wake_.wait(lock);
            --idle_;
        }
        Block job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        job = nullptr;  // release captures before taking the lock again
        lock.lock();
    }
}

}  // namespace dispatch::detail
