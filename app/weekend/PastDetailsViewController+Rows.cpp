#include <cmath>
#include <optional>

#include "cells/CircuitDetailsCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/DriverCell.h"
#include "cells/DriverOfTheDayCell.h"
#include "cells/EventPickerCell.h"
#include "cells/RaceBreakdownCell.h"
#include "cells/RaceMessagesCell.h"
#include "cells/RaceStandingsCell.h"
#include "cells/StateCell.h"
#include "cells/WeatherOverviewCell.h"
#include "cells/WeekendCell.h"
#include "foundation/NumberFormatter.h"
#include "foundation/NumberText.h"
#include "foundation/Strings.h"
#include "gfx/Font.h"
#include "shell/DriverKey.h"
#include "shell/ImageSeam.h"
#include "shell/Utilities.h"
#include "standings-news/SheetRows.h"
#include "ui/AssetCatalog.h"
#include "weekend/DetailCards.h"
#include "weekend/PastDetailsViewController.h"

namespace {

constexpr const char* rotationKey = "rotationanimationkey";

double bodySize() { return gfx::Font::preferredFont(gfx::TextStyle::body).pointSize(); }
double titleSize() { return gfx::Font::preferredFont(gfx::TextStyle::title2).pointSize(); }

std::string folded(std::string_view name) {
    return foundation::folding(name, foundation::FoldingOptions::diacriticInsensitive);
}

// "1st", "2nd"; nothing for a text that is not a whole number.
std::string ordinal(const std::string& text) {
    auto number = foundation::parseInt(text);
    if (!number) return {};
    foundation::NumberFormatter formatter;
    formatter.setNumberStyle(foundation::NumberFormatter::Style::ordinal);
    return formatter.string(static_cast<long long>(*number)).value_or("");
}

// A coloured header row: no separator inset, no selection colour.
void styleHeader(ui::TableViewCell& cell, gfx::Color background) { styleRow(cell, background, gfx::Color::clear()); }

// A finisher classified laps down: the results API says "Lapped" or "+2 Laps". It finished, so it
// reads how many laps it lost ("+1 Lap"), counted from the winner's laps where the status has no count.
std::optional<std::string> lapsDown(const RaceResultsModel& result, const RaceResultsModel& winner) {
    int count = 0;
    if (result.status == "Lapped") {
        auto own = decimalInteger(result.laps), winners = decimalInteger(winner.laps);
        if (!own || !winners || *winners <= *own) return "Lapped";
        count = static_cast<int>(*winners - *own);
    } else if (result.status.starts_with('+') && (result.status.ends_with(" Lap") || result.status.ends_with(" Laps"))) {
        return result.status;
    } else {
        return std::nullopt;
    }
    return "+" + std::to_string(count) + (count == 1 ? " Lap" : " Laps");
}

}  // namespace

std::string PastDetailsViewController::tabName(int tab) const {
    switch (tab) {
        case 0: return "Race";
        case 1: return "Qualifying";
        case 2: return isASprintWeekend ? "Sprint" : "Practice 3";
        case 3: return "Practice 2";
        default: return "Practice 1";
    }
}

std::string PastDetailsViewController::resultsListName(int tab) const {
    if (tab < 2) return tab == 0 ? "The race results" : "The qualifying results";
    return tab == 2 && isASprintWeekend ? "The sprint's top three" : tabName(tab) + "'s top three";
}

void PastDetailsViewController::fillResultsState(StateCell& cell, int tab) const {
    if (resultsCouldNotLoad[tab]) return cell.showCouldNotLoad(resultsListName(tab), resultsCouldNotLoad[tab]);
    std::string name = resultsListName(tab);
    if (name.starts_with("The ")) name[0] = 't';
    if (!resultsAnswered[tab]) return cell.showLoading(name);
    // The season index lists the weekend's sessions: one it does not list was not held.
    if (tab >= 2 && !meetingSessions.empty() && !weekend::findSession(meetingSessions, sessionKindOf(tab))) {
        return cell.showEmpty("There was no " + tabName(tab) + " this weekend.");
    }
    if (tab < 2) return cell.showEmpty(std::string("No ") + (tab == 0 ? "race" : "qualifying") + " results were recorded.");
    cell.showEmpty("No top three was recorded for " + (tab == 2 && isASprintWeekend ? "the sprint" : tabName(tab)) + ".");
}

