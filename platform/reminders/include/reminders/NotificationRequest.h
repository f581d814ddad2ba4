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

// What a reminder announces: a thing by name and the instant it begins ("Qualifying" at 20:00 UTC).
// With it, a reminder shown late still tells the truth, and one whose start has passed is dropped.
struct AnnouncedStart {
    std::string name;
    foundation::Date start;

    friend bool operator==(const AnnouncedStart&, const AnnouncedStart&) = default;
};

// "Qualifying starting in 1 hour", "... in 30 minutes", "... in 1 minute", "... starting now" (less
// than half a minute either side), "Qualifying started 4 minutes ago"; to the nearest minute.
std::string startingText(const std::string& name, double secondsLeft);

struct NotificationRequest {
    std::string identifier;
    NotificationContent content;
    CalendarNotificationTrigger trigger;
    std::optional<AnnouncedStart> announces;
};

}  // namespace reminders
