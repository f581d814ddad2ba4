#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

namespace dispatch {

// A counting semaphore. wait() takes one unit, blocking while there is none; signal() gives one back.
class Semaphore {
public:
    static std::shared_ptr<Semaphore> create(long value = 0) { return std::make_shared<Semaphore>(value); }
    explicit Semaphore(long value = 0) : value_(value) {}

    bool signal();  // whether a waiting thread was woken
    void wait();
    bool wait(double timeoutSeconds);  // real seconds; false on timeout (no unit taken)

private:
    std::mutex mutex_;
    std::condition_variable available_;
    long value_;
    long waiters_ = 0;
};

}  // namespace dispatch