std::shared_ptr<ui::TableViewCell> PastDetailsViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    int tab = tabOf(table);
    if (indexPath.section <= 2) return tabRow(table, indexPath, tab);
    return cardRow(table, indexPath);
}

// A driver's picture and team colour by their key; a driver without a picture shows none, so a
// reused row never keeps another driver's face.
static void showPicture(const std::shared_ptr<ui::ImageView>& picture, const std::string& key,
                        const ChampionshipSheet::Dictionary& images, const ChampionshipSheet::Dictionary& colours) {
    picture->setImage(nullptr);
    if (auto image = images.find(key); image != images.end() && !image->second.empty()) setRemoteImage(picture, image->second);
    auto colour = colours.find(key);
    picture->setBackgroundColor(Utilities::hexStringToUIColor("#" + (colour == colours.end() ? std::string() : colour->second)));
}

std::shared_ptr<ui::TableViewCell> PastDetailsViewController::tabRow(ui::TableView& table, ui::IndexPath indexPath, int tab) {
    if (indexPath.section == 0) {
        auto cell = table.dequeueReusableCell<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier, indexPath);
        if (!cell) return cell;
        cell->race->setText(race() ? race()->raceName : "");
        cell->circuit->setText(race() ? race()->circuit.circuitName : "");
        cell->location->setText(race() ? race()->circuit.location.locality + ", " + race()->circuit.location.country : "");
        cell->time->setText(headerTimeText());
        styleHeader(*cell, gfx::Color::systemIndigo());
        return cell;
    }
    if (indexPath.section == 1) {
        auto cell = table.dequeueReusableCell<EventPickerCell>(EventPickerCell::reuseIdentifier, indexPath);
        if (!cell) return cell;
        std::string name = tabName(tab);
        gfx::TextAttributes attributes;
        attributes.font = gfx::Font::systemFont(titleSize() - 2, gfx::FontWeight::semibold);
        attributes.foregroundColor = gfx::Color::white();
        gfx::AttributedString title(name + " ", attributes);
        title.appendAttachment(symbolAttachment("chevron.down", bodySize() - 4, gfx::FontWeight::bold,
                                                gfx::Color::white().withAlphaComponent(0.3)));
        cell->event->setAttributedTitle(std::move(title), ui::ControlState::normal);
        auto menu = std::make_shared<ui::Menu>();
        auto weak = std::weak_ptr<PastDetailsViewController>(std::static_pointer_cast<PastDetailsViewController>(shared_from_this()));
        for (int index = 0; index < tabCount; ++index) {
            ui::MenuAction action;
            action.title = tabName(index);
            action.state = eventType == index ? ui::MenuElementState::on : ui::MenuElementState::off;
            action.handler = [weak, index](const ui::MenuAction&) {
                if (auto self = weak.lock()) self->selectEventType(index);
            };
            menu->children.push_back(std::move(action));
        }
        cell->event->setMenu(std::move(menu));
        cell->event->setShowsMenuAsPrimaryAction(true);
        cell->title->setText(eventType < 2 ? "Results" : "Top Three");
        styleHeader(*cell, gfx::Color::systemIndigo().withAlphaComponent(0.75));
        return cell;
    }

    if (showsResultsState(tab)) {
        auto state = stateRow(table, indexPath);
        if (state) fillResultsState(*state, tab);
        return state;
    }
    auto cell = table.dequeueReusableCell<DriverCell>(DriverCell::reuseIdentifier, indexPath);
    if (!cell || indexPath.row < 0 || indexPath.row >= numberOfRows(table, 2)) return cell;
    int row = indexPath.row;
    std::string name;
    if (tab == 0) {
        const auto& result = raceResults[row];
        name = result.driver.givenName + " " + result.driver.familyName;
        fillRaceRow(*cell, row);
    } else if (tab == 1) {
        const auto& result = qualifyingResults[row];
        ShownDriver driver = shownDriver(result.driver, result.constructor.name);
        name = driver.name;
        cell->position->setText(ordinal(result.position));
        cell->position->setTextColor(gfx::Color::label());
        // Qualifying shows the name as the results give it, accents and all.
        cell->driver->setText(result.driver.givenName + " " + result.driver.familyName);
        cell->constructor->setText(driver.team);
        if (result.Q1 && result.Q1->empty()) {
            cell->fastestLap->setText("DNF");
        } else {
            cell->fastestLap->setText("Q1: " + result.Q1.value_or("--") + "\nQ2: " + result.Q2.value_or("--") +
                                      "\nQ3: " + result.Q3.value_or("--"));
        }
        cell->fromGridPosition->setText("");
        cell->status->setText("");
    } else {
        const auto& lines = tab == 2 ? p3Results : tab == 3 ? p2Results : p1Results;
        const auto& line = lines[row];
        ShownDriver driver = shownDriver(line);
        name = driver.name;
        cell->driver->setText(driver.name);
        cell->position->setText(ordinal(line.position));
        cell->position->setTextColor(gfx::Color::label());
        cell->constructor->setText(driver.team);
        cell->fastestLap->setText("Lap time: " + line.lapTime);
        cell->fromGridPosition->setText("");
        cell->status->setText("");
    }
    showPicture(cell->driverImage, foundation::lowercased(folded(name)), driverImageDictionary, driverColDictionary);
    styleCard(*cell);
    return cell;
}

