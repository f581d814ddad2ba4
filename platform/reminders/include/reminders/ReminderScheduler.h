#pragma once

#include <expected>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/Date.h"
#include "reminders/NotificationPresenter.h"

namespace reminders {

// The user's service manager, which runs a command at a given time whether or not the app runs.
// Units are named by the caller; each holds one command at one time.
class ReminderScheduler {
public:
    virtual ~ReminderScheduler() = default;
    // Whether the service manager can be reached; where not, why.
    virtual std::expected<void, ReminderError> available() = 0;
    virtual std::expected<void, ReminderError> schedule(const std::string& unit, foundation::Date fireDate,
                                                        const std::vector<std::string>& command) = 0;
    // Removing a unit that is not scheduled is no error.
    virtual std::expected<void, ReminderError> unschedule(const std::string& unit) = 0;
    virtual bool isScheduled(const std::string& unit) = 0;
};

// systemd user timers through systemctl and systemd-run: a transient timer with its service per
// unit, gone once elapsed or stopped. A command that fails is run again after `retryDelay`, so a
// delivery that failed is retried.
class SystemdUserTimers final : public ReminderScheduler {
public:
    static constexpr int retryDelay = 30;  // seconds

    std::expected<void, ReminderError> available() override;
    std::expected<void, ReminderError> schedule(const std::string& unit, foundation::Date fireDate,
                                                const std::vector<std::string>& command) override;
    std::expected<void, ReminderError> unschedule(const std::string& unit) override;
    bool isScheduled(const std::string& unit) override;

    // The command lines it runs.
    static std::vector<std::string> scheduleCommand(const std::string& unit, foundation::Date fireDate,
                                                    const std::vector<std::string>& command);
    static std::vector<std::string> unscheduleCommand(const std::string& unit);
    static std::vector<std::string> isScheduledCommand(const std::string& unit);
};

// Keeps what it is asked to schedule, for tests: nothing reaches the machine's service manager.
class RecordingReminderScheduler final : public ReminderScheduler {
public:
    struct Scheduled {
        std::string unit;
        foundation::Date fireDate;
        std::vector<std::string> command;
    };

    // Unavailable (no user session bus) or refusing every schedule when told so.
    explicit RecordingReminderScheduler(bool available = true) : available_(available) {}
    void refuseSchedules(bool refuse);
    // As a restart of the machine does: every scheduled unit is gone.
    void forgetAll();

    std::expected<void, ReminderError> available() override;
    std::expected<void, ReminderError> schedule(const std::string& unit, foundation::Date fireDate,
                                                const std::vector<std::string>& command) override;
    std::expected<void, ReminderError> unschedule(const std::string& unit) override;
    bool isScheduled(const std::string& unit) override;

    std::vector<Scheduled> scheduled() const;
    std::vector<std::string> unscheduled() const;

private:
    mutable std::mutex mutex_;
    bool available_;
    bool refuse_ = false;
    std::vector<Scheduled> scheduled_;
    std::vector<std::string> unscheduled_;
};

}  // namespace reminders
