#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/Client.h"
#include "data/RaceModels.h"
#include "foundation/Date.h"
#include "gfx/Color.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"
#include "ui/ViewController.h"

class DetailHeaderCell;
class LapPickerCell;

// What the laps, tyres, team-radio and messages sheets share: the race handed over, the race-day gate,
// the header card, the title row and the driver on a row. Each sheet is a view controller with one
// table (two for the laps sheet) of three sections: header, title row, items. Main thread.
class RaceSheet : public ui::ViewController, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    // Driver key (folded, lower-cased "first last") to a text: headshot address, team colour or number.
    using DriverDictionary = std::map<std::string, std::string>;

    // The weekend's race: the presenters hand exactly one; with none the header is empty.
    std::vector<RacesDetailsModel> races;
    // The race day (its date at local midnight), set when the view loads; the sprint's day while the
    // sprint has begun and the race has not; the current moment when the date does not read.
    foundation::Date date = foundation::Date::now();
    // Why the list could not be loaded, when it could not: the state row then says so, never that
    // nothing was recorded.
    std::optional<LoadFailure> itemsFailure;

    void viewDidLoad() override;

    // Before the race day only the header shows.
    bool raceDayIsAhead() const { return date > foundation::Date::now(); }

    int numberOfSections(ui::TableView&) override { return 3; }
    int numberOfRows(ui::TableView& table, int section) override;
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override { return ui::TableView::automaticDimension; }
    void didSelectRow(ui::TableView& table, ui::IndexPath indexPath) override { table.deselectRow(indexPath, true); }

    // "Started at 16:00, on 05 Mar" ("Starting at " while the race day is ahead); the start is the
    // race's start instant in local time (the sprint's while it is the session under way), or the
    // current time when it does not read.
    std::string headerTimeText() const;

protected:
    // The rows of section 2 once the race day has come.
    virtual int numberOfItems(ui::TableView& table) = 0;
    // What the state row says in place of an empty list: "No pit stops were recorded."
    virtual std::string emptyListText(ui::TableView&) const { return "Nothing was recorded."; }
    // The list, as the state row names it when it could not be loaded: "The pit stops".
    virtual std::string listName(ui::TableView&) const { return "The list"; }
    // The state row that stands for an empty list in section 2.
    std::shared_ptr<ui::TableViewCell> emptyListRow(ui::TableView& table, ui::IndexPath indexPath);

    // The first race, or none.
    const RacesDetailsModel* race() const { return races.empty() ? nullptr : &races.front(); }

    // Registers the header and title cells plus the sheet's own, and styles and adds the table.
    void setUpTable(ui::TableView& table);
    std::shared_ptr<ui::TableViewCell> headerRow(ui::TableView& table, ui::IndexPath indexPath, gfx::Color background);
    // The title row: a caption alone (no lap button, no second caption).
    std::shared_ptr<ui::TableViewCell> titleRow(ui::TableView& table, ui::IndexPath indexPath, const std::string& caption,
                                                gfx::Color background);
    // Zero inset, clear selection, the given background: the header and title rows.
    static void styleCardRow(ui::TableViewCell& cell, std::optional<gfx::Color> background);
    // The selection and background of an item row.
    static void styleItemRow(ui::TableViewCell& cell);
};

// A driver as a row shows them: the name shown and the key under which the dictionaries file them.
struct RowDriver {
    std::string name;
    std::string lookupKey;
};

// Shows the driver's headshot and team colour on `picture` and the name on `label`. Without a driver
// the row is cleared (no picture, gray, no name), so a reused cell never keeps the driver it showed.
void showDriver(const std::optional<RowDriver>& driver, const RaceSheet::DriverDictionary& images,
                const RaceSheet::DriverDictionary& colours, const std::shared_ptr<ui::ImageView>& picture,
                ui::Label& label);

// The driver filed under the racing number in `numbers`: the key capitalised as the name.
std::optional<RowDriver> driverForNumber(std::string_view racingNumber, const RaceSheet::DriverDictionary& numbers);

// The key of a driver the results API names by identifier ("max_verstappen", "perez", "de_vries"):
// the key that is the identifier read as words, else the one whose last name it is. None when no
// key or more than one key fits.
std::optional<std::string> driverKeyForIdentifier(std::string_view driverId, const RaceSheet::DriverDictionary& dictionary);

// The folded, lower-cased form the dictionaries are keyed by.
std::string lookupKey(std::string_view name);
