#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <random>

#include "calendar/EventEditViewController.h"
#include "calendar/EventStore.h"
#include "foundation/Calendar.h"
#include "foundation/FileManager.h"
#include "foundation/TimeZone.h"

namespace {

using calendar::Event;
using calendar::EventStore;

foundation::Date utc(int year, int month, int day, int hour, int minute) {
    foundation::Calendar utcCalendar(foundation::Locale("en_US_POSIX"), foundation::TimeZone::utc());
    foundation::DateComponents components;
    components.year = year;
    components.month = month;
    components.day = day;
    components.hour = hour;
    components.minute = minute;
    return *utcCalendar.date(components);
}

Event miamiQualifying() {
    Event event;
    event.title = "Miami Grand Prix Qualifying";
    event.startDate = utc(2023, 5, 6, 20, 0);
    event.endDate = utc(2023, 5, 6, 23, 0);
    event.structuredLocation = calendar::StructuredLocation{"Miami International Autodrome, Miami, USA", 25.9581, -80.2389, 1000};
    event.notes = "Added via Sorvane";
    return event;
}

class CalendarFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("sorvane-calendar-" + std::to_string(std::random_device{}()));
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        EventStore::setAccessAnswer(calendar::AccessAnswer::granted);
    }
    std::filesystem::path folder;
};

TEST_F(CalendarFolder, aSavedEventIsAnRFC5545FileThatReadsBackWhole) {
    EventStore store(folder);
    Event event = miamiQualifying();
    auto identifier = store.save(event);
    ASSERT_TRUE(identifier) << identifier.error().message;
    EXPECT_EQ(event.identifier, *identifier);

    std::ifstream file(folder / (*identifier + ".ics"));
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("BEGIN:VCALENDAR"), std::string::npos);
    EXPECT_NE(text.find("DTSTART:20230506T200000Z"), std::string::npos) << text;
    EXPECT_NE(text.find("DTEND:20230506T230000Z"), std::string::npos);
    EXPECT_NE(text.find("SUMMARY:Miami Grand Prix Qualifying"), std::string::npos);
    EXPECT_NE(text.find("GEO:25.958100;-80.238900"), std::string::npos) << text;

    auto events = store.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], event);
}

TEST_F(CalendarFolder, unreadableFilesAreLeftOutAndRemovalOnlyTakesWhatItNames) {
    EventStore store(folder);
    Event first = miamiQualifying();
    Event second = miamiQualifying();
    second.startDate = utc(2023, 5, 7, 19, 30);
    second.endDate = utc(2023, 5, 7, 22, 30);
    ASSERT_TRUE(store.save(second));
    ASSERT_TRUE(store.save(first));
    std::ofstream(folder / "broken.ics") << "BEGIN:VCALENDAR\nthis is not a calendar";
    std::ofstream(folder / "notes.txt") << "not an event";

    auto events = store.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].identifier, first.identifier) << "ordered by start";
    ASSERT_TRUE(store.remove(first.identifier));
    EXPECT_FALSE(store.remove(first.identifier));
    EXPECT_FALSE(store.remove("../outside")) << "an identifier never leaves the folder";
    ASSERT_EQ(store.events().size(), 1u);

    Event backwards = miamiQualifying();
    backwards.endDate = backwards.startDate.addingTimeInterval(-60);
    EXPECT_FALSE(store.save(backwards));
}

TEST_F(CalendarFolder, accessFollowsTheConfiguredAnswerOffTheCallersThread) {
    EventStore store(folder);
    for (auto answer : {calendar::AccessAnswer::granted, calendar::AccessAnswer::denied, calendar::AccessAnswer::failed}) {
        EventStore::setAccessAnswer(answer);
        std::promise<std::pair<bool, bool>> reply;
        store.requestAccess([&](bool granted, std::optional<calendar::CalendarError> error) {
            reply.set_value({granted, error.has_value()});
        });
        auto [granted, failed] = reply.get_future().get();
        EXPECT_EQ(granted, answer == calendar::AccessAnswer::granted);
        EXPECT_EQ(failed, answer == calendar::AccessAnswer::failed);
    }
}

ui::DocumentOpenOutcome addToDesktop(const EventStore& store, const std::string& identifier) {
    std::promise<ui::DocumentOpenOutcome> answered;
    store.addToDesktopCalendar(identifier, [&](ui::DocumentOpenOutcome outcome) { answered.set_value(outcome); });
    return answered.get_future().get();
}

