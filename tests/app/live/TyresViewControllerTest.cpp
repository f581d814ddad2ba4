#include "SheetTestSupport.h"
#include "cells/DetailHeaderCell.h"
#include "cells/LapPickerCell.h"
#include "cells/TyresCell.h"
#include "live/TyresViewController.h"
#include "livetiming/TyresModel.h"
#include "shell/ImageSeam.h"
#include "shell/Utilities.h"

namespace {

class TyresSheet : public sheettest::OfflineSheet {
protected:
    std::shared_ptr<TyresViewController> open(const RacesDetailsModel& race, const std::string& session, std::int64_t laps) {
        auto sheet = std::make_shared<TyresViewController>();
        auto drivers = dictionaries(session);
        sheet->driverImageDictionary = drivers.images;
        sheet->driverColDictionary = drivers.colours;
        sheet->driverNumDictionary = drivers.numbers;
        sheet->races = {race};
        sheet->tyresResults = read<livetiming::TyresModel>(LiveTiming::tyreStintSeries(session)).stints;
        sheet->totalLaps = laps;
        present(sheet);
        return sheet;
    }
    std::shared_ptr<TyresCell> driverRow(TyresViewController& sheet, int index) {
        return rowOf<TyresCell>(sheet, *sheet.tableView, 2, index);
    }
    static std::vector<std::shared_ptr<TyresCell::StintRow>> stints(const TyresCell& cell) {
        std::vector<std::shared_ptr<TyresCell::StintRow>> rows;
        for (const auto& view : cell.tyreStack->arrangedSubviews()) {
            if (auto row = std::dynamic_pointer_cast<TyresCell::StintRow>(view)) rows.push_back(row);
        }
        return rows;
    }
};

TEST_F(TyresSheet, aFinishedRaceShowsEveryCarsStintsInTextOrderOfTheirNumbers) {
    auto sheet = open(race(1), sheettest::bahrainRace, 57);
    ASSERT_EQ(sheet->tableView->numberOfRows(2), 20);
    auto header = rowOf<DetailHeaderCell>(*sheet, *sheet->tableView, 0, 0);
    EXPECT_EQ(header->time->text(), "Started at 16:00, on 05 Mar");
    EXPECT_EQ(header->backgroundColor(), gfx::Color::systemPurple());
    EXPECT_EQ(rowOf<LapPickerCell>(*sheet, *sheet->tableView, 1, 0)->event->text(), "Tyres and Compounds");

    std::vector<std::string> names;
    for (int index : {0, 1, 2, 6}) names.push_back(driverRow(*sheet, index)->driver->text());
    // 1, 10, 11, ..., 2: numbers compare as text.
    EXPECT_EQ(names, (std::vector<std::string>{"Max Verstappen", "Pierre Gasly", "Sergio Perez", "Logan Sargeant"}));

    takeRecordedImageRequests();
    auto verstappen = driverRow(*sheet, 0);
    auto requests = takeRecordedImageRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].url.find("maxver01"), std::string::npos);
    EXPECT_EQ(verstappen->driverImage->backgroundColor(), Utilities::hexStringToUIColor("#3671C6"));
    // Used softs for laps 0 to 14, used softs to 36, new hards to 57.
    auto rows = stints(*verstappen);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]->caption->text(), "Old softs used in laps 0 to 14");
    EXPECT_EQ(rows[2]->caption->text(), "Hards used in laps 36 to 57");
}

TEST_F(TyresSheet, theLiveSprintShowsTheStintsReplayedSoFar) {
    auto sheet = open(race(4), sheettest::bakuSprint, 17);
    // On lap 10 of 17 one car has no stint in the feed yet.
    int cars = sheet->tableView->numberOfRows(2);
    EXPECT_EQ(cars, static_cast<int>(sheet->tyresResults.size()));
    EXPECT_GE(cars, 19);
    EXPECT_EQ(rowOf<DetailHeaderCell>(*sheet, *sheet->tableView, 0, 0)->race->text(), "Azerbaijan Grand Prix");
    for (int index = 0; index < cars; ++index) {
        auto entry = std::next(sheet->tyresResults.begin(), index);
        auto cell = driverRow(*sheet, index);
        EXPECT_FALSE(cell->driver->text().empty()) << "car " << entry->first;
        EXPECT_EQ(stints(*cell).size(), entry->second.size()) << "car " << entry->first;
    }
}

TEST_F(TyresSheet, reusedRowsShowOnlyTheirOwnDriverAndAnUnknownCarIsCleared) {
    auto sheet = std::make_shared<TyresViewController>();
    auto drivers = dictionaries(sheettest::bahrainRace);
    sheet->driverNumDictionary = drivers.numbers;
    sheet->driverColDictionary = drivers.colours;
    sheet->races = {race(1)};
    livetiming::StintModel soft{.compound = "SOFT", .isNew = true, .tyresNotChanged = "0", .totalLaps = 20, .startLaps = 0};
    sheet->tyresResults = {{"1", {soft, soft}}};
    sheet->totalLaps = 0;  // the circuit facts did not name the circuit, and no presenter mended it
    present(sheet);

    auto shown = std::dynamic_pointer_cast<TyresCell>(sheet->tableView->cellForRow({2, 0}));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->driver->text(), "Max Verstappen");
    EXPECT_EQ(stints(*shown).size(), 2u);
    // The first row now shows car 99, which no driver carries: the reused cell keeps neither the name
    // nor the colour nor the stints of the driver it showed before.
    sheet->tyresResults = {{"99", {soft}}};
    sheet->tableView->reloadData();
    auto unknown = std::dynamic_pointer_cast<TyresCell>(sheet->tableView->cellForRow({2, 0}));
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown, shown) << "the table hands the same cell out again";
    EXPECT_EQ(unknown->driver->text(), "");
    EXPECT_EQ(unknown->driverImage->image(), nullptr);
    EXPECT_EQ(unknown->driverImage->backgroundColor(), gfx::Color::gray());
    ASSERT_EQ(stints(*unknown).size(), 1u);
    // No race length: the tracks show without bars instead of dividing by zero.
    unknown->setFrame({0, 0, 390, 120});
    unknown->layoutIfNeeded();
    EXPECT_EQ(stints(*unknown)[0]->bar->frame().width(), 0);
}

TEST_F(TyresSheet, beforeTheRaceDayOnlyTheHeaderShows) {
    auto sheet = open(race(5), sheettest::bahrainRace, 57);
    EXPECT_EQ(sheet->tableView->numberOfRows(1), 0);
    EXPECT_EQ(sheet->tableView->numberOfRows(2), 0);
    EXPECT_TRUE(rowOf<DetailHeaderCell>(*sheet, *sheet->tableView, 0, 0)->time->text().starts_with("Starting at "));
}

}  // namespace
