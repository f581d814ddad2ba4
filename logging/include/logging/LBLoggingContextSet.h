#pragma once

#include <mutex>
#include <set>
#include <vector>

#include "logging/LBLogLevel.h"

namespace logging {

// A set of contexts behind a lock, so that filters can be shared by loggers on different queues.
class LBLoggingContextSet {
public:
    void addToSet(LBLogContext context);
    void removeFromSet(LBLogContext context);
    std::vector<LBLogContext> currentSet() const;
    bool isInSet(LBLogContext context) const;

private:
    mutable std::mutex mutex_;
    std::set<LBLogContext> set_;
};

}  // namespace logging