TEST_F(CalendarFolder, aSavedEventGoesToTheDesktopsCalendarUntilItTookItAndTheStoreKeepsItsCopy) {
    auto handler = std::make_shared<ui::URLOpenRecorder>();
    ui::setURLOpener(handler);
    EventStore store(folder);
    Event event = miamiQualifying();
    event.identifier = "sorvane-2023-round-5-qualifying";
    ASSERT_TRUE(store.save(event));

    handler->answerDocumentsWith(ui::DocumentOpenOutcome::noApplication);
    EXPECT_EQ(addToDesktop(store, event.identifier), ui::DocumentOpenOutcome::noApplication);
    handler->answerDocumentsWith(ui::DocumentOpenOutcome::refused);
    EXPECT_EQ(addToDesktop(store, event.identifier), ui::DocumentOpenOutcome::refused);
    EXPECT_FALSE(store.wasAdded(event.identifier)) << "not taken yet";
    handler->answerDocumentsWith(ui::DocumentOpenOutcome::opened);
    EXPECT_EQ(addToDesktop(store, event.identifier), ui::DocumentOpenOutcome::opened);
    EXPECT_TRUE(store.wasAdded(event.identifier));
    EXPECT_TRUE(EventStore(folder).wasAdded(event.identifier)) << "remembered beyond this store";
    EXPECT_EQ(store.events().size(), 1u) << "the app's own copy stays";

    EXPECT_EQ(addToDesktop(store, "never-saved"), ui::DocumentOpenOutcome::refused);
    EXPECT_EQ(addToDesktop(store, "../outside"), ui::DocumentOpenOutcome::refused);
    EXPECT_EQ(handler->openedDocuments(), std::vector<std::filesystem::path>(3, store.fileOf(event.identifier)))
        << "only a saved event's own file reaches the desktop";

    ASSERT_TRUE(store.remove(event.identifier));
    EXPECT_FALSE(store.wasAdded(event.identifier));
    ui::setURLOpener(nullptr);
}

struct RecordingDelegate : calendar::EventEditViewDelegate {
    std::vector<calendar::EventEditViewAction> actions;
    void eventEditViewControllerDidComplete(calendar::EventEditViewController&, calendar::EventEditViewAction action) override {
        actions.push_back(action);
    }
};

TEST_F(CalendarFolder, theEditSheetShowsTheEventAndSavesOnlyWhenAdded) {
    foundation::TimeZone::setCurrent(foundation::TimeZone::named("America/New_York"));
    auto delegate = std::make_shared<RecordingDelegate>();
    auto sheet = std::make_shared<calendar::EventEditViewController>();
    sheet->event = miamiQualifying();
    sheet->eventStore = std::make_shared<EventStore>(folder);
    sheet->editViewDelegate = delegate;
    sheet->loadViewIfNeeded();
    EXPECT_EQ(sheet->titleLabel->text(), "Miami Grand Prix Qualifying");
    EXPECT_EQ(sheet->timesLabel->text(), "Sat 6 May 2023, 16:00 \u2013 19:00");
    EXPECT_EQ(sheet->locationLabel->text(), "Miami International Autodrome, Miami, USA");

    sheet->cancelButton->sendActions(ui::ControlEvent::touchUpInside);
    EXPECT_TRUE(sheet->eventStore->events().empty());
    sheet->addButton->sendActions(ui::ControlEvent::touchUpInside);
    EXPECT_EQ(sheet->eventStore->events().size(), 1u);
    EXPECT_EQ(delegate->actions,
              (std::vector{calendar::EventEditViewAction::canceled, calendar::EventEditViewAction::saved}));
    foundation::TimeZone::setCurrent(std::nullopt);
}

TEST_F(CalendarFolder, aSaveThatFailsKeepsTheSheetOpenAndSaysWhy) {
    std::ofstream(folder.string()) << "a file where the folder should be";
    auto delegate = std::make_shared<RecordingDelegate>();
    auto sheet = std::make_shared<calendar::EventEditViewController>();
    sheet->event = miamiQualifying();
    sheet->eventStore = std::make_shared<EventStore>(folder / "calendar");
    sheet->editViewDelegate = delegate;
    sheet->loadViewIfNeeded();
    sheet->add();
    EXPECT_TRUE(delegate->actions.empty());
    EXPECT_NE(sheet->errorLabel->text().find("calendar folder"), std::string::npos) << sheet->errorLabel->text();
}

}  // namespace
