#pragma once

#include <memory>
#include <vector>

#include "live/MessagesViewController.h"
#include "live/RadioViewController.h"
#include "shell/RaceScreen.h"

// What a race screen hands the sheets it presents, the same from the live and the finished screens.

// The screen's race (none when it has none), season and round.
template <class Sheet>
void handOverRace(Sheet& sheet, const RaceScreen& screen) {
    if (!screen.races.empty()) sheet.races = {screen.races.front()};
    sheet.year = screen.year;
    sheet.raceRound = screen.raceRound;
}

// The drivers' headshot addresses, team colours and racing numbers, by driver key.
template <class Sheet, class Screen>
void handOverDrivers(Sheet& sheet, const Screen& screen) {
    sheet.driverImageDictionary = screen.driverImageDictionary;
    sheet.driverColDictionary = screen.driverColDictionary;
    sheet.driverNumDictionary = screen.driverNumDictionary;
}

// The race-control messages sheet of the screen's session.
inline std::shared_ptr<MessagesViewController> messagesSheet(const RaceScreen& screen,
                                                             const std::vector<livetiming::Message>& messages) {
    auto sheet = std::make_shared<MessagesViewController>();
    handOverRace(*sheet, screen);
    sheet->path = screen.path;
    sheet->raceMessages = messages;
    return sheet;
}

// The team-radio sheet of the screen's session; its clips lie under the session's folder.
template <class Screen>
std::shared_ptr<RadioViewController> radioSheet(const Screen& screen, const std::vector<livetiming::Capture>& captures) {
    auto sheet = std::make_shared<RadioViewController>();
    handOverDrivers(*sheet, screen);
    handOverRace(*sheet, screen);
    sheet->path = screen.path;
    sheet->driverRadio = captures;
    return sheet;
}
