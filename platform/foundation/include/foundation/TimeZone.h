#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Date.h"

namespace foundation {

struct TimeZoneRules;  // the ICU zone behind a TimeZone, opaque outside the library

// A geopolitical time zone ("Europe/Amsterdam") or a fixed offset from GMT. Cheap to copy.
class TimeZone {
public:
    // The device's zone, unless a test or the app pinned one with setCurrent.
    static TimeZone current();
    static void setCurrent(std::optional<TimeZone> zone);  // nullopt follows the system again

    static TimeZone utc();
    static TimeZone gmt();
    // An IANA identifier ("Europe/Amsterdam", "UTC") or a custom one ("GMT+01:00"); unknown gives nullopt.
    static std::optional<TimeZone> named(std::string_view identifier);
    // A common abbreviation ("UTC", "GMT", "CET", "EST", ...); unknown gives nullopt.
    static std::optional<TimeZone> fromAbbreviation(std::string_view abbreviation);
    // A fixed offset, at most 18 hours either way.
    static std::optional<TimeZone> fromSecondsFromGMT(int seconds);

    const std::string& identifier() const { return identifier_; }
    int secondsFromGMT(Date date) const;
    int secondsFromGMT() const { return secondsFromGMT(Date::now()); }
    bool isDaylightSavingTime(Date date) const;
    // Short English name at that date, such as "UTC", "GMT+1" or "EDT".
    std::string abbreviation(Date date) const;
    std::string abbreviation() const { return abbreviation(Date::now()); }

    const TimeZoneRules& rules() const { return *rules_; }

    friend bool operator==(const TimeZone& a, const TimeZone& b) { return a.identifier_ == b.identifier_; }

private:
    TimeZone(std::string identifier, std::shared_ptr<const TimeZoneRules> rules);

    std::string identifier_;
    std::shared_ptr<const TimeZoneRules> rules_;
};

}  // namespace foundation
