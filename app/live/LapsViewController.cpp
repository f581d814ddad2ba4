#include "live/LapsViewController.h"

#include <algorithm>
#include <numbers>

#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/LapPickerCell.h"
#include "data/ResultsEndpoints.h"
#include "dispatch/Queue.h"
#include "data/Decoding.h"
#include "foundation/JSONDecoder.h"
#include "foundation/NumberFormatter.h"
#include "foundation/NumberText.h"
#include "foundation/Print.h"
#include "foundation/Strings.h"
#include "gfx/Font.h"
#include "gfx/SymbolImages.h"
#include "ui/AssetCatalog.h"

namespace {

int integerOr(const std::string& text, int fallback) {
    auto value = foundation::parseInt(text);
    if (!value || *value > INT32_MAX || *value < INT32_MIN) return fallback;
    return static_cast<int>(*value);
}

std::optional<gfx::Color> headerColour(bool pitStops) {
    if (pitStops) return gfx::Color::systemOrange();
    return ui::namedColor("dirtyBrown");
}

}  // namespace

void LapsViewController::viewDidLoad() {
    RaceSheet::viewDidLoad();
    for (std::size_t index = 0; index < tableView.size(); ++index) {
        auto& table = tableView[index];
        table->registerClass<DriverCell>(DriverCell::reuseIdentifier);
        bool visible = (index == 1) == showsPitStops();
        table->setAlpha(visible ? 1 : 0);
        setUpTable(*table);
        view()->addSubview(table);
    }
    // The presenter hands lap 1's timings but may ask for another lap (the last one run).
    if (!showsPitStops() && currentLap != shownLap) {
        auto self = std::static_pointer_cast<LapsViewController>(shared_from_this());
        dispatch::spawn(dispatch::Queue::main(), [self]() -> dispatch::Task<void> { co_await self->loadSelectedLap(); });
    }
}

void LapsViewController::viewDidLayoutSubviews() {
    RaceSheet::viewDidLayoutSubviews();
    for (auto& table : tableView) table->setFrame({0, 0, view()->bounds().width(), view()->bounds().height()});
}

void LapsViewController::viewDidAppear(bool animated) {
    RaceSheet::viewDidAppear(animated);
    const auto& table = visibleTable();
    auto header = std::dynamic_pointer_cast<DetailHeaderCell>(table->cellForRow({0, 0}));
    if (!header) return;
    double width = header->bounds().width();
    double height = header->bounds().height();
    bool pitStops = showsPitStops();
    // The picture starts beyond the card's right edge and springs into its lower right corner; the
    // tyre turns a further quarter each time.
    imageView->setFrame({width + 50, height - 80 + 2, pitStops ? 80.0 : 360.0, 80});
    imageView->setImage(ui::namedImage(pitStops ? "Tyre" : "RBCar"));
    table->addSubview(imageView);
    auto picture = imageView;
    ui::View::animateWithSpring(0.9, 0, 0.7, 0.8, {}, [picture, pitStops, width] {
        ui::Rect frame = picture->frame();
        if (pitStops) {
            picture->setFrame({{width - 80 - 20, frame.origin.y}, frame.size});
            picture->setTransform(picture->transform().rotatedBy(-std::numbers::pi / 2));
        } else {
            picture->setFrame({{width - 130 - 30, frame.origin.y}, frame.size});
        }
    }, [](bool) {});
}

std::shared_ptr<ui::TableViewCell> LapsViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    bool pitStops = showsPitStops();
    if (indexPath.section == 0) {
        auto cell = headerRow(table, indexPath, gfx::Color::clear());
        if (cell) styleCardRow(*cell, headerColour(pitStops));
        return cell;
    }
    if (indexPath.section == 1) {
        auto cell = table.dequeueReusableCell<LapPickerCell>(LapPickerCell::reuseIdentifier, indexPath);
        if (!cell) return cell;
        fillPicker(*cell);
        auto background = headerColour(pitStops);
        styleCardRow(*cell, background ? std::optional(background->withAlphaComponent(0.75)) : std::nullopt);
        return cell;
    }

    if (numberOfItems(table) == 0) return emptyListRow(table, indexPath);
    auto cell = table.dequeueReusableCell<DriverCell>(DriverCell::reuseIdentifier, indexPath);
    if (!cell || indexPath.row < 0 || indexPath.row >= numberOfItems(table)) return cell;
    if (pitStops) {
        const PitStopsModel& stop = pitStopsResults[indexPath.row];
        showDriver(driverFor(stop.driverId), driverImageDictionary, driverColDictionary, cell->driverImage, *cell->driver);
        cell->position->setText("Lap " + stop.lap);
        cell->fromGridPosition->setText("Stop " + stop.stop);
        cell->fastestLap->setText("At " + stop.time);
        // Every stop as quick as the quickest is marked, not only the first.
        bool fastest = !fastestPitStop.empty() && stop.duration == fastestPitStop.front().duration;
        cell->constructor->setText(fastest ? stop.duration + " - Fastest" : stop.duration);
        cell->constructor->setTextColor(fastest ? gfx::Color::systemOrange() : gfx::Color::secondaryLabel());
    } else {
        const LapTimingsModel& timing = lapsResults[indexPath.row];
        showDriver(driverFor(timing.driverId), driverImageDictionary, driverColDictionary, cell->driverImage, *cell->driver);
        foundation::NumberFormatter ordinal;
        ordinal.setNumberStyle(foundation::NumberFormatter::Style::ordinal);
        cell->position->setText(ordinal.string(integerOr(timing.position, 0)).value_or(""));
        cell->constructor->setText(timing.time);
    }
    cell->setSeparatorInset({});
    styleItemRow(*cell);
    return cell;
}

