#include "foundation/TimeZone.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

#include <unicode/simpletz.h>

#include "IcuTime.h"

namespace foundation {

namespace {

std::shared_ptr<const TimeZoneRules> rulesFor(std::unique_ptr<icu::TimeZone> zone) {
    auto rules = std::make_shared<TimeZoneRules>();
    rules->zone = std::move(zone);
    return rules;
}

struct CurrentZone {
    std::mutex mutex;
    std::optional<TimeZone> pinned;
    std::optional<TimeZone> system;
};

CurrentZone& currentZone() {
    static auto& current = *new CurrentZone;  // never destroyed: read from worker threads during exit
    return current;
}

// The usual abbreviations mapped to the zones they stand for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 16> abbreviations{{
    {"UTC", "UTC"}, {"GMT", "GMT"}, {"BST", "Europe/London"}, {"WET", "Europe/Lisbon"},
    {"CET", "Europe/Paris"}, {"CEST", "Europe/Paris"}, {"EET", "Europe/Athens"}, {"EEST", "Europe/Athens"},
    {"EST", "America/New_York"}, {"EDT", "America/New_York"}, {"CST", "America/Chicago"},
    {"CDT", "America/Chicago"}, {"MST", "America/Denver"}, {"MDT", "America/Denver"},
    {"PST", "America/Los_Angeles"}, {"PDT", "America/Los_Angeles"},
}};

// Standard and daylight offsets in milliseconds at that instant.
std::pair<int32_t, int32_t> offsetsAt(const TimeZone& zone, Date date) {
    int32_t raw = 0;
    int32_t daylight = 0;
    UErrorCode status = U_ZERO_ERROR;
    icu_time::toIcu(zone).getOffset(icu_time::toUDate(date), false, raw, daylight, status);
    if (U_FAILURE(status)) return {0, 0};
    return {raw, daylight};
}

}  // namespace

TimeZone::TimeZone(std::string identifier, std::shared_ptr<const TimeZoneRules> rules)
    : identifier_(std::move(identifier)), rules_(std::move(rules)) {}

TimeZone TimeZone::current() {
    auto& current = currentZone();
    std::lock_guard lock(current.mutex);
    if (current.pinned) return *current.pinned;
    if (!current.system) {
        std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
        icu::UnicodeString id;
        host->getID(id);
        auto identifier = icu_time::toUtf8(id);
        if (*host == icu::TimeZone::getUnknown()) {
            current.system = utc();
        } else {
            current.system = TimeZone(identifier, rulesFor(std::move(host)));
        }
    }
    return *current.system;
}

void TimeZone::setCurrent(std::optional<TimeZone> zone) {
    auto& current = currentZone();
    std::lock_guard lock(current.mutex);
    current.pinned = std::move(zone);
}

TimeZone TimeZone::utc() {
    static const auto& zone = *new TimeZone(*named("UTC"));
    return zone;
}

TimeZone TimeZone::gmt() {
    static const auto& zone = *new TimeZone(*named("GMT"));
    return zone;
}

std::optional<TimeZone> TimeZone::named(std::string_view identifier) {
    if (identifier.empty()) return std::nullopt;
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu_time::toUnicode(identifier)));
    if (!zone || *zone == icu::TimeZone::getUnknown()) return std::nullopt;
    icu::UnicodeString id;
    zone->getID(id);
    return TimeZone(icu_time::toUtf8(id), rulesFor(std::move(zone)));
}

std::optional<TimeZone> TimeZone::fromAbbreviation(std::string_view abbreviation) {
    for (auto [name, identifier] : abbreviations) {
        if (name == abbreviation) return named(identifier);
    }
    return std::nullopt;
}

std::optional<TimeZone> TimeZone::fromSecondsFromGMT(int seconds) {
    if (std::abs(seconds) > 18 * 3600) return std::nullopt;
    if (seconds == 0) return gmt();
    int minutes = std::abs(seconds) / 60;
    char identifier[16];
    std::snprintf(identifier, sizeof identifier, "GMT%c%02d%02d", seconds < 0 ? '-' : '+', minutes / 60, minutes % 60);
    auto zone = std::make_unique<icu::SimpleTimeZone>(seconds * 1000, icu_time::toUnicode(identifier));
    return TimeZone(identifier, rulesFor(std::move(zone)));
}

int TimeZone::secondsFromGMT(Date date) const {
    auto [raw, daylight] = offsetsAt(*this, date);
    return (raw + daylight) / 1000;
}

bool TimeZone::isDaylightSavingTime(Date date) const { return offsetsAt(*this, date).second != 0; }

std::string TimeZone::abbreviation(Date date) const {
    icu::UnicodeString name;
    icu_time::toIcu(*this).getDisplayName(isDaylightSavingTime(date), icu::TimeZone::SHORT, icu::Locale("en_US"), name);
    return icu_time::toUtf8(name);
}

}  // namespace foundation
