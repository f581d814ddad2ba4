#include "SheetTestSupport.h"
#include "cells/StateCell.h"
#include "cells/DriverCell.h"
#include "cells/EventPickerCell.h"
#include "data/RaceModels.h"
#include "shell/ImageSeam.h"
#include "shell/Utilities.h"
#include "standings-news/StandingsViewController.h"
#include "ui/AssetCatalog.h"

namespace {

using sheettest::decodeOffline;

RacesDetailsModel miami() {
    auto season = decodeOffline<RaceModel>("results-api/current.json");
    for (const auto& race : season.data.raceTable.races) {
        if (race.raceName == "Miami Grand Prix") return race;
    }
    ADD_FAILURE() << "no Miami Grand Prix in the offline season";
    return {};
}

StandingsDetailsModel standingsAfterMiami() {
    auto drivers = decodeOffline<StandingModel>("results-api/2023/5/driverStandings.json");
    auto teams = decodeOffline<StandingModel>("results-api/2023/constructorStandings.json");
    StandingsDetailsModel both;
    if (!drivers.data.standingsTable.standings.empty()) both.driverStandings = drivers.data.standingsTable.standings.front().driverStandings;
    if (!teams.data.standingsTable.standings.empty()) both.constructorStandings = teams.data.standingsTable.standings.front().constructorStandings;
    return both;
}

class StandingsSheet : public sheettest::SheetTest {
protected:
    void TearDown() override {
        // The base waits for the dismissed sheet to go, which it does once its loads end.
        sheet.reset();
        SheetTest::TearDown();
    }
    void SetUp() override {
        SheetTest::SetUp();
        clock->set(*instantFromISO8601("2023-05-08T12:00:00Z"));
        auto standings = standingsAfterMiami();
        auto drivers = sheettest::miamiDrivers();
        sheet->driverStandings = standings.driverStandings.value_or(std::vector<DriverStandingsModel>{});
        sheet->teamStandings = standings.constructorStandings.value_or(std::vector<ConstructorStandingsModel>{});
        sheet->driverImageDictionary = drivers.images;
        sheet->driverColDictionary = drivers.colours;
        takeRecordedImageRequests();
    }
    const std::shared_ptr<ui::TableView>& visibleTable() const {
        return sheet->tableView[0]->alpha() == 1.0 ? sheet->tableView[0] : sheet->tableView[1];
    }
    void pick(int index) {
        auto picker = shown<EventPickerCell>(visibleTable(), 1, 0);
        ASSERT_TRUE(picker && picker->event->menu());
        const auto& action = picker->event->menu()->children.at(index);
        action.handler(action);
        settle();
    }

    std::shared_ptr<StandingsViewController> sheet = std::make_shared<StandingsViewController>();
};

TEST_F(StandingsSheet, fromTheSeasonSheetTheDriversLinesFollowThePreviousRace) {
    sheet->fromSeason = true;
    sheet->fromSeasonRaces[0] = {"Miami Grand Prix", "Miami International Autodrome", "Miami, USA"};
    present(sheet);

    auto table = visibleTable();
    EXPECT_EQ(table, sheet->tableView[0]);
    auto header = shown<DetailHeaderCell>(table, 0, 0);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->time->text(), "Previous Race");
    EXPECT_EQ(header->race->text(), "Miami Grand Prix");
    EXPECT_EQ(header->location->text(), "Miami, USA");
    EXPECT_EQ(header->backgroundColor(), gfx::Color::systemPink());
    writeGallery("standings-drivers");
    EXPECT_TRUE(near(backgroundPixel(*header), gfx::Color::systemPink()));
    auto picker = shown<EventPickerCell>(table, 1, 0);
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->title->text(), "Standings");
    EXPECT_EQ(picker->event->attributedTitle(ui::ControlState::normal)->string().substr(0, 7), "Driver ");
    EXPECT_EQ(picker->event->menu()->children[0].state, ui::MenuElementState::on);
    EXPECT_TRUE(picker->event->showsMenuAsPrimaryAction());

    ASSERT_EQ(table->numberOfRows(2), static_cast<int>(sheet->driverStandings.size()));
    auto leader = shown<DriverCell>(table, 2, 0);
    ASSERT_TRUE(leader);
    EXPECT_EQ(leader->status->text(), "1st");
    EXPECT_EQ(leader->driver->text(), "Max Verstappen");
    EXPECT_EQ(leader->constructor->text(), "Red Bull");
    EXPECT_EQ(leader->position->text(), sheet->driverStandings[0].points);
    EXPECT_EQ(leader->fromGridPosition->text(), "points");
    EXPECT_EQ(leader->driverImage->backgroundColor(), Utilities::hexStringToUIColor("#3671C6"));
    EXPECT_EQ(awaitedImageURL(leader->driverImage), sheet->driverImageDictionary["max verstappen"]);

    auto second = shown<DriverCell>(table, 2, 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->driver->text(), "Sergio Perez") << "shown without accents, found under the folded key";
    EXPECT_EQ(awaitedImageURL(second->driverImage), sheet->driverImageDictionary["sergio perez"]);
}