void LapsViewController::fillPicker(LapPickerCell& cell) {
    if (showsPitStops()) {
        cell.event->setText("Pit Stop Times");
        cell.lap->setHidden(true);
        cell.title->setHidden(true);
        return;
    }
    cell.event->setText("Lap");
    cell.lap->setHidden(false);
    cell.title->setHidden(false);
    cell.title->setText("Times");

    std::string lap = std::to_string(shownLap);
    cell.lap->setTitle(lap, ui::ControlState::normal);
    gfx::TextAttributes attributes;
    attributes.font = gfx::Font::systemFont(gfx::Font::preferredFont(gfx::TextStyle::title2).pointSize() - 2,
                                            gfx::FontWeight::semibold);
    attributes.foregroundColor = gfx::Color::white();
    gfx::AttributedString title(lap + " ", attributes);
    double chevronSize = gfx::Font::preferredFont(gfx::TextStyle::body).pointSize() - 4;
    auto attachment = std::make_shared<gfx::TextAttachment>();
    if (auto chevron = gfx::symbolImage("chevron.down", {chevronSize, gfx::FontWeight::bold},
                                        gfx::Color::white().withAlphaComponent(0.3), 2)) {
        attachment->image = std::move(chevron->bitmap);
        attachment->imageScale = chevron->scale;
    }
    title.appendAttachment(std::move(attachment));
    cell.lap->setAttributedTitle(std::move(title), ui::ControlState::normal);

    auto menu = std::make_shared<ui::Menu>();
    auto weak = std::weak_ptr<LapsViewController>(std::static_pointer_cast<LapsViewController>(shared_from_this()));
    for (int number = 1; number <= menuLapCount(); ++number) {
        ui::MenuAction action;
        action.title = std::to_string(number);
        action.state = number == shownLap ? ui::MenuElementState::on : ui::MenuElementState::off;
        action.handler = [weak](const ui::MenuAction& picked) {
            if (auto self = weak.lock()) self->chooseLap(integerOr(picked.title, 1));
        };
        menu->children.push_back(std::move(action));
    }
    cell.lap->setMenu(std::move(menu));
    cell.lap->setShowsMenuAsPrimaryAction(true);
}

std::string LapsViewController::listName(ui::TableView&) const {
    return showsPitStops() ? "The pit stops" : "The times of lap " + std::to_string(shownLap);
}

std::string LapsViewController::emptyListText(ui::TableView&) const {
    if (showsPitStops()) return "No pit stops were recorded.";
    return "No lap times were recorded for lap " + std::to_string(shownLap) + ".";
}

int LapsViewController::menuLapCount() const {
    // The live screen hands "0" before any lap is timed; the menu still offers the first lap.
    return std::clamp(integerOr(lapCount, 1), 1, mostLaps);
}

void LapsViewController::chooseLap(int lap) {
    currentLap = lap;
    auto self = std::static_pointer_cast<LapsViewController>(shared_from_this());
    dispatch::spawn(dispatch::Queue::main(), [self]() -> dispatch::Task<void> { co_await self->loadSelectedLap(true); });
}

dispatch::Task<void> LapsViewController::loadSelectedLap(bool picked) {
    int lap = currentLap;
    auto body = co_await LapTimes::lap(integerOr(year, 0), raceRound, lap);
    // A lap chosen since this one was asked for decides what shows, whichever answer comes last.
    if (lap != currentLap) co_return;
    std::optional<LoadFailure> failure;
    auto decoded = co_await decodeLoadedNoting<RaceModel>(std::move(body), failure);
    if (lap != currentLap || (!decoded && !picked)) co_return;
    const auto* answered = decoded && !decoded->data.raceTable.races.empty() ? &decoded->data.raceTable.races.front() : nullptr;
    if (answered && answered->laps && !answered->laps->empty()) lapsResults = answered->laps->front().timings;
    else if (picked) lapsResults.clear();
    else co_return;
    // A picked lap that could not be loaded is shown as such, never as the lap shown before.
    itemsFailure = failure;
    shownLap = lap;
    tableView[0]->reloadData();
}

std::optional<RowDriver> LapsViewController::driverFor(const std::string& driverId) const {
    for (const auto& result : raceResults) {
        if (result.driver.driverId != driverId) continue;
        std::string name = result.driver.givenName + " " + result.driver.familyName;
        return RowDriver{name, lookupKey(name)};
    }
    for (const DriverDictionary* dictionary : {&driverImageDictionary, &driverNumDictionary, &driverColDictionary}) {
        if (auto key = driverKeyForIdentifier(driverId, *dictionary)) return RowDriver{foundation::capitalized(*key), lookupKey(*key)};
    }
    return std::nullopt;
}
