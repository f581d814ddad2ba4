#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "dispatch/Deadline.h"
#include "dispatch/Source.h"

namespace dispatch {

// A timer that fires its event handler on a queue. data() in the handler counts the fires it stands for
// (more than one when the handler fell behind). Created suspended: resume() to start it.
class TimerSource final : public Source {
public:
    static std::shared_ptr<TimerSource> create(std::shared_ptr<Queue> queue);
    explicit TimerSource(std::shared_ptr<Queue> queue) : Source(std::move(queue), Merge::add) {}
    ~TimerSource() override;

    // First fire at `start`, then every `interval` seconds (0 or less: only once); replaces any earlier
    // schedule. The leeway is accepted for callers' sake; fires are not deferred to batch them.
    void schedule(Deadline start, double interval = 0, double leeway = 0);

private:
    void arm(double deadline, std::uint64_t generation);
    void deadlineReached(std::uint64_t generation);
    void didCancel() override;

    std::mutex timerMutex_;
    double deadline_ = 0;
    double interval_ = 0;
    std::uint64_t generation_ = 0;
};

}  // namespace dispatch
