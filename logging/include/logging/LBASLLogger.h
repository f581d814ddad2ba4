#pragma once

#include "logging/LBAbstractLogger.h"

namespace logging {

// Sends each record to the legacy system log (syslog(3) here) through a client for the facility
// "com.apple.console": errors at level 2 (critical), warnings at 3, information at 4, the rest at 5.
// Each message carries "LBLog" = "1", so the capture does not take it back. One per process.
class LBASLLogger : public LBAbstractLogger {
public:
    static constexpr const char* facility = "com.apple.console";

    static std::shared_ptr<LBASLLogger> sharedInstance();

    void logMessage(const LBLogMessage& message) override;

private:
    LBASLLogger();
};

}  // namespace logging
