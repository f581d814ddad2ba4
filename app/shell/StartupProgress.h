#pragma once

#include "ui/Window.h"

// How far the app's start has come on its window: what the screenshot mode and the start-up
// benchmark wait for.
namespace startup {

// The home map presents the season sheet and the sheet's list shows rows of the loaded season.
bool seasonSheetShowsRows(const ui::Window& window);
// The start is over without a season: the sheet is up, no load runs and no race came in.
bool seasonLoadFailed(const ui::Window& window);
// Nothing moves: no presentation under way and no animation running at uptime `time`.
bool isSettled(const ui::Window& window, double time);

}  // namespace startup
