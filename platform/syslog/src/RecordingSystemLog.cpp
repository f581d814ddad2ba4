#include "systemlog/RecordingSystemLog.h"

#include <algorithm>

#include "dispatch/Queue.h"

namespace systemlog {

struct RecordingSystemLog::Watch final : LegacyWatch, std::enable_shared_from_this<Watch> {
    std::shared_ptr<dispatch::Queue> queue;
    std::function<void()> handler;  // empty once cancelled
    // Held while the handler runs, so that cancel() waits for it; recursive for a handler that cancels.
    std::recursive_mutex mutex;

    void cancel() override {
        std::lock_guard lock(mutex);
        handler = nullptr;
    }
    void notify() {
        queue->async([self = shared_from_this()] {
            std::lock_guard lock(self->mutex);
            if (self->handler) self->handler();
        });
    }
};

bool RecordingSystemLog::isEnabled(const UnifiedLogHandle&, LogType type) const {
    std::lock_guard lock(mutex_);
    return std::ranges::find(disabled_, type) == disabled_.end();
}

void RecordingSystemLog::setEnabled(LogType type, bool enabled) {
    std::lock_guard lock(mutex_);
    std::erase(disabled_, type);
    if (!enabled) disabled_.push_back(type);
}

void RecordingSystemLog::writeUnified(const UnifiedLogHandle& handle, LogType type, std::string_view text) {
    std::lock_guard lock(mutex_);
    unified_.push_back({handle, type, std::string(text)});
}

bool RecordingSystemLog::sendLegacy(std::string_view facility, const LegacyMessage& message) {
    {
        std::lock_guard lock(mutex_);
        sent_.push_back({std::string(facility), message});
    }
    store(message);
    return true;
}

void RecordingSystemLog::appendLegacy(LegacyMessage message) { store(std::move(message)); }

void RecordingSystemLog::store(LegacyMessage message) {
    std::vector<std::shared_ptr<Watch>> watches;
    {
        std::lock_guard lock(mutex_);
        message.set("ASLMessageID", std::to_string(nextMessageID_++));
        stored_.push_back(std::move(message));
        for (const auto& weak : watches_) {
            if (auto watch = weak.lock()) watches.push_back(watch);
        }
    }
    for (const auto& watch : watches) watch->notify();
}

std::vector<LegacyMessage> RecordingSystemLog::searchLegacy(const LegacyQuery& query) {
    std::lock_guard lock(mutex_);
    std::vector<LegacyMessage> found;
    for (const auto& message : stored_) {
        if (matches(query, message)) found.push_back(message);
    }
    return found;
}

std::shared_ptr<LegacyWatch> RecordingSystemLog::watchLegacy(std::shared_ptr<dispatch::Queue> queue,
                                                             std::function<void()> handler) {
    auto watch = std::make_shared<Watch>();
    watch->queue = std::move(queue);
    watch->handler = std::move(handler);
    std::lock_guard lock(mutex_);
    watches_.push_back(watch);
    return watch;
}

std::vector<RecordingSystemLog::UnifiedEntry> RecordingSystemLog::unifiedEntries() const {
    std::lock_guard lock(mutex_);
    return unified_;
}

std::vector<RecordingSystemLog::LegacyEntry> RecordingSystemLog::legacyEntries() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

std::size_t RecordingSystemLog::activeWatchCount() const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& weak : watches_) {
        if (auto watch = weak.lock()) {
            std::lock_guard watchLock(watch->mutex);
            count += watch->handler ? 1 : 0;
        }
    }
    return count;
}

}  // namespace systemlog
