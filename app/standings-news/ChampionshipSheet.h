#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "data/Client.h"
#include "data/RaceModels.h"
#include "data/ResultModels.h"
#include "foundation/Date.h"
#include "gfx/Color.h"
#include "ui/TableView.h"
#include "ui/ViewController.h"

// What the standings and predictions sheets share: two tables laid over each other (the one the
// presenter's `eventType` picks is visible), each with a header row, a Driver/Team picker row and one
// row per driver or team. The presenter hands in every piece of data before presenting; the menu
// changes `eventType` and reloads both tables. Main thread.
class ChampionshipSheet : public ui::ViewController, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    using Dictionary = std::map<std::string, std::string>;

    // Where a driver without a headshot entry points: a web page, not an image.
    static constexpr const char* fallbackHeadshotAddress = "https://www.formula1.com/";

    std::vector<RacesDetailsModel> races;  // the race of the header; only the first is read
    std::vector<RaceResultsModel> raceResults;
    Dictionary driverImageDictionary;  // driver key to headshot address
    Dictionary driverColDictionary;    // driver key to team colour, six hex digits without "#"
    std::string year;
    int raceRound = 1;
    int eventType = 0;  // 0 drivers, any other value teams
    int currentLap = 1;
    std::string lapCount;
    foundation::Date date = foundation::Date::now();  // the race day, set when the view loads
    // The lists the presenter could not load, by choice (0 drivers, 1 teams): an empty list shows one
    // state row, saying it could not be loaded or that there is nothing in it.
    std::array<std::optional<LoadFailure>, 2> couldNotLoad{};
    std::vector<std::shared_ptr<ui::TableView>> tableView{std::make_shared<ui::TableView>(),
                                                          std::make_shared<ui::TableView>()};

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    int numberOfSections(ui::TableView&) override { return 3; }
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override;
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath indexPath) override;
    // The arrows stop on the list's entries only, not on the header, the picker or a state row.
    bool canFocusRow(ui::TableView&, ui::IndexPath indexPath) override { return indexPath.section == 2 && entryCount() > 0; }

    // The menu's action: shows the drivers (0) or the teams (1) in both tables.
    void selectEventType(int index);

protected:
    // Whether the view's loading reads the first race's day into `date`.
    virtual bool readsRaceDay() const { return true; }
    virtual void fillHeader(DetailHeaderCell& cell);
    // A line under the header's place saying what the list lacks; none when empty.
    virtual std::string headerNote() const { return {}; }
    // The caption beside the picker: "Standings", "Predictions".
    virtual std::string pickerCaption() const = 0;
    // The header's colour; the picker row shows it at 0.75 alpha. None leaves both without one.
    virtual std::optional<gfx::Color> themeColor() const = 0;
    virtual void fillEntry(DriverCell& cell, int row) = 0;
    // The rows of the list the sheet shows now.
    virtual int entryCount() const = 0;
    // The rows of section 2: the list's, or the one state row when the list is missing.
    int listRows() const;
    // What the state row names: "The drivers' standings".
    virtual std::string listName() const = 0;
    // What the state row says when the list was read but holds nobody.
    virtual std::string emptyListText() const = 0;

    const RacesDetailsModel* firstRace() const { return races.empty() ? nullptr : &races.front(); }
    // The race's name, circuit and place, and its start line; all empty without a race.
    void fillRaceHeader(DetailHeaderCell& cell) const;
    // Headshot and its colour for a driver key: the address (or the fallback) through the image seam,
    // the team colour behind it (gray without one).
    void showHeadshot(DriverCell& cell, const std::string& key) const;
    // A team's picture from the catalogue on a round picture view; a headshot still loading for a
    // reused row is stopped first, and a name without a picture leaves the view empty.
    static void showTeamImage(DriverCell& cell, const std::string& teamName);

private:
    void setUpTableView(const std::shared_ptr<ui::TableView>& table, bool visible);
    std::shared_ptr<ui::TableViewCell> pickerCell(ui::TableView& table, ui::IndexPath indexPath);
};
