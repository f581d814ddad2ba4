#pragma once

#include <mutex>
#include <set>

#include "systemlog/SystemLog.h"

namespace systemlog {

// The system's logs on Linux. The unified log is the systemd journal (sd_journal_send, with the
// subsystem and category as fields of their own); the legacy log is syslog(3), its facility the
// identifier. Searching and watching read the journal, where both end up.
class JournalSystemLog final : public SystemLog {
public:
    bool isEnabled(const UnifiedLogHandle& handle, LogType type) const override;
    void writeUnified(const UnifiedLogHandle& handle, LogType type, std::string_view text) override;
    bool sendLegacy(std::string_view facility, const LegacyMessage& message) override;
    std::vector<LegacyMessage> searchLegacy(const LegacyQuery& query) override;
    std::shared_ptr<LegacyWatch> watchLegacy(std::shared_ptr<dispatch::Queue> queue,
                                             std::function<void()> handler) override;

private:
    mutable std::mutex mutex_;
    std::set<std::string, std::less<>> facilities_;  // opened by this process
};

}  // namespace systemlog