void PastDetailsViewController::fillRaceRow(DriverCell& cell, int row) {
    const RaceResultsModel& result = raceResults[row];
    std::string name = result.driver.givenName + " " + result.driver.familyName;
    std::string key = foundation::lowercased(folded(name));
    bool expanded = std::find(selectedRows.begin(), selectedRows.end(), row) != selectedRows.end();
    const auto& lap = result.fastestLap;
    std::string lapTime = lap && lap->time ? lap->time->time.value_or("") : "";
    if (expanded) {
        cell.position->setText(result.points);
        cell.position->setTextColor(gfx::Color::systemBlue());
        cell.fromGridPosition->setText(result.points == "1" ? "point" : "points");
        auto number = driverNumDictionary.find(key);
        cell.constructor->setText("Racing number: " + (number == driverNumDictionary.end() ? std::string() : number->second));
    } else {
        cell.position->setText(ordinal(result.position));
        cell.position->setTextColor(gfx::Color::label());
        cell.fromGridPosition->setText(result.grid == "0" ? "from DNF" : "from " + ordinal(result.grid));
        cell.constructor->setText(result.constructor.name);
    }
    if (!lap || !lap->lap) {
        cell.fastestLap->setText("No fastest lap");
    } else if (expanded) {
        const auto& speed = lap->averageSpeed;
        cell.fastestLap->setText("Average speed: " + (speed ? speed->speed.value_or("") : "") + " " +
                                 (speed ? speed->units.value_or("") : ""));
    } else {
        cell.fastestLap->setText("Fastest lap: " + *lap->lap + " - " + lapTime);
    }
    cell.driver->setText(folded(name));
    std::string raceTime = result.time ? result.time->time.value_or("") : "";
    double size = bodySize() - 4;
    if (row == 0) {
        cell.status->setFont(gfx::Font::systemFont(size, gfx::FontWeight::semibold));
        cell.status->setText("Race Winner - " + raceTime);
        cell.status->setTextColor(gfx::Color::systemGreen());
    } else if (result.status == "Finished") {
        cell.status->setFont(gfx::Font::systemFont(size, gfx::FontWeight::regular));
        cell.status->setText(raceTime);
        cell.status->setTextColor(gfx::Color::secondaryLabel());
    } else if (auto behind = lapsDown(result, raceResults.front())) {
        cell.status->setFont(gfx::Font::systemFont(size, gfx::FontWeight::regular));
        cell.status->setText(*behind);
        cell.status->setTextColor(gfx::Color::secondaryLabel());
    } else {
        cell.status->setFont(gfx::Font::systemFont(size, gfx::FontWeight::regular));
        cell.status->setText("DNF (" + result.status + ") on lap " + result.laps);
        cell.status->setTextColor(gfx::Color::systemRed());
    }
}

