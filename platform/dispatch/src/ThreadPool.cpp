#include "ThreadPool.h"

#include <cstdio>
#include <exception>
#include <string>

#include "foundation/Print.h"
#include "foundation/Thread.h"

namespace dispatch::detail {

ThreadPool& ThreadPool::shared() {
    // Never destroyed: queued work may still run while the process exits.
    static ThreadPool& pool = *new ThreadPool;
    return pool;
}

// Room for every thread from the start: adding one then needs no allocation but its own.
ThreadPool::ThreadPool() { threads_.reserve(maximumThreads); }

void ThreadPool::submit(Block job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    if (jobs_.size() > idle_ && threads_.size() < maximumThreads) startThread();
    wake_.notify_one();
}

void ThreadPool::startThread() {
    try {
        threads_.emplace_back([this, number = threads_.size() + 1] {
            // Named so that logs and debuggers can tell the pool's threads apart.
            foundation::setCurrentThreadName("dispatch-" + std::to_string(number));
            work();
        });
        threadFailureSaid_ = false;
    } catch (const std::exception& error) {
        // Out of threads or of address space: the job stays queued for the threads running (or for the
        // next one that can be started). Said once until a thread starts again.
        if (threadFailureSaid_) return;
        threadFailureSaid_ = true;
        char line[200];
        std::snprintf(line, sizeof line, "dispatch: Failed to start a worker thread (%s); work waits for the %zu running.",
                      error.what(), threads_.size());
        try {
            foundation::printLine(line);
        } catch (...) {
            // Nothing more can be said.
        }
    }
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
