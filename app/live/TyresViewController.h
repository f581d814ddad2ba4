#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "live/RaceSheet.h"
#include "livetiming/TyresModel.h"

// Every car's tyre stints of one session, as bars along the race distance: one row per car, ordered
// by racing number as text (1, 11, 16, 4, 44). Everything comes from the presenter.
class TyresViewController : public RaceSheet {
public:
    // Handed over by the presenter (besides `races`).
    std::map<std::string, std::vector<livetiming::StintModel>> tyresResults;  // by racing number
    DriverDictionary driverImageDictionary;
    DriverDictionary driverColDictionary;
    DriverDictionary driverNumDictionary;
    // The race's laps, the scale of the bars; below 1 the rows show their tracks without bars.
    std::int64_t totalLaps = 0;
    std::string path;  // not read
    std::string year;  // not read
    int raceRound = 1;  // not read
    int currentLap = 1;  // not read
    std::string lapCount;  // not read

    std::shared_ptr<ui::TableView> tableView = std::make_shared<ui::TableView>();

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override;

protected:
    int numberOfItems(ui::TableView&) override { return static_cast<int>(tyresResults.size()); }
    std::string emptyListText(ui::TableView&) const override { return "No tyre stints were recorded."; }
    std::string listName(ui::TableView&) const override { return "The tyre stints"; }
};
