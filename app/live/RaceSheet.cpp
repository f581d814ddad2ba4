#include "live/RaceSheet.h"

#include <algorithm>

#include "cells/DetailHeaderCell.h"
#include "cells/LapPickerCell.h"
#include "cells/StateCell.h"
#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/Strings.h"
#include "shell/ImageSeam.h"
#include "shell/PosixFormatter.h"
#include "shell/RaceTiming.h"
#include "shell/Utilities.h"
#include "standings-news/SheetRows.h"
#include "weekend/WeekendSessions.h"

namespace {

// The sprint's start once it has begun while the race is still ahead: the session the weekend is in.
std::optional<foundation::Date> sprintUnderWay(const RacesDetailsModel& race, foundation::Date now) {
    if (!race.sprint || RaceTiming::startOrNow(race, now) <= now) return std::nullopt;
    auto start = weekend::scheduledStart(race.sprint->date, race.sprint->time);
    if (!start || *start > now) return std::nullopt;
    return start;
}

}  // namespace

void RaceSheet::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::systemBackground());
    auto now = foundation::Date::now();
    if (!race()) {
        date = now;
        return;
    }
    // A sprint under way opens the weekend's sheets on its own day, not the race's.
    const std::string& day = sprintUnderWay(*race(), now) ? *race()->sprint->date : race()->date;
    date = posixFormatter("yyyy-MM-dd").date(day).value_or(now);
}

int RaceSheet::numberOfRows(ui::TableView& table, int section) {
    if (section == 0) return 1;
    if (raceDayIsAhead()) return 0;
    if (section == 1) return 1;
    // An empty list shows one row saying so rather than nothing under its title.
    return std::max(1, numberOfItems(table));
}

std::shared_ptr<ui::TableViewCell> RaceSheet::emptyListRow(ui::TableView& table, ui::IndexPath indexPath) {
    auto cell = stateRow(table, indexPath);
    if (!cell) return cell;
    if (itemsFailure) cell->showCouldNotLoad(listName(table), itemsFailure);
    else cell->showEmpty(emptyListText(table));
    return cell;
}

std::string RaceSheet::headerTimeText() const {
    auto now = foundation::Date::now();
    // The start read with its own date, so a summer race shows the summer offset (the clock text alone
    // would land on a winter day).
    foundation::Date start = race() ? sprintUnderWay(*race(), now).value_or(RaceTiming::startOrNow(*race(), now)) : now;
    auto clock = posixFormatter("HH:mm");
    auto day = posixFormatter("dd");
    auto month = posixFormatter("LLL");
    return std::string(raceDayIsAhead() ? "Starting at " : "Started at ") + clock.string(start) + ", on " +
           day.string(date) + " " + month.string(date);
}

void RaceSheet::setUpTable(ui::TableView& table) {
    table.registerClass<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier);
    table.registerClass<LapPickerCell>(LapPickerCell::reuseIdentifier);
    table.registerClass<StateCell>(StateCell::reuseIdentifier);
    auto self = std::dynamic_pointer_cast<RaceSheet>(shared_from_this());
    setUpSheetTable(table, self, self);
}

std::shared_ptr<ui::TableViewCell> RaceSheet::headerRow(ui::TableView& table, ui::IndexPath indexPath, gfx::Color background) {
    auto cell = table.dequeueReusableCell<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier, indexPath);
    if (!cell) return cell;
    if (const RacesDetailsModel* shown = race()) {
        cell->race->setText(shown->raceName);
        cell->circuit->setText(shown->circuit.circuitName);
        cell->location->setText(shown->circuit.location.locality + ", " + shown->circuit.location.country);
    } else {
        cell->race->setText("");
        cell->circuit->setText("");
        cell->location->setText("");
    }
    cell->time->setText(headerTimeText());
    styleCardRow(*cell, background);
    return cell;
}

std::shared_ptr<ui::TableViewCell> RaceSheet::titleRow(ui::TableView& table, ui::IndexPath indexPath,
                                                       const std::string& caption, gfx::Color background) {
    auto cell = table.dequeueReusableCell<LapPickerCell>(LapPickerCell::reuseIdentifier, indexPath);
    if (!cell) return cell;
    cell->event->setText(caption);
    cell->lap->setHidden(true);
    cell->title->setHidden(true);
    styleCardRow(*cell, background);
    return cell;
}

void RaceSheet::styleCardRow(ui::TableViewCell& cell, std::optional<gfx::Color> background) {
    cell.setSeparatorInset({});
    auto selected = std::make_shared<ui::View>();
    selected->setBackgroundColor(gfx::Color::clear());
    cell.setSelectedBackgroundView(selected);
    if (background) cell.setBackgroundColor(*background);
}

void RaceSheet::styleItemRow(ui::TableViewCell& cell) {
    auto selected = std::make_shared<ui::View>();
    selected->setBackgroundColor(gfx::Color::systemBackground().withAlphaComponent(0.2));
    cell.setSelectedBackgroundView(selected);
    cell.setBackgroundColor(gfx::Color::systemBackground());
}

std::string lookupKey(std::string_view name) {
    return foundation::lowercased(foundation::folding(name, foundation::FoldingOptions::diacriticInsensitive));
}

void showDriver(const std::optional<RowDriver>& driver, const RaceSheet::DriverDictionary& images,
                const RaceSheet::DriverDictionary& colours, const std::shared_ptr<ui::ImageView>& picture,
                ui::Label& label) {
    // A reused row may still await the previous driver's headshot: it must never land here.
    if (!driver) {
        cancelRemoteImage(picture);
        picture->setImage(nullptr);
        picture->setBackgroundColor(Utilities::hexStringToUIColor("#"));
        label.setText("");
        return;
    }
    // A driver without a headshot address gets no request: the image library has nothing to load.
    picture->setImage(nullptr);
    if (auto image = images.find(driver->lookupKey); image != images.end() && !image->second.empty()) {
        setRemoteImage(picture, image->second);
    } else {
        cancelRemoteImage(picture);
    }
    auto colour = colours.find(driver->lookupKey);
    picture->setBackgroundColor(Utilities::hexStringToUIColor("#" + (colour == colours.end() ? std::string() : colour->second)));
    label.setText(driver->name);
}

std::optional<RowDriver> driverForNumber(std::string_view racingNumber, const RaceSheet::DriverDictionary& numbers) {
    auto key = firstKey(racingNumber, numbers);
    if (!key) return std::nullopt;
    return RowDriver{foundation::capitalized(*key), lookupKey(*key)};
}

std::optional<std::string> driverKeyForIdentifier(std::string_view driverId, const RaceSheet::DriverDictionary& dictionary) {
    if (driverId.empty()) return std::nullopt;
    std::string words = lookupKey(foundation::replacingOccurrences(driverId, "_", " "));
    std::optional<std::string> byLastName;
    int lastNameMatches = 0;
    for (const auto& [key, value] : dictionary) {
        std::string folded = lookupKey(key);
        if (folded == words) return key;
        if (folded.size() > words.size() && folded.ends_with(words) && folded[folded.size() - words.size() - 1] == ' ') {
            byLastName = key;
            ++lastNameMatches;
        }
    }
    if (lastNameMatches != 1) return std::nullopt;
    return byLastName;
}
