#pragma once

#include <string>
#include <vector>

#include "livetiming/PredictionsModel.h"
#include "standings-news/ChampionshipSheet.h"

// The predicted drivers' or constructors' championship after a race, as the session's prediction
// file gives it: each entry's predicted place and points and its current ones. The finished weekend
// presents it with both lists already in display order. Rows appear once the race day has come.
class PredictionsViewController final : public ChampionshipSheet {
public:
    Dictionary driverNumDictionary;  // driver key to racing number
    std::string path;
    std::vector<livetiming::DriverPredictions> driverPredictions;
    std::vector<livetiming::TeamPredictions> teamPredictions;

    int numberOfRows(ui::TableView&, int section) override;

    // Whole points, truncated toward zero, as digits; a value that is not finite reads as 0.
    static std::string wholePoints(double points);

protected:
    std::string pickerCaption() const override { return "Predictions"; }
    std::optional<gfx::Color> themeColor() const override;
    void fillEntry(DriverCell& cell, int row) override;
    int entryCount() const override;
    std::string listName() const override { return eventType == 0 ? "The drivers' predictions" : "The teams' predictions"; }
    std::string emptyListText() const override { return "No prediction was published after this race."; }

private:
    bool raceDayAhead() const { return date > foundation::Date::now(); }
    void fillDriver(DriverCell& cell, const livetiming::DriverPredictions& entry) const;
    void fillTeam(DriverCell& cell, const livetiming::TeamPredictions& entry) const;
};
