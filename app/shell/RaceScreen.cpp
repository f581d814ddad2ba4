#include "shell/RaceScreen.h"

#include "data/GlobalStruct.h"
#include "livetiming/SeasonIndex.h"

void RaceScreen::viewDidLoad() { view()->setBackgroundColor(gfx::Color::systemBackground()); }

void RaceScreen::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    GlobalStruct::detailsOnScreen() = true;
}

void RaceScreen::viewDidDisappear(bool animated) {
    ui::ViewController::viewDidDisappear(animated);
    GlobalStruct::detailsOnScreen() = false;
}

dispatch::Task<std::expected<std::vector<livetiming::Meeting>, LoadFailure>> RaceScreen::seasonMeetings() const {
    if (!sessionLookup || races.empty() || GlobalStruct::meetingsSeason() == races.front().season)
        co_return GlobalStruct::meetings();
    // The map's read of the index, shared; or a read of its own when the map's failed.
    co_return co_await SeasonIndex::meetings(races.front().season);
}

dispatch::Task<void> RaceScreen::findSession() {
    if (!awaitsSession()) co_return;
    auto meetings = co_await seasonMeetings();
    if (sessionFound_) co_return;
    // An index that could not be read names no session either: the screen then says that its files
    // could not be loaded, rather than that it waits.
    path = meetings ? sessionLookup(*meetings) : std::string();
    if (!meetings) indexFailure_ = meetings.error();
    sessionFound_ = true;
}

dispatch::Task<Loaded> RaceScreen::sessionFile(dispatch::Task<Loaded> (*read)(std::string)) const {
    // Without a session the index's failure, when it is why, is each file's.
    if (path.empty()) co_return Loaded(foundation::Data{}, {}, indexFailure_.value_or(LoadFailure{0, "no live-timing session"}));
    co_return co_await read(path);
}
