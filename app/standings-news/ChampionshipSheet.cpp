#include "standings-news/ChampionshipSheet.h"

#include <algorithm>

#include "cells/EventPickerCell.h"
#include "cells/StateCell.h"
#include "foundation/URL.h"
#include "shell/ImageSeam.h"
#include "shell/Utilities.h"
#include "standings-news/SheetRows.h"
#include "ui/AssetCatalog.h"

void ChampionshipSheet::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::systemBackground());
    if (readsRaceDay()) {
        auto now = foundation::Date::now();
        date = firstRace() ? raceDay(*firstRace(), now) : now;
    }
    for (std::size_t index = 0; index < tableView.size(); ++index) {
        setUpTableView(tableView[index], (eventType == 0) == (index == 0));
    }
}

void ChampionshipSheet::setUpTableView(const std::shared_ptr<ui::TableView>& tablePointer, bool visible) {
    ui::TableView& table = *tablePointer;
    table.registerClass<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier);
    table.registerClass<DetailHeaderCell>(DetailHeaderCell::noteReuseIdentifier);
    table.registerClass<EventPickerCell>(EventPickerCell::reuseIdentifier);
    table.registerClass<DriverCell>(DriverCell::reuseIdentifier);
    table.registerClass<StateCell>(StateCell::reuseIdentifier);
    table.setAlpha(visible ? 1.0 : 0.0);
    auto self = std::static_pointer_cast<ChampionshipSheet>(shared_from_this());
    setUpSheetTable(table, self, self);
    view()->addSubview(tablePointer);
}

void ChampionshipSheet::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    ui::Rect bounds = view()->bounds();
    for (const auto& table : tableView) table->setFrame({0, 0, bounds.size.width, bounds.size.height});
}

std::optional<double> ChampionshipSheet::heightForRow(ui::TableView&, ui::IndexPath) {
    return ui::TableView::automaticDimension;
}

void ChampionshipSheet::didSelectRow(ui::TableView& table, ui::IndexPath indexPath) { table.deselectRow(indexPath, true); }

void ChampionshipSheet::selectEventType(int index) {
    eventType = index;
    for (const auto& table : tableView) table->reloadData();
}

std::shared_ptr<ui::TableViewCell> ChampionshipSheet::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    if (indexPath.section == 0) {
        std::string note = headerNote();
        auto cell = table.dequeueReusableCell<DetailHeaderCell>(
            note.empty() ? DetailHeaderCell::reuseIdentifier : DetailHeaderCell::noteReuseIdentifier, indexPath);
        fillHeader(*cell);
        cell->note->setText(note);
        styleRow(*cell, themeColor(), gfx::Color::clear());
        return cell;
    }
    if (indexPath.section == 1) return pickerCell(table, indexPath);
    if (entryCount() == 0) {
        auto cell = stateRow(table, indexPath);
        if (!cell) return cell;
        if (const auto& failure = couldNotLoad[eventType == 0 ? 0 : 1]) cell->showCouldNotLoad(listName(), failure);
        else cell->showEmpty(emptyListText());
        return cell;
    }

    auto cell = table.dequeueReusableCell<DriverCell>(DriverCell::reuseIdentifier, indexPath);
    fillEntry(*cell, indexPath.row);
    styleRow(*cell, gfx::Color::systemBackground(), gfx::Color::systemBackground().withAlphaComponent(0.2));
    return cell;
}

std::shared_ptr<ui::TableViewCell> ChampionshipSheet::pickerCell(ui::TableView& table, ui::IndexPath indexPath) {
    auto cell = table.dequeueReusableCell<EventPickerCell>(EventPickerCell::reuseIdentifier, indexPath);
    cell->event->setAttributedTitle(pickerTitle(eventType == 0 ? "Driver" : "Team"), ui::ControlState::normal);
    auto weak = std::weak_ptr<ChampionshipSheet>(std::static_pointer_cast<ChampionshipSheet>(shared_from_this()));
    cell->event->setMenu(choiceMenu({"Driver", "Team"}, eventType == 0 ? 0 : 1, [weak](int index) {
        if (auto self = weak.lock()) self->selectEventType(index);
    }));
    cell->event->setShowsMenuAsPrimaryAction(true);
    cell->title->setText(pickerCaption());
    auto theme = themeColor();
    styleRow(*cell, theme ? std::optional(theme->withAlphaComponent(0.75)) : std::nullopt, gfx::Color::clear());
    return cell;
}

void ChampionshipSheet::fillHeader(DetailHeaderCell& cell) { fillRaceHeader(cell); }

int ChampionshipSheet::listRows() const {
    return std::max(1, entryCount());
}

void ChampionshipSheet::fillRaceHeader(DetailHeaderCell& cell) const {
    const RacesDetailsModel* race = firstRace();
    if (!race) {
        for (const auto& label : {cell.time, cell.race, cell.circuit, cell.location}) label->setText("");
        return;
    }
    cell.race->setText(race->raceName);
    cell.circuit->setText(race->circuit.circuitName);
    cell.location->setText(race->circuit.location.locality + ", " + race->circuit.location.country);
    cell.time->setText(raceStartText(*race, date, foundation::Date::now()));
}

void ChampionshipSheet::showHeadshot(DriverCell& cell, const std::string& key) const {
    auto address = driverImageDictionary.find(key);
    std::string url = address != driverImageDictionary.end() ? address->second : fallbackHeadshotAddress;
    if (foundation::URL::fromString(url)) {
        setRemoteImage(cell.driverImage, url);
    } else {
        // No request: the row must not keep, or later receive, another driver's picture.
        cancelRemoteImage(cell.driverImage);
        cell.driverImage->setImage(nullptr);
    }
    auto colour = driverColDictionary.find(key);
    cell.driverImage->setBackgroundColor(
        Utilities::hexStringToUIColor("#" + (colour != driverColDictionary.end() ? colour->second : std::string())));
}

void ChampionshipSheet::showTeamImage(DriverCell& cell, const std::string& teamName) {
    cancelRemoteImage(cell.driverImage);
    auto name = teamImageName(teamName);
    cell.driverImage->setImage(name ? ui::namedImage(*name) : nullptr);
}
