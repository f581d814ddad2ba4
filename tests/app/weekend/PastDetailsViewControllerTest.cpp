#include "WeekendTestSupport.h"
#include "shell/RemoteImageTestSupport.h"
#include "cells/CircuitDetailsCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/DriverOfTheDayCell.h"
#include "cells/EventPickerCell.h"
#include "cells/RaceBreakdownCell.h"
#include "cells/RaceMessagesCell.h"
#include "cells/RaceStandingsCell.h"
#include "cells/StateCell.h"
#include "cells/WeatherOverviewCell.h"
#include "cells/WeekendCell.h"
#include "live/LapsViewController.h"
#include "live/MessagesViewController.h"
#include "live/RadioViewController.h"
#include "live/TyresViewController.h"
#include "livetiming/RaceControlMessageModel.h"
#include "livetiming/TopThreeModel.h"
#include "quartz/Layer.h"
#include "shell/AppNotifications.h"
#include "shell/ImageSeam.h"
#include "shell/SeasonViewController.h"
#include "shell/Utilities.h"
#include "ui/AssetCatalog.h"
#include "dispatch/Queue.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Print.h"
#include "ui/Feedback.h"

namespace {

using weekendtest::OfflineWeekend;

class FinishedWeekend : public OfflineWeekend {
protected:
    template <class Cell>
    std::shared_ptr<Cell> row(PastDetailsViewController& screen, int section, int row = 0, int table = 0) {
        return rowOf<Cell>(screen, *screen.tableView[table], section, row);
    }
    std::string header(PastDetailsViewController& screen, int table = 0) {
        return row<DetailHeaderCell>(screen, 0, 0, table)->time->text();
    }
    std::vector<std::string> schedule(PastDetailsViewController& screen) {
        std::vector<std::string> rows;
        for (int index = 1; index < screen.tableView[0]->numberOfRows(10); ++index) {
            auto cell = row<WeekendCell>(screen, 10, index);
            EXPECT_TRUE(cell) << "row " << index;
            if (!cell) break;
            rows.push_back(cell->event->text() + " " + cell->day->text() + " " + cell->month->text() + " " + cell->time->text());
        }
        return rows;
    }
    // Taps the button and gives back the sheet it presented.
    template <class Sheet>
    std::shared_ptr<Sheet> tap(PastDetailsViewController& screen, ui::Button& button) {
        button.sendActions(ui::ControlEvent::touchUpInside);
        settle();
        auto sheet = std::dynamic_pointer_cast<Sheet>(screen.presentedViewController());
        EXPECT_TRUE(sheet);
        return sheet;
    }
    void dismissSheet(PastDetailsViewController& screen) {
        if (screen.presentedViewController()) screen.dismiss(true);
        settle();
    }
};

TEST_F(FinishedWeekend, theRaceTabShowsTheClassificationCardsAndTheRaceStartInLocalTime) {
    auto screen = open(1);
    auto& race = *screen->tableView[0];
    EXPECT_EQ(screen->path, sheettest::bahrainRace);
    EXPECT_EQ(race.numberOfRows(2), 20);
    // 15:00:00Z is 16:00 in Amsterdam.
    EXPECT_EQ(header(*screen), "Round 1 Started at 16:00, on 05 Mar");
    EXPECT_EQ(row<DetailHeaderCell>(*screen, 0)->location->text(), "Sakhir, Bahrain");

    auto winner = row<DriverCell>(*screen, 2, 0);
    EXPECT_EQ(winner->position->text(), "1st");
    EXPECT_EQ(winner->fromGridPosition->text(), "from 1st");
    EXPECT_EQ(winner->driver->text(), "Max Verstappen");
    EXPECT_EQ(winner->status->text(), "Race Winner - 1:33:56.736");
    EXPECT_EQ(winner->status->textColor(), gfx::Color::systemGreen());
    EXPECT_EQ(winner->driverImage->backgroundColor(), Utilities::hexStringToUIColor("#3671C6"));
    auto second = row<DriverCell>(*screen, 2, 1);
    EXPECT_EQ(second->driver->text(), "Sergio Perez") << "shown without its accent";
    EXPECT_EQ(second->status->text(), "+11.987");
    // Classified laps down: finishers, not retirements.
    auto lapped = row<DriverCell>(*screen, 2, 11);
    EXPECT_EQ(lapped->status->text(), "+1 Lap");
    EXPECT_EQ(lapped->status->textColor(), gfx::Color::secondaryLabel());
    EXPECT_EQ(row<DriverCell>(*screen, 2, 16)->status->text(), "+2 Laps");
    auto last = row<DriverCell>(*screen, 2, 19);
    EXPECT_EQ(last->status->text(), "DNF (Retired) on lap 13");
    EXPECT_EQ(last->status->textColor(), gfx::Color::systemRed());

    // Every card of the race tab; predictions only from round 3.
    for (int section : {3, 4, 5, 6, 7, 9, 11}) EXPECT_EQ(race.numberOfRows(section), 1) << section;
    EXPECT_EQ(race.numberOfRows(8), 0);
    EXPECT_EQ(race.numberOfRows(10), 6);

    takeRecordedImageRequests();
    auto circuit = row<CircuitDetailsCell>(*screen, 3);
    EXPECT_EQ(circuit->lapCount->text(), "57");
    auto requests = takeRecordedImageRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].url.find("Circuit%20maps%2016x9/bahrain_Circuit.png.transform/7col-retina/image.png"), std::string::npos) << requests[0].url;

    auto dayWinner = row<DriverOfTheDayCell>(*screen, 4);
    EXPECT_EQ(dayWinner->driver->text(), "Max Verstappen");
    EXPECT_EQ(dayWinner->constructor->text(), "Red Bull");
    auto fastest = row<DriverOfTheDayCell>(*screen, 5);
    EXPECT_EQ(fastest->driver->text(), "Guanyu Zhou");
    EXPECT_EQ(fastest->infoDescription->text(), "1:33.996");
    EXPECT_EQ(fastest->constructor->text(), "Alfa Romeo");

    EXPECT_EQ(row<WeekendHeaderCell>(*screen, 10, 0)->infoDescription->text(), "The Bahrain Grand Prix weekend at a glance");
    // Messages and radio newest first.
    auto messages = read<livetiming::RaceControlMessageModel>(LiveTiming::raceControlMessages(screen->path)).messages;
    ASSERT_EQ(screen->raceMessages.size(), messages.size());
    EXPECT_EQ(screen->raceMessages.front().message, messages.back().message);
}

