#include "reminders/NotificationRequest.h"

#include <cmath>

namespace reminders {

std::optional<foundation::Date> CalendarNotificationTrigger::nextTriggerDate(foundation::Date after,
                                                                              const foundation::Calendar& calendar) const {
    const auto& c = dateComponents;
    if (!c.year || !c.month || !c.day || !c.hour || !c.minute) return std::nullopt;
    foundation::DateComponents exact;
    exact.year = c.year;
    exact.month = c.month;
    exact.day = c.day;
    exact.hour = c.hour;
    exact.minute = c.minute;
    exact.second = 0;
    auto date = calendar.date(exact);
    if (!date || *date <= after) return std::nullopt;
    return date;
}

namespace {

std::string span(long minutes) {
    if (minutes >= 60 && minutes % 60 == 0) {
        long hours = minutes / 60;
        return std::to_string(hours) + (hours == 1 ? " hour" : " hours");
    }
    return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

}  // namespace

std::string startingText(const std::string& name, double secondsLeft) {
    long minutes = std::lround(secondsLeft / 60);
    if (minutes > 0) return name + " starting in " + span(minutes);
    if (minutes == 0) return name + " starting now";
    return name + " started " + span(-minutes) + " ago";
}

}  // namespace reminders
