#pragma once

#include <array>
#include <string>
#include <vector>

#include "data/StandingsModels.h"
#include "standings-news/ChampionshipSheet.h"

// The drivers' or the constructors' championship, one line each, in the order handed in. The season
// sheet presents it with the current standings (`fromSeason`, the header naming the previous race);
// a finished weekend presents it with the standings after its race.
class StandingsViewController final : public ChampionshipSheet {
public:
    std::vector<DriverStandingsModel> driverStandings;
    std::vector<ConstructorStandingsModel> teamStandings;
    // Opened from the season sheet: the header reads "Previous Race" over the race the list shown is
    // after (drivers, constructors): the two tables can be of different rounds. A list after an earlier
    // race than the last one run says so under the header (`lag`).
    bool fromSeason = false;
    struct AfterRace {
        std::string race, circuit, location, lag;
    };
    std::array<AfterRace, 2> fromSeasonRaces;

    int numberOfRows(ui::TableView&, int section) override;

protected:
    bool readsRaceDay() const override { return !fromSeason; }
    void fillHeader(DetailHeaderCell& cell) override;
    std::string headerNote() const override { return fromSeason ? fromSeasonRaces[eventType == 0 ? 0 : 1].lag : ""; }
    std::string pickerCaption() const override { return "Standings"; }
    std::optional<gfx::Color> themeColor() const override;
    void fillEntry(DriverCell& cell, int row) override;
    int entryCount() const override;
    std::string listName() const override;
    std::string emptyListText() const override {
        return fromSeason ? "No standings have been published this season yet." : "No standings were published after this race.";
    }

private:
    void fillDriver(DriverCell& cell, const DriverStandingsModel& line) const;
    void fillTeam(DriverCell& cell, const ConstructorStandingsModel& line) const;
    // The colour behind a team's picture: the colours handed in know drivers, so a driver of the team
    // answers for it; then the catalogue's colour of the team; gray without either.
    gfx::Color teamColor(const ConstructorsDetailsModel& constructor) const;
};
