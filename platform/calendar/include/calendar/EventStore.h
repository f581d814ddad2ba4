#pragma once

#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/Event.h"
#include "ui/Application.h"

namespace calendar {

// What an access request answers. The desktop asks nobody: the answer is a setting, granted unless a
// test (or the app) says otherwise.
enum class AccessAnswer { granted, denied, failed };

struct CalendarError {
    std::string message;
};

// The user's calendar events: one RFC 5545 file ("<identifier>.ics") per event in a folder of the
// user's data folder. Every member may be called from any thread.
class EventStore {
public:
    // Absent: "calendar" in the documents folder ($XDG_DATA_HOME/sorvane).
    explicit EventStore(std::optional<std::filesystem::path> folder = std::nullopt);

    const std::filesystem::path& folder() const { return folder_; }

    static void setAccessAnswer(AccessAnswer answer);
    static AccessAnswer accessAnswer();
    // The completion runs on the global queue with the answer and, for `failed`, an error.
    void requestAccess(std::function<void(bool granted, std::optional<CalendarError> error)> completion) const;

    // Writes the event, giving it an identifier first when it has none; the identifier.
    std::expected<std::string, CalendarError> save(Event& event) const;
    // Every event that reads, by start; a file that does not read is left out.
    std::vector<Event> events() const;
    std::expected<void, CalendarError> remove(const std::string& identifier) const;
    // The file a saved event is kept in.
    std::filesystem::path fileOf(const std::string& identifier) const;

    // Hands the saved event's file to the desktop's default calendar application (through the app's
    // link opener), so the user's own calendar imports it; the store keeps its copy. The completion
    // runs on the global queue with the desktop's answer. An event handed over once is remembered:
    // `wasAdded` tells, so the app offers each event to the desktop only once.
    void addToDesktopCalendar(const std::string& identifier, std::function<void(ui::DocumentOpenOutcome)> completion) const;
    bool wasAdded(const std::string& identifier) const;

    // The event as one VCALENDAR text, and back (none when the text holds no readable event).
    static std::string calendarText(const Event& event);
    static std::optional<Event> eventFromCalendarText(std::string_view text);

private:
    std::filesystem::path addedMark(const std::string& identifier) const;

    std::filesystem::path folder_;
};

}  // namespace calendar