TEST_F(FinishedWeekend, theResultRowsAndTheCircuitCardShowTheirPicturesFromTheOfflineSeason) {
    imagetest::TemporaryImageCache images;
    auto screen = open(1);
    std::vector<std::shared_ptr<ui::ImageView>> pictures;
    for (int index = 0; index < 3; ++index) pictures.push_back(row<DriverCell>(*screen, 2, index)->driverImage);
    pictures.push_back(row<CircuitDetailsCell>(*screen, 3)->circuitImage);
    ASSERT_TRUE(imagetest::waitUntil([&] {
        return std::all_of(pictures.begin(), pictures.end(), [](const auto& view) { return view->image() != nullptr; });
    }));
    for (const auto& view : pictures) {
        auto address = awaitedImageURL(view);
        ASSERT_TRUE(address);
        EXPECT_GT(view->image()->pixelWidth(), 0) << *address;
        EXPECT_NE(images.cache->imageCachedType(*address), pictura::CacheType::none) << *address;
    }
    EXPECT_NE(pictures[0]->image(), pictures[1]->image()) << "each driver has a picture of their own";
}

TEST_F(FinishedWeekend, aResultRowExpandsToPointsAndNumberAndTheMenuSwitchesTabs) {
    auto screen = open(1);
    auto& race = *screen->tableView[0];
    for (int tapped : {3, 5, 3}) screen->didSelectRow(race, {2, tapped});
    EXPECT_EQ(screen->selectedRows, std::vector<int>{5});
    auto expanded = row<DriverCell>(*screen, 2, 5);
    EXPECT_EQ(expanded->position->textColor(), gfx::Color::systemBlue());
    EXPECT_EQ(expanded->fromGridPosition->text(), "points");
    EXPECT_EQ(expanded->constructor->text().rfind("Racing number: ", 0), 0u);
    EXPECT_NE(expanded->constructor->text(), "Racing number: ");

    auto picker = row<EventPickerCell>(*screen, 1);
    ASSERT_TRUE(picker->event->menu());
    ASSERT_EQ(picker->event->menu()->children.size(), 5u);
    EXPECT_EQ(picker->event->menu()->children[0].state, ui::MenuElementState::on);
    picker->event->menu()->children[1].handler(picker->event->menu()->children[1]);
    EXPECT_EQ(screen->eventType, 1);
    for (int tab = 0; tab < 5; ++tab) {
        EXPECT_EQ(screen->tableView[tab]->alpha(), tab == 1 ? 1 : 0) << tab;
        EXPECT_EQ(screen->tableView[tab]->backgroundColor(), gfx::Color::clear()) << tab;
        for (int section : {4, 5, 6, 7, 8, 9, 11}) EXPECT_EQ(screen->tableView[tab]->numberOfRows(section), 0);
        EXPECT_EQ(screen->tableView[tab]->numberOfRows(10), 6);
    }
    // On another tab a tap only deselects.
    screen->didSelectRow(*screen->tableView[1], {2, 0});
    EXPECT_EQ(screen->selectedRows, std::vector<int>{5});
}

