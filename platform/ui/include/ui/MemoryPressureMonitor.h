#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dispatch/Timer.h"

namespace ui {

// Linux has no memory warning of its own: this reads the kernel's memory pressure (the share of time
// tasks stalled waiting for memory, /proc/pressure/memory) and raises the application's memory
// warning once each time the 10-second average of "some" stall rises to the threshold. It warns
// again only after the pressure has fallen below half the threshold.
class MemoryPressureMonitor {
public:
    using Reader = std::function<std::optional<std::string>()>;
    static constexpr double defaultThresholdPercent = 10.0;
    static constexpr double defaultInterval = 2.0;

    // The default reader reads /proc/pressure/memory; nothing where the kernel has no such file.
    explicit MemoryPressureMonitor(Reader reader = readKernelPressure(),
                                   double thresholdPercent = defaultThresholdPercent);
    ~MemoryPressureMonitor();
    MemoryPressureMonitor(const MemoryPressureMonitor&) = delete;
    MemoryPressureMonitor& operator=(const MemoryPressureMonitor&) = delete;

    static Reader readKernelPressure();
    // The avg10 value of the "some" line; nothing when the text has none.
    static std::optional<double> someAverage10(std::string_view text);

    // Reads once; answers whether it raised the memory warning.
    bool poll();
    // Polls every `interval` seconds on the calling thread's run loop until stop() or destruction.
    void start(double interval = defaultInterval);
    void stop();

private:
    Reader reader_;
    double threshold_;
    bool warned_ = false;
    std::shared_ptr<dispatch::Timer> timer_;
};

}  // namespace ui
