#include <algorithm>
#include <cmath>
#include <limits>

#include "SheetTestSupport.h"
#include "cells/DriverCell.h"
#include "cells/EventPickerCell.h"
#include "data/RaceModels.h"
#include "shell/ImageSeam.h"
#include "shell/Utilities.h"
#include "standings-news/PredictionsViewController.h"
#include "ui/AssetCatalog.h"

namespace {

using sheettest::decodeOffline;

// The Miami prediction file as the finished weekend hands it over: both maps in display order.
class PredictionsSheet : public sheettest::SheetTest {
protected:
    void TearDown() override {
        // The base waits for the dismissed sheet to go, which it does once its loads end.
        sheet.reset();
        SheetTest::TearDown();
    }
    void SetUp() override {
        SheetTest::SetUp();
        clock->set(*instantFromISO8601("2023-05-08T12:00:00Z"));
        auto season = decodeOffline<RaceModel>("results-api/current.json");
        for (const auto& race : season.data.raceTable.races) {
            if (race.raceName == "Miami Grand Prix") sheet->races = {race};
        }
        auto predictions = decodeOffline<livetiming::PredictionsModel>(std::string(sheettest::miamiRace) + "ChampionshipPrediction.json");
        for (const auto& [number, entry] : predictions.drivers) sheet->driverPredictions.push_back(entry);
        for (const auto& [name, entry] : predictions.teams) sheet->teamPredictions.push_back(entry);
        auto byPlace = [](const auto& a, const auto& b) { return a.predictedPosition < b.predictedPosition; };
        std::stable_sort(sheet->driverPredictions.begin(), sheet->driverPredictions.end(), byPlace);
        std::stable_sort(sheet->teamPredictions.begin(), sheet->teamPredictions.end(), byPlace);
        auto drivers = sheettest::miamiDrivers();
        sheet->driverImageDictionary = drivers.images;
        sheet->driverColDictionary = drivers.colours;
        sheet->driverNumDictionary = drivers.numbers;
    }
    void pick(int index) {
        auto picker = shown<EventPickerCell>(sheet->tableView[0], 1, 0);
        ASSERT_TRUE(picker && picker->event->menu());
        const auto& action = picker->event->menu()->children.at(index);
        action.handler(action);
        settle();
    }

    std::shared_ptr<PredictionsViewController> sheet = std::make_shared<PredictionsViewController>();
};

TEST_F(PredictionsSheet, theDriversPredictedChampionshipAfterTheRace) {
    present(sheet);
    auto table = sheet->tableView[0];
    EXPECT_EQ(sheet->tableView[1]->alpha(), 0.0);
    auto header = shown<DetailHeaderCell>(table, 0, 0);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->time->text(), "Started at 21:30, on 07 May");
    EXPECT_EQ(header->backgroundColor(), ui::namedColor("darkGreen"));
    writeGallery("predictions-drivers");
    EXPECT_TRUE(near(backgroundPixel(*header), ui::namedColor("darkGreen")));
    auto picker = shown<EventPickerCell>(table, 1, 0);
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->title->text(), "Predictions");
    EXPECT_EQ(picker->backgroundColor(), ui::namedColor("darkGreen")->withAlphaComponent(0.75));
    ASSERT_EQ(table->numberOfRows(2), static_cast<int>(sheet->driverPredictions.size()));

    auto leader = shown<DriverCell>(table, 2, 0);
    ASSERT_TRUE(leader);
    EXPECT_EQ(leader->status->text(), "1st");
    EXPECT_EQ(leader->position->text(), "119");
    EXPECT_EQ(leader->fromGridPosition->text(), "points");
    EXPECT_EQ(leader->constructor->text(), "Currently 1st with 93 points");
    EXPECT_EQ(leader->driver->text(), "Max Verstappen");
    EXPECT_EQ(awaitedImageURL(leader->driverImage), sheet->driverImageDictionary["max verstappen"]);
    EXPECT_EQ(leader->driverImage->backgroundColor(), Utilities::hexStringToUIColor("#3671C6"));
}

TEST_F(PredictionsSheet, theTeamsListShowsTeamPicturesAndDropsTheHeadshotsStillLoading) {
    present(sheet);
    pick(1);
    auto table = sheet->tableView[0];
    EXPECT_EQ(sheet->tableView[0]->alpha(), 1.0) << "the visible table stays";
    EXPECT_EQ(shown<DetailHeaderCell>(table, 0, 0)->backgroundColor(), ui::namedColor("tealGreen"));
    EXPECT_EQ(shown<EventPickerCell>(table, 1, 0)->event->menu()->children[1].state, ui::MenuElementState::on);
    ASSERT_EQ(table->numberOfRows(2), static_cast<int>(sheet->teamPredictions.size()));
    auto first = shown<DriverCell>(table, 2, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->driver->text(), sheet->teamPredictions[0].teamName);
    EXPECT_EQ(first->driver->text(), "Red Bull Racing");
    EXPECT_EQ(first->driverImage->image(), ui::namedImage("TeamRB"));
    for (auto cell : table->visibleCells()) {
        if (auto row = std::dynamic_pointer_cast<DriverCell>(cell)) EXPECT_FALSE(awaitedImageURL(row->driverImage));
    }
    writeGallery("predictions-teams");
    pick(0);
    EXPECT_EQ(shown<DetailHeaderCell>(table, 0, 0)->backgroundColor(), ui::namedColor("darkGreen"));
}

TEST_F(PredictionsSheet, beforeTheRaceDayOnlyTheHeaderShows) {
    clock->set(*instantFromISO8601("2023-05-05T12:00:00Z"));
    present(sheet);
    auto table = sheet->tableView[0];
    EXPECT_EQ(table->numberOfRows(1), 0);
    EXPECT_EQ(table->numberOfRows(2), 0);
    EXPECT_EQ(shown<DetailHeaderCell>(table, 0, 0)->time->text(), "Starting at 21:30, on 07 May");
}

TEST_F(PredictionsSheet, oddPointsUnknownNumbersAndNoRaceGiveRowsWithoutTraps) {
    sheet->races.clear();
    livetiming::DriverPredictions unknown{.racingNumber = "999", .currentPosition = 30, .predictedPosition = 1,
                                          .currentPoints = -0.5, .predictedPoints = 1.0};
    sheet->driverPredictions = {unknown};
    present(sheet);
    auto table = sheet->tableView[0];
    EXPECT_EQ(shown<DetailHeaderCell>(table, 0, 0)->race->text(), "") << "no race: an empty header";
    auto row = shown<DriverCell>(table, 2, 0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->position->text(), "1");
    EXPECT_EQ(row->fromGridPosition->text(), "point");
    EXPECT_EQ(row->constructor->text(), "Currently 30th with 0 points");
    EXPECT_EQ(row->driver->text(), "");
    EXPECT_FALSE(awaitedImageURL(row->driverImage));

    EXPECT_EQ(PredictionsViewController::wholePoints(0.5), "0");
    EXPECT_EQ(PredictionsViewController::wholePoints(18.9), "18");
    EXPECT_EQ(PredictionsViewController::wholePoints(-7.9), "-7");
    EXPECT_EQ(PredictionsViewController::wholePoints(1e20), "100000000000000000000") << "beyond every integer type";
    EXPECT_EQ(PredictionsViewController::wholePoints(std::nan("")), "0");
    EXPECT_EQ(PredictionsViewController::wholePoints(std::numeric_limits<double>::infinity()), "0");
}

}  // namespace
