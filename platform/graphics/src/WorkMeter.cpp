#include "gfx/WorkMeter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gfx {

struct WorkMeter::Running {
    std::uint64_t budget;
    std::uint64_t used = 0;
    bool spent = false;
    std::vector<std::shared_ptr<const void>> held{};
};

namespace {

thread_local WorkMeter::Running* runningMeter = nullptr;

}  // namespace

WorkMeter::WorkMeter(std::uint64_t budget) : running_(runningMeter), opened_(!runningMeter) {
    if (opened_) running_ = runningMeter = new Running{budget};
}

WorkMeter::~WorkMeter() {
    if (!opened_) return;
    runningMeter = nullptr;
    delete running_;
}

bool WorkMeter::spent() const { return running_->spent; }

std::uint64_t WorkMeter::used() const { return running_->used; }

bool WorkMeter::charge(double units) {
    Running* meter = runningMeter;
    if (!meter) return true;
    if (meter->spent || !(units < static_cast<double>(meter->budget - meter->used))) {
        meter->spent = true;
        return false;
    }
    meter->used += static_cast<std::uint64_t>(std::max(units, 0.0));
    return true;
}

bool WorkMeter::running() { return runningMeter; }

bool WorkMeter::spentNow() { return runningMeter && runningMeter->spent; }

void WorkMeter::holdWhileRunning(std::shared_ptr<const void> value) {
    if (runningMeter) runningMeter->held.push_back(std::move(value));
}

}  // namespace gfx