std::shared_ptr<ui::TableViewCell> PastDetailsViewController::cardRow(ui::TableView& table, ui::IndexPath indexPath) {
    auto weak = std::weak_ptr<PastDetailsViewController>(std::static_pointer_cast<PastDetailsViewController>(shared_from_this()));
    // A reused card keeps no earlier wiring: each button sends exactly one action.
    auto wire = [&](const std::shared_ptr<ui::Button>& button, const std::string& title,
                    void (PastDetailsViewController::*handler)(ui::Control&)) {
        button->setTitle(title, ui::ControlState::normal);
        button->setTag(indexPath.row);
        button->removeAllActions();
        button->addTarget(weak, [weak, handler](ui::Control& sender) {
            if (auto self = weak.lock()) ((*self).*handler)(sender);
        }, ui::ControlEvent::touchUpInside);
    };

    switch (indexPath.section) {
        case 3: {
            auto cell = table.dequeueReusableCell<CircuitDetailsCell>(CircuitDetailsCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            fillCircuitTitles(*cell);
            const circuitDetailsOverviewModel* facts = circuitFacts();
            fillCircuitFigures(*cell, facts, "0");
            cell->circuitImage->setImage(nullptr);
            // Without the circuit's facts there is no map to ask for.
            if (facts) {
                setRemoteImage(cell->circuitImage, circuitMapURL(facts->name));
            }
            bool record = facts && facts->record.driver != "--";
            cell->recordTitle->setAttributedText(symbolTitle(
                "clock", record ? " Fastest lap set by " + facts->record.driver + " (" + facts->record.year + ")" : ""));
            cell->record->setText(record ? facts->record.time : "");
            styleCard(*cell);
            return cell;
        }
        case 4:
        case 5: {
            bool dayWinner = indexPath.section == 4;
            // No winner or no fastest lap: a line saying why, not an empty card with a grey circle.
            if (dayWinner ? driverOfTheDayResults.empty() : fastestLap.empty()) {
                auto state = stateRow(table, indexPath);
                if (!state) return state;
                std::optional<bool> loaded = dayWinner ? driverOfTheDayLoaded
                                                       : resultsAnswered[0] ? std::optional(!resultsCouldNotLoad[0]) : std::nullopt;
                std::string what = dayWinner ? "driver of the day" : "fastest lap";
                // The polls hold the season under way: another season's race has none to show.
                if (dayWinner && race() && !weekend::pollsCover(*race(), foundation::Date::now()))
                    state->showEmpty("The driver of the day is not available for this race.",
                                     "The polls cover the current season's races only.");
                else if (!loaded) state->showLoading("the " + what);
                else if (!*loaded) state->showCouldNotLoad("The " + what, dayWinner ? std::nullopt : resultsCouldNotLoad[0]);
                // A race without one is a gap like the others: the card's name over it, not a heading.
                else state->showGap(dayWinner ? "Driver of the day" : "Fastest lap", "No " + what + " was recorded for this race.");
                return state;
            }
            auto cell = table.dequeueReusableCell<DriverOfTheDayCell>(dayWinner ? "DriverOfTheDayCell" : "DriverOfTheDayCell2", indexPath);
            if (!cell) return cell;
            std::string name;
            if (dayWinner) {
                cell->infoTitle->setText("Driver of the Day");
                cell->infoDescription->setText("Based on user polls");
                if (!driverOfTheDayResults.empty()) {
                    name = driverOfTheDayResults.front().firstName + " " + driverOfTheDayResults.front().lastName;
                }
                cell->driver->setText(name);
                const RaceResultsModel* result = name.empty() ? nullptr : raceResult(name);
                cell->constructor->setText(result ? result->constructor.name : "");
            } else {
                cell->infoTitle->setText("Fastest Lap");
                const RaceResultsModel* fastest = fastestLap.empty() ? nullptr : &fastestLap.front();
                const auto& lap = fastest ? fastest->fastestLap : std::nullopt;
                cell->infoDescription->setText(lap && lap->time ? lap->time->time.value_or("") : "");
                if (fastest) name = fastest->driver.givenName + " " + fastest->driver.familyName;
                cell->driver->setText(folded(name));
                cell->constructor->setText(fastest ? fastest->constructor.name : "");
            }
            showPicture(cell->driverImage, foundation::lowercased(folded(name)), driverImageDictionary, driverColDictionary);
            styleCard(*cell);
            return cell;
        }
        case 6: {
            auto cell = table.dequeueReusableCell<RaceBreakdownCell>(RaceBreakdownCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->infoTitle->setText("Race Breakdown");
            cell->infoDescription->setText("Information about lap times, pit stop times, and tyres");
            wire(cell->lap, "Laps", &PastDetailsViewController::lapsBreakdownTap);
            wire(cell->pitStop, "Pit Stops", &PastDetailsViewController::pitStopsBreakdownTap);
            wire(cell->tyres, "Tyres and Compounds", &PastDetailsViewController::tyresTap);
            styleCard(*cell);
            return cell;
        }
        case 7:
        case 8: {
            bool standings = indexPath.section == 7;
            auto cell = table.dequeueReusableCell<RaceStandingsCell>(standings ? "RaceStandingsCell" : "RaceStandingsCell2", indexPath);
            if (!cell) return cell;
            if (standings) {
                cell->infoTitle->setText("Current Standings");
                cell->infoDescription->setText("View season standings after this race");
                wire(cell->drivers, "Drivers", &PastDetailsViewController::driverStandingsTap);
                wire(cell->teams, "Teams", &PastDetailsViewController::teamStandingsTap);
            } else {
                cell->infoTitle->setText("Predictions");
                cell->infoDescription->setText("View predictions for who is on track to win the championship after this race");
                wire(cell->drivers, "Drivers", &PastDetailsViewController::driverPredictionsTap);
                wire(cell->teams, "Teams", &PastDetailsViewController::teamPredictionsTap);
                for (auto [button, colourName] : {std::pair{cell->drivers, "darkGreen"}, std::pair{cell->teams, "tealGreen"}}) {
                    auto colour = ui::namedColor(colourName);
                    button->setTitleColor(colour, ui::ControlState::normal);
                    button->setBackgroundColor(colour ? colour->withAlphaComponent(0.2) : gfx::Color::clear());
                }
            }
            styleCard(*cell);
            return cell;
        }
        case 9: {
            auto cell = table.dequeueReusableCell<RaceMessagesCell>(RaceMessagesCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->infoTitle->setText("Sorvane");
            cell->infoDescription->setText("Listen in to race control messages and audio");
            wire(cell->messages, "Messages", &PastDetailsViewController::raceMessagesTap);
            wire(cell->audio, "Radio", &PastDetailsViewController::raceRadioTap);
            styleCard(*cell);
            return cell;
        }
        case 10: {
            if (indexPath.row == 0) {
                auto cell = table.dequeueReusableCell<WeekendHeaderCell>(WeekendHeaderCell::reuseIdentifier, indexPath);
                if (!cell) return cell;
                fillWeekendHeader(*cell, race() ? race()->raceName : std::string());
                styleCard(*cell, false);
                return cell;
            }
            auto cell = table.dequeueReusableCell<WeekendCell>(WeekendCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            if (indexPath.row < static_cast<int>(weekendStructure.size())) fillWeekendRow(*cell, weekendStructure[indexPath.row]);
            styleCard(*cell, indexPath.row + 1 == static_cast<int>(weekendStructure.size()));
            return cell;
        }
        default: {
            if (weather.empty()) {
                auto state = stateRow(table, indexPath);
                if (state && weatherCouldNotLoad) state->showCouldNotLoad("The weather", weatherCouldNotLoad);
                else if (state) state->showEmpty("No weather was recorded for this race.");
                return state;
            }
            auto cell = table.dequeueReusableCell<WeatherOverviewCell>(WeatherOverviewCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            fillWeather(*cell);
            styleCard(*cell, false);
            return cell;
        }
    }
}

void PastDetailsViewController::fillWeather(WeatherOverviewCell& cell) {
    static const livetiming::WeatherModel none;
    fillWeatherCard(cell, "Track weather information", weather.empty() ? none : weather.front(), weatherSelected, rotationKey);
}
