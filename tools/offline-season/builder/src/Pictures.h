#pragma once

#include <string>
#include <string_view>

#include "SnapshotSupport.h"

// Placeholder pictures the tool draws where the real ones are not ours to ship: portraits in the team
// colour with the driver's three letters, and circuit cards with the circuit's name (no track shape:
// none is recorded). Every picture is a PNG, the same bytes on every run.
namespace offline_season {

std::string headshotPng(const FeedDriver& driver);
std::string bodyshotPng(const FeedDriver& driver);
std::string circuitCardPng(std::string_view circuitName);

}  // namespace offline_season
