#pragma once

#include <mutex>

#include "systemlog/SystemLog.h"

namespace systemlog {

// A system log that keeps what it is given: the test double of the seam. Legacy messages sent to it,
// and those a test appends as other programs' messages, are searchable and wake the watches.
class RecordingSystemLog final : public SystemLog {
public:
    struct UnifiedEntry {
        UnifiedLogHandle handle;
        LogType type;
        std::string text;
    };
    struct LegacyEntry {
        std::string facility;
        LegacyMessage message;
    };

    bool isEnabled(const UnifiedLogHandle& handle, LogType type) const override;
    void writeUnified(const UnifiedLogHandle& handle, LogType type, std::string_view text) override;
    bool sendLegacy(std::string_view facility, const LegacyMessage& message) override;
    std::vector<LegacyMessage> searchLegacy(const LegacyQuery& query) override;
    std::shared_ptr<LegacyWatch> watchLegacy(std::shared_ptr<dispatch::Queue> queue,
                                             std::function<void()> handler) override;

    // Types are enabled unless turned off.
    void setEnabled(LogType type, bool enabled);
    // Another program's message: stored with the next "ASLMessageID", and the watches are told.
    void appendLegacy(LegacyMessage message);

    std::vector<UnifiedEntry> unifiedEntries() const;
    std::vector<LegacyEntry> legacyEntries() const;  // what was sent, not what was appended
    std::size_t activeWatchCount() const;

private:
    struct Watch;
    void store(LegacyMessage message);

    mutable std::mutex mutex_;
    std::vector<LogType> disabled_;
    std::vector<UnifiedEntry> unified_;
    std::vector<LegacyEntry> sent_;
    std::vector<LegacyMessage> stored_;
    std::vector<std::weak_ptr<Watch>> watches_;
    unsigned long long nextMessageID_ = 1;
};

}  // namespace systemlog
