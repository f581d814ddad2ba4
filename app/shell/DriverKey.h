#pragma once

#include <string>
#include <string_view>

// The key under which a driver's picture, colour and number are filed: "first last" without
// diacritics, lower-cased, so "Sergio Pérez" from the timing feed meets "Sergio Perez" elsewhere.
std::string driverKey(std::string_view firstName, std::string_view lastName);

// The headshot address without the image service's ".transform..." resizing suffix: the first
// non-empty piece before a ".transform", empty for an empty address.
std::string headshotAddress(std::string_view url);
