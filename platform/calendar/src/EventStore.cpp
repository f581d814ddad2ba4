#include "calendar/EventStore.h"

#include <libical/ical.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "dispatch/Queue.h"
#include "foundation/FileManager.h"
#include "foundation/UUID.h"

namespace calendar {

namespace {

std::atomic<AccessAnswer> answer{AccessAnswer::granted};

// libical keeps error state and built-in zones in globals; one caller at a time.
std::mutex& libicalMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr const char* radiusProperty = "X-SORVANE-LOCATION-RADIUS";

struct ComponentDeleter {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

icaltimetype utcTime(foundation::Date date) {
    auto seconds = static_cast<time_t>(std::floor(date.timeIntervalSince1970()));
    return icaltime_from_timet_with_zone(seconds, 0, icaltimezone_get_utc_timezone());
}

foundation::Date dateOf(icaltimetype time) {
    const icaltimezone* zone = time.zone ? time.zone : icaltimezone_get_utc_timezone();
    return foundation::Date::fromUnix(static_cast<double>(icaltime_as_timet_with_zone(time, zone)));
}

std::string text(const char* value) { return value ? std::string(value) : std::string(); }

bool isSafeIdentifier(const std::string& identifier) {
    return !identifier.empty() && std::all_of(identifier.begin(), identifier.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
    });
}

}  // namespace

EventStore::EventStore(std::optional<std::filesystem::path> folder)
    : folder_(folder ? *folder : foundation::FileManager::defaultManager()->documentsDirectory() / "calendar") {}

void EventStore::setAccessAnswer(AccessAnswer value) { answer = value; }
AccessAnswer EventStore::accessAnswer() { return answer; }

void EventStore::requestAccess(std::function<void(bool, std::optional<CalendarError>)> completion) const {
    AccessAnswer given = answer;
    dispatch::Queue::global()->async([completion = std::move(completion), given] {
        if (given == AccessAnswer::failed) completion(false, CalendarError{"The calendar could not be asked for access."});
        else completion(given == AccessAnswer::granted, std::nullopt);
    });
}

std::string EventStore::calendarText(const Event& event) {
    std::lock_guard lock(libicalMutex());
    Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Sorvane//Calendar//EN"));
    icalcomponent* vevent = icalcomponent_new(ICAL_VEVENT_COMPONENT);
    icalcomponent_add_property(vevent, icalproperty_new_uid(event.identifier.c_str()));
    icalcomponent_add_property(vevent, icalproperty_new_dtstamp(utcTime(foundation::Date::now())));
    icalcomponent_add_property(vevent, icalproperty_new_summary(event.title.c_str()));
    icalcomponent_add_property(vevent, icalproperty_new_dtstart(utcTime(event.startDate)));
    icalcomponent_add_property(vevent, icalproperty_new_dtend(utcTime(event.endDate)));
    if (const auto& place = event.structuredLocation) {
        icalcomponent_add_property(vevent, icalproperty_new_location(place->title.c_str()));
        icalcomponent_add_property(vevent, icalproperty_new_geo(icalgeotype{place->latitude, place->longitude}));
        icalproperty* radius = icalproperty_new_x(std::to_string(place->radius).c_str());
        icalproperty_set_x_name(radius, radiusProperty);
        icalcomponent_add_property(vevent, radius);
    }
    if (!event.notes.empty()) icalcomponent_add_property(vevent, icalproperty_new_description(event.notes.c_str()));
    icalcomponent_add_component(calendar.get(), vevent);
    char* written = icalcomponent_as_ical_string_r(calendar.get());
    std::string result = text(written);
    icalmemory_free_buffer(written);
    return result;
}

std::optional<Event> EventStore::eventFromCalendarText(std::string_view calendarText) {
    std::lock_guard lock(libicalMutex());
    std::string owned(calendarText);
    Component parsed(icalparser_parse_string(owned.c_str()));
    if (!parsed) return std::nullopt;
    icalcomponent* vevent = icalcomponent_isa(parsed.get()) == ICAL_VEVENT_COMPONENT
                                ? parsed.get()
                                : icalcomponent_get_first_component(parsed.get(), ICAL_VEVENT_COMPONENT);
    if (!vevent) return std::nullopt;
    icaltimetype start = icalcomponent_get_dtstart(vevent);
    if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start)) return std::nullopt;
    icaltimetype end = icalcomponent_get_dtend(vevent);

    Event event;
    event.identifier = text(icalcomponent_get_uid(vevent));
    event.title = text(icalcomponent_get_summary(vevent));
    event.startDate = dateOf(start);
    event.endDate = icaltime_is_null_time(end) ? event.startDate : dateOf(end);
    event.notes = text(icalcomponent_get_description(vevent));
    if (const char* location = icalcomponent_get_location(vevent)) {
        StructuredLocation place{.title = location};
        if (icalproperty* geo = icalcomponent_get_first_property(vevent, ICAL_GEO_PROPERTY)) {
            icalgeotype value = icalproperty_get_geo(geo);
            place.latitude = value.lat;
            place.longitude = value.lon;
        }
        for (icalproperty* x = icalcomponent_get_first_property(vevent, ICAL_X_PROPERTY); x;
             x = icalcomponent_get_next_property(vevent, ICAL_X_PROPERTY)) {
            if (text(icalproperty_get_x_name(x)) != radiusProperty) continue;
            char* end = nullptr;
            std::string value = text(icalproperty_get_x(x));
            double radius = std::strtod(value.c_str(), &end);
            if (end != value.c_str() && std::isfinite(radius)) place.radius = radius;
        }
        event.structuredLocation = place;
    }
    return event;
}

