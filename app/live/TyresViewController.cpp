#include "live/TyresViewController.h"

#include <iterator>

#include "cells/TyresCell.h"

void TyresViewController::viewDidLoad() {
    RaceSheet::viewDidLoad();
    tableView->registerClass<TyresCell>(TyresCell::reuseIdentifier);
    setUpTable(*tableView);
    view()->addSubview(tableView);
}

void TyresViewController::viewDidLayoutSubviews() {
    RaceSheet::viewDidLayoutSubviews();
    tableView->setFrame({0, 0, view()->bounds().width(), view()->bounds().height()});
}

std::shared_ptr<ui::TableViewCell> TyresViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    if (indexPath.section == 0) return headerRow(table, indexPath, gfx::Color::systemPurple());
    if (indexPath.section == 1) {
        return titleRow(table, indexPath, "Tyres and Compounds", gfx::Color::systemPurple().withAlphaComponent(0.75));
    }
    if (tyresResults.empty()) return emptyListRow(table, indexPath);
    // The map keeps its keys in text order, the order the rows take.
    if (indexPath.row < 0 || indexPath.row >= static_cast<int>(tyresResults.size())) return nullptr;
    auto entry = std::next(tyresResults.begin(), indexPath.row);
    auto cell = table.dequeueReusableCell<TyresCell>(TyresCell::reuseIdentifier, indexPath);
    if (!cell) return cell;
    showDriver(driverForNumber(entry->first, driverNumDictionary), driverImageDictionary, driverColDictionary,
               cell->driverImage, *cell->driver);
    // Replaces whatever rows the cell showed, so each driver shows their own stints once.
    cell->showStints(entry->second, totalLaps);
    styleItemRow(*cell);
    return cell;
}
