#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/ResultModels.h"
#include "dispatch/Task.h"
#include "live/RaceSheet.h"
#include "livetiming/TimingData.h"
#include "ui/ImageView.h"

class LapPickerCell;

// One race lap by lap (`eventType` 0: the order and lap time of every driver at the lap chosen from a
// menu of the race's laps, fetched from the results API) or stop by stop (any other `eventType`: every
// pit stop with its lap, number, duration and time of day, the quickest marked). The finished-weekend
// and live screens present it from their race-breakdown card and hand it all its data.
//
// Rows name their driver by the timing's or stop's driver identifier: through the classified results
// when the finished-weekend screen hands them over, otherwise through the driver dictionaries' keys
// (the identifier read as the driver's name or last name).
class LapsViewController : public RaceSheet {
public:
    // Handed over by the presenter (besides `races`).
    std::vector<LapTimingsModel> lapsResults;       // the timings of the lap shown (lap 1 when opened)
    std::vector<PitStopsModel> pitStopsResults;     // every stop, in the order handed over
    std::vector<RaceResultsModel> raceResults;      // finished weekend: the classification
    std::vector<livetiming::RaceLineModel> raceResults2;  // live: the running order (not needed to name rows)
    bool fromLive = false;
    std::vector<PitStopsModel> fastestPitStop;      // empty, or the quickest stop
    DriverDictionary driverImageDictionary;
    DriverDictionary driverColDictionary;
    DriverDictionary driverNumDictionary;
    std::string year;
    int raceRound = 1;
    int eventType = 0;    // 0 laps, anything else pit stops; fixed for the sheet's life
    int currentLap = 1;   // the lap asked for (the presenter's pick, then the menu's)
    // The lap whose timings `lapsResults` holds, and so the lap the menu ticks: lap 1 as handed over,
    // then each lap whose answer has come. The ticked lap and the rows never disagree.
    int shownLap = 1;
    std::string lapCount;  // the race's laps, as text: the length of the menu (at least one lap)

    std::shared_ptr<ui::ImageView> imageView = std::make_shared<ui::ImageView>();
    // 0 the laps table, 1 the pit-stops table; only the mode's table is visible.
    std::vector<std::shared_ptr<ui::TableView>> tableView{std::make_shared<ui::TableView>(),
                                                          std::make_shared<ui::TableView>()};

    bool showsPitStops() const { return eventType != 0; }
    const std::shared_ptr<ui::TableView>& visibleTable() const { return tableView[showsPitStops() ? 1 : 0]; }

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void viewDidAppear(bool animated) override;

    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override;

    // No championship race has run more than 200 laps: a longer count read from data is no race's.
    static constexpr int mostLaps = 200;
    // The laps of the menu: 1 to `lapCount`, at least lap 1 and at most `mostLaps`.
    int menuLapCount() const;
    // Asks for `lap`'s timings; the menu ticks it once they have come, or once it is known that they
    // could not be loaded, which the list then says.
    void chooseLap(int lap);
    // Fetches `currentLap`'s timings and shows them with their lap ticked, unless another lap has been
    // chosen meanwhile. The presenter's pick that gets no answer leaves the lap shown as it was.
    dispatch::Task<void> loadSelectedLap(bool picked = false);

    // The driver of a timing or stop, by identifier; none when nothing names them.
    std::optional<RowDriver> driverFor(const std::string& driverId) const;

protected:
    int numberOfItems(ui::TableView&) override {
        return static_cast<int>(showsPitStops() ? pitStopsResults.size() : lapsResults.size());
    }
    std::string emptyListText(ui::TableView&) const override;
    std::string listName(ui::TableView&) const override;

private:
    void fillPicker(LapPickerCell& cell);
};
