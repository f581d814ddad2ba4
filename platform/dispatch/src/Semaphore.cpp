#include "dispatch/Semaphore.h"

#include <cmath>

#include "Completion.h"

namespace dispatch {

bool Semaphore::signal() {
    std::lock_guard lock(mutex_);
    ++value_;
    available_.notify_one();
    return waiters_ > 0;
}

void Semaphore::wait() { wait(INFINITY); }

bool Semaphore::wait(double timeoutSeconds) {
    std::unique_lock lock(mutex_);
    ++waiters_;
    bool acquired = detail::Completion::waitFor(lock, available_, timeoutSeconds, [this] { return value_ > 0; });
    --waiters_;
    if (acquired) --value_;
    return acquired;
}

}  // namespace dispatch