TEST_F(StandingsSheet, theTeamsLinesShowTeamPicturesInTheTeamsColourAndNoDriversHeadshot) {
    sheet->races = {miami()};
    present(sheet);
    auto table = visibleTable();
    for (auto cell : table->visibleCells()) {
        if (auto row = std::dynamic_pointer_cast<DriverCell>(cell)) EXPECT_TRUE(awaitedImageURL(row->driverImage));
    }

    pick(1);
    EXPECT_EQ(sheet->eventType, 1);
    EXPECT_EQ(visibleTable(), table) << "the visible table stays";
    EXPECT_EQ(shown<DetailHeaderCell>(table, 0, 0)->backgroundColor(), ui::namedColor("dullPink"));
    writeGallery("standings-teams");
    EXPECT_TRUE(near(backgroundPixel(*shown<DetailHeaderCell>(table, 0, 0)), ui::namedColor("dullPink")));
    auto picker = shown<EventPickerCell>(table, 1, 0);
    EXPECT_EQ(picker->event->attributedTitle(ui::ControlState::normal)->string().substr(0, 5), "Team ");
    EXPECT_EQ(picker->event->menu()->children[1].state, ui::MenuElementState::on);
    ASSERT_EQ(table->numberOfRows(2), static_cast<int>(sheet->teamStandings.size()));

    auto redBull = shown<DriverCell>(table, 2, 0);
    ASSERT_TRUE(redBull);
    EXPECT_EQ(redBull->driver->text(), "Red Bull");
    EXPECT_EQ(redBull->constructor->text(), "Austrian");
    EXPECT_EQ(redBull->driverImage->image(), ui::namedImage("TeamRB"));
    EXPECT_EQ(redBull->driverImage->backgroundColor(), Utilities::hexStringToUIColor("#3671C6"))
        << "the colour of the team's drivers, not gray";
    for (auto cell : table->visibleCells()) {
        auto row = std::dynamic_pointer_cast<DriverCell>(cell);
        if (!row) continue;
        EXPECT_FALSE(awaitedImageURL(row->driverImage)) << row->driver->text() << ": a driver's headshot would land here";
        EXPECT_NE(row->driverImage->backgroundColor(), gfx::Color::gray()) << row->driver->text();
    }

    pick(0);
    EXPECT_EQ(shown<DetailHeaderCell>(table, 0, 0)->backgroundColor(), gfx::Color::systemPink());
    EXPECT_EQ(shown<DriverCell>(table, 2, 0)->driver->text(), "Max Verstappen");
}

TEST_F(StandingsSheet, fromAFinishedWeekendTheHeaderTellsWhenTheRaceStarted) {
    sheet->races = {miami()};
    sheet->eventType = 1;
    present(sheet);
    EXPECT_EQ(sheet->tableView[0]->alpha(), 0.0);
    EXPECT_EQ(sheet->tableView[1]->alpha(), 1.0) << "the teams button opens on the constructors";
    auto header = shown<DetailHeaderCell>(sheet->tableView[1], 0, 0);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->race->text(), "Miami Grand Prix");
    EXPECT_EQ(header->circuit->text(), "Miami International Autodrome");
    EXPECT_EQ(header->location->text(), "Miami, USA");
    // 19:30 UTC on a May day is 21:30 in Amsterdam (summer time), not the winter clock of a bare time.
    EXPECT_EQ(header->time->text(), "Started at 21:30, on 07 May");

    auto ahead = std::make_shared<StandingsViewController>();
    ahead->races = {miami()};
    clock->set(*instantFromISO8601("2023-05-01T12:00:00Z"));
    root->dismiss(false);
    settle();
    present(ahead);
    EXPECT_EQ(shown<DetailHeaderCell>(ahead->tableView[0], 0, 0)->time->text(), "Starting at 21:30, on 07 May");
}

TEST_F(StandingsSheet, anEmptySeasonOrOddLinesGiveAnEmptyStateAndPlainFigures) {
    sheet->driverStandings.clear();
    sheet->teamStandings.clear();
    present(sheet);  // neither from the season sheet nor with a race
    auto table = visibleTable();
    EXPECT_EQ(table->numberOfRows(0), 1);
    EXPECT_EQ(table->numberOfRows(1), 1);
    ASSERT_EQ(table->numberOfRows(2), 1);
    auto state = shown<StateCell>(table, 2, 0);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->title->text(), "No standings were published after this race.");
    EXPECT_EQ(shown<DetailHeaderCell>(table, 0, 0)->race->text(), "");

    DriverStandingsModel odd;
    odd.position = "99999999999999999999999";
    odd.points = "1";
    odd.wins = "1";
    odd.driver.givenName = "Nico";
    odd.driver.familyName = "Hülkenberg";
    sheet->driverStandings = {odd};
    sheet->driverImageDictionary.erase("nico hulkenberg");
    sheet->driverColDictionary["nico hulkenberg"] = "not a colour";
    table->reloadData();
    settle();
    auto row = shown<DriverCell>(table, 2, 0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->status->text(), "0th") << "a position that is not a number reads as 0";
    EXPECT_EQ(row->position->text(), "1");
    EXPECT_EQ(row->fromGridPosition->text(), "point");
    EXPECT_EQ(row->fastestLap->text(), "1 win");
    EXPECT_EQ(row->constructor->text(), "");
    EXPECT_EQ(row->driver->text(), "Nico Hulkenberg");
    EXPECT_EQ(awaitedImageURL(row->driverImage), std::string(StandingsViewController::fallbackHeadshotAddress));
    EXPECT_EQ(row->driverImage->backgroundColor(), gfx::Color::gray());
}

}  // namespace
