#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/NumberText.h"
#include "foundation/Strings.h"
#include "foundation/URL.h"
#include "live/LapsViewController.h"
#include "live/LiveViewController.h"
#include "live/MessagesViewController.h"
#include "live/RadioViewController.h"
#include "live/SheetHandOver.h"
#include "live/TyresViewController.h"
#include "shell/SeasonSheetSupport.h"
#include "shell/Utilities.h"
#include "ui/Application.h"
#include "weekend/WeekendSessions.h"

void LiveViewController::presentSheet(const std::shared_ptr<ui::ViewController>& sheet) {
    setUpPresentedSheet(*sheet, SheetHeights::largeOnly);
    present(sheet, true);
}

void LiveViewController::lapsBreakdownTap(ui::Button& sender) {
    // Before the first timing line has arrived there is no lap to open at.
    if (sender.tag() < 0 || sender.tag() >= static_cast<int>(raceResults.size())) return;
    playTapFeedback();
    auto sheet = std::make_shared<LapsViewController>();
    sheet->fromLive = true;
    handOverDrivers(*sheet, *this);
    sheet->eventType = 0;
    sheet->raceResults2 = raceResults;
    handOverRace(*sheet, *this);
    auto laps = raceResults[sender.tag()].numberOfLaps.value_or(0);
    sheet->currentLap = static_cast<int>(std::clamp<std::int64_t>(laps, 0, INT32_MAX));
    sheet->lapCount = std::to_string(laps);
    sheet->lapsResults = lapsResults;
    sheet->itemsFailure = lapsCouldNotLoad;
    presentSheet(sheet);
}

void LiveViewController::pitStopsBreakdownTap(ui::Button&) {
    playTapFeedback();
    auto sheet = std::make_shared<LapsViewController>();
    sheet->fromLive = true;
    handOverDrivers(*sheet, *this);
    sheet->eventType = 1;
    sheet->raceResults2 = raceResults;
    handOverRace(*sheet, *this);
    sheet->pitStopsResults = pitStopsResults;
    sheet->itemsFailure = pitStopsCouldNotLoad;
    // The same rule as the finished weekend's: a duration that does not read is never the quickest.
    if (auto fastest = weekend::fastestPitStop(pitStopsResults)) sheet->fastestPitStop = {*fastest};
    presentSheet(sheet);
}

void LiveViewController::tyresTap(ui::Button& sender) {
    playTapFeedback();
    auto sheet = std::make_shared<TyresViewController>();
    handOverDrivers(*sheet, *this);
    handOverRace(*sheet, *this);
    sheet->tyresResults = tyresResults;
    sheet->itemsFailure = tyresCouldNotLoad;
    sheet->totalLaps = 1;
    // The session's own length first: the circuit facts give the race's laps, not a sprint's.
    if (sessionLaps) {
        sheet->totalLaps = *sessionLaps;
    } else if (sender.tag() >= 0 && sender.tag() < static_cast<int>(races.size())) {
        if (const auto* circuit = circuitFactsFor(allCircuits, races[sender.tag()].circuit))
            sheet->totalLaps = circuit->lapCount;
    }
    presentSheet(sheet);
}

void LiveViewController::raceMessagesTap(ui::Button&) {
    playTapFeedback();
    auto sheet = messagesSheet(*this, raceMessages);
    sheet->itemsFailure = messagesCouldNotLoad;
    presentSheet(sheet);
}

void LiveViewController::raceRadioTap(ui::Button&) {
    playTapFeedback();
    auto sheet = radioSheet(*this, driverRadio);
    sheet->itemsFailure = radioCouldNotLoad;
    presentSheet(sheet);
}

void LiveViewController::voteTapped() {
    playTapFeedback();
    voteFailure.reset();
    std::weak_ptr<LiveViewController> weak = std::static_pointer_cast<LiveViewController>(shared_from_this());
    openLink(voteAddress, "the vote", [weak](std::optional<std::string> failure) {
        auto self = weak.lock();
        if (!self) return;
        self->voteFailure = std::move(failure);
        self->reloadTables();
    });
}
