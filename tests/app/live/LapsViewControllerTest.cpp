#include <algorithm>

#include "SheetTestSupport.h"
#include "cells/StateCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/LapPickerCell.h"
#include "foundation/Print.h"
#include "live/LapsViewController.h"
#include "livetiming/TimingData.h"
#include "shell/ImageSeam.h"
#include "ui/AssetCatalog.h"
#include "ConsoleLines.h"

namespace {

std::vector<LapTimingsModel> lapTimings(const RaceModel& answer) {
    const auto& races = answer.data.raceTable.races;
    if (races.empty() || !races.front().laps || races.front().laps->empty()) return {};
    return races.front().laps->front().timings;
}

class LapsSheet : public sheettest::OfflineSheet {
protected:
    // The finished-weekend screen's laps button, for Bahrain's winner (57 laps).
    std::shared_ptr<LapsViewController> openFinishedLaps() {
        auto sheet = std::make_shared<LapsViewController>();
        auto drivers = dictionaries(sheettest::bahrainRace);
        sheet->driverImageDictionary = drivers.images;
        sheet->driverColDictionary = drivers.colours;
        sheet->eventType = 0;
        sheet->raceResults = read<RaceModel>(RaceResults::all(2023, 1)).data.raceTable.races.front().raceResults.value();
        sheet->races = {race(1)};
        sheet->year = "2023";
        sheet->raceRound = 1;
        sheet->currentLap = 57;
        sheet->lapCount = "57";
        sheet->lapsResults = lapTimings(read<RaceModel>(LapTimes::lap(2023, 1, 1)));
        present(sheet);
        return sheet;
    }
    std::shared_ptr<DriverCell> driverRow(LapsViewController& sheet, int index) {
        return rowOf<DriverCell>(sheet, *sheet.visibleTable(), 2, index);
    }
    std::shared_ptr<LapPickerCell> picker(LapsViewController& sheet) {
        return rowOf<LapPickerCell>(sheet, *sheet.visibleTable(), 1, 0);
    }
    static void pick(LapPickerCell& cell, const std::string& lap) {
        auto menu = cell.lap->menu();
        ASSERT_TRUE(menu);
        auto action = std::find_if(menu->children.begin(), menu->children.end(), [&](const auto& a) { return a.title == lap; });
        ASSERT_NE(action, menu->children.end());
        action->handler(*action);
    }
};

// A row filled again for a driver without a headshot address must not receive the headshot the
// previous driver's request is still fetching.
TEST_F(LapsSheet, aReusedRowOfADriverWithoutAHeadshotAwaitsNoneOfThePreviousDriver) {
    auto sheet = openFinishedLaps();
    auto table = sheet->visibleTable();
    table->layoutIfNeeded();
    auto first = std::dynamic_pointer_cast<DriverCell>(table->cellForRow({2, 0}));
    ASSERT_TRUE(first);
    ASSERT_TRUE(awaitedImageURL(first->driverImage));
    sheet->driverImageDictionary.clear();
    table->reloadData();
    table->layoutIfNeeded();
    auto again = std::dynamic_pointer_cast<DriverCell>(table->cellForRow({2, 0}));
    ASSERT_EQ(again, first) << "the row's cell is reused";
    EXPECT_FALSE(awaitedImageURL(again->driverImage));
}

TEST_F(LapsSheet, aFinishedRaceShowsTheOrderAtLapOneAndOffersEveryLap) {
    foundation::ConsoleCapture console;
    auto sheet = openFinishedLaps();
    EXPECT_EQ(sheet->tableView[0]->alpha(), 1);
    EXPECT_EQ(sheet->tableView[1]->alpha(), 0);
    ASSERT_EQ(sheet->tableView[0]->numberOfRows(2), 20);

    auto header = rowOf<DetailHeaderCell>(*sheet, *sheet->tableView[0], 0, 0);
    EXPECT_EQ(header->time->text(), "Started at 16:00, on 05 Mar");
    EXPECT_EQ(header->backgroundColor(), *ui::namedColor("dirtyBrown"));
    // Lap 57 is asked for; the results service has no answer for it, so lap 1's rows stay and lap 1
    // is the lap ticked over them.
    ASSERT_TRUE(waitFor([&] { return console.text().find("Could not load ") != std::string::npos; }));
    auto row = picker(*sheet);
    EXPECT_EQ(row->event->text(), "Lap");
    EXPECT_EQ(row->title->text(), "Times");
    EXPECT_EQ(row->lap->title(ui::ControlState::normal), "1");
    EXPECT_TRUE(row->lap->showsMenuAsPrimaryAction());
    const auto& actions = row->lap->menu()->children;
    ASSERT_EQ(actions.size(), 57u);
    EXPECT_EQ(actions.front().title, "1");
    EXPECT_EQ(actions.front().state, ui::MenuElementState::on);
    EXPECT_EQ(std::count_if(actions.begin(), actions.end(), [](const auto& a) { return a.state == ui::MenuElementState::on; }), 1);

    auto leader = driverRow(*sheet, 0);
    EXPECT_EQ(leader->position->text(), "1st");
    EXPECT_EQ(leader->driver->text(), "Max Verstappen");
    EXPECT_EQ(leader->constructor->text(), "1:39.019");
    EXPECT_EQ(driverRow(*sheet, 1)->driver->text(), "Charles Leclerc");
    EXPECT_EQ(driverRow(*sheet, 2)->position->text(), "3rd");

    // The car has sprung into the header card's lower right corner.
    auto shownHeader = sheet->tableView[0]->cellForRow({0, 0});
    ASSERT_TRUE(shownHeader);
    EXPECT_EQ(sheet->imageView->superview().get(), sheet->tableView[0].get());
    EXPECT_EQ(sheet->imageView->frame().origin.x, shownHeader->bounds().width() - 160);
    EXPECT_EQ(sheet->imageView->frame().size.width, 360);
}

TEST_F(LapsSheet, aChosenLapIsTickedWithItsTimesAndALapThatFailsSaysSo) {
    auto sheet = openFinishedLaps();
    pick(*picker(*sheet), "3");
    EXPECT_EQ(sheet->currentLap, 3);
    EXPECT_EQ(picker(*sheet)->lap->title(ui::ControlState::normal), "1") << "lap 1 is ticked while its rows show";
    EXPECT_EQ(driverRow(*sheet, 0)->constructor->text(), "1:39.019");
    ASSERT_TRUE(waitFor([&] { return driverRow(*sheet, 0)->constructor->text() == "1:38.006"; }));
    EXPECT_EQ(picker(*sheet)->lap->title(ui::ControlState::normal), "3");
    EXPECT_EQ(driverRow(*sheet, 2)->driver->text(), "Sergio Pérez") << "named as the results name him";

    // A lap the offline season lacks: its 404 is reported once, with the address, and the sheet shows
    // that lap, saying it could not be loaded, never the lap before under a menu that closed.
    foundation::ConsoleCapture console;
    pick(*picker(*sheet), "9");
    const std::string lap9 = "http://ergast.com/api/f1/2023/1/laps/9.json";
    ASSERT_TRUE(waitFor([&] { return !withoutOthersLoads(console.text(), {lap9}).empty(); }));
    EXPECT_EQ(withoutOthersLoads(console.text(), {lap9}), "Could not load " + lap9 + ": 404 Not Found\n");
    ASSERT_TRUE(waitFor([&] { return picker(*sheet)->lap->title(ui::ControlState::normal) == "9"; }));
    auto actions = picker(*sheet)->lap->menu()->children;
    ASSERT_GE(actions.size(), 9u);
    EXPECT_EQ(actions[2].state, ui::MenuElementState::off);
    EXPECT_EQ(actions[8].state, ui::MenuElementState::on);
    ASSERT_EQ(sheet->tableView[0]->numberOfRows(2), 1);
    auto state = rowOf<StateCell>(*sheet, *sheet->tableView[0], 2, 0);
    ASSERT_TRUE(state);
    // A lap the offline season never recorded failed nothing: named, and said calmly.
    EXPECT_EQ(state->title->text(), "Times of lap 9");
    EXPECT_EQ(state->title->textColor(), gfx::Color::label());
    EXPECT_EQ(state->detail->text(), "Not recorded in the offline season");
}

// A list that could not be loaded is never told as one with nothing in it.
TEST_F(LapsSheet, pitStopsThatCouldNotLoadSaySoRatherThanThatNoneWereRecorded) {
    auto sheet = std::make_shared<LapsViewController>();
    sheet->eventType = 1;
    sheet->races = {race(1)};
    sheet->itemsFailure = LoadFailure{503, "Service Unavailable"};
    present(sheet);
    auto state = rowOf<StateCell>(*sheet, *sheet->tableView[1], 2, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "The pit stops could not be loaded.");
    EXPECT_EQ(state->detail->text(), "The offline season holds it damaged.");
}

TEST_F(LapsSheet, anAnswerForALapNoLongerChosenIsDropped) {
    auto sheet = openFinishedLaps();
    sheet->currentLap = 2;
    bool ended = false;
    dispatch::spawn(dispatch::Queue::main(), [sheet, &ended]() -> dispatch::Task<void> {
        co_await sheet->loadSelectedLap();
        ended = true;
    });
    dispatch::RunLoop::main()->runOnce();  // the fetch of lap 2 is under way
    // Another lap is chosen before lap 2's answer comes back.
    sheet->currentLap = 4;
    ASSERT_TRUE(waitFor([&] { return ended; }));
    EXPECT_EQ(sheet->lapsResults.front().time, "1:39.019") << "lap 2's answer must not replace what shows";

    // Two quick choices: the later one shows, whichever answer comes last.
    sheet->chooseLap(2);
    sheet->chooseLap(4);
    auto lapFour = lapTimings(read<RaceModel>(LapTimes::lap(2023, 1, 4)));
    ASSERT_FALSE(lapFour.empty());
    ASSERT_TRUE(waitFor([&] { return sheet->lapsResults.front().time == lapFour.front().time; }));
    dispatch::RunLoop::main()->runUntil([] { return false; }, 0.3);
    EXPECT_EQ(sheet->lapsResults.front().time, lapFour.front().time);
}

TEST_F(LapsSheet, theLapMenuOffersAtLeastTheFirstLapAndAtMostARacesLaps) {
    auto sheet = std::make_shared<LapsViewController>();
    sheet->races = {race(4)};
    present(sheet);
    for (const char* count : {"0", "", "-3", "laps", "99999999999"}) {
        sheet->lapCount = count;
        sheet->tableView[0]->reloadData();
        auto actions = picker(*sheet)->lap->menu()->children;
        ASSERT_EQ(actions.size(), 1u) << '"' << count << '"';
        EXPECT_EQ(actions.front().title, "1");
    }
    sheet->lapCount = "2147483647";
    sheet->tableView[0]->reloadData();
    EXPECT_EQ(picker(*sheet)->lap->menu()->children.size(), 200u) << "no race runs more laps";
}

TEST_F(LapsSheet, liveRowsAreNamedByDriverIdentifierNotByPlace) {
    auto timing = read<livetiming::TimingData>(LiveTiming::timingData(sheettest::bakuSprint));
    std::vector<livetiming::RaceLineModel> order;
    for (const auto& [number, line] : timing.lines) order.push_back(line);
    std::ranges::sort(order, {}, [](const auto& line) { return std::stoi(line.position.empty() ? "99" : line.position); });
    ASSERT_FALSE(order.empty());

    // What the live screen hands over: its order, its dictionaries, and the laps it read for lap 1
    // (none: the results service has no laps of a race under way).
    auto sheet = std::make_shared<LapsViewController>();
    auto drivers = dictionaries(sheettest::bakuSprint);
    sheet->fromLive = true;
    sheet->driverImageDictionary = drivers.images;
    sheet->driverColDictionary = drivers.colours;
    sheet->driverNumDictionary = drivers.numbers;
    sheet->raceResults2 = order;
    sheet->races = {race(4)};
    sheet->year = "2023";
    sheet->raceRound = 4;
    sheet->currentLap = static_cast<int>(order.front().numberOfLaps.value_or(0));
    sheet->lapCount = std::to_string(order.front().numberOfLaps.value_or(0));
    sheet->lapsResults = lapTimings(RaceModel{});
    present(sheet);
    // No timings: one row says so, naming the lap.
    ASSERT_EQ(sheet->tableView[0]->numberOfRows(2), 1);
    auto state = rowOf<StateCell>(*sheet, *sheet->tableView[0], 2, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "No lap times were recorded for lap 1.");
    EXPECT_EQ(picker(*sheet)->lap->menu()->children.size(), static_cast<std::size_t>(std::max(1, sheet->currentLap)));

    // Timings whose drivers run in another order than the live order, more of them than lines, and
    // one the dictionaries do not know.
    sheet->lapsResults = lapTimings(read<RaceModel>(LapTimes::lap(2023, 1, 1)));
    sheet->lapsResults.push_back(LapTimingsModel{"nobody", "21", "2:00.000"});
    sheet->raceResults2.resize(3);
    sheet->tableView[0]->reloadData();
    ASSERT_EQ(sheet->tableView[0]->numberOfRows(2), 21);
    EXPECT_EQ(driverRow(*sheet, 0)->driver->text(), "Max Verstappen");
    EXPECT_EQ(driverRow(*sheet, 1)->driver->text(), "Charles Leclerc");
    auto named = [&](const std::string& id) {
        auto at = std::ranges::find(sheet->lapsResults, id, &LapTimingsModel::driverId);
        return driverRow(*sheet, static_cast<int>(at - sheet->lapsResults.begin()))->driver->text();
    };
    EXPECT_EQ(named("de_vries"), "Nyck De Vries");
    EXPECT_EQ(named("kevin_magnussen"), "Kevin Magnussen");
    EXPECT_EQ(named("hulkenberg"), "Nico Hulkenberg");
    auto unknown = driverRow(*sheet, 20);
    EXPECT_EQ(unknown->driver->text(), "");
    EXPECT_EQ(unknown->driverImage->backgroundColor(), gfx::Color::gray());
    EXPECT_EQ(unknown->position->text(), "21st");
}

TEST_F(LapsSheet, pitStopsListEveryStopAndMarkEveryStopAsQuickAsTheQuickest) {
    clock->set(*instantFromISO8601("2023-10-23T12:00:00Z"));
    auto stops = read<RaceModel>(PitStops::pitStops(2023, 18)).data.raceTable.races.front().pitStops.value();
    ASSERT_EQ(stops.size(), 30u);
    auto quickest = *std::ranges::min_element(stops, {}, &PitStopsModel::duration);
    stops.push_back(quickest);  // a second stop of the same duration

    auto sheet = std::make_shared<LapsViewController>();
    auto drivers = dictionaries(sheettest::bahrainRace);
    sheet->driverImageDictionary = drivers.images;
    sheet->driverColDictionary = drivers.colours;
    sheet->eventType = 1;
    sheet->races = {race(18)};
    sheet->pitStopsResults = stops;
    sheet->fastestPitStop = {quickest};
    present(sheet);

    EXPECT_EQ(sheet->tableView[0]->alpha(), 0);
    EXPECT_EQ(sheet->tableView[1]->alpha(), 1);
    EXPECT_EQ(sheet->imageView->superview().get(), sheet->tableView[1].get());
    EXPECT_EQ(rowOf<DetailHeaderCell>(*sheet, *sheet->tableView[1], 0, 0)->backgroundColor(), gfx::Color::systemOrange());
    auto row = picker(*sheet);
    EXPECT_EQ(row->event->text(), "Pit Stop Times");
    EXPECT_TRUE(row->lap->isHidden());
    EXPECT_TRUE(row->title->isHidden());

    ASSERT_EQ(sheet->tableView[1]->numberOfRows(2), 31);
    auto first = driverRow(*sheet, 0);  // Zhou, lap 9, 25.636 s at 14:19:22
    EXPECT_EQ(first->driver->text(), "Guanyu Zhou");
    EXPECT_EQ(first->position->text(), "Lap 9");
    EXPECT_EQ(first->fromGridPosition->text(), "Stop 1");
    EXPECT_EQ(first->fastestLap->text(), "At 14:19:22");
    EXPECT_EQ(first->constructor->text(), "25.636");
    EXPECT_EQ(first->constructor->textColor(), gfx::Color::secondaryLabel());
    int marked = 0;
    for (int index = 0; index < 31; ++index) {
        auto cell = driverRow(*sheet, index);
        if (cell->constructor->text() == quickest.duration + " - Fastest") {
            ++marked;
            EXPECT_EQ(cell->constructor->textColor(), gfx::Color::systemOrange());
        }
    }
    EXPECT_EQ(marked, 2);
}

}  // namespace
