#pragma once

#include <string>
#include <string_view>

#include "livetiming/DriverListPartModel.h"

// The key under which a driver's picture, colour and number are filed: "first last" without
// diacritics, lower-cased, so "Sergio Pérez" from the timing feed meets "Sergio Perez" elsewhere.
std::string driverKey(std::string_view firstName, std::string_view lastName);

// The headshot address without the image service's ".transform..." resizing suffix: the first
// non-empty piece before a ".transform", empty for an empty address.
std::string headshotAddress(std::string_view url);

// Files each driver of a session's driver list under its key in a screen's three dictionaries:
// headshot address (only for a driver that has one), team colour and racing number.
template <class Screen>
void fileDrivers(Screen& screen, const livetiming::DriverList& drivers) {
    for (const auto& [number, driver] : drivers) {
        std::string key = driverKey(driver.firstName, driver.lastName);
        if (driver.headshotUrl) screen.driverImageDictionary[key] = headshotAddress(*driver.headshotUrl);
        screen.driverColDictionary[key] = driver.teamColour;
        screen.driverNumDictionary[key] = driver.racingNumber;
    }
}
