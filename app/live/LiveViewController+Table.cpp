#include <algorithm>
#include <cmath>

#include "cells/CircuitDetailsCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/StateCell.h"
#include "cells/LapPickerCell.h"
#include "cells/RaceBreakdownCell.h"
#include "cells/RaceMessagesCell.h"
#include "cells/VoteCell.h"
#include "cells/WeatherOverviewCell.h"
#include "cells/WeekendCell.h"
#include "data/GlobalStruct.h"
#include "foundation/NumberText.h"
#include "foundation/Strings.h"
#include "foundation/URL.h"
#include "gfx/Font.h"
#include "live/LiveViewController.h"
#include "live/RaceSheet.h"
#include "shell/ImageSeam.h"
#include "shell/Utilities.h"
#include "standings-news/SheetRows.h"
#include "weekend/DetailCards.h"

namespace {

constexpr const char* notAvailable = "not available";

double bodySize() { return gfx::Font::preferredFont(gfx::TextStyle::body).pointSize(); }

// Whether a weather document read holds any reading at all: one with every reading empty holds none.
bool holdsReadings(const livetiming::WeatherModel& weather) {
    return !(weather.airTemp.empty() && weather.humidity.empty() && weather.pressure.empty() && weather.rainfall.empty() &&
             weather.trackTemp.empty() && weather.windDirection.empty() && weather.windSpeed.empty());
}

// A coloured header row: no separator inset, no selection colour.
void styleHeader(ui::TableViewCell& cell, gfx::Color background) { styleRow(cell, background, gfx::Color::clear()); }

}  // namespace

bool LiveViewController::sessionNotRecorded() const {
    if (!GlobalStruct::offlineSeasons() || path.empty()) return false;
    return std::ranges::find(GlobalStruct::offlineReplayedSessions(), path) == GlobalStruct::offlineReplayedSessions().end();
}

int LiveViewController::numberOfRows(ui::TableView&, int section) {
    if (section == 1) return sessionNotRecorded() ? 2 : 1;
    if (section == driverSection) return showsTimingState() ? 1 : static_cast<int>(raceResults.size());
    if (section == weekendSection) return 6;
    return 1;
}

