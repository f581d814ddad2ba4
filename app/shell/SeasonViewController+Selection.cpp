#include "data/GlobalStruct.h"
#include "foundation/NotificationCenter.h"
#include "live/LiveViewController.h"
#include "shell/AppNotifications.h"
#include "shell/RaceScreen.h"
#include "weekend/FutureDetailsViewController.h"
#include "shell/SeasonSheetSupport.h"
#include "shell/SeasonViewController.h"
#include "shell/Utilities.h"
#include "weekend/PastDetailsViewController.h"
#include "weekend/WeekendSessions.h"

namespace {

bool isRaceIndex(int index) { return index >= 0 && index < static_cast<int>(GlobalStruct::races().size()); }

}  // namespace

std::string SeasonViewController::sessionPath(const RacesDetailsModel& race,
                                              const std::vector<livetiming::Meeting>& meetings) {
    return weekend::raceSessionPath(race, meetings);
}

std::string SeasonViewController::liveSessionPath(const RacesDetailsModel& race,
                                                  const std::vector<livetiming::Meeting>& meetings, foundation::Date now) {
    // The sprint while it runs; the race itself on race day and whenever the screen is opened by hand.
    if (RaceTiming::sprintIsLive(race, now)) {
        for (const auto& meeting : meetings) {
            if (meeting.name != race.raceName) continue;
            const livetiming::Session* sprint = weekend::findSession(meeting.sessions, weekend::SessionKind::sprint);
            return sprint ? sprint->path : std::string();
        }
        return {};
    }
    return weekend::raceSessionPath(race, meetings);
}

std::shared_ptr<RaceScreen> SeasonViewController::makeScreen(int index, RacePhase phase) const {
    std::shared_ptr<RaceScreen> screen;
    switch (phase) {
        case RacePhase::upcoming: screen = std::make_shared<FutureDetailsViewController>(); break;
        case RacePhase::live: screen = std::make_shared<LiveViewController>(); break;
        case RacePhase::finished: screen = std::make_shared<PastDetailsViewController>(); break;
    }
    const RacesDetailsModel& race = GlobalStruct::races()[index];
    RaceScreen::SessionLookup lookup = [race, live = phase == RacePhase::live,
                                        now = foundation::Date::now()](const std::vector<livetiming::Meeting>& meetings) {
        return live ? liveSessionPath(race, meetings, now) : sessionPath(race, meetings);
    };
    // The index is read after the races: a race opened before it has arrived finds its session later.
    if (GlobalStruct::meetingsSeason() == GlobalStruct::racesSeason()) screen->path = lookup(GlobalStruct::meetings());
    else screen->sessionLookup = std::move(lookup);
    screen->races = {race};
    screen->year = year;
    screen->raceRound = index + 1;
    setUpPresentedSheet(*screen, GlobalStruct::sheetIsLarge() ? SheetHeights::largeOnly : SheetHeights::mediumAndLarge);
    return screen;
}

std::shared_ptr<RaceScreen> SeasonViewController::makeRaceScreen(int index) const {
    if (!isRaceIndex(index)) return nullptr;
    return makeScreen(index, RaceTiming::phase(GlobalStruct::races()[index], foundation::Date::now()));
}

std::shared_ptr<RaceScreen> SeasonViewController::makeLiveScreen(int index) const {
    if (!isRaceIndex(index)) return nullptr;
    return makeScreen(index, RacePhase::live);
}

void SeasonViewController::didSelectRow(ui::TableView& table, ui::IndexPath indexPath) {
    table.deselectRow(indexPath, true);
    playTapFeedback();
    // A pick moves on from whatever the band said.
    if (!GlobalStruct::races().empty()) hideStatus();
    foundation::NotificationCenter::defaultCenter().post(notifications::selectedRace, nullptr,
                                                         notifications::raceUserInfo(indexPath.row));
    // A shown race screen is being replaced, and the replacement opens this race when it has gone.
    if (pendingRaceIndex_) return;
    if (auto screen = makeRaceScreen(indexPath.row)) present(screen, true);
}

void SeasonViewController::selectedRace(const foundation::Notification& notification) {
    auto index = notifications::raceIndex(notification);
    if (!index || !isRaceIndex(*index)) return;
    tableView->reloadData();
    tableView->scrollToRow({0, *index}, ui::TableViewScrollPosition::top, true);
    if (!GlobalStruct::detailsOnScreen()) return;

    // One replacement at a time: a pick made while the shown screen leaves only changes which race
    // opens after it.
    if (pendingRaceIndex_) {
        pendingRaceIndex_ = *index;
        return;
    }
    auto window = Utilities::getKeyWindow();
    if (!window || !window->rootViewController()) return;
    pendingRaceIndex_ = *index;
    auto weak = std::weak_ptr<SeasonViewController>(std::static_pointer_cast<SeasonViewController>(shared_from_this()));
    auto openPicked = [weak] {
        auto self = weak.lock();
        if (!self || !self->pendingRaceIndex_) return;
        int picked = *self->pendingRaceIndex_;
        self->pendingRaceIndex_.reset();
        self->openRaceScreen(picked);
    };
    // Only the top-most sheet goes (a race screen, or a sheet the race screen presented); the picked
    // race opens over whatever stays, once.
    auto top = ui::topPresentedController(window->rootViewController());
    if (top.get() != this && top->presentingViewController()) top->dismiss(true, openPicked);
    else openPicked();
}

void SeasonViewController::openRaceScreen(int index) {
    auto screen = makeRaceScreen(index);
    if (!screen) return;
    auto window = Utilities::getKeyWindow();
    if (!window || !window->rootViewController()) return;
    ui::topPresentedController(window->rootViewController())->present(screen, true);
}
