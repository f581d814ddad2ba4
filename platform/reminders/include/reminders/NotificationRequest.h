#pragma once

#include <map>
#include <optional>
#include <string>

#include "foundation/Calendar.h"
#include "foundation/Date.h"
#include "foundation/DateComponents.h"

namespace reminders {

// What a reminder shows.
struct NotificationContent {
    std::string title;
    std::string subtitle;
    std::string body;
    bool defaultSound = false;
    std::string categoryIdentifier;
    std::map<std::string, std::string> userInfo;

    friend bool operator==(const NotificationContent&, const NotificationContent&) = default;
};

// Fires when the calendar reaches the year, month, day, hour and minute given (seconds are not
// matched: the trigger fires at the start of that minute).
struct CalendarNotificationTrigger {
    foundation::DateComponents dateComponents;
    bool repeats = false;

    // The first matching instant after `after` in `calendar`; none when the components leave out one
    // of year, month, day, hour and minute, or name an instant that has passed.
    std::optional<foundation::Date> nextTriggerDate(foundation::Date after, const foundation::Calendar& calendar) const;
};

struct NotificationRequest {
    std::string identifier;
    NotificationContent content;
    CalendarNotificationTrigger trigger;
};

}  // namespace reminders
