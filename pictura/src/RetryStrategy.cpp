#include "pictura/RetryStrategy.h"

#include "dispatch/Queue.h"

namespace pictura {

double DelayRetryStrategy::Interval::timeInterval(int retriedCount) const {
    switch (kind_) {
    case Kind::seconds: return seconds_;
    case Kind::accumulated: return seconds_ * (retriedCount + 1);
    case Kind::custom: return block_ ? block_(retriedCount) : 0;
    }
    return 0;
}

void DelayRetryStrategy::retry(const std::shared_ptr<RetryContext>& context,
                               std::function<void(RetryDecision)> retryHandler) const {
    if (context->retriedCount >= maxRetryCount) return retryHandler(RetryDecision::stop());
    // A cancelled task is never retried, whichever failure came first.
    if (context->error.isTaskCancelled() || context->latestError.isTaskCancelled()) {
        return retryHandler(RetryDecision::stop());
    }
    // Only failures of the network response are worth another try.
    if (context->error.kind() != PicturaError::Kind::responseError) return retryHandler(RetryDecision::stop());

    const double delay = retryInterval.timeInterval(context->retriedCount);
    if (delay == 0) return retryHandler(RetryDecision::retry());
    ::dispatch::Queue::main()->asyncAfter(delay, [retryHandler = std::move(retryHandler)] {
        retryHandler(RetryDecision::retry());
    });
}

}  // namespace pictura