TEST_F(FinishedWeekend, everyTabShowsItsSessionsRowsAndItsOwnSessionsStart) {
    auto screen = open(1);
    screen->selectEventType(1);
    EXPECT_EQ(screen->tableView[1]->numberOfRows(2), 20);
    auto pole = row<DriverCell>(*screen, 2, 0, 1);
    EXPECT_EQ(pole->position->text(), "1st");
    EXPECT_EQ(pole->fastestLap->text(), "Q1: 1:31.295\nQ2: 1:30.503\nQ3: 1:29.708");
    EXPECT_EQ(row<DriverCell>(*screen, 2, 19, 1)->fastestLap->text(), "Q1: 1:32.181\nQ2: --\nQ3: --");
    EXPECT_EQ(row<EventPickerCell>(*screen, 1, 0, 1)->title->text(), "Results");
    // The index writes 18:00 at the track (+03:00): 16:00 in Amsterdam.
    EXPECT_EQ(header(*screen, 1), "Round 1 Started at 16:00, on 04 Mar");

    // The snapshot has no top three of Bahrain's practice sessions: each tab says so in one row.
    for (int tab : {2, 3, 4}) {
        screen->selectEventType(tab);
        EXPECT_EQ(screen->tableView[tab]->numberOfRows(2), 1);
        auto state = row<StateCell>(*screen, 2, 0, tab);
        ASSERT_TRUE(state) << tab;
        EXPECT_EQ(state->title->text(), std::string(tab == 2 ? "Practice 3's" : tab == 3 ? "Practice 2's" : "Practice 1's") +
                                            " top three");
        EXPECT_EQ(state->detail->text(), "Not recorded in the offline season");
        EXPECT_EQ(row<EventPickerCell>(*screen, 1, 0, tab)->title->text(), "Top Three");
    }
    screen->selectEventType(2);
    EXPECT_EQ(header(*screen, 2), "Round 1 Started at 12:30, on 04 Mar");
    screen->selectEventType(4);
    EXPECT_EQ(header(*screen, 4), "Round 1 Started at 12:30, on 03 Mar");
}

