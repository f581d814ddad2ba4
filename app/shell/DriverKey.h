#pragma once

#include <string>
#include <string_view>

// The key under which a driver's picture, colour and number are filed: "first last" without
// diacritics, lower-cased, so "Sergio Pérez" from the timing feed meets "Sergio Perez" elsewhere.
std::string driverKey(std::string_view firstName, std::string_view lastName);
