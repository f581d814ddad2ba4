#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "dispatch/Queue.h"

namespace dispatch::detail {

// The one set of worker threads every queue runs on. A thread is added whenever work waits and no
// thread is idle, up to a cap, so that blocks which block (a sync, a semaphore) cannot starve the rest.
class ThreadPool {
public:
    static ThreadPool& shared();
    // Never throws for want of a thread: the job then waits for the threads running.
    void submit(Block job);

private:
    ThreadPool();
    void startThread();  // under mutex_
    void work();

    static constexpr std::size_t maximumThreads = 64;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Block> jobs_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool threadFailureSaid_ = false;  // under mutex_
};

}  // namespace dispatch::detail