TEST_F(FinishedWeekend, aSprintWeekendsThirdTabIsTheSprintNotTheShootoutAndTheRaceReadsItsOwnSession) {
    auto screen = screenFor(4);
    EXPECT_EQ(screen->path, "2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-30_Race/");
    present(screen);
    ASSERT_TRUE(waitFor([&] { return !screen->p3Results.empty(); }));
    EXPECT_TRUE(screen->isASprintWeekend);
    auto sprint = read<livetiming::TopThreeModel>(
        LiveTiming::topThree("2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-29_Sprint/")).lines;
    ASSERT_EQ(screen->p3Results.size(), sprint.size());
    screen->selectEventType(2);
    auto first = row<DriverCell>(*screen, 2, 0, 2);
    EXPECT_EQ(first->driver->text(), "Sergio Perez");
    EXPECT_EQ(first->fastestLap->text(), "Lap time: " + sprint[0].lapTime);
    EXPECT_EQ(first->position->text(), "1st");
    // One source for every tab: the sprint's rows carry the same team and picture as the
    // qualifying tab's, though the race's driver list does not exist yet.
    ASSERT_TRUE(waitFor([&] { return screen->driverNumDictionary.contains("sergio perez") && !screen->qualifyingResults.empty(); }));
    settle();
    first = row<DriverCell>(*screen, 2, 0, 2);
    screen->selectEventType(1);
    std::shared_ptr<DriverCell> qualified;
    for (int index = 0; index < screen->tableView[1]->numberOfRows(2) && !qualified; ++index) {
        auto candidate = row<DriverCell>(*screen, 2, index, 1);
        if (candidate && candidate->driver->text() == "Sergio P\u00e9rez") qualified = candidate;
    }
    ASSERT_TRUE(qualified) << "the qualifying tab names him as the results do, accent kept";
    EXPECT_EQ(first->constructor->text(), qualified->constructor->text());
    EXPECT_EQ(first->constructor->text(), "Red Bull");
    auto picture = awaitedImageURL(first->driverImage);
    ASSERT_TRUE(picture) << "a headshot, not a grey circle";
    EXPECT_EQ(picture, awaitedImageURL(qualified->driverImage));
    EXPECT_NE(first->driverImage->backgroundColor(), gfx::Color::gray());
    screen->selectEventType(2);
    auto picker = row<EventPickerCell>(*screen, 1, 0, 2);
    ASSERT_TRUE(picker->event->attributedTitle(ui::ControlState::normal));
    EXPECT_EQ(picker->event->attributedTitle(ui::ControlState::normal)->string().rfind("Sprint ", 0), 0u);
    // The menu names the tab it opens: the sprint, never a "Practice 3" that shows the sprint.
    EXPECT_EQ(picker->event->menu()->children[2].title, "Sprint");
    EXPECT_EQ(picker->event->menu()->children[3].title, "Practice 2");
    // The sprint's own start (17:30 at the track, +04:00), not the shoot-out's or the first session's.
    EXPECT_EQ(header(*screen, 2), "Round 4 Started at 15:30, on 29 Apr");
    screen->selectEventType(1);
    EXPECT_EQ(header(*screen, 1), "Round 4 Started at 15:00, on 28 Apr");
    // No second practice in this weekend: its tab names no time and says the session was not held.
    screen->selectEventType(3);
    EXPECT_EQ(header(*screen, 3), "Round 4 Started at TBC");
    ASSERT_TRUE(waitFor([&] { return screen->resultsAnswered[3]; }));
    auto notHeld = row<StateCell>(*screen, 2, 0, 3);
    ASSERT_TRUE(notHeld);
    EXPECT_EQ(notHeld->title->text(), "There was no Practice 2 this weekend.");
}

// A finished race opened from the season sheet before the season's index has arrived: the sheet can
// name no session, so the screen reads no file of one, and its sprint's tab waits rather than saying
// there was none; once the index is here, it reads the race's session and finds the sprint.
TEST_F(FinishedWeekend, aRaceOpenedBeforeTheSeasonsIndexReadsItsSessionsOnceTheIndexArrives) {
    clock->set(*instantFromISO8601("2023-05-01T12:00:00Z"));  // Baku's weekend is over
    sheettest::HeldSeasonIndex index(GlobalStruct::races());
    foundation::ConsoleCapture console;
    auto sheet = std::make_shared<SeasonViewController>();
    sheet->year = "2023";
    auto screen = std::dynamic_pointer_cast<PastDetailsViewController>(sheet->makeRaceScreen(3));
    ASSERT_TRUE(screen);
    present(screen);
    ASSERT_TRUE(waitFor([&] { return !screen->qualifyingResults.empty(); }));
    settle();
    EXPECT_EQ(screen->path, "");
    EXPECT_FALSE(screen->resultsAnswered[2]) << "the third tab was answered before the index named the weekend's sessions";

    index.arrive();
    ASSERT_TRUE(waitFor([&] { return !screen->p3Results.empty() && screen->tyresCouldNotLoad; }));
    EXPECT_EQ(screen->path, "2023/2023-04-30_Azerbaijan_Grand_Prix/2023-04-30_Race/");
    EXPECT_TRUE(screen->isASprintWeekend);
    EXPECT_FALSE(sheettest::loadedAFileOfNoSession(console.text())) << console.text();
    screen->dismiss(false);
    settle();
}

