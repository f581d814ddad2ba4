#pragma once

#include <any>
#include <functional>
#include <memory>
#include <optional>

#include "pictura/PicturaError.h"
#include "pictura/Source.h"

namespace pictura {

// Whether a failed retrieval is tried again; `userInfo` goes to the next attempt's context.
struct RetryDecision {
    enum class Kind { retry, stop };
    Kind kind = Kind::stop;
    std::any userInfo;

    static RetryDecision retry(std::any userInfo = {}) { return {Kind::retry, std::move(userInfo)}; }
    static RetryDecision stop() { return {}; }
};

// One retrieval's retry state, shared by all its attempts. Only the manager changes it.
class RetryContext {
public:
    RetryContext(Source source, PicturaError error) : source(std::move(source)), error(error), latestError(std::move(error)) {}

    const Source source;       // the retrieval's original source
    const PicturaError error;  // the failure that created the context; later ones do not replace it
    // The failure being judged now (the first one at creation), so that a cancellation after other
    // failures still ends retrying.
    PicturaError latestError;
    int retriedCount = 0;
    std::any userInfo;
};

class RetryStrategy {
public:
    virtual ~RetryStrategy() = default;
    // Calls `retryHandler` exactly once, now or later.
    virtual void retry(const std::shared_ptr<RetryContext>& context,
                       std::function<void(RetryDecision)> retryHandler) const = 0;
};

// Retries response failures up to a count, after a delay: a stop or a zero delay answers at once on the
// calling thread, any other delay on the main queue once it has passed.
class DelayRetryStrategy final : public RetryStrategy {
public:
    class Interval {
    public:
        static Interval seconds(double seconds) { return Interval(Kind::seconds, seconds, nullptr); }
        // The base delay times the retry's number: t, 2t, 3t, ...
        static Interval accumulated(double seconds) { return Interval(Kind::accumulated, seconds, nullptr); }
        static Interval custom(std::function<double(int retriedCount)> block) { return Interval(Kind::custom, 0, std::move(block)); }

        // The delay before the retry that follows `retriedCount` earlier ones.
        double timeInterval(int retriedCount) const;

    private:
        enum class Kind { seconds, accumulated, custom };
        Interval(Kind kind, double seconds, std::function<double(int)> block)
            : kind_(kind), seconds_(seconds), block_(std::move(block)) {}

        Kind kind_;
        double seconds_;
        std::function<double(int)> block_;
    };

    DelayRetryStrategy(int maxRetryCount, Interval retryInterval)
        : maxRetryCount(maxRetryCount), retryInterval(std::move(retryInterval)) {}

    void retry(const std::shared_ptr<RetryContext>& context,
               std::function<void(RetryDecision)> retryHandler) const override;

    const int maxRetryCount;
    const Interval retryInterval;
};

}  // namespace pictura
