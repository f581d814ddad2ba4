#include "reminders/ReminderScheduler.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstring>

#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/Process.h"
#include "foundation/TimeZone.h"

namespace reminders {

namespace {

std::expected<void, ReminderError> run(const std::vector<std::string>& arguments, const std::string& what) {
    auto ran = foundation::runProcess(arguments);
    if (!ran) return std::unexpected(ReminderError{what + ": " + ran.error()});
    if (ran->exitStatus != 0) {
        return std::unexpected(ReminderError{what + ": " + arguments[0] + " exited with " + std::to_string(ran->exitStatus)});
    }
    return {};
}

std::string calendarTime(foundation::Date date) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    formatter.setTimeZone(foundation::TimeZone::utc());
    formatter.setDateFormat("yyyy-MM-dd HH:mm:ss");
    return formatter.string(date) + " UTC";
}

}  // namespace

std::expected<void, ReminderError> SystemdUserTimers::available() {
    sd_bus* bus = nullptr;
    int opened = sd_bus_open_user(&bus);
    sd_bus_unref(bus);
    if (opened < 0) return std::unexpected(ReminderError{std::string("no user session bus (") + std::strerror(-opened) + ")"});
    return {};
}

std::vector<std::string> SystemdUserTimers::scheduleCommand(const std::string& unit, foundation::Date fireDate,
                                                            const std::vector<std::string>& command) {
    std::vector<std::string> arguments{
        "systemd-run",
        "--user",
        "--quiet",
        "--collect",
        "--unit=" + unit,
        "--description=Sorvane reminder",
        "--on-calendar=" + calendarTime(fireDate),
        "--timer-property=AccuracySec=1s",
        "--timer-property=RemainAfterElapse=no",
        "--property=Restart=on-failure",
        "--property=RestartSec=" + std::to_string(retryDelay),
        "--",
    };
    arguments.insert(arguments.end(), command.begin(), command.end());
    return arguments;
}

std::vector<std::string> SystemdUserTimers::unscheduleCommand(const std::string& unit) {
    return {"systemctl", "--user", "--quiet", "stop", unit + ".timer"};
}

std::vector<std::string> SystemdUserTimers::isScheduledCommand(const std::string& unit) {
    return {"systemctl", "--user", "--quiet", "is-active", unit + ".timer"};
}

std::expected<void, ReminderError> SystemdUserTimers::schedule(const std::string& unit, foundation::Date fireDate,
                                                               const std::vector<std::string>& command) {
    return run(scheduleCommand(unit, fireDate, command), "The reminder could not be given to the service manager");
}

std::expected<void, ReminderError> SystemdUserTimers::unschedule(const std::string& unit) {
    if (!isScheduled(unit)) return {};
    return run(unscheduleCommand(unit), "The reminder's timer could not be stopped");
}

bool SystemdUserTimers::isScheduled(const std::string& unit) {
    auto ran = foundation::runProcess(isScheduledCommand(unit));
    return ran && ran->exitStatus == 0;
}

void RecordingReminderScheduler::refuseSchedules(bool refuse) {
    std::lock_guard lock(mutex_);
    refuse_ = refuse;
}

void RecordingReminderScheduler::forgetAll() {
    std::lock_guard lock(mutex_);
    scheduled_.clear();
}

std::expected<void, ReminderError> RecordingReminderScheduler::available() {
    std::lock_guard lock(mutex_);
    if (!available_) return std::unexpected(ReminderError{"no user session bus"});
    return {};
}

std::expected<void, ReminderError> RecordingReminderScheduler::schedule(const std::string& unit, foundation::Date fireDate,
                                                                        const std::vector<std::string>& command) {
    std::lock_guard lock(mutex_);
    if (!available_ || refuse_) return std::unexpected(ReminderError{"The service manager refused " + unit});
    std::erase_if(scheduled_, [&](const Scheduled& s) { return s.unit == unit; });
    scheduled_.push_back({unit, fireDate, command});
    return {};
}

std::expected<void, ReminderError> RecordingReminderScheduler::unschedule(const std::string& unit) {
    std::lock_guard lock(mutex_);
    if (std::erase_if(scheduled_, [&](const Scheduled& s) { return s.unit == unit; }) > 0) unscheduled_.push_back(unit);
    return {};
}

bool RecordingReminderScheduler::isScheduled(const std::string& unit) {
    std::lock_guard lock(mutex_);
    return std::any_of(scheduled_.begin(), scheduled_.end(), [&](const Scheduled& s) { return s.unit == unit; });
}

std::vector<RecordingReminderScheduler::Scheduled> RecordingReminderScheduler::scheduled() const {
    std::lock_guard lock(mutex_);
    return scheduled_;
}

std::vector<std::string> RecordingReminderScheduler::unscheduled() const {
    std::lock_guard lock(mutex_);
    return unscheduled_;
}

}  // namespace reminders