TEST_F(FinishedWeekend, eachCardButtonPresentsItsSheetWithTheValuesHandedOver) {
    auto haptics = std::make_shared<ui::HapticRecorder>();
    ui::setHapticSink(haptics);
    auto screen = open(1);

    auto breakdown = row<RaceBreakdownCell>(*screen, 6);
    auto laps = tap<LapsViewController>(*screen, *breakdown->lap);
    ASSERT_TRUE(laps);
    EXPECT_EQ(laps->eventType, 0);
    EXPECT_EQ(laps->lapCount, "57");
    EXPECT_EQ(laps->currentLap, 57);
    EXPECT_EQ(laps->lapsResults.size(), screen->lapsResults.size());
    EXPECT_FALSE(laps->lapsResults.empty());
    EXPECT_EQ(laps->raceResults.size(), 20u);
    ASSERT_EQ(laps->races.size(), 1u);
    EXPECT_EQ(laps->races[0].raceName, "Bahrain Grand Prix");
    EXPECT_EQ(laps->driverImageDictionary, screen->driverImageDictionary);
    EXPECT_EQ(laps->raceRound, 1);
    EXPECT_EQ(laps->year, "2023");
    EXPECT_FALSE(haptics->events().empty());
    dismissSheet(*screen);

    auto stops = tap<LapsViewController>(*screen, *breakdown->pitStop);
    ASSERT_TRUE(stops);
    EXPECT_EQ(stops->eventType, 1);
    EXPECT_EQ(stops->pitStopsResults.size(), screen->pitStopsResults.size());
    dismissSheet(*screen);

    auto tyres = tap<TyresViewController>(*screen, *breakdown->tyres);
    ASSERT_TRUE(tyres);
    EXPECT_EQ(tyres->totalLaps, 57);
    EXPECT_EQ(tyres->tyresResults.size(), 20u);
    EXPECT_EQ(tyres->driverNumDictionary, screen->driverNumDictionary);
    dismissSheet(*screen);

    auto standingsCard = row<RaceStandingsCell>(*screen, 7);
    for (int type : {0, 1}) {
        auto standings = tap<StandingsViewController>(*screen, type == 0 ? *standingsCard->drivers : *standingsCard->teams);
        ASSERT_TRUE(standings);
        EXPECT_EQ(standings->eventType, type);
        EXPECT_FALSE(standings->fromSeason);
        EXPECT_EQ(standings->driverStandings.size(), screen->driverStandings.size());
        EXPECT_FALSE(standings->driverStandings.empty());
        EXPECT_EQ(standings->teamStandings.size(), 10u);
        EXPECT_EQ(standings->lapCount, "57");
        EXPECT_EQ(standings->currentLap, 57);
        dismissSheet(*screen);
    }

    // The predictions card is offered from round 3; here it is shown as it would be then.
    screen->raceRound = 3;
    screen->tableView[0]->reloadData();
    auto predictionsCard = row<RaceStandingsCell>(*screen, 8);
    EXPECT_EQ(predictionsCard->drivers->titleColor(ui::ControlState::normal), ui::namedColor("darkGreen"));
    for (int type : {0, 1}) {
        auto predictions = tap<PredictionsViewController>(*screen, type == 0 ? *predictionsCard->drivers : *predictionsCard->teams);
        ASSERT_TRUE(predictions);
        EXPECT_EQ(predictions->eventType, type);
        EXPECT_EQ(predictions->path, sheettest::bahrainRace);
        EXPECT_EQ(predictions->driverNumDictionary, screen->driverNumDictionary);
        EXPECT_EQ(predictions->raceRound, 3);
        dismissSheet(*screen);
    }

    auto messagesCard = row<RaceMessagesCell>(*screen, 9);
    auto messages = tap<MessagesViewController>(*screen, *messagesCard->messages);
    ASSERT_TRUE(messages);
    EXPECT_EQ(messages->path, sheettest::bahrainRace);
    ASSERT_EQ(messages->raceMessages.size(), screen->raceMessages.size());
    EXPECT_EQ(messages->raceMessages.front().message, screen->raceMessages.front().message);
    dismissSheet(*screen);

    auto radio = tap<RadioViewController>(*screen, *messagesCard->audio);
    ASSERT_TRUE(radio);
    EXPECT_EQ(radio->path, sheettest::bahrainRace);
    EXPECT_EQ(radio->driverRadio.size(), 8u);
    EXPECT_EQ(radio->driverRadio.front().path, screen->driverRadio.front().path);
    dismissSheet(*screen);
    ui::setHapticSink(nullptr);
}

