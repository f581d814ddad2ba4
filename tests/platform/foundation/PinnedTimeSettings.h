#pragma once

#include <string>

#include "foundation/Date.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"

// Pins the current time zone and locale for one test, so results do not depend on the machine.
class PinnedTimeSettings {
public:
    explicit PinnedTimeSettings(const std::string& zone, const std::string& locale = "en_US") {
        foundation::TimeZone::setCurrent(foundation::TimeZone::named(zone));
        foundation::Locale::setCurrent(foundation::Locale(locale));
    }
    ~PinnedTimeSettings() {
        foundation::TimeZone::setCurrent(std::nullopt);
        foundation::Locale::setCurrent(std::nullopt);
    }
    PinnedTimeSettings(const PinnedTimeSettings&) = delete;
    PinnedTimeSettings& operator=(const PinnedTimeSettings&) = delete;
};

inline foundation::Date utc(long long secondsSince1970) {
    return foundation::Date::fromUnix(static_cast<double>(secondsSince1970));
}
