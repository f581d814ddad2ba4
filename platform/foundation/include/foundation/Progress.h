#pragma once

#include <atomic>
#include <cstdint>

namespace foundation {

// How much of a piece of work is done, in units the work chooses. A reference type (held in a
// shared_ptr); its counts may be read and written from any thread.
class Progress {
public:
    Progress() = default;
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Negative or zero: not known yet.
    std::int64_t totalUnitCount() const { return total_.load(); }
    void setTotalUnitCount(std::int64_t count) { total_.store(count); }
    std::int64_t completedUnitCount() const { return completed_.load(); }
    void setCompletedUnitCount(std::int64_t count) { completed_.store(count); }

    // Completed over total; 0 while the total is not known, so an unknown size never divides by zero.
    double fractionCompleted() const {
        const std::int64_t total = totalUnitCount();
        return total > 0 ? static_cast<double>(completedUnitCount()) / static_cast<double>(total) : 0.0;
    }

private:
    std::atomic<std::int64_t> total_{0};
    std::atomic<std::int64_t> completed_{0};
};

}  // namespace foundation
