#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "systemlog/LegacyMessage.h"

namespace dispatch {
class Queue;
}

namespace systemlog {

// The unified log's kinds of entry.
enum class LogType { debug, info, defaultType, error, fault };

// Where unified-log entries go: a subsystem and category, or the process's default log (neither).
struct UnifiedLogHandle {
    std::optional<std::string> subsystem;
    std::optional<std::string> category;

    friend bool operator==(const UnifiedLogHandle&, const UnifiedLogHandle&) = default;
};

// Stops a watch; cancelling twice is harmless, and no handler runs once cancel() returned.
class LegacyWatch {
public:
    virtual ~LegacyWatch() = default;
    virtual void cancel() = 0;
};

// The system's logs, behind one seam: the unified log and the legacy log, written to and (the legacy
// one) searched and watched. The system's own writes to the systemd journal (the unified log) and
// through syslog(3) (the legacy log), and reads the journal back; tests install a RecordingSystemLog.
class SystemLog {
public:
    virtual ~SystemLog() = default;

    static std::shared_ptr<SystemLog> current();
    static void setCurrent(std::shared_ptr<SystemLog> log);  // null restores the system's

    virtual bool isEnabled(const UnifiedLogHandle& handle, LogType type) const = 0;
    virtual void writeUnified(const UnifiedLogHandle& handle, LogType type, std::string_view text) = 0;

    // Sends through a client opened for `facility`; answers whether the log took it.
    virtual bool sendLegacy(std::string_view facility, const LegacyMessage& message) = 0;
    // The messages the process may read that meet every condition, oldest first. Each carries
    // "ASLMessageID" (rising), "Time" and "TimeNanoSec"; the framework's own carry "LBLog" = "1".
    virtual std::vector<LegacyMessage> searchLegacy(const LegacyQuery& query) = 0;
    // `handler` runs on `queue` whenever new messages may have arrived.
    virtual std::shared_ptr<LegacyWatch> watchLegacy(std::shared_ptr<dispatch::Queue> queue,
                                                     std::function<void()> handler) = 0;
};

}  // namespace systemlog
