#pragma once

#include <atomic>
#include <cstdint>

namespace logging {

// A counter several threads may change at once.
class LBAtomicCounter {
public:
    explicit LBAtomicCounter(std::int32_t defaultValue = 0) : value_(defaultValue) {}

    std::int32_t value() const { return value_.load(std::memory_order_relaxed); }
    // Each answers the new value.
    std::int32_t increment() { return value_.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::int32_t decrement() { return value_.fetch_sub(1, std::memory_order_relaxed) - 1; }

private:
    std::atomic<std::int32_t> value_;
};

}  // namespace logging
