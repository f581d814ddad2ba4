#pragma once

// Conversions between the foundation time types and ICU, shared by the calendar and the formatters.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "foundation/Date.h"
#include "foundation/Locale.h"
#include "foundation/TimeZone.h"

namespace foundation {

struct TimeZoneRules {
    std::unique_ptr<const icu::TimeZone> zone;
};

namespace icu_time {

inline UDate toUDate(Date date) { return date.timeIntervalSince1970() * 1000.0; }
inline Date fromUDate(UDate milliseconds) { return Date::fromUnix(milliseconds / 1000.0); }

inline icu::UnicodeString toUnicode(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

inline std::string toUtf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

inline icu::Locale toIcu(const Locale& locale) { return icu::Locale(locale.identifier().c_str()); }
inline const icu::TimeZone& toIcu(const TimeZone& zone) { return *zone.rules().zone; }

// Building ICU calendars and formatters loads locale data; cloning a prepared one is far cheaper.
template <class Object>
class PrototypeCache {
public:
    template <class Make>
    std::unique_ptr<Object> clone(const std::string& key, Make make) {
        std::lock_guard lock(mutex_);
        auto& prototype = prototypes_[key];
        if (!prototype) prototype = make();
        if (!prototype) return nullptr;
        return std::unique_ptr<Object>(prototype->clone());
    }

private:
    std::mutex mutex_;
    std::unordered_map<std::string, std::unique_ptr<Object>> prototypes_;
};

// Ready-configured ICU objects for the calling thread, keyed by their whole configuration, so that
// formatters cost nothing to make and ICU objects are never shared between threads.
template <class Object>
class PerThreadCache {
public:
    template <class Make>
    static Object* get(const std::string& key, Make make) {
        thread_local std::unordered_map<std::string, std::unique_ptr<Object>> objects;
        if (auto found = objects.find(key); found != objects.end()) return found->second.get();
        auto made = make();
        if (!made) return nullptr;
        if (objects.size() >= maximumCount) objects.clear();
        return objects.emplace(key, std::move(made)).first->second.get();
    }

private:
    static constexpr size_t maximumCount = 64;
};

// A lenient Gregorian calendar in that zone, with the locale's week rules.
std::unique_ptr<icu::Calendar> makeGregorian(const Locale& locale, const TimeZone& zone);

}  // namespace icu_time
}  // namespace foundation