TEST_F(FinishedWeekend, aReusedCardSendsOneActionPerTap) {
    auto screen = open(1);
    for (int again = 0; again < 3; ++again) screen->tableView[0]->reloadData();
    auto breakdown = row<RaceBreakdownCell>(*screen, 6);
    EXPECT_EQ(breakdown->lap->actionCount(ui::ControlEvent::touchUpInside), 1u);
}

TEST_F(FinishedWeekend, theScheduleIsInLocalTimeWhateverTheZone) {
    auto screen = open(1);
    EXPECT_EQ(schedule(*screen), (std::vector<std::string>{
                                     "Race 05 Mar 16:00, Sunday",
                                     "Qualifying 04 Mar 16:00, Saturday",
                                     "Practice 3 04 Mar 12:30, Saturday",
                                     "Practice 2 03 Mar 16:00, Friday",
                                     "Practice 1 03 Mar 12:30, Friday",
                                 }));
    root->dismiss(false);
    settle();

    // In Tokyo the race starts on Monday at midnight.
    foundation::TimeZone::setCurrent(foundation::TimeZone::named("Asia/Tokyo"));
    auto tokyo = screenFor(1);
    present(tokyo);
    EXPECT_EQ(schedule(*tokyo), (std::vector<std::string>{
                                    "Race 06 Mar 00:00, Monday",
                                    "Qualifying 05 Mar 00:00, Sunday",
                                    "Practice 3 04 Mar 20:30, Saturday",
                                    "Practice 2 04 Mar 00:00, Saturday",
                                    "Practice 1 03 Mar 20:30, Friday",
                                }));
    EXPECT_EQ(header(*tokyo), "Round 1 Started at 00:00, on 06 Mar");
}

TEST_F(FinishedWeekend, aSessionWithoutATimeReadsTBCAndComesLast) {
    auto screen = screenFor(4);
    present(screen);
    // The Azerbaijan record has no second practice but the shoot-out in its place, and the sprint
    // replaces Practice 3: every row is a session that ran, with its day.
    EXPECT_EQ(schedule(*screen), (std::vector<std::string>{
                                     "Race 30 Apr 13:00, Sunday",
                                     "Sprint 29 Apr 15:30, Saturday",
                                     "Sprint Shootout 29 Apr 11:30, Saturday",
                                     "Qualifying 28 Apr 15:00, Friday",
                                     "Practice 1 28 Apr 11:30, Friday",
                                 }));

    root->dismiss(false);
    settle();
    auto undated = screenFor(1);
    undated->races[0].time.clear();
    undated->races[0].qualifying->time.reset();
    present(undated);
    EXPECT_EQ(header(*undated), "Round 1 Started at TBC, on 05 Mar");
    auto rows = schedule(*undated);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[3], "Race 05 Mar TBC, Sunday");
    EXPECT_EQ(rows[4], "Qualifying 04 Mar TBC, Saturday");
}

