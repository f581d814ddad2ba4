#pragma once

#include <optional>
#include <string>

#include "logging/LBAbstractLogger.h"
#include "systemlog/SystemLog.h"

namespace logging {

// Sends each record to the unified system log (the systemd journal here): errors as error entries,
// warnings and information as info entries, the rest as debug entries. Records the system-log capture
// made are not sent back.
class LBOSLogger : public LBAbstractLogger {
public:
    static std::shared_ptr<LBOSLogger> sharedInstance();  // the process's default log

    // Both or neither; one without the other fails an assertion.
    LBOSLogger(std::optional<std::string> subsystem = std::nullopt, std::optional<std::string> category = std::nullopt);

    const std::optional<std::string>& subsystem() const { return subsystem_; }
    const std::optional<std::string>& category() const { return category_; }
    // Made on first use and kept.
    const systemlog::UnifiedLogHandle& logger();
    void setLogger(systemlog::UnifiedLogHandle handle) { logger_ = std::move(handle); }

    void logMessage(const LBLogMessage& message) override;

private:
    systemlog::UnifiedLogHandle getLogger() const;

    const std::optional<std::string> subsystem_;
    const std::optional<std::string> category_;
    std::optional<systemlog::UnifiedLogHandle> logger_;  // on the logger's queue
};

}  // namespace logging
