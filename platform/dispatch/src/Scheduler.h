#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "dispatch/Queue.h"

namespace dispatch::detail {

// One thread that calls short blocks when their Clock uptime deadline passes (after-delays and timer
// sources). The blocks only hand work to a queue.
class Scheduler {
public:
    static Scheduler& shared();
    void schedule(double uptimeDeadline, Block block);

private:
    Scheduler();
    struct Entry {
        double deadline;
        std::uint64_t order;
        mutable Block block;
        bool operator>(const Entry& other) const {
            return deadline != other.deadline ? deadline > other.deadline : order > other.order;
        }
    };
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> entries_;
    std::uint64_t nextOrder_ = 0;
    std::thread thread_;
};

// How long a thread may sleep until the clock reaches `uptimeDeadline`. A clock that does not follow real
// time (a manual clock) is polled in short slices, so that advancing it is noticed promptly.
double realSecondsUntil(double uptimeDeadline);

}  // namespace dispatch::detail