std::shared_ptr<ui::TableViewCell> LiveViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    const RacesDetailsModel* race = races.empty() ? nullptr : &races.front();
    switch (indexPath.section) {
        case 0: {
            auto cell = table.dequeueReusableCell<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->time->setText("Round " + std::to_string(raceRound));
            cell->race->setText(race ? race->raceName : "");
            cell->circuit->setText(race ? race->circuit.circuitName : "");
            cell->location->setText(race ? race->circuit.location.locality + ", " + race->circuit.location.country : "");
            styleHeader(*cell, gfx::Color::systemRed());
            return cell;
        }
        case 1: {
            if (indexPath.row > 0) {
                auto state = stateRow(table, indexPath);
                if (state) state->showGap("Live timing", notRecordedOfflineText);
                return state;
            }
            auto cell = table.dequeueReusableCell<LapPickerCell>(LapPickerCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            std::string title = raceResults.empty()
                                    ? "LIVE Standings"
                                    : "LIVE Standings (Lap " + std::to_string(raceResults.front().numberOfLaps.value_or(0)) + ")";
            // While reads fail the order shown is the last one read.
            cell->event->setText(timingStale ? title + " - not updating" : title);
            // The mark must read whole, not be cut to "- n...".
            cell->event->setAdjustsFontSizeToFitWidth(true);
            cell->event->setMinimumScaleFactor(0.5);
            cell->lap->setHidden(true);
            cell->title->setHidden(true);
            styleHeader(*cell, gfx::Color::systemRed().withAlphaComponent(0.75));
            return cell;
        }
        case driverSection: {
            if (showsTimingState()) {
                auto state = table.dequeueReusableCell<StateCell>(StateCell::reuseIdentifier, indexPath);
                if (!state) return state;
                if (timingCouldNotLoad) state->showCouldNotLoad("The live timing", timingFailure);
                else if (timingListsNoDriver) state->showEmpty("The live timing lists no driver yet.");
                else if (awaitsSession()) state->showLoading("the live timing's session list");
                else state->showLoading("the live timing");
                return state;
            }
            auto cell = table.dequeueReusableCell<DriverCell>(DriverCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            if (indexPath.row >= 0 && indexPath.row < static_cast<int>(raceResults.size())) fillDriver(*cell, indexPath.row);
            styleCard(*cell);
            return cell;
        }
        case 3: {
            auto cell = table.dequeueReusableCell<CircuitDetailsCell>(CircuitDetailsCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            fillCircuit(*cell);
            styleCard(*cell);
            return cell;
        }
        case weekendSection: {
            if (indexPath.row == 0) {
                auto cell = table.dequeueReusableCell<WeekendHeaderCell>(WeekendHeaderCell::reuseIdentifier, indexPath);
                if (!cell) return cell;
                fillWeekendHeader(*cell, race ? race->raceName : std::string());
                styleCard(*cell, false);
                return cell;
            }
            auto cell = table.dequeueReusableCell<WeekendCell>(WeekendCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            std::size_t entry = static_cast<std::size_t>(indexPath.row - 1);
            if (entry < weekendStructure.size()) fillWeekendRow(*cell, weekendStructure[entry]);
            styleCard(*cell, indexPath.row >= 5);
            return cell;
        }
        case weatherSection: {
            if (weather.empty() || !holdsReadings(weather.front())) {
                auto state = stateRow(table, indexPath);
                if (!state) return state;
                // Told as the other cards tell theirs: a gap as a gap, a failure with its cause, and no
                // readings only when the document read holds none.
                if (!weather.empty()) state->showGap("Weather", "No readings yet.");
                else if (weatherCouldNotLoad) state->showCouldNotLoad("The weather", weatherCouldNotLoad);
                else state->showLoading("the weather");
                return state;
            }
            auto cell = table.dequeueReusableCell<WeatherOverviewCell>(WeatherOverviewCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            fillWeatherCard(*cell, "Current track weather conditions", weather.front(), weatherSelected, rotationAnimationKey);
            styleCard(*cell, false);
            return cell;
        }
        default: {
            auto cell = cardRow(table, indexPath);
            if (cell) styleCard(*cell);
            return cell;
        }
    }
}

std::shared_ptr<ui::TableViewCell> LiveViewController::cardRow(ui::TableView& table, ui::IndexPath indexPath) {
    int tag = indexPath.row;
    if (indexPath.section == 4) {
        auto cell = table.dequeueReusableCell<RaceBreakdownCell>(RaceBreakdownCell::reuseIdentifier, indexPath);
        if (!cell) return cell;
        cell->infoTitle->setText("Race Breakdown");
        cell->infoDescription->setText("Current lap times, pit stop times, and tyres");
        wire(*cell->lap, tag, "Laps", &LiveViewController::lapsBreakdownTap);
        wire(*cell->pitStop, tag, "Pit Stops", &LiveViewController::pitStopsBreakdownTap);
        wire(*cell->tyres, tag, "Tyres and Compounds", &LiveViewController::tyresTap);
        return cell;
    }
    if (indexPath.section == 5) {
        auto cell = table.dequeueReusableCell<RaceMessagesCell>(RaceMessagesCell::reuseIdentifier, indexPath);
        if (!cell) return cell;
        cell->infoTitle->setText("Sorvane");
        cell->infoDescription->setText("Listen in to developing race control messages and audio");
        wire(*cell->messages, tag, "Messages", &LiveViewController::raceMessagesTap);
        wire(*cell->audio, tag, "Radio", &LiveViewController::raceRadioTap);
        return cell;
    }
    auto cell = table.dequeueReusableCell<VoteCell>(VoteCell::reuseIdentifier, indexPath);
    if (!cell) return cell;
    cell->infoTitle->setText("Driver of the Day");
    cell->infoDescription->setText(voteFailure.value_or("Vote for who you think should be the driver of the day"));
    cell->vote->setTag(tag);
    cell->vote->setTitle("Vote Now", ui::ControlState::normal);
    // A reused card is wired again: its earlier actions go first, so one tap is one action.
    cell->vote->removeAllActions();
    std::weak_ptr<LiveViewController> weak = std::static_pointer_cast<LiveViewController>(shared_from_this());
    cell->vote->addAction([weak](ui::Control&) {
        if (auto self = weak.lock()) self->voteTapped();
    }, ui::ControlEvent::touchUpInside);
    return cell;
}

void LiveViewController::wire(ui::Button& button, int tag, const std::string& title,
                              void (LiveViewController::*action)(ui::Button&)) {
    button.setTag(tag);
    button.setTitle(title, ui::ControlState::normal);
    button.removeAllActions();
    std::weak_ptr<LiveViewController> weak = std::static_pointer_cast<LiveViewController>(shared_from_this());
    button.addAction([weak, action](ui::Control& sender) {
        auto self = weak.lock();
        auto* tapped = dynamic_cast<ui::Button*>(&sender);
        if (self && tapped) ((*self).*action)(*tapped);
    }, ui::ControlEvent::touchUpInside);
}

void LiveViewController::fillDriver(DriverCell& cell, int row) {
    const livetiming::RaceLineModel& line = raceResults[row];
    if (auto key = firstKey(line.racingNumber, driverNumDictionary)) {
        std::string folded = lookupKey(*key);
        auto image = driverImageDictionary.find(folded);
        // No address, no request: a reused row never keeps the previous driver's picture.
        cell.driverImage->setImage(nullptr);
        if (image != driverImageDictionary.end() && !image->second.empty()) setRemoteImage(cell.driverImage, image->second);
        else cancelRemoteImage(cell.driverImage);
        auto colour = driverColDictionary.find(folded);
        cell.driverImage->setBackgroundColor(
            Utilities::hexStringToUIColor("#" + (colour == driverColDictionary.end() ? std::string() : colour->second)));
        cell.driver->setText(foundation::capitalized(*key));
    } else {
        cancelRemoteImage(cell.driverImage);
        cell.driverImage->setImage(nullptr);
        cell.driverImage->setBackgroundColor(Utilities::hexStringToUIColor("#"));
        cell.driver->setText("");
    }
    cell.position->setTextColor(gfx::Color::label());
    cell.position->setText(ordinalText(decimalInteger(line.position).value_or(0)));
    if (line.retired) {
        cell.fromGridPosition->setTextColor(gfx::Color::systemRed());
        cell.fromGridPosition->setText("DNF");
    } else {
        cell.fromGridPosition->setTextColor(gfx::Color::secondaryLabel());
        cell.fromGridPosition->setText("Lap " + std::to_string(line.numberOfLaps.value_or(0)));
    }
    double size = bodySize() - 4;
    if (row == 0) {
        cell.status->setFont(gfx::Font::systemFont(size, gfx::FontWeight::semibold));
        cell.status->setText("Race Leader");
        cell.status->setTextColor(gfx::Color::systemGreen());
    } else {
        cell.status->setFont(gfx::Font::systemFont(size, gfx::FontWeight::regular));
        // A retired car's interval is the laps it stopped short ("15L"), not a gap in the race; a feed
        // (or a replay derived without gaps) that carries no interval says so.
        const auto& interval = line.intervalToPositionAhead;
        if (line.retired) cell.status->setText("");
        else if (interval && interval->value && !interval->value->empty()) cell.status->setText(*interval->value);
        else cell.status->setText("Interval " + std::string(notAvailable));
        cell.status->setTextColor(gfx::Color::secondaryLabel());
    }
    bool expanded = std::find(selectedRows.begin(), selectedRows.end(), row) != selectedRows.end();
    // A car that has run laps without a lap time shown: the time was not recorded, not never set.
    bool lapped = line.numberOfLaps.value_or(0) > 0;
    // An empty value (the feed's state before the start) is as absent as a missing one.
    const auto& lastLap = line.lastLapTime.value;
    if (!expanded) {
        if (lastLap && !lastLap->empty()) cell.constructor->setText("Last lap: " + *lastLap);
        else cell.constructor->setText(lapped ? "Last lap: " + std::string(notAvailable) : "No laps yet");
    } else if (line.bestLapTime.lap && line.bestLapTime.value && !line.bestLapTime.value->empty()) {
        cell.constructor->setText("Fastest lap: " + std::to_string(*line.bestLapTime.lap) + " - " +
                                  line.bestLapTime.value.value_or(""));
    } else {
        cell.constructor->setText(lapped ? "Fastest lap: " + std::string(notAvailable) : "No fastest lap");
    }
    // A retired car sits in the pit lane for good: it is not "currently pitting".
    long long stops = line.numberOfPitStops.value_or(0);
    cell.fastestLap->setText(std::to_string(stops) + (stops == 1 ? " pit stop" : " pit stops") +
                             (line.inPit && !line.retired ? " - Currently pitting" : ""));
}

const circuitDetailsOverviewModel* LiveViewController::circuitFacts() const {
    return races.empty() ? nullptr : circuitFactsFor(allCircuits, races.front().circuit);
}

void LiveViewController::fillCircuit(CircuitDetailsCell& cell) {
    fillCircuitTitles(cell);
    const circuitDetailsOverviewModel* facts = circuitFacts();
    fillCircuitFigures(cell, facts, "1");
    std::string map = circuitMapURL(facts ? facts->name : std::string());
    if (foundation::URL::fromString(map)) setRemoteImage(cell.circuitImage, map);
    gfx::AttributedString recordTitle = symbolTitle("clock", " Fastest lap set by " + (facts ? facts->record.driver : std::string()) +
                                                               " (" + (facts ? facts->record.year : std::string()) + ")");
    cell.recordTitle->setAttributedText(std::move(recordTitle));
    cell.record->setText(facts ? facts->record.time : "");
}

void LiveViewController::didSelectRow(ui::TableView& table, ui::IndexPath indexPath) {
    table.deselectRow(indexPath, true);
    if (indexPath.section == driverSection && !showsTimingState()) {
        auto found = std::find(selectedRows.begin(), selectedRows.end(), indexPath.row);
        if (found != selectedRows.end()) std::erase(selectedRows, indexPath.row);
        else selectedRows.push_back(indexPath.row);
        table.reloadData();
    } else if (indexPath.section == weekendSection) {
        weatherSelected = !weatherSelected;
        table.reloadData();
    }
}