std::expected<std::string, CalendarError> EventStore::save(Event& event) const {
    if (event.identifier.empty()) event.identifier = foundation::UUID::random().uuidString();
    if (!isSafeIdentifier(event.identifier)) return std::unexpected(CalendarError{"Unusable event identifier: " + event.identifier});
    if (event.endDate < event.startDate) return std::unexpected(CalendarError{"The event ends before it starts."});
    auto files = foundation::FileManager::defaultManager();
    if (auto made = files->createDirectory(folder_, true); !made) {
        return std::unexpected(CalendarError{"Cannot make the calendar folder " + folder_.string()});
    }
    auto path = fileOf(event.identifier);
    if (auto written = files->write(path, foundation::Data::fromString(calendarText(event)), {.atomic = true}); !written) {
        return std::unexpected(CalendarError{"Cannot write " + path.string()});
    }
    return event.identifier;
}

std::vector<Event> EventStore::events() const {
    std::vector<Event> found;
    auto files = foundation::FileManager::defaultManager();
    auto names = files->contentsOfDirectory(folder_);
    if (!names) return found;
    for (const auto& name : *names) {
        if (!name.ends_with(".ics")) continue;
        auto contents = files->contents(folder_ / name);
        if (!contents) continue;
        if (auto event = eventFromCalendarText(contents->toString())) found.push_back(std::move(*event));
    }
    std::stable_sort(found.begin(), found.end(), [](const Event& a, const Event& b) { return a.startDate < b.startDate; });
    return found;
}

std::expected<void, CalendarError> EventStore::remove(const std::string& identifier) const {
    if (!isSafeIdentifier(identifier)) return std::unexpected(CalendarError{"No event " + identifier});
    auto files = foundation::FileManager::defaultManager();
    if (!files->removeItem(fileOf(identifier))) return std::unexpected(CalendarError{"No event " + identifier});
    files->removeItem(addedMark(identifier));
    return {};
}

std::filesystem::path EventStore::fileOf(const std::string& identifier) const { return folder_ / (identifier + ".ics"); }

std::filesystem::path EventStore::addedMark(const std::string& identifier) const { return folder_ / (identifier + ".added"); }

void EventStore::addToDesktopCalendar(const std::string& identifier, std::function<void(ui::DocumentOpenOutcome)> completion) const {
    auto file = isSafeIdentifier(identifier) ? fileOf(identifier) : std::filesystem::path();
    auto mark = addedMark(identifier);
    dispatch::Queue::global()->async([file, mark, completion = std::move(completion)] {
        auto outcome = file.empty() ? ui::DocumentOpenOutcome::refused : ui::Application::openDocument(file, "text/calendar");
        if (outcome == ui::DocumentOpenOutcome::opened) {
            (void)foundation::FileManager::defaultManager()->write(mark, foundation::Data(), {.atomic = true});
        }
        if (completion) completion(outcome);
    });
}

bool EventStore::wasAdded(const std::string& identifier) const {
    auto files = foundation::FileManager::defaultManager();
    return isSafeIdentifier(identifier) && files->fileExists(addedMark(identifier)) && files->fileExists(fileOf(identifier));
}

}  // namespace calendar
