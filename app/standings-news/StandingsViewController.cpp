#include "standings-news/StandingsViewController.h"

#include "foundation/Strings.h"
#include "shell/DriverKey.h"
#include "shell/Utilities.h"
#include "standings-news/SheetRows.h"
#include "ui/AssetCatalog.h"

namespace {

// The figures every line shows: points at the right, the position as an ordinal above the name.
void fillFigures(DriverCell& cell, const std::string& points, const std::string& position, const std::string& wins) {
    cell.position->setText(points);
    cell.fromGridPosition->setText(points == "1" ? "point" : "points");
    cell.status->setTextColor(gfx::Color::secondaryLabel());
    cell.status->setText(ordinalText(decimalInteger(position).value_or(0)));
    cell.fastestLap->setText(wins == "1" ? "1 win" : wins + " wins");
}

}  // namespace

int StandingsViewController::numberOfRows(ui::TableView&, int section) {
    if (section < 2) return 1;
    return listRows();
}

int StandingsViewController::entryCount() const {
    return static_cast<int>(eventType != 0 ? teamStandings.size() : driverStandings.size());
}

std::string StandingsViewController::listName() const {
    std::string name = eventType != 0 ? "The constructors' standings" : "The drivers' standings";
    // From the season sheet the list is after the race its header names: a list that could not be
    // loaded names it too ("... after the Saudi Arabian Grand Prix could not be loaded.").
    const AfterRace& after = fromSeasonRaces[eventType == 0 ? 0 : 1];
    if (fromSeason && !after.race.empty()) name += " after the " + after.race;
    return name;
}

std::optional<gfx::Color> StandingsViewController::themeColor() const {
    if (eventType == 0) return gfx::Color::systemPink();
    return ui::namedColor("dullPink");
}

void StandingsViewController::fillHeader(DetailHeaderCell& cell) {
    if (!fromSeason) {
        fillRaceHeader(cell);
        return;
    }
    cell.time->setText("Previous Race");
    const AfterRace& after = fromSeasonRaces[eventType == 0 ? 0 : 1];
    cell.race->setText(after.race);
    cell.circuit->setText(after.circuit);
    cell.location->setText(after.location);
}

void StandingsViewController::fillEntry(DriverCell& cell, int row) {
    if (eventType == 0) {
        if (row >= 0 && row < static_cast<int>(driverStandings.size())) fillDriver(cell, driverStandings[row]);
    } else if (row >= 0 && row < static_cast<int>(teamStandings.size())) {
        fillTeam(cell, teamStandings[row]);
    }
}

void StandingsViewController::fillDriver(DriverCell& cell, const DriverStandingsModel& line) const {
    fillFigures(cell, line.points, line.position, line.wins);
    std::string name = line.driver.givenName + " " + line.driver.familyName;
    showHeadshot(cell, driverKey(line.driver.givenName, line.driver.familyName));
    cell.driver->setText(foundation::folding(name, foundation::FoldingOptions::diacriticInsensitive));
    cell.constructor->setText(line.constructors.empty() ? std::string() : line.constructors.front().name);
}

void StandingsViewController::fillTeam(DriverCell& cell, const ConstructorStandingsModel& line) const {
    fillFigures(cell, line.points, line.position, line.wins);
    showTeamImage(cell, line.constructors.name);
    cell.driverImage->setBackgroundColor(teamColor(line.constructors));
    cell.driver->setText(line.constructors.name);
    cell.constructor->setText(line.constructors.nationality);
}

gfx::Color StandingsViewController::teamColor(const ConstructorsDetailsModel& constructor) const {
    auto colourOf = [&](const std::string& key) -> std::optional<gfx::Color> {
        auto found = driverColDictionary.find(key);
        if (found == driverColDictionary.end()) return std::nullopt;
        return Utilities::hexStringToUIColor("#" + found->second);
    };
    std::string teamKey = foundation::lowercased(
        foundation::folding(constructor.name, foundation::FoldingOptions::diacriticInsensitive));
    if (auto colour = colourOf(teamKey)) return *colour;
    for (const auto& line : driverStandings) {
        if (line.constructors.empty()) continue;
        // A driver who changed teams in the season drives for the last one listed.
        const ConstructorsDetailsModel& team = line.constructors.back();
        bool sameTeam = constructor.constructorId.empty() ? team.name == constructor.name
                                                           : team.constructorId == constructor.constructorId;
        if (!sameTeam) continue;
        if (auto colour = colourOf(driverKey(line.driver.givenName, line.driver.familyName))) return *colour;
    }
    if (auto image = teamImageName(constructor.name)) {
        if (auto colour = ui::namedColor(*image)) return *colour;
    }
    return gfx::Color::gray();
}
