#include "reminders/NotificationRequest.h"

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

}  // namespace reminders