TEST_F(FinishedWeekend, missingDataLeavesEmptyCardsAndNothingStops) {
    // Round 3 is over but the snapshot holds neither its results nor its poll's winner.
    auto screen = screenFor(3);
    present(screen);
    // Every load answers at once from the snapshot; let them all come back.
    waitFor([] { return false; }, 0.5);
    settle();
    EXPECT_EQ(screen->tableView[0]->numberOfRows(2), 1);
    ASSERT_TRUE(row<StateCell>(*screen, 2));
    // Not recorded is no failure: named, with one calm line, never red and never "try again later".
    EXPECT_EQ(row<StateCell>(*screen, 2)->title->text(), "Race results");
    EXPECT_EQ(row<StateCell>(*screen, 2)->title->textColor(), gfx::Color::label());
    EXPECT_EQ(row<StateCell>(*screen, 2)->detail->text(), "Not recorded in the offline season");
    // No poll winner and no fastest lap: a line each saying so, not a card with a grey circle.
    EXPECT_TRUE(screen->driverOfTheDayResults.empty());
    ASSERT_TRUE(row<StateCell>(*screen, 4));
    EXPECT_EQ(row<StateCell>(*screen, 4)->title->text(), "Driver of the day");
    EXPECT_EQ(row<StateCell>(*screen, 4)->detail->text(), "No driver of the day was recorded for this race.");
    ASSERT_TRUE(row<StateCell>(*screen, 5));
    EXPECT_EQ(row<StateCell>(*screen, 5)->title->text(), "Fastest lap");
    // Nor any weather: one line instead of a grid of bare units, saying it is not recorded.
    ASSERT_TRUE(screen->weather.empty());
    ASSERT_TRUE(row<StateCell>(*screen, 11));
    EXPECT_EQ(row<StateCell>(*screen, 11)->title->text(), "Weather");
    // The pit stops it lacks too: their sheet says so rather than that none were made.
    auto stops = tap<LapsViewController>(*screen, *row<RaceBreakdownCell>(*screen, 6)->pitStop);
    ASSERT_TRUE(stops);
    EXPECT_EQ(stops->itemsFailure.value_or(LoadFailure{}).status, 404);
    dismissSheet(*screen);
    auto predictions = tap<PredictionsViewController>(*screen, *row<RaceStandingsCell>(*screen, 8)->drivers);
    ASSERT_TRUE(predictions);
    EXPECT_TRUE(predictions->couldNotLoad[0]) << "no prediction document is not a prediction-less race";
    dismissSheet(*screen);
    // Before any result, the laps sheet opens on lap 1 of an unknown count.
    auto laps = tap<LapsViewController>(*screen, *row<RaceBreakdownCell>(*screen, 6)->lap);
    ASSERT_TRUE(laps);
    EXPECT_EQ(laps->lapCount, "");
    EXPECT_EQ(laps->currentLap, 1);
    dismissSheet(*screen);
    root->dismiss(false);
    settle();

    // A screen handed no race at all still shows its frame.
    auto empty = std::make_shared<PastDetailsViewController>();
    present(empty);
    EXPECT_EQ(row<DetailHeaderCell>(*empty, 0)->race->text(), "");
    EXPECT_EQ(empty->tableView[0]->numberOfRows(10), 1);
    EXPECT_TRUE(tap<TyresViewController>(*empty, *row<RaceBreakdownCell>(*empty, 6)->tyres)->races.empty());
}

TEST_F(FinishedWeekend, predictionsLoadFromRoundThreeOnInPredictedOrderAndReachTheirSheet) {
    // Miami (round 5) is the race whose prediction the season holds; the day after it.
    clock->set(*instantFromISO8601("2023-05-08T12:00:00Z"));
    auto screen = screenFor(5);
    EXPECT_EQ(screen->path, "2023/2023-05-07_Miami_Grand_Prix/2023-05-07_Race/");
    present(screen);
    ASSERT_TRUE(waitFor([&] { return !screen->driverPredictions.empty() && !screen->teamPredictions.empty(); }));
    EXPECT_EQ(screen->driverPredictions.size(), 20u);
    EXPECT_EQ(screen->teamPredictions.size(), 10u);
    for (std::size_t index = 0; index < screen->driverPredictions.size(); ++index) {
        EXPECT_EQ(screen->driverPredictions[index].predictedPosition, static_cast<std::int64_t>(index + 1));
    }
    EXPECT_EQ(screen->driverPredictions.front().racingNumber, "1") << "Verstappen leads after Miami";
    EXPECT_TRUE(std::ranges::is_sorted(screen->teamPredictions, {}, &livetiming::TeamPredictions::predictedPosition));

    auto card = row<RaceStandingsCell>(*screen, 8);
    ASSERT_TRUE(card);
    auto sheet = tap<PredictionsViewController>(*screen, *card->teams);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->eventType, 1);
    ASSERT_EQ(sheet->teamPredictions.size(), 10u);
    EXPECT_EQ(sheet->teamPredictions.front().teamName, screen->teamPredictions.front().teamName);
    EXPECT_EQ(sheet->driverPredictions.size(), 20u);
    dismissSheet(*screen);

    // Before round 3 nothing is asked for, even where a prediction exists.
    auto early = screenFor(5);
    early->raceRound = 2;
    bool ended = false;
    dispatch::spawn(dispatch::Queue::main(), [early, &ended]() -> dispatch::Task<void> {
        co_await PastDetailsViewController::loadWeekend(early);
        ended = true;
    });
    ASSERT_TRUE(waitFor([&] { return ended; }));
    EXPECT_TRUE(early->driverPredictions.empty());
    EXPECT_TRUE(early->teamPredictions.empty());
}

TEST_F(FinishedWeekend, theWeatherCardShowsWholeFiguresTogglesWindOnAScheduleTapAndKeepsItsFansTurning) {
    auto screen = open(1);
    screen->weather = {livetiming::WeatherModel{.airTemp = "24.1", .humidity = "45.6", .pressure = "1013.2", .rainfall = "0",
                                                .trackTemp = "30.2", .windDirection = "270", .windSpeed = "2.3"}};
    auto card = row<WeatherOverviewCell>(*screen, 11);
    EXPECT_EQ(card->humidity->text(), "45%");
    EXPECT_EQ(card->pressure->text(), "1,013mb");
    EXPECT_EQ(card->windSpeed->text(), "2.3 m/s");
    EXPECT_TRUE(card->windSpeedTitle->attributedText()->string().ends_with(" Wind Speed"));

    // The card's own tap leaves it; any schedule row switches it, and a second tap switches it back.
    screen->didSelectRow(*screen->tableView[0], {11, 0});
    EXPECT_FALSE(screen->weatherSelected);
    EXPECT_EQ(row<WeatherOverviewCell>(*screen, 11)->windSpeed->text(), "2.3 m/s");
    screen->didSelectRow(*screen->tableView[0], {10, 2});
    EXPECT_TRUE(screen->weatherSelected);
    card = row<WeatherOverviewCell>(*screen, 11);
    EXPECT_EQ(card->windSpeed->text(), "270°");
    EXPECT_TRUE(card->windSpeedTitle->attributedText()->string().ends_with(" Wind Direction"));
    screen->didSelectRow(*screen->tableView[0], {10, 5});
    EXPECT_FALSE(screen->weatherSelected);
    screen->didSelectRow(*screen->tableView[0], {10, 2});
    EXPECT_TRUE(screen->weatherSelected);

    screen->weather[0].humidity = "1e999";
    screen->weather[0].pressure = "not a number";
    card = row<WeatherOverviewCell>(*screen, 11);
    EXPECT_EQ(card->humidity->text(), "--%");
    EXPECT_EQ(card->pressure->text(), "0mb");

    // A card filled again keeps its fans turning where they were.
    auto fresh = std::make_shared<WeatherOverviewCell>();
    screen->fillWeather(*fresh);
    auto began = fresh->windmillFan->layer()->animation("rotationanimationkey");
    ASSERT_TRUE(began);
    EXPECT_EQ(began->repeatCount, quartz::BasicAnimation::forever);
    EXPECT_EQ(fresh->windmillFan3->layer()->animation("rotationanimationkey")->duration, 2.6);
    clock->advance(1);
    screen->fillWeather(*fresh);
    EXPECT_EQ(fresh->windmillFan->layer()->animation("rotationanimationkey")->beginTime, began->beginTime);

    // Fans stopped while the app was away turn again on "reloadWeatherAnimations".
    screen->tableView[0]->scrollToRow({11, 0}, ui::TableViewScrollPosition::bottom, false);
    settle();
    auto shown = std::dynamic_pointer_cast<WeatherOverviewCell>(screen->tableView[0]->cellForRow({11, 0}));
    ASSERT_TRUE(shown);
    for (const auto& fan : {shown->windmillFan, shown->windmillFan2, shown->windmillFan3}) fan->layer()->removeAllAnimations();
    foundation::NotificationCenter::defaultCenter().post(notifications::reloadWeatherAnimations, nullptr);
    settle();
    shown = std::dynamic_pointer_cast<WeatherOverviewCell>(screen->tableView[0]->cellForRow({11, 0}));
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->windmillFan2->layer()->animation("rotationanimationkey"));
}

}  // namespace
